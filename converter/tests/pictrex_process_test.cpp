// The pictrex program as the station starts it: a separate process in the web directory, with
// no display and nobody watching.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "exit_codes.h"
#include "imaging/jpeg_io.h"
#include "picture_directory.h"
#include "scenes.h"

namespace pictrex {
namespace {

using imaging::DecodeJpegFile;
using testing::WebDirectory;

std::string Quoted(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

struct ProcessResult {
    int exitCode;
    std::string errors;
};

// Runs pictrex in `dir` without DISPLAY, with PATH holding only the archive indexer's directory
// (when one was built) and the system's programs.
ProcessResult RunPictrexProcess(const WebDirectory& dir, const std::vector<std::string>& words, const std::string& errorsFile = "stderr.txt") {
    std::string command = "cd " + Quoted(dir.path().string()) + " && env -u DISPLAY -u WAYLAND_DISPLAY PATH=" +
                          Quoted(std::string(TESSEL_ARCHINDEX_DIR) + ":/usr/bin:/bin") + " " + Quoted(TESSEL_PICTREX);
    for (const auto& w : words) command += " " + Quoted(w);
    const std::filesystem::path errors = dir.path().parent_path() / (dir.path().filename().string() + "-" + errorsFile);
    command += " 2>" + Quoted(errors.string());
    const int status = std::system(command.c_str());
    ProcessResult result{WIFEXITED(status) ? WEXITSTATUS(status) : -1, {}};
    std::ifstream in(errors);
    result.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    std::filesystem::remove(errors);
    return result;
}

class PictrexUsage : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(PictrexUsage, PrintsOneUsageLineAndTouchesNothing) {
    WebDirectory dir;
    dir.StorePicture("19991015083005");
    const auto before = dir.Listing();
    const ProcessResult result = RunPictrexProcess(dir, GetParam());
    EXPECT_EQ(result.exitCode, kUsage);
    EXPECT_EQ(result.errors, "usage: pictrex <14-digit stamp> ARCHIVE|NOARCHIVE [off]\n");
    EXPECT_EQ(dir.Listing(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Words, PictrexUsage,
    ::testing::Values(std::vector<std::string>{}, std::vector<std::string>{"../x", "ARCHIVE"},
                      std::vector<std::string>{"1999101508300", "ARCHIVE"},
                      std::vector<std::string>{"19991015083005", "MAYBE"},
                      std::vector<std::string>{"19991015083005", "ARCHIVE", "on"},
                      std::vector<std::string>{"19991015083005 ARCHIVE"}));

TEST(PictrexProcess, BadPictureExitsThreeWithAMessage) {
    WebDirectory dir;
    dir.Write("image19991015083005.dc2", std::string(1000, 'x'));
    const ProcessResult result = RunPictrexProcess(dir, {"19991015083005", "ARCHIVE"});
    EXPECT_EQ(result.exitCode, kBadPicture);
    EXPECT_NE(result.errors.find("image19991015083005.dc2: not a native picture: 1000 bytes"), std::string::npos)
        << result.errors;
    EXPECT_TRUE(dir.Has("image19991015083005.dc2"));
    EXPECT_FALSE(dir.Has("webcam.jpg"));
    EXPECT_FALSE(dir.Has("archive"));
}

TEST(PictrexProcess, ArchivesAndRebuildsTheIndexWithTheArchiveIndexer) {
    if (std::string(TESSEL_ARCHINDEX_DIR).empty()) GTEST_SKIP() << "archindex is not part of this build";
    WebDirectory dir;
    dir.StorePicture("19991015083005");
    const ProcessResult result = RunPictrexProcess(dir, {"19991015083005", "ARCHIVE"});
    ASSERT_EQ(result.exitCode, kSuccess) << result.errors;
    EXPECT_TRUE(DecodeJpegFile(dir / "archive/19991015083005.jpg").has_value());
    EXPECT_NE(dir.ReadText("archive/index.html").find("19991015083005.jpg"), std::string::npos);
}

TEST(PictrexProcess, ReadersNeverSeeAHalfWrittenWebImage) {
    WebDirectory dir;
    constexpr int kConversions = 50;
    std::vector<std::string> stamps;
    for (int i = 0; i < kConversions; ++i) {
        stamps.push_back("202501100800" + std::string(i < 10 ? "0" : "") + std::to_string(i));
        dir.StorePicture(stamps.back());
    }
    std::atomic<bool> converting{true};
    std::atomic<int> decoded{0}, broken{0};
    std::thread reader([&] {
        while (converting) {
            if (!dir.Has("webcam.jpg")) continue;
            const auto image = DecodeJpegFile(dir / "webcam.jpg");
            (image && image->width == 500 && image->height == 373 ? decoded : broken)++;
            std::this_thread::yield();  // leave the converters their share of a busy machine
        }
    });
    // Two converters at a time, as a slow run overlapping the next picture's would. The stamps lie
    // in the past, as real ones do.
    std::atomic<int> failures{0};
    auto convert = [&](int first) {
        for (int i = first; i < kConversions; i += 2) {
            failures += RunPictrexProcess(dir, {stamps[i], "NOARCHIVE"}, "stderr" + std::to_string(first)).exitCode != 0;
        }
    };
    std::thread even(convert, 0), odd(convert, 1);
    even.join();
    odd.join();
    converting = false;
    reader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(broken, 0);
    EXPECT_GT(decoded, 0);
    EXPECT_NE(dir.ReadText("webcam.json").find(stamps.back()), std::string::npos);
}

}  // namespace
}  // namespace pictrex
