#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "DocumentMatch.h"
#include "FileURL.h"
#include "RecentlyUsed.h"
#include "TempDir.h"

namespace vorn::platform::x11 {
namespace {

using test::TempDir;
using test::writeText;

TEST(X11DocumentMatchTest, FileNamesCountOnlyAsWholeWords) {
    struct Case {
        std::string title;
        std::string name;
        bool found;
    };
    const Case cases[] = {
        {"notes.txt - Mousepad", "notes.txt", true},
        {"/home/ann/notes.txt - Mousepad", "notes.txt", true},
        {"*notes.txt - Mousepad", "notes.txt", true},
        {"\u25CF notes.txt \u2014 Editor", "notes.txt", true},
        {"\u00ABnotes.txt\u00BB", "notes.txt", true},
        {"notes.txt: line 4", "notes.txt", true},
        {"\u300Cnotes.txt\u300D", "notes.txt", true},
        {"mynotes.txt - notes.txt", "notes.txt", true},
        {"notes.txt.bak - Mousepad", "notes.txt", false},
        {"old-notes.txt - Mousepad", "notes.txt", false},
        {"mynotes.txt - Mousepad", "notes.txt", false},
        {"notes.txt2", "notes.txt", false},
        {"\u00C9notes.txt", "notes.txt", false},
        {"notes.txt\u00E9", "notes.txt", false},
        {"\u65E5notes.txt", "notes.txt", false},
        {"Untitled - Mousepad", "notes.txt", false},
        {"anything", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(containsWholeWord(c.title, c.name), c.found) << c.title << " / " << c.name;
    }
}

TEST(X11DocumentMatchTest, ApplicationsOfTheListAreMatchedByNameOrProgram) {
    EXPECT_EQ(programOf("'mousepad %u'"), "mousepad");
    EXPECT_EQ(programOf("/usr/bin/mousepad %U"), "mousepad");
    EXPECT_EQ(programOf("\"/opt/My Editor/editor\" --new %F"), "editor");
    EXPECT_EQ(programOf("''\\''/opt/My Editor/editor'\\'' %u'"), "editor");
    EXPECT_EQ(programOf("  "), "");

    DesktopEntry mousepad;
    mousepad.id = "org.xfce.mousepad";
    mousepad.name = "Mousepad";
    mousepad.exec = "mousepad %U";
    EXPECT_TRUE(isSameApplication({"mousepad", "'other %u'", {}}, mousepad));
    EXPECT_TRUE(isSameApplication({"Text Editor", "'/usr/bin/mousepad %u'", {}}, mousepad));
    EXPECT_FALSE(isSameApplication({"gedit", "'gedit %u'", {}}, mousepad));

    DesktopEntry wrapped;
    wrapped.name = "Wrapped";
    wrapped.exec = "env GDK_BACKEND=x11 wrapped %U";
    // Both start with env, which says nothing about which program it is.
    EXPECT_FALSE(isSameApplication({"other", "'env other %u'", {}}, wrapped));
}

// A hand-written recently-used list with files that exist, one that was deleted and entries of
// another application, as the editors of a desktop write it.
class X11RecentDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(dir / "one");
        std::filesystem::create_directories(dir / "two");
        for (const char* name : {"one/a.txt", "two/a.txt", "b.txt", "d.txt", "e.txt"}) {
            writeText(dir / name, "x");
        }
        entry.id = "org.xfce.mousepad";
        entry.name = "Mousepad";
        entry.exec = "mousepad %U";
    }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    std::string bookmark(const std::string& name,
                         const std::string& application,
                         const std::string& exec,
                         const std::string& modified) const {
        return "<bookmark href=\"" + FileURL::fromPath(path(name))
               + "\" added=\"2024-01-01T00:00:00Z\" modified=\"" + modified + "\">\n"
               + "<info><metadata owner=\"http://freedesktop.org\"><bookmark:applications>\n"
               + "<bookmark:application name=\"" + application + "\" exec=\"" + exec
               + "\" modified=\"" + modified + "\" count=\"1\"/>\n"
               + "</bookmark:applications></metadata></info></bookmark>\n";
    }

    std::vector<RecentFile> list() const {
        const std::string mousepad = "&apos;mousepad %u&apos;";
        const std::string text =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<xbel version=\"1.0\"\n"
            " xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
            " xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
            + bookmark("one/a.txt", "Mousepad", mousepad, "2024-03-01T10:00:00.000001Z")
            + bookmark("two/a.txt", "Mousepad", mousepad, "2024-03-01T10:00:00.5Z")
            + bookmark("b.txt", "gedit", "&apos;gedit %u&apos;", "2024-03-02T10:00:00Z")
            + bookmark("c.txt", "Mousepad", mousepad, "2024-03-02T10:00:00Z")
            + bookmark("d.txt", "Mousepad", mousepad, "2024-03-03T10:00:00Z")
            + bookmark("e.txt", "Mousepad", mousepad, "2024-03-03T10:00:00Z") + "</xbel>\n";
        std::string error;
        auto files = parseRecentlyUsed(text, &error);
        EXPECT_TRUE(files) << error;
        return files.value_or(std::vector<RecentFile>{});
    }

    std::optional<std::string> documentFor(const std::string& title) const {
        const auto files = list();
        const auto choice =
            chooseDocument(recentDocumentsOf(files, entry), title, home, isReadableDocument);
        return choice.kind == DocumentChoice::Kind::one ? std::optional(choice.path) : std::nullopt;
    }

    TempDir dir;
    std::string home = dir.path().string();
    DesktopEntry entry;
};

TEST_F(X11RecentDocumentTest, TheTitleNamesTheDocumentOfItsApplicationOnly) {
    std::filesystem::remove(dir / "c.txt");
    struct Case {
        std::string title;
        std::optional<std::string> document;
    };
    const Case cases[] = {
        // The most recently used of two files of that name.
        {"a.txt - Mousepad", path("two/a.txt")},
        // A title with the whole path names that one, however long ago it was used.
        {path("one/a.txt") + " - Mousepad", path("one/a.txt")},
        {"~/one/a.txt - Mousepad", path("one/a.txt")},
        {"*d.txt - Mousepad", path("d.txt")},
        // Only gedit opened it.
        {"b.txt - Mousepad", std::nullopt},
        // Deleted since.
        {"c.txt - Mousepad", std::nullopt},
        // Two candidates.
        {"d.txt e.txt - Mousepad", std::nullopt},
        {"xd.txt - Mousepad", std::nullopt},
        {"Untitled - Mousepad", std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(documentFor(c.title), c.document) << c.title;
    }
}

TEST(X11CommandLineDocumentTest, AnArgumentNamedInTheTitleIsTheDocument) {
    TempDir dir;
    std::filesystem::create_directories(dir / "work");
    writeText(dir / "work/notes.txt", "x");
    writeText(dir / "other.txt", "x");
    writeText(dir / "-dash.txt", "x");
    const std::string work = (dir / "work").string();
    const std::string other = (dir / "other.txt").string();
    using namespace std::string_literals;
    const std::string line = "editor\0--geometry\0"s + "10x10\0notes.txt\0"s
                             + FileURL::fromPath(other) + "\0../work/./notes.txt\0missing.txt\0"s
                             + "--\0../-dash.txt\0"s;
    const auto candidates = commandLineDocuments(line, work);
    std::vector<std::string> paths;
    for (const auto& candidate : candidates) {
        paths.push_back(candidate.path);
    }
    EXPECT_EQ(paths,
              (std::vector<std::string>{work + "/10x10", work + "/notes.txt", other,
                                        work + "/missing.txt", (dir / "-dash.txt").string()}));

    struct Case {
        std::string title;
        std::optional<std::string> document;
    };
    const Case cases[] = {
        {"notes.txt - Editor", work + "/notes.txt"}, {"Editor: other.txt", other},
        {"-dash.txt", (dir / "-dash.txt").string()}, {"notes.txt and other.txt", std::nullopt},
        {"missing.txt - Editor", std::nullopt},      {"10x10", std::nullopt},
    };
    for (const Case& c : cases) {
        const auto choice = chooseDocument(candidates, c.title, "", isReadableDocument);
        EXPECT_EQ(
            choice.kind == DocumentChoice::Kind::one ? std::optional(choice.path) : std::nullopt,
            c.document)
            << c.title;
    }
    // Without its working directory a relative argument names nothing.
    EXPECT_EQ(commandLineDocuments("editor\0notes.txt\0"s, "").size(), 0u);
}

TEST(X11CommandLineDocumentTest, SourcesThatDisagreeNameNoDocument) {
    using Kind = DocumentChoice::Kind;
    const DocumentChoice a{Kind::one, "/a"};
    const DocumentChoice b{Kind::one, "/b"};
    const DocumentChoice none{};
    const DocumentChoice unclear{Kind::ambiguous, {}};
    EXPECT_EQ(combineChoices(a, none), a);
    EXPECT_EQ(combineChoices(none, a), a);
    EXPECT_EQ(combineChoices(a, a), a);
    EXPECT_EQ(combineChoices(a, b).kind, Kind::ambiguous);
    EXPECT_EQ(combineChoices(unclear, a).kind, Kind::ambiguous);
    EXPECT_EQ(combineChoices(none, none).kind, Kind::none);
}

TEST(X11RecentlyUsedParseTest, RefusesWhatIsNoBookmarkFile) {
    const std::string entities =
        "<?xml version=\"1.0\"?>\n<!DOCTYPE xbel [<!ENTITY a \"aaaaaaaaaa\">"
        "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]>\n<xbel>&b;</xbel>";
    for (const std::string& text :
         {std::string("<xbel><bookmark href=\"file:///a\">"), std::string("<html></html>"),
          std::string(""), std::string("<xbel></xbel><xbel/>"), entities}) {
        std::string error;
        EXPECT_FALSE(parseRecentlyUsed(text, &error)) << text;
        EXPECT_FALSE(error.empty()) << text;
    }
    EXPECT_EQ(parseRecentlyUsed("<xbel version=\"1.0\"/>")->size(), 0u);

    EXPECT_EQ(parseBookmarkTime("1970-01-01T00:00:01Z"), 1000000);
    EXPECT_EQ(parseBookmarkTime("1970-01-01T01:00:00+01:00"), 0);
    EXPECT_EQ(parseBookmarkTime("2024-02-29T00:00:00.25Z"), 1709164800250000);
    for (const char* bad : {"2023-02-29T00:00:00Z", "2024-01-01 00:00:00Z", "2024-01-01T25:00:00Z",
                            "2024-01-01T00:00:00.Z", "2024-01-01T00:00:00Q", "yesterday"}) {
        EXPECT_FALSE(parseBookmarkTime(bad)) << bad;
    }
}

}  // namespace
}  // namespace vorn::platform::x11
