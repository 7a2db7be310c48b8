#include "EndToEndSession.h"

#include <algorithm>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "FileIO.h"

namespace vorn::test {
namespace {

std::set<WindowID> ids(const std::vector<WindowInfo>& windows) {
    std::set<WindowID> result;
    for (const WindowInfo& window : windows) {
        result.insert(window.windowID);
    }
    return result;
}

std::vector<std::string> titles(const std::vector<SpaceTab>& tabs) {
    std::vector<std::string> result;
    for (const SpaceTab& tab : tabs) {
        result.push_back(tab.lastTitle);
    }
    return result;
}

const WindowInfo* ambientWindow(SidebarModel& model, WindowID id) {
    for (const WindowInfo& window : model.ambient()) {
        if (window.windowID == id) {
            return &window;
        }
    }
    return nullptr;
}

// The saved state, as the next start of the program would read it.
AppState savedState(const std::filesystem::path& stateFile) {
    const auto bytes = fileio::readFile(stateFile);
    if (!bytes) {
        ADD_FAILURE() << "no state file at " << stateFile;
        return {};
    }
    auto state = decodeStateFile(*bytes);
    if (!state) {
        ADD_FAILURE() << "state file unreadable: " << *bytes;
        return {};
    }
    return *state;
}

struct SavedTab {
    std::string title;
    std::string bundleId;
    std::optional<WindowID> bound;
    bool claimed = false;

    friend bool operator==(const SavedTab&, const SavedTab&) = default;
    friend std::ostream& operator<<(std::ostream& out, const SavedTab& tab) {
        return out << tab.title << " " << tab.bundleId
                   << " bound=" << (tab.bound ? tab.bound->description() : "-")
                   << (tab.claimed ? " claimed" : " pinned");
    }
};

// The tabs of the only space, by title: their place in the file is the model's business.
std::vector<SavedTab> savedTabs(const std::filesystem::path& stateFile) {
    const AppState state = savedState(stateFile);
    EXPECT_EQ(state.spaces.size(), 1u);
    if (state.spaces.empty()) {
        return {};
    }
    EXPECT_EQ(state.spaces.front().name, "Home");
    EXPECT_EQ(state.activeSpaceId, state.spaces.front().id);
    std::vector<SavedTab> tabs;
    for (const SpaceTab& tab : state.spaces.front().tabs) {
        tabs.push_back({tab.lastTitle, tab.app.bundleId, tab.boundWindowID, tab.isClaimed()});
    }
    std::sort(tabs.begin(), tabs.end(),
              [](const SavedTab& a, const SavedTab& b) { return a.title < b.title; });
    return tabs;
}

}  // namespace

SessionProgram::SessionProgram(SessionDesktop& desktop, const std::filesystem::path& stateFile) {
    const WindowLayerContext& context = desktop.context();
    m_manager = MacWindowManager::create(context, desktop.displayID());
    // The run loop outlives the program: the model only borrows it.
    std::shared_ptr<MainExecutor> executor(std::shared_ptr<void>(), &context.platform.runLoop);
    m_model = SidebarModel::make(m_manager, std::make_shared<JSONFileStore>(stateFile), nullptr,
                                 nullptr, executor);
}

SessionProgram::~SessionProgram() {
    // The model owns the manager; dropping both stops the observation.
    m_model.reset();
    m_manager.reset();
}

void runEndToEndSession(SessionDesktop& desktop, const std::filesystem::path& stateFile) {
    const AppRef editor = desktop.application(SessionApp::editor);
    const AppRef viewer = desktop.application(SessionApp::viewer);

    const WindowID notes = desktop.openWindow(SessionApp::editor, "Notes");
    const WindowID draft = desktop.openWindow(SessionApp::editor, "Draft");
    WindowID photo = desktop.openWindow(SessionApp::viewer, "Photo");

    auto program = std::make_unique<SessionProgram>(desktop, stateFile);
    desktop.settle();
    {
        SCOPED_TRACE("first start");
        SidebarModel& model = program->model();
        ASSERT_EQ(model.spaces().size(), 1u);
        EXPECT_EQ(model.spaces().front().name, "Home");
        EXPECT_TRUE(model.pinnedTabs().empty());
        EXPECT_TRUE(model.claimedTabs().empty());
        EXPECT_EQ(ids(model.ambient()), (std::set<WindowID>{notes, draft, photo}));
        EXPECT_EQ(savedTabs(stateFile), std::vector<SavedTab>{});
        EXPECT_EQ(savedState(stateFile).sessionToken, program->manager().currentSessionToken());
    }

    desktop.focusWindow(draft);
    desktop.settle();
    {
        SCOPED_TRACE("a window is focused");
        SidebarModel& model = program->model();
        EXPECT_EQ(model.activeWindowID(), draft);
        ASSERT_FALSE(model.ambient().empty());
        EXPECT_EQ(model.ambient().front().windowID, draft);
    }

    {
        SCOPED_TRACE("an ambient window is claimed");
        SidebarModel& model = program->model();
        const WindowInfo* window = ambientWindow(model, notes);
        ASSERT_NE(window, nullptr);
        model.activate(WindowInfo(*window));
        desktop.settle();
        ASSERT_EQ(model.claimedTabs().size(), 1u);
        const SpaceTab claimed = model.claimedTabs().front();
        EXPECT_EQ(claimed.lastTitle, "Notes");
        EXPECT_EQ(claimed.app.bundleId, editor.bundleId);
        EXPECT_EQ(claimed.boundWindowID, notes);
        EXPECT_EQ(model.activeWindowID(), notes);
        EXPECT_EQ(ids(model.ambient()), (std::set<WindowID>{draft, photo}));
        EXPECT_EQ(savedTabs(stateFile),
                  (std::vector<SavedTab>{{"Notes", editor.bundleId, notes, true}}));
    }

    {
        SCOPED_TRACE("an ambient window is pinned and the claim promoted");
        SidebarModel& model = program->model();
        const WindowInfo* window = ambientWindow(model, photo);
        ASSERT_NE(window, nullptr);
        model.pin(WindowInfo(*window));
        ASSERT_EQ(model.claimedTabs().size(), 1u);
        model.promote(model.claimedTabs().front());
        desktop.settle();
        EXPECT_EQ(titles(model.pinnedTabs()), (std::vector<std::string>{"Photo", "Notes"}));
        EXPECT_TRUE(model.claimedTabs().empty());
        EXPECT_EQ(ids(model.ambient()), std::set<WindowID>{draft});
        EXPECT_EQ(savedTabs(stateFile), (std::vector<SavedTab>{
                                            {"Notes", editor.bundleId, notes, false},
                                            {"Photo", viewer.bundleId, photo, false},
                                        }));
    }

    desktop.closeWindow(photo);
    desktop.passPoll();
    desktop.passPoll();
    {
        SCOPED_TRACE("a pinned tab's window closes");
        SidebarModel& model = program->model();
        const auto pinned = model.pinnedTabs();
        ASSERT_EQ(titles(pinned), (std::vector<std::string>{"Photo", "Notes"}));
        EXPECT_EQ(pinned[0].boundWindowID, std::nullopt);
        EXPECT_EQ(pinned[1].boundWindowID, notes);
        EXPECT_EQ(ids(model.ambient()), std::set<WindowID>{draft});
        EXPECT_EQ(savedTabs(stateFile), (std::vector<SavedTab>{
                                            {"Notes", editor.bundleId, notes, false},
                                            {"Photo", viewer.bundleId, std::nullopt, false},
                                        }));
    }

    photo = desktop.openWindow(SessionApp::viewer, "Photo");
    desktop.settle();
    desktop.passPoll();
    {
        SCOPED_TRACE("the window opens again");
        SidebarModel& model = program->model();
        const auto pinned = model.pinnedTabs();
        ASSERT_EQ(pinned.size(), 2u);
        EXPECT_EQ(pinned[0].boundWindowID, photo);
        EXPECT_EQ(ids(model.ambient()), std::set<WindowID>{draft});
        EXPECT_EQ(savedTabs(stateFile), (std::vector<SavedTab>{
                                            {"Notes", editor.bundleId, notes, false},
                                            {"Photo", viewer.bundleId, photo, false},
                                        }));
    }

    // The program quits; meanwhile the editor's Notes window is closed and opened again.
    program.reset();
    desktop.settle();
    desktop.closeWindow(notes);
    const WindowID notesAgain = desktop.openWindow(SessionApp::editor, "Notes");
    desktop.settle();

    program = std::make_unique<SessionProgram>(desktop, stateFile);
    desktop.settle();
    desktop.passPoll();
    desktop.passPoll();
    {
        SCOPED_TRACE("the program starts again on the same file");
        SidebarModel& model = program->model();
        ASSERT_EQ(model.spaces().size(), 1u);
        const auto pinned = model.pinnedTabs();
        ASSERT_EQ(titles(pinned), (std::vector<std::string>{"Photo", "Notes"}));
        EXPECT_EQ(pinned[0].boundWindowID, photo);
        EXPECT_EQ(pinned[1].boundWindowID, notesAgain);
        EXPECT_TRUE(model.claimedTabs().empty());
        EXPECT_EQ(ids(model.ambient()), std::set<WindowID>{draft});
        EXPECT_EQ(savedTabs(stateFile), (std::vector<SavedTab>{
                                            {"Notes", editor.bundleId, notesAgain, false},
                                            {"Photo", viewer.bundleId, photo, false},
                                        }));
    }
    program.reset();
}

}  // namespace vorn::test
