#include "ini_text.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace tessel {
namespace {

using NumberedLines = std::vector<std::pair<int, std::string>>;

NumberedLines Walk(std::string_view text) {
    NumberedLines seen;
    for (IniLines lines(text); lines.Next();) seen.emplace_back(lines.LineNumber(), std::string(lines.Line()));
    return seen;
}

struct LinesCase {
    const char* name;
    std::string_view text;
    NumberedLines expected;
};

TEST(IniText, LinesSkipBlanksAndCommentsAndCountEveryLine) {
    const LinesCase cases[] = {
        {"empty text", "", {}},
        {"only blank lines", "\n \t\r\n\n", {}},
        {"no trailing newline", "a = 1\nb = 2", {{1, "a = 1"}, {2, "b = 2"}}},
        {"trailing newline adds no line", "a = 1\n", {{1, "a = 1"}}},
        {"blank lines keep the count", "\n\n  x=y  \n\n", {{3, "x=y"}}},
        {"CR LF line ends", "a = 1\r\n\r\nb = 2\r\n", {{1, "a = 1"}, {3, "b = 2"}}},
        {"comments with either mark", "# one\n  ; two\nk = v\n\t# three", {{3, "k = v"}}},
        {"a later '#' stays in the line", "message = hi # there", {{1, "message = hi # there"}}},
        {"sections are given as lines", "[upload one]\nurl = x\n[other", {{1, "[upload one]"}, {2, "url = x"}, {3, "[other"}}},
        {"lone carriage returns are blanks", "\r\ra\r", {{1, "a"}}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Walk(c.text), c.expected) << c.name;
    }
}

TEST(IniText, NextStaysFalseAtTheEnd) {
    IniLines lines("a\n# last");
    ASSERT_TRUE(lines.Next());
    EXPECT_FALSE(lines.Next());
    EXPECT_FALSE(lines.Next());
    EXPECT_EQ(lines.Line(), "");
}

TEST(IniText, TrimBlanksRemovesSpacesTabsAndCarriageReturnsAtTheEndsOnly) {
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"", ""}, {" \t\r", ""}, {"a", "a"}, {" \ta b\t\r", "a b"}, {"\na\n", "\na\n"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(TrimBlanks(text), expected) << '"' << text << '"';
    }
}

TEST(IniText, SplitKeyValueSplitsAtTheFirstEquals) {
    struct Case {
        std::string_view line;
        bool splits;
        std::string_view key;
        std::string_view value;
    };
    const Case cases[] = {
        {"key = value", true, "key", "value"},
        {"a=b=c", true, "a", "b=c"},
        {"key =", true, "key", ""},
        {"= value", true, "", "value"},
        {"\tkey\t=\t two words \t", true, "key", "two words"},
        {"no equals here", false, "", ""},
    };
    for (const auto& c : cases) {
        const auto split = SplitKeyValue(c.line);
        ASSERT_EQ(split.has_value(), c.splits) << c.line;
        if (!split) continue;
        EXPECT_EQ(split->key, c.key) << c.line;
        EXPECT_EQ(split->value, c.value) << c.line;
    }
}

}  // namespace
}  // namespace tessel
