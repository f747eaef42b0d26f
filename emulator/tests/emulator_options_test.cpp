// The emulator's command line: values it takes, and the ones it turns away.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator_options.h"

namespace dc2x {
namespace {

std::optional<EmulatorOptions> Parse(std::vector<std::string> words, std::string& error) {
    words.insert(words.begin(), "dc2x-emulator");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    return ParseEmulatorOptions(static_cast<int>(argv.size()), argv.data(), error);
}

TEST(EmulatorOptions, TakesEveryOption) {
    std::string error;
    const auto o = Parse({"--model", "dc20", "--resolution", "low", "--capacity", "3", "--full", "--start-speed",
                          "57600", "--link", "/tmp/cam", "--pace", "--corrupt-block", "7", "--corrupt-times", "2",
                          "--stall-after", "100", "--refuse", "77", "--refuse", "7a"},
                         error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->model, Model::Dc20);
    EXPECT_EQ(o->resolution, rawformat::Resolution::Low);
    EXPECT_EQ(o->EffectiveCapacity(), 3);
    EXPECT_TRUE(o->full);
    EXPECT_TRUE(o->pace);
    EXPECT_EQ(o->startBaud, 57600);
    EXPECT_EQ(o->linkPath, "/tmp/cam");
    EXPECT_EQ(o->corruptBlock, 7);
    EXPECT_EQ(o->corruptTimes, 2);
    EXPECT_EQ(o->stallAfter, 100);
    EXPECT_EQ(o->hangUpAfter, -1);
    EXPECT_EQ(o->refused, (std::vector<uint8_t>{0x77, 0x7A}));
}

TEST(EmulatorOptions, DefaultsFollowTheModel) {
    std::string error;
    EXPECT_EQ(Parse({"--model", "dc20"}, error)->EffectiveCapacity(), 8);
    const auto dc25 = Parse({}, error);
    EXPECT_EQ(dc25->model, Model::Dc25);
    EXPECT_EQ(dc25->EffectiveCapacity(), 14);
    EXPECT_EQ(dc25->startBaud, 9600);
}

TEST(EmulatorOptions, TurnsAwayWhatNoCameraCouldBe) {
    const std::vector<std::vector<std::string>> bad{
        {"--model", "dc40"},     {"--start-speed", "230400"}, {"--start-speed", "fast"},
        {"--capacity", "0"},     {"--corrupt-block", "123"},  {"--refuse", "1ff"},
        {"--resolution"},        {"--colour", "red"},
    };
    for (const auto& words : bad) {
        std::string error;
        EXPECT_FALSE(Parse(words, error)) << words.front();
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace dc2x
