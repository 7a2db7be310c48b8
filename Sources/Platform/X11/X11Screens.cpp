#include <algorithm>
#include <set>
#include <string>

#include "Coordinates.h"
#include "Log.h"
#include "UsableArea.h"
#include "X11Parts.h"

namespace vorn::platform::x11 {
namespace {

// Root coordinates to the bottom-left ones of the screens.
Rect toBottomLeft(const Rect& r, const Monitors& monitors) {
    const double primaryHeight = monitors.list.empty() ? 0 : monitors.list.front().bounds.height();
    return flipped(toGlobal(r, monitors.globalOrigin()), primaryHeight);
}

}  // namespace

std::vector<Screen> X11Screens::screens() {
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return {};
    }
    AfterReplies after(m_desktop);
    // Without a window manager nobody reserves space, but the monitors are still there.
    const std::optional<Monitors> monitors = m_desktop.monitors();
    const std::vector<std::uint32_t> areas = m_desktop.workarea();
    const ClientSnapshot* snapshot = m_desktop.clients();
    if (!monitors) {
        return {};
    }
    std::vector<std::string> texts;
    for (DisplayNames& names : m_desktop.monitorNames(monitors->list)) {
        texts.push_back(std::move(names.monitor));
    }

    // Struts and the work area count only while a window manager runs.
    std::vector<Strut> struts;
    std::vector<xcb_window_t> declaredBy;
    bool ownBand = false;
    if (snapshot != nullptr) {
        for (const ClientWindow& window : snapshot->windows) {
            // The program's own panels never narrow the area it places windows in.
            if (window.strut && window.pid == m_desktop.ownPID()) {
                ownBand = true;
            } else if (window.strut) {
                struts.push_back(*window.strut);
                declaredBy.push_back(window.id);
            }
        }
    }
    std::vector<Screen> result;
    for (std::size_t i = 0; i < monitors->list.size(); ++i) {
        const Monitor& monitor = monitors->list[i];
        // With one monitor the window manager's work area is exact, and also covers panels of
        // its own that have no strut. It also leaves out a band of the program's own, which the
        // area must not: a panel placed inside it would move off its band, and the band with it.
        std::optional<Rect> workarea;
        const std::size_t desktop = snapshot != nullptr ? snapshot->currentDesktop.value_or(0) : 0;
        if (snapshot != nullptr && !ownBand && monitors->list.size() == 1
            && areas.size() >= 4 * (desktop + 1)) {
            workarea = Rect(areas[4 * desktop], areas[4 * desktop + 1], areas[4 * desktop + 2],
                            areas[4 * desktop + 3]);
        }
        const UsableArea usable = usableArea(monitor.bounds, struts, monitors->rootSize, workarea);
        noteUsableArea(texts[i], usable, struts, declaredBy);
        const Rect visible = usable.area;
        Value description = Value::dictionary(
            {{std::string(screenkey::screenNumber), Value::integer(monitor.name)}});
        result.push_back(Screen{std::move(description), toBottomLeft(monitor.bounds, *monitors),
                                toBottomLeft(visible, *monitors), texts[i]});
    }
    return result;
}

std::optional<Screen> X11Screens::mainScreen() {
    // The screens come primary first.
    auto all = screens();
    if (all.empty()) {
        return std::nullopt;
    }
    return std::move(all.front());
}

void X11Screens::noteUsableArea(const std::string& display,
                                const UsableArea& usable,
                                const std::vector<Strut>& struts,
                                const std::vector<xcb_window_t>& declaredBy) {
    // Said once for each strut and each state of a display, not at every reading.
    std::set<std::pair<xcb_window_t, std::string>> ignored;
    auto& before = m_ignoredStruts[display];
    for (std::size_t index : usable.ignored) {
        const Strut& s = struts[index];
        std::string values = std::to_string(s.left) + "," + std::to_string(s.right) + ","
                             + std::to_string(s.top) + "," + std::to_string(s.bottom);
        if (!before.contains({declaredBy[index], values})) {
            vornWMLog().notice(
                "x11: strut ignored: it would leave less than half of the display win=",
                declaredBy[index], " display=", display, " strut=", values);
        }
        ignored.emplace(declaredBy[index], std::move(values));
    }
    before = std::move(ignored);
    const bool empty = !(usable.area.width() > 0) || !(usable.area.height() > 0);
    if (empty != m_emptyAreas.contains(display)) {
        if (empty) {
            m_emptyAreas.insert(display);
            vornWMLog().notice("x11: the display has no usable area display=", display);
        } else {
            m_emptyAreas.erase(display);
        }
    }
}

Point X11Screens::mouseLocation() {
    Connection* connection = m_desktop.connection();
    if (connection == nullptr) {
        return {};
    }
    AfterReplies after(m_desktop);
    const Connection& c = *connection;
    auto pointer = xcb_query_pointer(c.raw(), c.root());
    const std::optional<Monitors> monitors = m_desktop.monitors();
    Reply<xcb_query_pointer_reply_t> reply(xcb_query_pointer_reply(c.raw(), pointer, nullptr));
    if (!reply || !monitors) {
        return {};
    }
    const Rect at = toBottomLeft(Rect(reply->root_x, reply->root_y, 0, 0), *monitors);
    return at.origin;
}

}  // namespace vorn::platform::x11
