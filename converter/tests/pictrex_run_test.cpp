#include "pictrex_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <sstream>

#include <nlohmann/json.hpp>

#include "archive/stamp.h"
#include "exit_codes.h"
#include "imaging/banner.h"
#include "imaging/jpeg_io.h"
#include "imaging/text_renderer.h"
#include "picture_directory.h"
#include "scenes.h"

namespace pictrex {
namespace {

using archive::Stamp;
using imaging::DecodeJpegFile;
using imaging::Image;
using testing::WebDirectory;

constexpr const char* kStamp = "20261210083005";
constexpr const char* kLaterStamp = "20261210083105";

std::time_t EpochOf(const std::string& stamp) { return Stamp::Parse(stamp)->ToEpoch(); }

class PictrexRun : public ::testing::Test {
protected:
    // Runs the converter in the scratch directory at the local time of `nowStamp`.
    int Run(std::vector<std::string> words, const std::string& nowStamp = "20261210090000") {
        const Environment environment{dir.path(), indexerDirectory, "", [=] { return EpochOf(nowStamp); }, fonts};
        std::ostringstream errors;
        const int code = RunPictrex(words, environment, errors);
        stderrText = errors.str();
        return code;
    }

    // Puts an archindex stand-in beside the converter: by default a script that lists the
    // archived pictures in the index.
    void InstallIndexer(const std::string& body = "cd archive && ls *.jpg > index.html") {
        indexerDirectory = dir / "bin";
        std::filesystem::create_directories(indexerDirectory);
        dir.Write("bin/archindex", "#!/bin/sh\n" + body + "\n");
        ::chmod((indexerDirectory / "archindex").c_str(), 0755);
    }

    Image Published() const {
        auto image = DecodeJpegFile(dir / "webcam.jpg");
        EXPECT_TRUE(image.has_value());
        return image.value_or(Image{});
    }

    WebDirectory dir;
    std::filesystem::path indexerDirectory;
    std::vector<std::filesystem::path> fonts = imaging::DefaultFontFiles();
    std::string stderrText;
};

TEST_F(PictrexRun, PublishesEachResolutionAtItsOutputSizeAndDeletesTheRawFile) {
    for (auto resolution : {rawformat::Resolution::High, rawformat::Resolution::Low}) {
        const std::string raw = dir.StorePicture(kStamp, resolution);
        ASSERT_EQ(Run({kStamp, "NOARCHIVE"}), kSuccess) << stderrText;
        const Image image = Published();
        const auto layout = rawformat::LayoutFor(resolution);
        EXPECT_EQ(image.width, layout.outputWidth);
        EXPECT_EQ(image.height, layout.outputHeight);
        EXPECT_FALSE(dir.Has(raw));
        EXPECT_NE(dir.ReadText("webcam.json").find(std::string("\"stamp\":\"") + kStamp + "\",\"taken\":\"2026-12-10 08:30:05\",\"camera\":\"on\""),
                  std::string::npos);
    }
    EXPECT_FALSE(dir.Has("archive"));
    const std::string log = dir.ReadText("pictrex.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
    EXPECT_NE(log.find(std::string(kStamp) + " NOARCHIVE: published ("), std::string::npos) << log;
}

struct BadPicture {
    std::string name;
    std::vector<uint8_t> contents;  // empty: no file at all
};

class PictrexBadPicture : public PictrexRun, public ::testing::WithParamInterface<BadPicture> {};

TEST_P(PictrexBadPicture, FailsWithExitThreeAndTouchesNothing) {
    InstallIndexer();
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "ARCHIVE"}), kSuccess) << stderrText;
    const auto webImage = dir.Read("webcam.jpg");
    const auto archive = dir.Listing("archive");
    const std::string raw = std::string("image") + kLaterStamp + ".dc2";
    if (!GetParam().contents.empty()) dir.Write(raw, GetParam().contents);

    EXPECT_EQ(Run({kLaterStamp, "ARCHIVE"}), kBadPicture);
    EXPECT_NE(stderrText.find(raw), std::string::npos) << stderrText;
    EXPECT_EQ(dir.Read("webcam.jpg"), webImage);
    EXPECT_EQ(dir.Listing("archive"), archive);
    EXPECT_EQ(dir.Has(raw), !GetParam().contents.empty());
    EXPECT_NE(dir.ReadText("pictrex.log").find("failed (exit 3)"), std::string::npos);
}

std::vector<BadPicture> BadPictures() {
    const auto good = testing::PatchPicture(rawformat::Resolution::High);
    return {
        {"missing", {}},
        {"truncated", std::vector<uint8_t>(good.begin(), good.begin() + 100000)},
        {"oversized", [&] { auto v = good; v.resize(v.size() + 7, 0); return v; }()},
        {"garbage", std::vector<uint8_t>(3000, 0xAB)},
    };
}

INSTANTIATE_TEST_SUITE_P(Files, PictrexBadPicture, ::testing::ValuesIn(BadPictures()),
                         [](const auto& info) { return info.param.name; });

TEST_F(PictrexRun, ArchiveStoresThePictureAndRebuildsTheIndexInTheWebDirectory) {
    InstallIndexer();
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "ARCHIVE"}), kSuccess) << stderrText;
    EXPECT_EQ(dir.Read(std::string("archive/") + kStamp + ".jpg"), dir.Read("webcam.jpg"));
    EXPECT_EQ(dir.ReadText("archive/index.html"), std::string(kStamp) + ".jpg\n");

    dir.StorePicture(kLaterStamp);
    ASSERT_EQ(Run({kLaterStamp, "NOARCHIVE"}), kSuccess) << stderrText;
    EXPECT_EQ(dir.Listing("archive"), (std::vector<std::string>{std::string(kStamp) + ".jpg", "days", "days.json",
                                                               "index.html", "thumbs"}));
}

TEST_F(PictrexRun, IndexFailureIsReportedButThePictureIsPublishedAndArchived) {
    InstallIndexer("echo 'no archive here'; exit 1");
    const std::string raw = dir.StorePicture(kStamp);
    EXPECT_EQ(Run({kStamp, "ARCHIVE"}), kIndexFailed);
    EXPECT_NE(stderrText.find("no archive here"), std::string::npos) << stderrText;
    EXPECT_TRUE(dir.Has("webcam.jpg"));
    EXPECT_TRUE(dir.Has(std::string("archive/") + kStamp + ".jpg"));
    EXPECT_FALSE(dir.Has(raw));
}

TEST_F(PictrexRun, MissingIndexerIsReported) {
    dir.StorePicture(kStamp);
    EXPECT_EQ(Run({kStamp, "ARCHIVE"}), kIndexFailed);
    EXPECT_NE(stderrText.find("archindex not found"), std::string::npos) << stderrText;
}

TEST_F(PictrexRun, ArchiveThatCannotBeWrittenFailsWithExitFourAndKeepsTheRawFile) {
    InstallIndexer();
    dir.Write("archive", std::string("a file where the archive folder belongs"));
    const std::string raw = dir.StorePicture(kStamp);
    EXPECT_EQ(Run({kStamp, "ARCHIVE"}), kWriteFailed);
    EXPECT_NE(stderrText.find("archive"), std::string::npos) << stderrText;
    EXPECT_TRUE(dir.Has(raw));
    EXPECT_NE(dir.ReadText("pictrex.log").find("failed (exit 4)"), std::string::npos);
}

TEST_F(PictrexRun, OlderPictureIsArchivedButNotPublished) {
    InstallIndexer();
    dir.StorePicture(kLaterStamp);
    ASSERT_EQ(Run({kLaterStamp, "ARCHIVE"}), kSuccess);
    const auto newer = dir.Read("webcam.jpg");
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "ARCHIVE"}), kSuccess) << stderrText;
    EXPECT_EQ(dir.Read("webcam.jpg"), newer);
    EXPECT_NE(dir.ReadText("webcam.json").find(kLaterStamp), std::string::npos);
    EXPECT_TRUE(dir.Has(std::string("archive/") + kStamp + ".jpg"));
    EXPECT_NE(dir.ReadText("pictrex.log").find("not published"), std::string::npos);
}

TEST_F(PictrexRun, ClockSetBackDoesNotFreezeTheWebImage) {
    // Published at 02:59 summer time; the clock then went back to 02:00.
    dir.StorePicture("20261025025930");
    ASSERT_EQ(Run({"20261025025930", "NOARCHIVE"}, "20261025025935"), kSuccess);
    dir.StorePicture("20261025020030");
    ASSERT_EQ(Run({"20261025020030", "NOARCHIVE"}, "20261025020035"), kSuccess);
    EXPECT_NE(dir.ReadText("webcam.json").find("20261025020030"), std::string::npos);
}

TEST_F(PictrexRun, OffDarkensTheLastPictureAndTouchesNoArchive) {
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "NOARCHIVE"}), kSuccess);
    const Image before = Published();
    ASSERT_EQ(Run({kStamp, "ARCHIVE", "off"}), kSuccess) << stderrText;
    const Image after = Published();
    EXPECT_EQ(after.width, before.width);
    EXPECT_EQ(after.height, before.height);
    EXPECT_LT(testing::MeanLevel(after), 0.6 * testing::MeanLevel(before));
    EXPECT_NE(dir.ReadText("webcam.json").find("\"camera\":\"off\""), std::string::npos);
    EXPECT_FALSE(dir.Has("archive"));

    // Stop pressed twice: the picture is not darkened again.
    const auto offPicture = dir.Read("webcam.jpg");
    ASSERT_EQ(Run({kStamp, "ARCHIVE", "off"}), kSuccess);
    EXPECT_EQ(dir.Read("webcam.jpg"), offPicture);

    // The last picture's conversion finishing late does not undo Stop.
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "NOARCHIVE"}), kSuccess);
    EXPECT_EQ(dir.Read("webcam.jpg"), offPicture);
}

TEST_F(PictrexRun, OffWithoutAPreviousPictureShowsAPlainCard) {
    ASSERT_EQ(Run({kStamp, "NOARCHIVE", "off"}), kSuccess) << stderrText;
    const Image card = Published();
    EXPECT_EQ(card.width, 500);
    EXPECT_EQ(card.height, 373);
    EXPECT_EQ(dir.Listing(), (std::vector<std::string>{"pictrex.lock", "pictrex.log", "webcam.jpg", "webcam.json"}));
}

TEST_F(PictrexRun, RetentionDeletesOnlyExpiredArchivedPictures) {
    InstallIndexer();
    std::filesystem::create_directories(dir / "archive");
    for (const char* name : {"20261201083005.jpg", "20261207083005.jpg", "20261209083005.jpg", "holiday.jpg", "notes.txt"}) {
        dir.Write(std::string("archive/") + name, std::string("x"));
    }
    dir.Write("pictrex.ini", std::string("archive_days = 2\n"));
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "ARCHIVE"}), kSuccess) << stderrText;
    EXPECT_EQ(dir.Listing("archive"), (std::vector<std::string>{"20261209083005.jpg", std::string(kStamp) + ".jpg",
                                                               "days", "days.json", "holiday.jpg", "index.html",
                                                               "notes.txt", "thumbs"}));
    EXPECT_EQ(dir.ReadText("archive/index.html").find("20261201083005"), std::string::npos);
}

TEST_F(PictrexRun, RunningOutOfMemoryIsLoggedWithExitSix) {
    // The clock is first read for the log line's time, then inside the run: there memory "runs out".
    int reads = 0;
    const Environment environment{dir.path(), indexerDirectory, "",
                                  [&reads]() -> std::time_t {
                                      if (++reads > 1) throw std::bad_alloc();
                                      return EpochOf("20261210090000");
                                  },
                                  fonts};
    const std::string raw = dir.StorePicture(kStamp);
    std::ostringstream errors;
    EXPECT_EQ(RunPictrex({kStamp, "NOARCHIVE"}, environment, errors), kOutOfMemory);
    EXPECT_EQ(errors.str(), "pictrex: out of memory\n");
    EXPECT_NE(dir.ReadText("pictrex.log").find("failed (exit 6): out of memory"), std::string::npos);
    EXPECT_FALSE(dir.Has("webcam.jpg"));
    EXPECT_TRUE(dir.Has(raw));
}

TEST_F(PictrexRun, SettingsKeepRawAndBadValuesAreLogged) {
    dir.Write("pictrex.ini", std::string("# web camera\nkeep_raw = yes\nquality = best\n"));
    const std::string raw = dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "NOARCHIVE"}), kSuccess);
    EXPECT_TRUE(dir.Has(raw));
    const std::string log = dir.ReadText("pictrex.log");
    EXPECT_NE(log.find("line 3 ignored"), std::string::npos) << log;
    EXPECT_NE(log.find("raw file kept"), std::string::npos) << log;
}

// The banner strip of the published picture, left part (where the caption goes).
std::vector<uint8_t> CaptionArea(const Image& image) {
    std::vector<uint8_t> area;
    for (int y = image.height - imaging::BannerHeight(image.height); y < image.height; ++y) {
        const uint8_t* row = image.pixel(0, y);
        area.insert(area.end(), row, row + image.width * 3 / 2);
    }
    return area;
}

int DifferingBytes(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    int differing = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) differing += std::abs(a[i] - b[i]) > 60;
    return differing;
}

class PictrexBanner : public PictrexRun {
protected:
    std::vector<uint8_t> BannerWith(const std::optional<std::string>& caption) {
        std::filesystem::remove(dir / "message.txt");
        if (caption) dir.Write("message.txt", *caption);
        dir.StorePicture(kStamp);
        EXPECT_EQ(Run({kStamp, "NOARCHIVE"}), kSuccess) << stderrText;
        return CaptionArea(Published());
    }
};

TEST_F(PictrexBanner, CaptionIsDrawnFromTheFirstLineOfTheMessage) {
    const auto none = BannerWith(std::nullopt);
    EXPECT_EQ(BannerWith(std::string("")), none);
    const auto hello = BannerWith(std::string("Hello from the roof"));
    EXPECT_GT(DifferingBytes(hello, none), 100);
    EXPECT_EQ(BannerWith(std::string("Hello from the roof\nsecond line")), hello);
}

TEST_F(PictrexBanner, NonAsciiCaptionIsDrawn) {
    const auto none = BannerWith(std::nullopt);
    const auto plain = BannerWith(std::string("Gruss aus Zurich"));
    const auto accented = BannerWith(std::string("Gr\xC3\xBC\xC3\x9F aus Z\xC3\xBCrich"));
    EXPECT_GT(DifferingBytes(accented, none), 100);
    EXPECT_GT(DifferingBytes(accented, plain), 20);
}

TEST_F(PictrexBanner, MissingFontStillConvertsAndIsLogged) {
    fonts = {"/nonexistent/font.ttf"};
    dir.Write("pictrex.ini", std::string("font = /nonexistent/other.ttf\n"));
    const auto withoutFont = BannerWith(std::string("Hello"));
    EXPECT_EQ(withoutFont, BannerWith(std::nullopt));
    EXPECT_NE(dir.ReadText("pictrex.log").find("banner without text"), std::string::npos);
}

TEST_F(PictrexRun, CaptionOfAnyCharactersReachesWebcamJsonIntactAndStopClearsIt) {
    const std::string caption = "Say \"Cheese!\" C:\\cam\\ \t\x01\x1b[31m </script> Gr\xC3\xBC\xC3\x9F \xE2\x98\x83";
    dir.Write("message.txt", caption + "\r\nsecond line");
    dir.StorePicture(kStamp);
    ASSERT_EQ(Run({kStamp, "NOARCHIVE"}), kSuccess) << stderrText;
    const auto status = nlohmann::json::parse(dir.ReadText("webcam.json"));
    EXPECT_EQ(status["caption"], caption);
    EXPECT_EQ(status["camera"], "on");
    EXPECT_EQ(status["taken_epoch"], EpochOf(kStamp));

    dir.Write("message.txt", std::string());  // the station empties it on Stop
    ASSERT_EQ(Run({kStamp, "NOARCHIVE", "off"}), kSuccess) << stderrText;
    const auto off = nlohmann::json::parse(dir.ReadText("webcam.json"));
    EXPECT_EQ(off["camera"], "off");
    EXPECT_EQ(off["caption"], "");
}

}  // namespace
}  // namespace pictrex
