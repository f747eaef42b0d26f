// --help and --version: where on the command line they count, and what they print.
#include "standard_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tessel {
namespace {

struct Case {
    std::vector<const char*> arguments;  // after the program name
    bool answered;
    std::string output;
};

TEST(StandardOptions, AnswersHelpAndVersionAnywhereBeforeDoubleDash) {
    const std::string version = std::string(PackageVersion());
    const std::vector<Case> cases{
        {{"--help"}, true, "usage: demo\n"},
        {{"--version"}, true, "demo " + version + "\n"},
        {{"20261210083005", "ARCHIVE", "--version"}, true, "demo " + version + "\n"},
        {{"--help", "--version"}, true, "usage: demo\n"},  // the first one asked wins
        {{}, false, ""},
        {{"--model", "dc20"}, false, ""},
        {{"-h"}, false, ""},
        {{"--helpful"}, false, ""},
        {{"--", "--help"}, false, ""},
    };
    for (const Case& c : cases) {
        std::vector<const char*> argv{"demo"};
        argv.insert(argv.end(), c.arguments.begin(), c.arguments.end());
        std::ostringstream out;
        const auto status = AnswerStandardOption(static_cast<int>(argv.size()), argv.data(),
                                                 {"demo", "usage: demo\n"}, out);
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        EXPECT_EQ(status.has_value(), c.answered);
        if (status) {
            EXPECT_EQ(*status, 0);
        }
        EXPECT_EQ(out.str(), c.output);
    }
}

}  // namespace
}  // namespace tessel
