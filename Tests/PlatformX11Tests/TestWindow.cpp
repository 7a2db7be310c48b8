// A small X11 client that shows windows with exactly the properties a test asks for, and
// closes each when the window manager asks it to. It leaves when its last window is closed or
// its connection to the server ends.
//
//   vorn-test-window [options] [document...]
//     --title TEXT          _NET_WM_NAME (UTF-8) and WM_NAME; documents are appended to it
//     --wm-name-only        set only WM_NAME, as Latin-1
//     --class INSTANCE,CLASS
//     --no-pid              leave out _NET_WM_PID
//     --pid N               claim process N in _NET_WM_PID instead of its own
//     --machine NAME        WM_CLIENT_MACHINE (by default this host's name)
//     --geometry WxH[+X+Y]  a position makes it a user-given one, which window managers keep
//     --increment W,H       size increments (with a base size of 0x0)
//     --fixed               minimum and maximum size equal to the size
//     --no-focus            WM_HINTS input false and no WM_TAKE_FOCUS: it refuses focus
//     --type NAME           normal, dialog, utility, dock, desktop, splash or notification
//     --strut L,R,T,B       _NET_WM_STRUT and a _NET_WM_STRUT_PARTIAL over the window's extent
//     --opacity FRACTION    _NET_WM_WINDOW_OPACITY
//     --gtk-app-id ID       _GTK_APPLICATION_ID
//     --icon SIZE=RRGGBB,...  _NET_WM_ICON: square opaque icons of these sizes and colours
//     --maximized           start maximised
//     --count N             N windows, titled "TEXT 1" to "TEXT N"
//     --listen              also read commands from standard input, one a line, and stay until
//                           it ends: "open TITLE" opens another window with the same options
//     --compound-title HEX  WM_NAME of type COMPOUND_TEXT with these bytes (and no _NET_WM_NAME)
//     --churn N             open and destroy N windows one after the other, then leave
//     --flood-lists N       put N ids that name no window in front of the root's client lists,
//                           as a careless or hostile client may, then leave

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <xcb/xcb.h>
#include <xcb/xcb_icccm.h>

#include <poll.h>
#include <unistd.h>

namespace {

struct Options {
    std::string title = "Test Window";
    bool wmNameOnly = false;
    std::string instance = "vorn-test-window";
    std::string windowClass = "VornTestWindow";
    bool setPid = true;
    long claimedPid = -1;
    std::string machine;
    int width = 400;
    int height = 300;
    int x = 0;
    int y = 0;
    bool hasPosition = false;
    int incrementW = 0;
    int incrementH = 0;
    bool fixed = false;
    bool noFocus = false;
    std::string type = "normal";
    std::vector<std::uint32_t> strut;
    double opacity = -1;
    std::string gtkAppID;
    std::vector<std::uint32_t> icon;
    bool maximized = false;
    int count = 1;
    bool listen = false;
    std::string compoundTitle;
    int churn = 0;
    int flood = 0;
    std::vector<std::string> documents;
};

[[noreturn]] void usage(const char* problem) {
    std::fprintf(stderr, "vorn-test-window: %s\n", problem);
    std::exit(2);
}

std::vector<int> numbers(const char* text) {
    std::vector<int> values;
    const char* p = text;
    while (*p != '\0') {
        char* end = nullptr;
        values.push_back(static_cast<int>(std::strtol(p, &end, 10)));
        if (end == p) {
            usage("bad number list");
        }
        p = *end == ',' ? end + 1 : end;
    }
    return values;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                usage("missing value");
            }
            return argv[++i];
        };
        if (arg == "--title") {
            o.title = value();
        } else if (arg == "--wm-name-only") {
            o.wmNameOnly = true;
        } else if (arg == "--class") {
            const std::string both = value();
            const auto comma = both.find(',');
            if (comma == std::string::npos) {
                usage("--class needs INSTANCE,CLASS");
            }
            o.instance = both.substr(0, comma);
            o.windowClass = both.substr(comma + 1);
        } else if (arg == "--no-pid") {
            o.setPid = false;
        } else if (arg == "--pid") {
            o.claimedPid = std::atol(value());
        } else if (arg == "--machine") {
            o.machine = value();
        } else if (arg == "--geometry") {
            int w = 0, h = 0, x = 0, y = 0;
            const char* g = value();
            const int n = std::sscanf(g, "%dx%d+%d+%d", &w, &h, &x, &y);
            if (n != 2 && n != 4) {
                usage("bad geometry");
            }
            o.width = w;
            o.height = h;
            if (n == 4) {
                o.x = x;
                o.y = y;
                o.hasPosition = true;
            }
        } else if (arg == "--increment") {
            const auto v = numbers(value());
            if (v.size() != 2) {
                usage("--increment needs W,H");
            }
            o.incrementW = v[0];
            o.incrementH = v[1];
        } else if (arg == "--fixed") {
            o.fixed = true;
        } else if (arg == "--no-focus") {
            o.noFocus = true;
        } else if (arg == "--type") {
            o.type = value();
        } else if (arg == "--strut") {
            for (int v : numbers(value())) {
                o.strut.push_back(static_cast<std::uint32_t>(v));
            }
            if (o.strut.size() != 4) {
                usage("--strut needs L,R,T,B");
            }
        } else if (arg == "--opacity") {
            o.opacity = std::atof(value());
        } else if (arg == "--gtk-app-id") {
            o.gtkAppID = value();
        } else if (arg == "--icon") {
            std::string list = value();
            for (std::size_t at = 0; at < list.size();) {
                const std::size_t end = std::min(list.find(',', at), list.size());
                const std::string item = list.substr(at, end - at);
                const std::size_t equals = item.find('=');
                const auto side = static_cast<std::uint32_t>(std::atoi(item.c_str()));
                if (equals == std::string::npos || side == 0 || side > 256) {
                    usage("--icon needs SIZE=RRGGBB items");
                }
                const auto colour = static_cast<std::uint32_t>(
                    std::strtoul(item.substr(equals + 1).c_str(), nullptr, 16));
                o.icon.push_back(side);
                o.icon.push_back(side);
                o.icon.insert(o.icon.end(), std::size_t{side} * side, 0xFF000000u | colour);
                at = end + 1;
            }
        } else if (arg == "--maximized") {
            o.maximized = true;
        } else if (arg == "--listen") {
            o.listen = true;
        } else if (arg == "--count") {
            o.count = std::atoi(value());
        } else if (arg == "--compound-title") {
            const std::string hex = value();
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
                o.compoundTitle.push_back(
                    static_cast<char>(std::strtol(hex.substr(i, 2).c_str(), nullptr, 16)));
            }
            o.wmNameOnly = true;
        } else if (arg == "--churn") {
            o.churn = std::atoi(value());
        } else if (arg == "--flood-lists") {
            o.flood = std::atoi(value());
        } else if (arg.starts_with("--")) {
            usage("unknown option");
        } else {
            o.documents.push_back(arg);
        }
    }
    return o;
}

xcb_atom_t intern(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
    std::free(reply);
    return atom;
}

void setText(xcb_connection_t* c,
             xcb_window_t w,
             xcb_atom_t property,
             xcb_atom_t type,
             const std::string& text) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 8,
                        static_cast<std::uint32_t>(text.size()), text.data());
}

void setCardinals(xcb_connection_t* c,
                  xcb_window_t w,
                  xcb_atom_t property,
                  xcb_atom_t type,
                  const std::vector<std::uint32_t>& values) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 32,
                        static_cast<std::uint32_t>(values.size()), values.data());
}

// The title as Latin-1: characters beyond it become "?".
std::string latin1(const std::string& utf8) {
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
            out.push_back(static_cast<char>(((c & 0x03) << 6) | (utf8[++i] & 0x3F)));
        } else {
            out.push_back('?');
            while (i + 1 < utf8.size()
                   && (static_cast<unsigned char>(utf8[i + 1]) & 0xC0) == 0x80) {
                ++i;
            }
        }
    }
    return out;
}

// Ids of a client slot no client has, in front of what the lists hold.
void flood(xcb_connection_t* c, int count) {
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    for (const char* name : {"_NET_CLIENT_LIST", "_NET_CLIENT_LIST_STACKING"}) {
        std::vector<std::uint32_t> ids;
        const xcb_atom_t atom = intern(c, name);
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            c, xcb_get_property(c, 0, root, atom, XCB_ATOM_WINDOW, 0, 1u << 16), nullptr);
        if (reply != nullptr && reply->format == 32) {
            const auto* data = static_cast<const std::uint32_t*>(xcb_get_property_value(reply));
            ids.assign(data, data + xcb_get_property_value_length(reply) / 4);
        }
        std::free(reply);
        for (int i = 0; i < count; ++i) {
            ids.push_back(0x7F000000u + static_cast<std::uint32_t>(i));
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, root, atom, XCB_ATOM_WINDOW, 32,
                            static_cast<std::uint32_t>(ids.size()), ids.data());
    }
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

// The connection, the atoms and the options every window is made with.
class Client {
public:
    Client(xcb_connection_t* c, const Options& o)
        : c(c)
        , o(o)
        , screen(xcb_setup_roots_iterator(xcb_get_setup(c)).data)
        , utf8(intern(c, "UTF8_STRING"))
        , netWmName(intern(c, "_NET_WM_NAME"))
        , netWmPid(intern(c, "_NET_WM_PID"))
        , protocols(intern(c, "WM_PROTOCOLS"))
        , deleteWindow(intern(c, "WM_DELETE_WINDOW"))
        , windowType(intern(c, "_NET_WM_WINDOW_TYPE"))
        , type(intern(c, typeAtomName(o.type).c_str()))
        , strut(intern(c, "_NET_WM_STRUT"))
        , strutPartial(intern(c, "_NET_WM_STRUT_PARTIAL"))
        , opacity(intern(c, "_NET_WM_WINDOW_OPACITY"))
        , gtkAppID(intern(c, "_GTK_APPLICATION_ID"))
        , netWmIcon(intern(c, "_NET_WM_ICON"))
        , netWmState(intern(c, "_NET_WM_STATE"))
        , maxVert(intern(c, "_NET_WM_STATE_MAXIMIZED_VERT"))
        , maxHorz(intern(c, "_NET_WM_STATE_MAXIMIZED_HORZ")) {
        ::gethostname(host, sizeof host - 1);
    }

    void open(const std::string& name) {
        const xcb_window_t w = xcb_generate_id(c);
        const std::uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_STRUCTURE_NOTIFY};
        xcb_create_window(c, XCB_COPY_FROM_PARENT, w, screen->root, static_cast<std::int16_t>(o.x),
                          static_cast<std::int16_t>(o.y), static_cast<std::uint16_t>(o.width),
                          static_cast<std::uint16_t>(o.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                          screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
        if (o.compoundTitle.empty()) {
            setText(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, latin1(name));
        } else {
            setText(c, w, XCB_ATOM_WM_NAME, intern(c, "COMPOUND_TEXT"), o.compoundTitle);
        }
        if (!o.wmNameOnly) {
            setText(c, w, netWmName, utf8, name);
        }
        std::string classes = o.instance;
        classes.push_back('\0');
        classes += o.windowClass;
        classes.push_back('\0');
        setText(c, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, classes);
        setText(c, w, XCB_ATOM_WM_CLIENT_MACHINE, XCB_ATOM_STRING,
                o.machine.empty() ? std::string(host) : o.machine);
        if (o.setPid) {
            const long pid = o.claimedPid >= 0 ? o.claimedPid : static_cast<long>(::getpid());
            setCardinals(c, w, netWmPid, XCB_ATOM_CARDINAL, {static_cast<std::uint32_t>(pid)});
        }
        xcb_icccm_set_wm_protocols(c, w, protocols, 1, &deleteWindow);

        xcb_icccm_wm_hints_t hints{};
        xcb_icccm_wm_hints_set_input(&hints, o.noFocus ? 0 : 1);
        xcb_icccm_wm_hints_set_normal(&hints);
        xcb_icccm_set_wm_hints(c, w, &hints);

        xcb_size_hints_t size{};
        if (o.hasPosition) {
            xcb_icccm_size_hints_set_position(&size, 1, o.x, o.y);
            xcb_icccm_size_hints_set_size(&size, 1, o.width, o.height);
        }
        if (o.incrementW > 0 && o.incrementH > 0) {
            xcb_icccm_size_hints_set_resize_inc(&size, o.incrementW, o.incrementH);
            xcb_icccm_size_hints_set_base_size(&size, 0, 0);
        }
        if (o.fixed) {
            xcb_icccm_size_hints_set_min_size(&size, o.width, o.height);
            xcb_icccm_size_hints_set_max_size(&size, o.width, o.height);
        }
        xcb_icccm_set_wm_normal_hints(c, w, &size);

        if (type != XCB_ATOM_NONE) {
            setCardinals(c, w, windowType, XCB_ATOM_ATOM, {type});
        }
        if (!o.strut.empty()) {
            setCardinals(c, w, strut, XCB_ATOM_CARDINAL, o.strut);
            const auto x0 = static_cast<std::uint32_t>(o.x);
            const auto y0 = static_cast<std::uint32_t>(o.y);
            const auto x1 = static_cast<std::uint32_t>(o.x + o.width - 1);
            const auto y1 = static_cast<std::uint32_t>(o.y + o.height - 1);
            setCardinals(
                c, w, strutPartial, XCB_ATOM_CARDINAL,
                {o.strut[0], o.strut[1], o.strut[2], o.strut[3], y0, y1, y0, y1, x0, x1, x0, x1});
        }
        if (o.opacity >= 0) {
            setCardinals(c, w, opacity, XCB_ATOM_CARDINAL,
                         {static_cast<std::uint32_t>(o.opacity * 4294967295.0)});
        }
        if (!o.gtkAppID.empty()) {
            setText(c, w, gtkAppID, utf8, o.gtkAppID);
        }
        if (!o.icon.empty()) {
            setCardinals(c, w, netWmIcon, XCB_ATOM_CARDINAL, o.icon);
        }
        if (o.maximized) {
            setCardinals(c, w, netWmState, XCB_ATOM_ATOM, {maxVert, maxHorz});
        }
        xcb_map_window(c, w);
        xcb_flush(c);
        ++windows;
        last = w;
    }

    void handle(xcb_generic_event_t* event) {
        if ((event->response_type & 0x7F) == XCB_CLIENT_MESSAGE) {
            const auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
            if (message->type == protocols && message->data.data32[0] == deleteWindow) {
                xcb_destroy_window(c, message->window);
                xcb_flush(c);
                --windows;
            }
        }
        std::free(event);
    }

    // Each window is shown and waited for by a round trip, then destroyed.
    void churn(int count) {
        for (int i = 0; i < count; ++i) {
            open(o.title + " " + std::to_string(i));
            const xcb_window_t w = last;
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
            xcb_destroy_window(c, w);
            --windows;
        }
        std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    }

    int windows = 0;
    xcb_window_t last = XCB_NONE;

private:
    static std::string typeAtomName(const std::string& type) {
        std::string name = "_NET_WM_WINDOW_TYPE_";
        for (char ch : type) {
            name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
        }
        return name;
    }

    xcb_connection_t* c;
    const Options& o;
    xcb_screen_t* screen;
    xcb_atom_t utf8, netWmName, netWmPid, protocols, deleteWindow, windowType, type, strut,
        strutPartial, opacity, gtkAppID, netWmIcon, netWmState, maxVert, maxHorz;
    char host[256] = {};
};

}  // namespace

int main(int argc, char** argv) {
    const Options o = parse(argc, argv);
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c) != 0) {
        std::fprintf(stderr, "vorn-test-window: no display\n");
        return 1;
    }
    if (o.flood > 0) {
        flood(c, o.flood);
        xcb_disconnect(c);
        return 0;
    }
    Client client(c, o);
    if (o.churn > 0) {
        client.churn(o.churn);
        xcb_disconnect(c);
        return 0;
    }
    std::string title = o.title;
    for (const std::string& document : o.documents) {
        title += " " + document;
    }
    for (int i = 0; i < o.count; ++i) {
        client.open(o.count > 1 ? title + " " + std::to_string(i + 1) : title);
    }

    std::string pending;
    bool listening = o.listen;
    while (listening || client.windows > 0) {
        pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {0, POLLIN, 0}};
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            client.handle(event);
        }
        if (xcb_connection_has_error(c) != 0) {
            break;
        }
        if (!listening && client.windows == 0) {
            break;
        }
        if (::poll(fds, listening ? 2 : 1, -1) < 0) {
            continue;
        }
        if (listening && (fds[1].revents & (POLLIN | POLLHUP)) != 0) {
            char buffer[512];
            const ssize_t n = ::read(0, buffer, sizeof buffer);
            if (n <= 0) {
                listening = false;
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (auto end = pending.find('\n'); end != std::string::npos;
                 end = pending.find('\n')) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (line.starts_with("open ")) {
                    client.open(line.substr(5));
                }
            }
        }
    }
    xcb_disconnect(c);
    return 0;
}
