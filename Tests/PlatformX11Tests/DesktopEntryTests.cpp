#include <filesystem>

#include <gtest/gtest.h>

#include "AppIdentity.h"
#include "DesktopEntries.h"
#include "DocumentURL.h"
#include "ExecLine.h"
#include "FileURL.h"
#include "TempDir.h"

namespace vorn::platform::x11 {
namespace {

using test::TempDir;
using test::writeText;

TEST(X11DesktopEntryTest, ParsesTheApplicationGroupWithEscapesAndLocalisedNames) {
    const char* text =
        "# comment\n"
        "[Desktop Action new]\nName=Other\nExec=other\n"
        "[Desktop Entry]\n"
        "Type=Application\n"
        "Name=Editor\n"
        "Name[de]=Bearbeiter\n"
        "Name[de_AT]=\n"
        "Exec = editor\\sone --x \"a\\\\\\\"b\" %F \n"
        "Path=/srv/work\n"
        "StartupWMClass=EditorWin\n"
        "Icon=editor\n";
    auto entry = parseDesktopEntry(text, {"de_AT", "de"});
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "Bearbeiter");
    EXPECT_EQ(entry->exec, "editor one --x \"a\\\\\"b\" %F");
    EXPECT_EQ(entry->workingDirectory, "/srv/work");
    EXPECT_EQ(entry->startupWMClass, "EditorWin");
    EXPECT_FALSE(entry->hidden);
    EXPECT_EQ(parseDesktopEntry(text, {})->name, "Editor");

    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Link\nURL=x\n", {}));
    EXPECT_FALSE(parseDesktopEntry("Type=Application\nExec=x\n", {}));
    EXPECT_TRUE(parseDesktopEntry("[Desktop Entry]\nType=Application\nHidden=true\n", {})->hidden);
}

TEST(X11DesktopEntryTest, LocaleSuffixesGoFromSpecificToGeneral) {
    EXPECT_EQ(localeSuffixes("de_DE.UTF-8@euro"),
              (std::vector<std::string>{"de_DE@euro", "de_DE", "de@euro", "de"}));
    EXPECT_EQ(localeSuffixes("fr_CA.UTF-8"), (std::vector<std::string>{"fr_CA", "fr"}));
    EXPECT_EQ(localeSuffixes("sr@latin"), (std::vector<std::string>{"sr@latin", "sr"}));
    EXPECT_TRUE(localeSuffixes("C.UTF-8").empty());
    EXPECT_TRUE(localeSuffixes("POSIX").empty());
}

class X11DesktopIndexTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home / "kde4");
        std::filesystem::create_directories(system);
    }
    void write(const std::filesystem::path& path, const std::string& body) {
        writeText(path, "[Desktop Entry]\nType=Application\n" + body);
    }

    TempDir dir;
    std::filesystem::path home = dir / "home";
    std::filesystem::path system = dir / "system";
    DesktopEntryIndex index{{home, system}};
};

TEST_F(X11DesktopIndexTest, EarlierDirectoriesWinAndHiddenEntriesMaskLaterOnes) {
    write(home / "org.example.Editor.desktop", "Name=Mine\nExec=mine\n");
    write(system / "org.example.Editor.desktop", "Name=System\nExec=system\n");
    write(home / "gone.desktop", "Hidden=true\n");
    write(system / "gone.desktop", "Name=Gone\nExec=gone\n");
    write(home / "kde4" / "viewer.desktop", "Name=Viewer\nExec=viewer\n");
    writeText(system / "notes.txt", "[Desktop Entry]\nType=Application\n");

    ASSERT_NE(index.byID("org.example.Editor"), nullptr);
    EXPECT_EQ(index.byID("org.example.Editor")->name, "Mine");
    EXPECT_EQ(index.byID("gone"), nullptr);
    ASSERT_NE(index.byID("kde4-viewer"), nullptr);
    EXPECT_EQ(index.byPath(home / "kde4" / "viewer.desktop")->id, "kde4-viewer");
    EXPECT_EQ(index.byID("notes"), nullptr);
    // Ids are never turned into paths: a traversal finds nothing.
    EXPECT_EQ(index.byID("../system/org.example.Editor"), nullptr);
}

TEST_F(X11DesktopIndexTest, RefreshSeesEntriesAddedLaterAndLookupsMatchClasses) {
    EXPECT_EQ(index.byID("org.example.Terminal"), nullptr);
    write(system / "org.example.Terminal.desktop", "Name=Terminal\nExec=term\n");
    write(system / "Paint.desktop", "Name=Paint\nExec=paint\nStartupWMClass=PaintMain\n");
    EXPECT_EQ(index.byID("org.example.Terminal"), nullptr);
    index.refresh();
    ASSERT_NE(index.byID("org.example.Terminal"), nullptr);

    struct Case {
        WindowClass windowClass;
        const char* expected;
    };
    const Case cases[] = {
        {{"paint", "PaintMain"}, "Paint"},
        {{"PaintMain", "Other"}, "Paint"},
        {{"terminal", "Terminal"}, "org.example.Terminal"},
        {{"org.example.terminal", "x"}, "org.example.Terminal"},
        {{"nal", "Nal"}, nullptr},
        {{"", ""}, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.windowClass.instance + "/" + c.windowClass.windowClass);
        const DesktopEntry* found =
            index.forClass(c.windowClass.windowClass, c.windowClass.instance);
        if (c.expected == nullptr) {
            EXPECT_EQ(found, nullptr);
        } else {
            ASSERT_NE(found, nullptr);
            EXPECT_EQ(found->id, c.expected);
        }
    }
}

TEST_F(X11DesktopIndexTest, IdentityPrefersApplicationIdsThenClassMatchesThenTheClass) {
    write(system / "org.example.Mail.desktop", "Name=Mail\nExec=mail\n");
    write(system / "org.kde.viewer.desktop", "Name=Viewer\nExec=viewer\n");
    write(system / "term.desktop", "Name=Term\nExec=term\nStartupWMClass=XTerm\n");
    struct Case {
        const char* name;
        ClientWindow window;
        AppIdentity expected;
    };
    std::string hugeClass;
    for (int i = 0; i < 5000; ++i) {
        hugeClass += "\u00E9";
    }
    auto window = [](std::string gtk, std::string kde, std::optional<WindowClass> cls) {
        ClientWindow w;
        w.gtkApplicationID = std::move(gtk);
        w.kdeDesktopFile = std::move(kde);
        w.windowClass = std::move(cls);
        return w;
    };
    const Case cases[] = {
        {"gtk id",
         window("org.example.Mail", "", WindowClass{"mail", "Mail"}),
         {"org.example.Mail", "Mail"}},
        {"kde file with suffix",
         window("", "org.kde.viewer.desktop", std::nullopt),
         {"org.kde.viewer", "Viewer"}},
        {"unknown gtk id falls to the class",
         window("org.none", "", WindowClass{"xterm", "XTerm"}),
         {"term", "Term"}},
        {"class only", window("", "", WindowClass{"tool", "Tool"}), {"Tool", "Tool"}},
        {"instance only", window("", "", WindowClass{"tool", ""}), {"tool", "tool"}},
        {"nothing", window("", "", std::nullopt), {std::nullopt, std::nullopt}},
        // A class of 5,000 Latin-1 letters "é" (two bytes each in UTF-8) is cut to 254 bytes.
        {"huge class",
         window("", "", WindowClass{"x", hugeClass}),
         {hugeClass.substr(0, 254), hugeClass.substr(0, 254)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(identify(c.window, index), c.expected);
    }
}

TEST(X11ExecLineTest, ExpandsFieldCodesAndQuoting) {
    DesktopEntry entry;
    entry.name = "Edit Me";
    entry.icon = "editor";
    entry.path = "/usr/share/applications/editor.desktop";
    const std::vector<std::string> one{"/tmp/a b.txt"};
    const std::vector<std::string> two{"/tmp/a", "/tmp/b"};
    struct Case {
        const char* exec;
        std::vector<std::string> documents;
        std::optional<std::vector<std::string>> expected;
    };
    const Case cases[] = {
        {"editor %f", one, {{"editor", "/tmp/a b.txt"}}},
        {"editor %u", one, {{"editor", "file:///tmp/a%20b.txt"}}},
        {"editor %F", two, {{"editor", "/tmp/a", "/tmp/b"}}},
        {"editor %U --new", two, {{"editor", "file:///tmp/a", "file:///tmp/b", "--new"}}},
        {"editor %f", {}, {{"editor"}}},
        {"editor", one, {{"editor", "/tmp/a b.txt"}}},
        {"editor --file=%f", one, {{"editor", "--file=/tmp/a b.txt"}}},
        {"editor %i %c %k",
         {},
         {{"editor", "--icon", "editor", "Edit Me", "/usr/share/applications/editor.desktop"}}},
        {"editor 100%% %d %m", {}, {{"editor", "100%"}}},
        {"\"/opt/my app/run\" \"%f\" 'x'", {}, {{"/opt/my app/run", "%f", "'x'"}}},
        {"sh -c \"echo \\\"\\$HOME\\\"\"", {}, {{"sh", "-c", "echo \"$HOME\""}}},
        {"editor \"unterminated", {}, std::nullopt},
        {"", {}, std::nullopt},
        {"%f", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exec);
        entry.exec = c.exec;
        EXPECT_EQ(expandExec(entry, c.documents), c.expected);
    }
    EXPECT_TRUE(takesManyDocuments("x %U"));
    EXPECT_FALSE(takesManyDocuments("x %u"));
}

TEST(X11DocumentURLTest, OnlyAbsoluteLocalPathsPass) {
    struct Case {
        const char* input;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"/home/a/notes.txt", "/home/a/notes.txt"},
        {"file:///home/a/my%20notes.txt", "/home/a/my notes.txt"},
        {"file://localhost/tmp/x", "/tmp/x"},
        {"file:/tmp/x", "/tmp/x"},
        {"file:///tmp/x?query#part", "/tmp/x"},
        {"file://fileserver.example/share/x", std::nullopt},
        {"file:///tmp/%zz", std::nullopt},
        {"file:///tmp/%4", std::nullopt},
        {"file:///tmp/a%00b", std::nullopt},
        {"notes.txt", std::nullopt},
        {"https://example.org/x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        EXPECT_EQ(localDocumentPath(c.input), c.expected);
    }
    EXPECT_EQ(FileURL::fromPath("/tmp/Grüße & co/#1"), "file:///tmp/Gr%C3%BC%C3%9Fe%20&%20co/%231");
    EXPECT_EQ(localDocumentPath(FileURL::fromPath("/tmp/Grüße & co/#1")), "/tmp/Grüße & co/#1");
}

}  // namespace
}  // namespace vorn::platform::x11
