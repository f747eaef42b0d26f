// The daily builder against Debian's ffmpeg and ffprobe: a day of small pictures in a scratch web
// directory becomes a video and a keogram that are checked by decoding them.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <memory>

#include <nlohmann/json.hpp>

#include "archive/day_lists.h"
#include "day_build.h"
#include "imaging/jpeg_io.h"
#include "program_lookup.h"
#include "scratch_web_directory.h"

namespace tessel::daily {
namespace {

using Json = nlohmann::json;
using Result = DayBuildOutcome::Result;
using Colour = std::array<uint8_t, 3>;

constexpr const char* kDay = "20261210";

std::filesystem::path Ffmpeg() {
    const char* path = std::getenv("PATH");
    return tessel::FindProgram("ffmpeg", "", path ? path : "/usr/bin").value_or("/usr/bin/ffmpeg");
}

// Standard output of a shell command, and its exit status.
std::pair<std::string, int> Output(const std::string& command) {
    std::string text;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return {"", -1};
    char buffer[4096];
    while (std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe)) text.append(buffer, got);
    const int status = ::pclose(pipe);
    return {text, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

// Colour of the n-th picture of the day: each one different, so the keogram's order shows.
Colour ColourOf(int n) {
    return {static_cast<uint8_t>(20 + 30 * (n % 8)), static_cast<uint8_t>(200 - 25 * (n % 8)),
            static_cast<uint8_t>(n < 8 ? 40 : 220)};
}

class DayBuild : public ::testing::Test {
protected:
    // Archives `count` flat pictures of the day (64 × 48; the third one 80 × 60), listed as the
    // converter lists them.
    void ArchiveDay(int count) {
        std::filesystem::create_directories(dir / "archive");
        const archive::DayLists lists(dir / "archive");
        for (int n = 0; n < count; ++n) {
            const bool larger = n == 2;
            imaging::Image picture = imaging::BlankImage(larger ? 80 : 64, larger ? 60 : 48);
            for (std::size_t i = 0; i < picture.rgb.size(); ++i) picture.rgb[i] = ColourOf(n)[i % 3];
            char stamp[32];
            std::snprintf(stamp, sizeof stamp, "%s12%02d%02d", kDay, n / 60 % 60, n % 60);
            dir.Write(std::string("archive/") + stamp + ".jpg", imaging::EncodeJpeg(picture, 95));
            lists.Add(*archive::Stamp::Parse(stamp));
        }
    }

    DayBuildOutcome Build(const std::filesystem::path& ffmpeg = Ffmpeg()) { return BuildDay({dir.path(), kDay, ffmpeg}); }

    Json Probe(const std::string& file) const {
        const auto [text, status] = Output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                                           "stream=codec_name,pix_fmt,width,height,nb_read_frames:format=duration "
                                           "-of json '" + (dir / file).string() + "'");
        EXPECT_EQ(status, 0) << text;
        return Json::parse(text, nullptr, false);
    }

    std::vector<std::string> Temporaries() const {
        std::vector<std::string> found;
        for (const auto& name : dir.Listing("archive/days")) {
            if (name[0] == '.') found.push_back(name);
        }
        return found;
    }

    tessel::testing::ScratchWebDirectory dir;
};

struct VideoCase {
    const char* settings;  // pictrex.ini
    int pictures;
    double seconds;
};

class DayVideo : public DayBuild, public ::testing::WithParamInterface<VideoCase> {};

TEST_P(DayVideo, HasOneFramePerPictureAtTheConfiguredRate) {
    const VideoCase c = GetParam();
    dir.Write("pictrex.ini", std::string(c.settings));
    ArchiveDay(c.pictures);
    const DayBuildOutcome outcome = Build();
    ASSERT_EQ(outcome.result, Result::Built) << outcome.message;

    const Json probe = Probe(std::string("archive/days/") + kDay + ".mp4");
    ASSERT_TRUE(probe.is_object());
    const Json& stream = probe["streams"][0];
    EXPECT_EQ(stream["codec_name"], "h264");
    EXPECT_EQ(stream["pix_fmt"], "yuv420p");
    EXPECT_EQ(stream["width"], 64);
    EXPECT_EQ(stream["height"], 48);
    EXPECT_EQ(stream["nb_read_frames"], std::to_string(c.pictures));
    EXPECT_NEAR(std::stod(probe["format"]["duration"].get<std::string>()), c.seconds, 0.05);
    EXPECT_TRUE(Temporaries().empty());
}

INSTANTIATE_TEST_SUITE_P(Rates, DayVideo,
                         ::testing::Values(VideoCase{"", 12, 0.5},                       // 24 per second by default
                                           VideoCase{"timelapse_fps = 10\n", 7, 0.7},
                                           VideoCase{"timelapse_fps = 1\n", 3, 3.0}));

TEST_F(DayBuild, VideoStartsWithItsIndexSoBrowsersPlayWhileLoading) {
    ArchiveDay(4);
    ASSERT_EQ(Build().result, Result::Built);
    const std::vector<uint8_t> video = dir.Read(std::string("archive/days/") + kDay + ".mp4");
    const std::string bytes(video.begin(), video.end());
    ASSERT_NE(bytes.find("moov"), std::string::npos);
    ASSERT_NE(bytes.find("mdat"), std::string::npos);
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));
}

TEST_F(DayBuild, KeogramHasOneColumnPerPictureOldestLeftAtFullHeight) {
    ArchiveDay(10);
    ASSERT_EQ(Build().result, Result::Built);
    const auto keogram = imaging::DecodeJpegFile(dir / "archive/days/20261210-keogram.jpg");
    ASSERT_TRUE(keogram);
    EXPECT_EQ(keogram->width, 10);
    EXPECT_EQ(keogram->height, 48);
    for (int x = 0; x < keogram->width; ++x) {
        for (int y : {0, 24, 47}) {
            for (int c = 0; c < 3; ++c) {
                EXPECT_NEAR(keogram->pixel(x, y)[c], ColourOf(x)[c], 12) << "column " << x << " row " << y;
            }
        }
    }
    const Json days = Json::parse(dir.ReadText("archive/days.json"));
    EXPECT_EQ(days["days"][0]["video"], "days/20261210.mp4");
    EXPECT_EQ(days["days"][0]["keogram"], "days/20261210-keogram.jpg");
}

TEST_F(DayBuild, UnreadablePicturesAreLeftOutOfBothProducts) {
    ArchiveDay(5);
    dir.Write("archive/20261210120001.jpg", std::string("not a picture"));
    std::filesystem::remove(dir / "archive/20261210120003.jpg");
    const DayBuildOutcome outcome = Build();
    ASSERT_EQ(outcome.result, Result::Built) << outcome.message;
    EXPECT_NE(outcome.message.find("2 unreadable left out"), std::string::npos) << outcome.message;
    EXPECT_EQ(Probe("archive/days/20261210.mp4")["streams"][0]["nb_read_frames"], "3");
    EXPECT_EQ(imaging::DecodeJpegFile(dir / "archive/days/20261210-keogram.jpg")->width, 3);
}

TEST_F(DayBuild, DayWithoutPicturesBuildsNothing) {
    ArchiveDay(2);
    const DayBuildOutcome outcome = BuildDay({dir.path(), "20261211", Ffmpeg()});
    EXPECT_EQ(outcome.result, Result::NoPictures);
    EXPECT_FALSE(dir.Has("archive/days/20261211.mp4"));
}

struct BrokenEncoder {
    const char* name;
    const char* script;
};

class FailedBuild : public DayBuild, public ::testing::WithParamInterface<BrokenEncoder> {};

TEST_P(FailedBuild, KeepsThePicturesAndThePreviousProducts) {
    ArchiveDay(30);
    dir.Write("archive/days/20261210.mp4", std::string("previous video"));
    dir.Write("archive/days/20261210-keogram.jpg", std::string("previous keogram"));
    ASSERT_TRUE(archive::DayLists(dir / "archive").RecordProducts(kDay, "days/20261210.mp4", "days/20261210-keogram.jpg"));
    const std::string daysBefore = dir.ReadText("archive/days.json");
    const std::vector<uint8_t> pictureBefore = dir.Read("archive/20261210120005.jpg");
    dir.Write("encoder", std::string("#!/bin/sh\n") + GetParam().script + "\n");
    ::chmod((dir / "encoder").c_str(), 0755);

    const DayBuildOutcome outcome = Build(dir / "encoder");
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_NE(outcome.message.find("encoder exploded"), std::string::npos) << outcome.message;
    EXPECT_EQ(dir.ReadText("archive/days/20261210.mp4"), "previous video");
    EXPECT_EQ(dir.ReadText("archive/days/20261210-keogram.jpg"), "previous keogram");
    EXPECT_EQ(dir.ReadText("archive/days.json"), daysBefore);
    EXPECT_EQ(dir.Read("archive/20261210120005.jpg"), pictureBefore);
    EXPECT_TRUE(Temporaries().empty()) << Temporaries()[0];
}

INSTANTIATE_TEST_SUITE_P(Encoders, FailedBuild,
                         ::testing::Values(BrokenEncoder{"QuitsAtOnce", "echo 'encoder exploded' >&2; exit 1"},
                                           BrokenEncoder{"FailsAtTheEnd", "cat > /dev/null; echo 'encoder exploded'; exit 3"},
                                           BrokenEncoder{"IsKilled", "echo 'encoder exploded'; kill -9 $$"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DayBuild, MissingEncoderFailsWithoutTouchingTheProducts) {
    ArchiveDay(3);
    const DayBuildOutcome outcome = Build(dir / "no-such-ffmpeg");
    EXPECT_EQ(outcome.result, Result::Failed);
    EXPECT_FALSE(dir.Has("archive/days/20261210.mp4"));
    EXPECT_FALSE(dir.Has("archive/days/20261210-keogram.jpg"));
    EXPECT_TRUE(Temporaries().empty());
}

TEST_F(DayBuild, ProgramBuildsByHandAndLogsEachRun) {
    ArchiveDay(3);
    const std::string program = TESSEL_DAILY;
    const std::string inDirectory = "cd '" + dir.path().string() + "' && ";
    EXPECT_EQ(Output(inDirectory + program + " 20261210 2>&1").second, 0);
    EXPECT_EQ(Output(inDirectory + program + " 20261211 2>&1").second, 3);
    EXPECT_EQ(Output(inDirectory + program + " 20261310 2>&1").second, 2);
    EXPECT_EQ(Output(inDirectory + program + " 2>&1").second, 2);
    EXPECT_TRUE(dir.Has("archive/days/20261210.mp4"));
    const std::string log = dir.ReadText("tessel-daily.log");
    EXPECT_NE(log.find(" 20261210: built: 3 pictures, 64x48 at 24 fps ("), std::string::npos) << log;
    EXPECT_NE(log.find(" 20261211: failed (exit 3): no pictures listed for 20261211"), std::string::npos) << log;
}

}  // namespace
}  // namespace tessel::daily
