// A real editor from the distribution, Mousepad, which records the files it opens in the
// recently-used list as every GTK application does: pinned tabs of its windows keep their
// documents, open them again when their windows are gone, and find them again after a restart.

#include <cstdlib>
#include <fstream>
#include <map>

#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "MacWindowManager.h"
#include "SidebarModel.h"
#include "Store.h"
#include "TempDir.h"
#include "X11Fixture.h"

namespace vorn {
namespace {

using test::hexID;
using test::writeText;

// One run of the program on the desktop: its window manager and its model on the state file.
struct Program {
    Program(const WindowLayerContext& context, const std::filesystem::path& stateFile) {
        manager = MacWindowManager::create(context, std::nullopt);
        // The run loop outlives the program: the model only borrows it.
        std::shared_ptr<MainExecutor> executor(std::shared_ptr<void>(), &context.platform.runLoop);
        model = SidebarModel::make(manager, std::make_shared<JSONFileStore>(stateFile), nullptr,
                                   nullptr, executor);
    }
    ~Program() {
        model.reset();
        manager.reset();
    }

    std::optional<SpaceTab> pinnedTab(const std::string& document) const {
        for (const SpaceTab& tab : model->pinnedTabs()) {
            if (tab.docPath == document) {
                return tab;
            }
        }
        return std::nullopt;
    }
    std::optional<WindowInfo> ambient(xcb_window_t window) const {
        for (const WindowInfo& info : model->ambient()) {
            if (info.windowID == WindowID(window)) {
                return info;
            }
        }
        return std::nullopt;
    }

    std::shared_ptr<MacWindowManager> manager;
    std::shared_ptr<SidebarModel> model;
};

// The editor runs in a home of its own with a session bus of its own; its settings open every
// file in a window of its own and never offer to restore an earlier session.
class X11EditorDocumentTest : public test::X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        if (HasFatalFailure()) {
            return;
        }
        const std::filesystem::path dir = session.directory();
        home = dir / "home";
        std::filesystem::create_directories(home / "docs");
        std::filesystem::create_directories(dir / "config" / "glib-2.0" / "settings");
        std::filesystem::create_directories(dir / "runtime");
        std::filesystem::permissions(dir / "runtime", std::filesystem::perms::owner_all);
        const std::filesystem::path bus = dir / "bus";
        ASSERT_TRUE(session.spawn({"dbus-daemon", "--session", "--nofork", "--nopidfile",
                                   "--address=unix:path=" + bus.string()}));
        ASSERT_TRUE(session.waitFor([&] { return std::filesystem::exists(bus); }));
        // The recently-used list lands where the backend reads it: in the data directory.
        setVariable("HOME", home.string());
        setVariable("XDG_DATA_HOME", recentlyUsed.parent_path().string());
        setVariable("XDG_CONFIG_HOME", (dir / "config").string());
        setVariable("XDG_CACHE_HOME", (dir / "cache").string());
        setVariable("XDG_RUNTIME_DIR", (dir / "runtime").string());
        setVariable("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + bus.string());
        setVariable("GSETTINGS_BACKEND", "keyfile");
        setVariable("NO_AT_BRIDGE", "1");
        setPathsInTitles(true);
        std::filesystem::copy_file("/usr/share/applications/org.xfce.mousepad.desktop",
                                   applications / "org.xfce.mousepad.desktop");
        stateFile = dir / "state.json";
    }

    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
        if (other != nullptr) {
            xcb_disconnect(other);
        }
    }

    // For the editor, whether the test starts it or the program under test does.
    void setVariable(const std::string& name, const std::string& value) {
        const char* old = std::getenv(name.c_str());
        saved.emplace(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
        ::setenv(name.c_str(), value.c_str(), 1);
    }

    void setPathsInTitles(bool paths) {
        writeText(session.directory() / "config" / "glib-2.0" / "settings" / "keyfile",
                  "[org/xfce/mousepad/preferences/window]\nopening-mode='" + openingMode + "'\n"
                      + "path-in-title=" + (paths ? "true" : "false") + "\n"
                      + "[org/xfce/mousepad/preferences/file]\nsession-restore='never'\n");
    }

    std::string document(const std::string& name) {
        writeText(home / "docs" / name, name + "\n");
        return (home / "docs" / name).string();
    }

    std::string titleOf(xcb_window_t window) {
        xcb_connection_t* c = session.connection();
        auto cookie = xcb_get_property(c, 0, window, session.atom("_NET_WM_NAME"),
                                       session.atom("UTF8_STRING"), 0, 1024);
        std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
            xcb_get_property_reply(c, cookie, nullptr), &std::free);
        if (!reply) {
            return {};
        }
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           static_cast<std::size_t>(xcb_get_property_value_length(reply.get())));
    }

    // The managed window with this title, once there is one.
    std::optional<xcb_window_t> windowTitled(const std::string& title) {
        std::optional<xcb_window_t> found;
        session.waitFor(
            [&] {
                for (xcb_window_t window : session.clients()) {
                    if (titleOf(window) == title) {
                        found = window;
                        return true;
                    }
                }
                return false;
            },
            std::chrono::seconds(20));
        return found;
    }

    static std::string documentOf(MacWindowManager& manager, xcb_window_t window) {
        for (const WindowInfo& info : manager.listWindows().value_or(std::vector<WindowInfo>{})) {
            if (info.windowID == WindowID(window)) {
                return info.docPath.value_or("");
            }
        }
        return "(unlisted)";
    }

    // Two pinned tabs of an editor with tabs, which opens a file in the window it has, and the
    // editor closed: the first click reopens notes.txt in a new window, the second hands
    // shopping.txt to the running editor, which shows it in that window. The editor's entry is
    // in the applications directory already.
    void reopenTwoFilesOfATabbedEditor(const AppRef& editor) {
        const std::string notes = document("notes.txt");
        const std::string shopping = document("shopping.txt");
        Space space{Uuid::random(), "Home", 0, {}, false};
        for (const std::string& file : {notes, shopping}) {
            space.tabs.push_back(
                {Uuid::random(), editor, std::filesystem::path(file).filename().string(),
                 static_cast<std::int64_t>(space.tabs.size()), file, std::nullopt, std::nullopt});
        }
        AppState state;
        state.spaces.push_back(space);
        ASSERT_TRUE(JSONFileStore(stateFile).save(state));

        Program program(*context, stateFile);
        std::vector<OpenFailure> told;
        program.model->setOpenFailureReporter(
            [&](const OpenFailure& failure) { told.push_back(failure); });
        test::CapturingLogSink log;
        program.model->activate(*program.pinnedTab(notes));
        const auto window = program.pinnedTab(notes)->boundWindowID;
        ASSERT_TRUE(window) << "the editor did not show " << notes;

        program.model->activate(*program.pinnedTab(shopping));
        EXPECT_TRUE(told.empty());
        EXPECT_EQ(log.count("model", "activate tab FAILED"), 0u);
        EXPECT_EQ(session.activeWindow(), window->raw);
        EXPECT_TRUE(runUntil([&] { return documentOf(*program.manager, window->raw) == shopping; },
                             std::chrono::seconds(10)));
        for (int i = 0; i < 3; ++i) {
            program.model->refresh();
        }
        std::vector<std::string> shown;
        for (const WindowInfo& info :
             program.manager->listWindows().value_or(std::vector<WindowInfo>{})) {
            if (info.app.bundleId == editor.bundleId) {
                shown.push_back(std::to_string(info.windowID.raw) + " "
                                + info.docPath.value_or("-"));
            }
        }
        EXPECT_EQ(shown, std::vector<std::string>{std::to_string(window->raw) + " " + shopping});
        // The notes tab keeps its own document while its window shows the other.
        const auto notesTab = program.pinnedTab(notes);
        ASSERT_TRUE(notesTab) << "notes.txt is gone from the pinned tabs";
        EXPECT_EQ(notesTab->boundWindowID, window);
        ASSERT_TRUE(program.pinnedTab(shopping));
        EXPECT_EQ(program.model->pinnedTabs().size(), 2u);

        // Asked again, the window that shows the document is the answer at once.
        const auto start = runLoop.now();
        program.model->activate(*program.pinnedTab(shopping));
        EXPECT_LT(runLoop.now() - start, MacWindowManager::launchWindowTimeout);
        EXPECT_TRUE(told.empty());
        EXPECT_EQ(session.activeWindow(), window->raw);
    }

    std::string openingMode = "window";
    std::filesystem::path home;
    std::filesystem::path stateFile;
    std::map<std::string, std::optional<std::string>> saved;
    xcb_connection_t* other = nullptr;
};

TEST_F(X11EditorDocumentTest, PinnedTabsReopenTheirFilesAndBindByDocumentAfterARestart) {
    const std::string first = document("first.txt");
    const std::string second = document("second.txt");
    // The window of the second file keeps the editor running while the first one's is closed.
    auto editor = session.spawn({"mousepad", second});
    ASSERT_TRUE(editor);
    const auto secondWindow = windowTitled(second + " - Mousepad");
    ASSERT_TRUE(secondWindow) << "mousepad did not show " << second;
    ASSERT_TRUE(session.spawn({"mousepad", first}));
    const auto firstWindow = windowTitled(first + " - Mousepad");
    ASSERT_TRUE(firstWindow) << "mousepad did not show " << first;

    std::optional<WindowID> reopened;
    {
        Program program(*context, stateFile);
        // Both windows belong to one process: only the recently-used list tells their files.
        EXPECT_TRUE(runUntil(
            [&] {
                return documentOf(*program.manager, *firstWindow) == first
                       && documentOf(*program.manager, *secondWindow) == second;
            },
            std::chrono::seconds(10)));
        ASSERT_TRUE(runUntil(
            [&] {
                const auto a = program.ambient(*firstWindow);
                const auto b = program.ambient(*secondWindow);
                return a && a->docPath == first && b && b->docPath == second;
            },
            std::chrono::seconds(10)));
        program.model->pin(*program.ambient(*firstWindow));
        program.model->pin(*program.ambient(*secondWindow));
        ASSERT_TRUE(program.pinnedTab(first) && program.pinnedTab(second));

        ASSERT_TRUE(session.run({"wmctrl", "-i", "-c", hexID(*firstWindow)}));
        ASSERT_TRUE(session.waitFor([&] {
            const auto clients = session.clients();
            return std::find(clients.begin(), clients.end(), *firstWindow) == clients.end();
        }));

        // The click on the tab: the editor opens the file again, in a new window, which is
        // brought forward and placed as soon as the window manager lists it.
        test::CapturingLogSink log;
        program.model->activate(*program.pinnedTab(first));
        const auto tab = program.pinnedTab(first);
        ASSERT_TRUE(tab && tab->boundWindowID);
        reopened = tab->boundWindowID;
        EXPECT_NE(*reopened, WindowID(*firstWindow));
        EXPECT_EQ(log.count("windowmanager", "x11: not fronted"), 0u);
        EXPECT_EQ(log.count("model", "place win=" + std::to_string(reopened->raw) + " mode=fill"),
                  1u);
        EXPECT_EQ(titleOf(reopened->raw), first + " - Mousepad");
        EXPECT_TRUE(runUntil([&] { return documentOf(*program.manager, reopened->raw) == first; }));
        // The program runs on until a refresh has seen the window as it now is.
        EXPECT_TRUE(runUntil(
            [&] {
                const auto now = program.pinnedTab(first);
                return now && now->boundWindowID == reopened
                       && now->lastTitle == first + " - Mousepad";
            },
            std::chrono::seconds(10)));
    }

    // Later the editor runs again on both files, in new windows whose titles now show no paths:
    // neither the saved window numbers nor the saved titles can find them, only the documents.
    session.stop(*editor);
    ASSERT_TRUE(session.waitFor([&] { return session.clients().empty(); }));
    // Another client takes the editor's place at the server, so that its windows get new ids.
    other = xcb_connect(session.display().c_str(), nullptr);
    setPathsInTitles(false);
    editor = session.spawn({"mousepad", first, second});
    ASSERT_TRUE(editor);
    const auto newFirst = windowTitled("first.txt - Mousepad");
    const auto newSecond = windowTitled("second.txt - Mousepad");
    ASSERT_TRUE(newFirst && newSecond);
    for (xcb_window_t old : {*firstWindow, *secondWindow, reopened->raw}) {
        ASSERT_NE(*newFirst, old);
        ASSERT_NE(*newSecond, old);
    }

    const auto savedTitles = JSONFileStore(stateFile).load().spaces.front().tabs;
    ASSERT_EQ(savedTitles.size(), 2u);
    EXPECT_EQ(savedTitles.front().lastTitle, first + " - Mousepad");
    Program program(*context, stateFile);
    ASSERT_TRUE(program.pinnedTab(first) && program.pinnedTab(second));
    EXPECT_TRUE(runUntil(
        [&] {
            const auto a = program.pinnedTab(first);
            const auto b = program.pinnedTab(second);
            return a && a->boundWindowID == WindowID(*newFirst) && b
                   && b->boundWindowID == WindowID(*newSecond);
        },
        std::chrono::seconds(10)));
    EXPECT_EQ(program.pinnedTab(first)->lastTitle, "first.txt - Mousepad");
    EXPECT_EQ(program.model->pinnedTabs().size(), 2u);
}

TEST_F(X11EditorDocumentTest, ATabbedEditorShowsAReopenedFileInTheWindowItHas) {
    openingMode = "tab";
    setPathsInTitles(false);
    reopenTwoFilesOfATabbedEditor({"org.xfce.mousepad", "Mousepad"});
}

TEST_F(X11EditorDocumentTest, GeanyShowsAReopenedFileInTheWindowItHas) {
    std::filesystem::copy_file("/usr/share/applications/geany.desktop",
                               applications / "geany.desktop");
    reopenTwoFilesOfATabbedEditor({"geany", "Geany"});
}

}  // namespace
}  // namespace vorn
