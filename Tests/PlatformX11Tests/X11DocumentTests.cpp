#include <gtest/gtest.h>

#include "FileURL.h"
#include "MacWindowManager.h"
#include "TempDir.h"
#include "X11Fixture.h"

namespace vorn {
namespace {

using test::writeText;

// The documents of windows as the window layer lists them, from test windows of an editor that
// has a desktop entry.
class X11DocumentTest : public test::X11Fixture {
protected:
    void SetUp() override {
        X11Fixture::SetUp();
        writeText(applications / "org.vorn.Editor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor %F\n"
                  "StartupWMClass=VornEditor\n");
        manager = MacWindowManager::create(*context, std::nullopt);
    }
    void TearDown() override { manager.reset(); }

    std::string file(const std::string& name) {
        writeText(documents / name, "x");
        return (documents / name).string();
    }

    void saveList(const std::vector<std::pair<std::string, std::string>>& fileAndApplication) {
        std::string text =
            "<xbel version=\"1.0\" xmlns:bookmark="
            "\"http://www.freedesktop.org/standards/desktop-bookmarks\">\n";
        for (const auto& [path, application] : fileAndApplication) {
            text += "<bookmark href=\"" + FileURL::fromPath(path)
                    + "\" added=\"2024-01-01T00:00:00Z\"><info><metadata><bookmark:applications>"
                      "<bookmark:application name=\""
                    + application + "\" exec=\"&apos;" + application
                    + " %u&apos;\"/></bookmark:applications></metadata></info></bookmark>\n";
        }
        writeText(recentlyUsed.string() + ".new", text + "</xbel>\n");
        std::filesystem::rename(recentlyUsed.string() + ".new", recentlyUsed);
    }

    // The window's document as listed; "" for none, and "(unlisted)" when it is not listed.
    std::string documentOf(xcb_window_t window) {
        const auto windows = manager->listWindows();
        for (const WindowInfo& info : windows.value_or(std::vector<WindowInfo>{})) {
            if (info.windowID == WindowID(window)) {
                return info.docPath.value_or("");
            }
        }
        return "(unlisted)";
    }

    // Lists until the window shows the document: the list is read on later turns of the loop.
    bool showsDocument(xcb_window_t window, const std::string& expected) {
        return runUntil([&] { return documentOf(window) == expected; });
    }

    test::TempDir documents;
    std::shared_ptr<MacWindowManager> manager;
};

TEST_F(X11DocumentTest, TheListAndTheCommandLineNameTheFilesTheTitlesShow) {
    const std::string launched = file("launched.txt");
    const std::string listed = file("listed.txt");
    const std::string later = file("later.txt");
    saveList({{listed, "Editor"}, {file("other.txt"), "Viewer"}});

    // One window of a process started on the file.
    const auto single = session.openTestWindow({"--class", "editor,VornEditor", launched});
    // Two windows of one process: only the list can tell.
    const auto shared = session.openListeningTestWindow({"--class", "editor,VornEditor"}, 0);
    ASSERT_TRUE(single && shared);
    const auto listedWindow = session.openAnother(*shared, "listed.txt - Editor");
    const auto untitled = session.openAnother(*shared, "Untitled - Editor");
    const auto foreign = session.openAnother(*shared, "other.txt - Editor");
    const auto xterm = session.openXterm("listed.txt");
    ASSERT_TRUE(listedWindow && untitled && foreign && xterm);

    EXPECT_TRUE(showsDocument(*listedWindow, listed));
    EXPECT_TRUE(showsDocument(single->windows.front(), launched));
    EXPECT_EQ(documentOf(*untitled), "");
    EXPECT_EQ(documentOf(*foreign), "") << "another application's file";
    EXPECT_EQ(documentOf(xterm->windows.front()), "") << "another application";

    // A change of the list is seen without a restart; a file that went is no document.
    std::filesystem::remove(listed);
    saveList({{listed, "Editor"}, {later, "Editor"}});
    const auto laterWindow = session.openAnother(*shared, "later.txt - Editor");
    ASSERT_TRUE(laterWindow);
    EXPECT_TRUE(showsDocument(*laterWindow, later));
    EXPECT_EQ(documentOf(*listedWindow), "");
}

}  // namespace
}  // namespace vorn
