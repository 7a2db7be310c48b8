#include <gtest/gtest.h>

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

}  // namespace
}  // namespace vorn
