// A child's output on its way to the log: lines, escapes and bounds.
#include <gtest/gtest.h>

#include "output_lines.h"

namespace tessel::alerts {
namespace {

std::vector<std::string> Lines(const std::vector<std::string>& chunks)
{
    std::vector<std::string> lines;
    OutputLines output([&lines](const std::string& line) { lines.push_back(line); });
    for (const auto& chunk : chunks) {
        output.Add(chunk);
    }
    output.Finish();
    return lines;
}

TEST(OutputLines, EscapesControlBytes)
{
    EXPECT_EQ(EscapeControlBytes("plain text, ümlaut"), "plain text, ümlaut");
    EXPECT_EQ(EscapeControlBytes(std::string("a\tb\x1b[31mc\x7f\rd\0e", 14)), "a\\x09b\\x1b[31mc\\x7f\\x0dd\\x00e");
}

TEST(OutputLines, SplitsAtNewlinesAcrossChunks)
{
    EXPECT_EQ(Lines({"one\ntw", "o\n", "\nthree\r\nfour"}), (std::vector<std::string>{"one", "two", "", "three", "four"}));
    EXPECT_EQ(Lines({}), std::vector<std::string>{});
    // A line cannot forge a second log line.
    EXPECT_EQ(Lines({"a\rforged\n"}), (std::vector<std::string>{"a\\x0dforged"}));
}

TEST(OutputLines, CutsLongLines)
{
    const std::string longest(OutputLines::kLongestLine, 'x');
    EXPECT_EQ(Lines({longest + "\n"}), std::vector<std::string>{longest});
    EXPECT_EQ(Lines({longest, "\n"}), std::vector<std::string>{longest});
    EXPECT_EQ(Lines({longest + "yyy\nnext\n"}), (std::vector<std::string>{longest + " [cut]", "next"}));
    EXPECT_EQ(Lines({longest.substr(10), std::string(20, 'y'), std::string(5000, 'z'), "\nnext"}),
              (std::vector<std::string>{longest.substr(10) + std::string(10, 'y') + " [cut]", "next"}));
}

TEST(OutputLines, LogsABoundedNumberOfLines)
{
    std::string flood;
    for (std::size_t i = 0; i < OutputLines::kMostLines + 50; ++i) {
        flood += "line " + std::to_string(i) + "\n";
    }
    const auto lines = Lines({flood});
    ASSERT_EQ(lines.size(), OutputLines::kMostLines + 1);
    EXPECT_EQ(lines[OutputLines::kMostLines - 1], "line " + std::to_string(OutputLines::kMostLines - 1));
    EXPECT_EQ(lines.back(), "[further output not logged]");
}

}  // namespace
}  // namespace tessel::alerts
