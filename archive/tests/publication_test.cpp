// The published picture's record webcam.json: what it says, reading it back, and which picture
// may replace which.
#include "archive/publication.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "scratch_web_directory.h"
#include "web_directory.h"

namespace archive {
namespace {

using tessel::testing::ScratchWebDirectory;

struct OrderCase {
    const char* candidate;
    bool candidateOff;
    const char* current;  // nullptr: nothing published
    bool currentOff;
    bool replaces;
};

class MayReplaceTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(MayReplaceTest, FollowsStampsThenCameraOff) {
    const OrderCase& c = GetParam();
    const std::time_t now = Stamp::Parse("20261210090000")->ToEpoch();
    std::optional<Publication> current;
    if (c.current) current = Publication{*Stamp::Parse(c.current), c.currentOff, ""};
    EXPECT_EQ(MayReplace({*Stamp::Parse(c.candidate), c.candidateOff, ""}, current, now), c.replaces);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MayReplaceTest,
    ::testing::Values(OrderCase{"20261210083005", false, nullptr, false, true},
                      OrderCase{"20261210083105", false, "20261210083005", false, true},
                      OrderCase{"20261210083005", false, "20261210083105", false, false},
                      OrderCase{"20261210083005", false, "20261210083005", false, true},   // retaken in the same second
                      OrderCase{"20261210083005", true, "20261210083005", false, true},    // Stop after the picture
                      OrderCase{"20261210083005", false, "20261210083005", true, false},   // late conversion after Stop
                      OrderCase{"20261210083105", false, "20261210083005", true, true},    // restarted
                      OrderCase{"20261210083005", false, "20261210093005", false, true})); // published stamp in the future

TEST(StatusTest, WritesAndReadsBack) {
    ScratchWebDirectory dir;
    const Publication published{*Stamp::Parse("20261210083005"), true, "Hello"};
    dir.Write("webcam.json", StatusText(published, 1796891405));
    const auto status = nlohmann::json::parse(dir.ReadText("webcam.json"));
    EXPECT_EQ(status["stamp"], "20261210083005");
    EXPECT_EQ(status["taken"], "2026-12-10 08:30:05");
    EXPECT_EQ(status["taken_epoch"], published.stamp.ToEpoch());
    EXPECT_EQ(status["camera"], "off");
    EXPECT_EQ(status["updated"], 1796891405);
    EXPECT_EQ(status["caption"], "Hello");
    const auto read = ReadStatus(tessel::WebDirectory::Open(dir.path()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->stamp, published.stamp);
    EXPECT_TRUE(read->cameraOff);
    dir.Write("webcam.json", std::string("{\"stamp\":\"2026\"}"));
    EXPECT_FALSE(ReadStatus(tessel::WebDirectory::Open(dir.path())));
    dir.Write("webcam.json", std::string("{\"stamp\":\"20261210083005\",\"camera\":\"on\""));  // cut short
    EXPECT_FALSE(ReadStatus(tessel::WebDirectory::Open(dir.path())));
}

// Sets the local time zone for one test and puts the previous one back.
class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) previous_ = previous;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (previous_) ::setenv("TZ", previous_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> previous_;
};

TEST(StatusTest, TakenAtCarriesTheStationsUtcOffsetOfThatDay) {
    const LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");  // central Europe, without needing tzdata
    EXPECT_EQ(Stamp::Parse("20261210083005")->IsoText(), "2026-12-10T08:30:05+01:00");
    EXPECT_EQ(Stamp::Parse("20260710083005")->IsoText(), "2026-07-10T08:30:05+02:00");
    EXPECT_EQ(Stamp::Parse("20261210083005")->ToEpoch(), 1796887805);
    const LocalZone west("NST+3:30");
    EXPECT_EQ(Stamp::Parse("20261210083005")->IsoText(), "2026-12-10T08:30:05-03:30");
}

TEST(StatusTest, CaptionOfAnyCharactersSurvivesTheRoundTrip) {
    ScratchWebDirectory dir;
    const std::string caption = "Say \"Cheese!\" \\ back\\slash \t tab \x01\x1f bell\x07 </script> Grüße 雪 ☃ \U0001F4F7";
    dir.Write("webcam.json", StatusText({*Stamp::Parse("20261210083005"), false, caption}, 1796891405));
    const std::string text = dir.ReadText("webcam.json");
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "control characters are escaped";
    EXPECT_EQ(nlohmann::json::parse(text)["caption"], caption);
    const auto read = ReadStatus(tessel::WebDirectory::Open(dir.path()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->caption, caption);
}

TEST(StatusTest, CaptionThatIsNotUtf8IsRepairedNotLost) {
    ScratchWebDirectory dir;
    dir.Write("webcam.json", StatusText({*Stamp::Parse("20261210083005"), false, "caf\xe9 ok"}, 1796891405));
    const auto read = ReadStatus(tessel::WebDirectory::Open(dir.path()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->caption, "caf\xef\xbf\xbd ok");
}

}  // namespace
}  // namespace archive
