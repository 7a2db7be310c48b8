#include <gtest/gtest.h>

#include "CapturingLogSink.h"
#include "Log.h"
#include "Text.h"

namespace vorn {
namespace {

struct TitleCase {
    const char* title;
    const char* appName;
    const char* key;
};

TEST(TextTests, NormalizedTitle) {
    const TitleCase cases[] = {
        {"Caf\u00E9", "X", "caf\u00E9"},
        {"Cafe\u0301", "X", "caf\u00E9"},
        {"\u0130stanbul", "X", "i\u0307stanbul"},  // full lower-casing, not Turkish
        {"\u00A0\u3000Report\u2003Two\u3000\t\n\u2029", "X", "report\u2003two"},
        {"\u25CF Report \u2014 Edited \u2014 Pages", "Pages", "report"},
        {"Report \u2014 Pages \u2014 Edited", "Pages", "report"},
        {"* \u2022\t\u25CF Notes - Edited \u2014 Edited", "X", "notes"},
        {"Notes \u2014 Edited \u2014 Edited", "X", "notes \u2014 edited"},
        {"Report \u2014 Pages \u2014 Pages", "Pages", "report \u2014 pages"},
        {"Report \u2014 Pages", "Page", "report \u2014 pages"},
        {"Report \u2014 Cafe\u0301", "Caf\u00E9", "report"},
        // Whole characters only: a marker with a combining mark, a suffix whose blank joins the
        // character before it (a prepended sign).
        {"\u25CF\u0301 Report", "X", "\u25CF\u0301 report"},
        {"Report\u0600 \u2014 Pages", "Pages", "report\u0600 \u2014 pages"},
        {"\u25CF", "X", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(text::normalizedTitle(c.title, c.appName), c.key) << c.title;
    }
}

TEST(TextTests, Utf8PrefixNeverSplitsACharacter) {
    // "é" is two bytes, "€" three, "𝄞" four.
    EXPECT_EQ(text::utf8Prefix("ab\u00E9", 3), "ab");
    EXPECT_EQ(text::utf8Prefix("ab\u00E9", 4), "ab\u00E9");
    EXPECT_EQ(text::utf8Prefix("\u20AC\u20AC", 5), "\u20AC");
    EXPECT_EQ(text::utf8Prefix("\U0001D11E", 3), "");
    EXPECT_EQ(text::utf8Prefix("short", 255), "short");
}

TEST(TextTests, AsciiLowercasedFoldsOnlyAsciiLetters) {
    // The neighbours of A-Z ('@', '[') and every byte of a UTF-8 letter stay as they are.
    EXPECT_EQ(text::asciiLowercased("@AZ[ Content-Type \u00C9t\u00C9"),
              "@az[ content-type \u00C9t\u00C9");
    EXPECT_EQ(text::asciiLowercased(""), "");
}

TEST(TextTests, LogFieldsAreBoundedOnACharacterBoundary) {
    test::CapturingLogSink log;
    // A window class of 5,000 characters, as a careless client may set it.
    std::string huge = "xx";
    for (int i = 0; i < 5000; ++i) {
        huge += "\u00E9";
    }
    vornWMLog().notice("app=", huge, " win=", 7);
    const auto lines = log.messages("windowmanager");
    ASSERT_EQ(lines.size(), 1u);
    // The 255th byte would be the first half of an "é": the field ends before it.
    std::string expected = "app=xx";
    for (int i = 0; i < 126; ++i) {
        expected += "\u00E9";
    }
    EXPECT_EQ(lines[0], expected + " win=7");
}

}  // namespace
}  // namespace vorn
