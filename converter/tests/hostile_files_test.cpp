// The converter against a web directory that another account can write to: links planted in
// place of its files, FIFOs and devices where it reads, a JPEG that declares a huge picture, a
// file-size limit, left-over temporary files and a settings file full of junk. pictrex runs as a
// child process under a time guard, so a run that would hang fails the test instead.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <iterator>
#include <optional>
#include <thread>

#include "declared_size_jpeg.h"
#include "exit_codes.h"
#include "imaging/jpeg_io.h"
#include "picture_directory.h"

namespace pictrex {
namespace {

using imaging::DecodeJpegFile;
using imaging::testing::JpegDeclaring;
using testing::WebDirectory;
namespace fs = std::filesystem;

constexpr const char* kStamp = "20261210083005";
constexpr auto kGuard = std::chrono::seconds(60);  // a run takes well under a second

struct ChildResult {
    bool timedOut = false;
    bool exited = false;
    int exitCode = -1;
    int signal = 0;
    std::string errors;
};

// Runs pictrex in `dir` with the given words, optionally under a file-size limit; kills it after
// kGuard. PATH holds the archive indexer's directory so that ARCHIVE runs rebuild the index.
ChildResult RunGuarded(const WebDirectory& dir, const std::vector<std::string>& words,
                       std::optional<rlim_t> fileSizeLimit = std::nullopt) {
    const fs::path errorsFile = dir.path().string() + "-stderr";
    const std::string program = TESSEL_PICTREX;
    const std::string path = "PATH=" + std::string(TESSEL_ARCHINDEX_DIR) + ":/usr/bin:/bin";
    std::vector<std::string> argvStrings{program};
    argvStrings.insert(argvStrings.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (auto& word : argvStrings) argv.push_back(word.data());
    argv.push_back(nullptr);
    std::string pathEntry = path;
    char* envp[] = {pathEntry.data(), nullptr};

    const pid_t child = ::fork();
    if (child == 0) {
        const int errors = ::open(errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (errors < 0 || ::dup2(errors, STDERR_FILENO) < 0 || ::chdir(dir.path().c_str()) != 0) ::_exit(127);
        if (fileSizeLimit) {
            const rlimit limit{*fileSizeLimit, *fileSizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(127);
        }
        ::execve(program.c_str(), argv.data(), envp);
        ::_exit(127);
    }
    ChildResult result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + kGuard;
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            result.timedOut = true;
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    result.exited = WIFEXITED(status);
    result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    std::ifstream in(errorsFile);
    result.errors.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    fs::remove(errorsFile);
    return result;
}

std::string Describe(const ChildResult& r) {
    return "timed out " + std::to_string(r.timedOut) + ", exit " + std::to_string(r.exitCode) + ", signal " +
           std::to_string(r.signal) + ", stderr: " + r.errors;
}

// A scratch directory beside the web directory, standing for a file elsewhere on the machine.
class Elsewhere {
public:
    Elsewhere() {
        std::string pattern = (fs::temp_directory_path() / "pictrex-elsewhere-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        path_ = pattern;
        ::chmod(path_.c_str(), 0755);
    }
    ~Elsewhere() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string ReadWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteWhole(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

// ---- Links planted in place of the files the converter writes or deletes ----

struct PlantedLink {
    std::string name;
    std::string link;       // the entry in the web directory that is a link to the outside file
    std::string target;     // in the outside directory: precious.txt exists, new.txt does not
    std::vector<std::string> words;
    int exitCode;
    std::string reported;   // what the run says about it (stderr or log)
};

void PrintTo(const PlantedLink& c, std::ostream* out) { *out << c.name; }

class PictrexPlantedLink : public ::testing::TestWithParam<PlantedLink> {};

TEST_P(PictrexPlantedLink, LeavesTheLinkedFileUnchangedAndSaysSo) {
    const PlantedLink& c = GetParam();
    WebDirectory dir;
    Elsewhere elsewhere;
    const fs::path victim = elsewhere.path() / "precious.txt";
    WriteWhole(victim, "precious contents\n");
    dir.StorePicture(kStamp);
    fs::create_directories(dir / "archive");
    fs::create_symlink(elsewhere.path() / c.target, dir / c.link);

    const ChildResult r = RunGuarded(dir, c.words);
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.exitCode, c.exitCode) << Describe(r);
    EXPECT_EQ(ReadWhole(victim), "precious contents\n");
    EXPECT_FALSE(fs::exists(elsewhere.path() / "new.txt")) << "a file was created through the link";
    EXPECT_TRUE(fs::is_symlink(dir / c.link)) << "the planted link itself is left alone";
    const std::string said = r.errors + ReadWhole(dir / "pictrex.log");
    EXPECT_NE(said.find(c.reported), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(
    Files, PictrexPlantedLink,
    ::testing::Values(
        PlantedLink{"LockFile", "pictrex.lock", "precious.txt", {kStamp, "NOARCHIVE"}, kWriteFailed,
                    "pictrex.lock: is a symbolic link; refused"},
        PlantedLink{"LockFileToNewFile", "pictrex.lock", "new.txt", {kStamp, "NOARCHIVE"}, kWriteFailed,
                    "pictrex.lock: is a symbolic link; refused"},
        PlantedLink{"LogFile", "pictrex.log", "precious.txt", {kStamp, "NOARCHIVE"}, kSuccess,
                    "pictrex.log: is a symbolic link; refused"},
        PlantedLink{"LogFileToNewFile", "pictrex.log", "new.txt", {kStamp, "NOARCHIVE"}, kSuccess,
                    "pictrex.log: is a symbolic link; refused"},
        PlantedLink{"Caption", "message.txt", "precious.txt", {kStamp, "NOARCHIVE"}, kSuccess, "message.txt: is a symbolic link; refused"}),
    [](const auto& info) { return info.param.name; });

TEST(PictrexPlantedLinkExpiry, ExpiryRemovesRegularPicturesButNotALinkWithAnExpiredName) {
    WebDirectory dir;
    Elsewhere elsewhere;
    const fs::path victim = elsewhere.path() / "20200101000000.jpg";
    WriteWhole(victim, "elsewhere");
    dir.Write("pictrex.ini", std::string("archive_days = 1\n"));
    fs::create_directories(dir / "archive");
    dir.Write("archive/20200102000000.jpg", std::string("old"));
    fs::create_symlink(victim, dir / "archive/20200101000000.jpg");
    dir.StorePicture(kStamp);

    const ChildResult r = RunGuarded(dir, {kStamp, "ARCHIVE"});
    ASSERT_EQ(r.exitCode, kSuccess) << Describe(r);
    EXPECT_FALSE(fs::exists(dir / "archive/20200102000000.jpg"));
    EXPECT_TRUE(fs::is_symlink(dir / "archive/20200101000000.jpg"));
    EXPECT_EQ(ReadWhole(victim), "elsewhere");
    EXPECT_NE(ReadWhole(dir / "pictrex.log").find("not a regular file; not removed"), std::string::npos);
}

// ---- An archive that is a link to a directory ----

struct ArchiveLink {
    std::string name;
    uid_t linkOwner;    // 0: the account running the tests
    uid_t targetOwner;
    bool followed;
};

void PrintTo(const ArchiveLink& c, std::ostream* out) { *out << c.name; }

class PictrexArchiveLink : public ::testing::TestWithParam<ArchiveLink> {};

TEST_P(PictrexArchiveLink, IsFollowedOnlyWhenLinkAndTargetAreOurs) {
    const ArchiveLink& c = GetParam();
    if ((c.linkOwner != 0 || c.targetOwner != 0) && ::geteuid() != 0) GTEST_SKIP() << "needs root to chown";
    WebDirectory dir;
    Elsewhere elsewhere;
    const fs::path target = elsewhere.path() / "bigger-disk";
    fs::create_directories(target);
    fs::create_symlink(target, dir / "archive");
    const uid_t us = ::geteuid();
    ASSERT_EQ(::chown(target.c_str(), c.targetOwner ? c.targetOwner : us, static_cast<gid_t>(-1)), 0);
    ASSERT_EQ(::lchown((dir / "archive").c_str(), c.linkOwner ? c.linkOwner : us, static_cast<gid_t>(-1)), 0);
    const std::string raw = dir.StorePicture(kStamp);

    const ChildResult r = RunGuarded(dir, {kStamp, "ARCHIVE"});
    ASSERT_TRUE(r.exited) << Describe(r);
    if (c.followed) {
        EXPECT_EQ(r.exitCode, kSuccess) << Describe(r);
        EXPECT_TRUE(fs::exists(target / (std::string(kStamp) + ".jpg")));
        EXPECT_TRUE(fs::exists(target / "index.html"));
    } else {
        EXPECT_EQ(r.exitCode, kWriteFailed) << Describe(r);
        EXPECT_TRUE(fs::is_empty(target)) << "nothing written into another account's directory";
        EXPECT_NE(r.errors.find("owned by another account; refused"), std::string::npos) << r.errors;
        EXPECT_TRUE(dir.Has(raw)) << "the raw picture is kept when archiving fails";
    }
}

INSTANTIATE_TEST_SUITE_P(Owners, PictrexArchiveLink,
                         ::testing::Values(ArchiveLink{"Ours", 0, 0, true},
                                           ArchiveLink{"TargetOfAnotherAccount", 0, 65534, false},
                                           ArchiveLink{"LinkOfAnotherAccount", 65534, 0, false}),
                         [](const auto& info) { return info.param.name; });

// ---- FIFOs and devices where the converter reads ----

struct HostileRead {
    std::string name;
    std::string place;  // the web directory's entry made a FIFO, or linked to /dev/zero
    bool fifo;          // else a link to /dev/zero
    std::vector<std::string> words;
    std::string settings;  // pictrex.ini, when not the place itself
    int exitCode;
    std::string reported;
};

void PrintTo(const HostileRead& c, std::ostream* out) { *out << c.name; }

class PictrexHostileRead : public ::testing::TestWithParam<HostileRead> {};

TEST_P(PictrexHostileRead, EndsPromptlyAndReportsTheRefusal) {
    const HostileRead& c = GetParam();
    WebDirectory dir;
    dir.StorePicture(kStamp);
    if (!c.settings.empty()) dir.Write("pictrex.ini", c.settings);
    if (c.fifo) {
        ASSERT_EQ(::mkfifo((dir / c.place).c_str(), 0666), 0);
    } else {
        fs::create_symlink("/dev/zero", dir / c.place);
    }
    const ChildResult r = RunGuarded(dir, c.words);
    ASSERT_FALSE(r.timedOut) << "the run hung on " << c.place;
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.exitCode, c.exitCode) << Describe(r);
    const std::string said = r.errors + ReadWhole(dir / "pictrex.log");
    EXPECT_NE(said.find(c.reported), std::string::npos) << said;
    if (c.exitCode == kSuccess) {
        EXPECT_TRUE(DecodeJpegFile(dir / "webcam.jpg")) << "the picture is still published";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Places, PictrexHostileRead,
    ::testing::Values(
        HostileRead{"CaptionFifo", "message.txt", true, {kStamp, "NOARCHIVE"}, "", kSuccess, "not a regular file"},
        HostileRead{"RawPictureFifo", "image20261210083006.dc2", true, {"20261210083006", "NOARCHIVE"}, "",
                    kBadPicture, "not a regular file"},
        HostileRead{"WebImageFifoWhenOff", "webcam.jpg", true, {kStamp, "NOARCHIVE", "off"}, "", kSuccess,
                    "not a regular file"},
        HostileRead{"SettingsFifo", "pictrex.ini", true, {kStamp, "NOARCHIVE"}, "", kSuccess, "not a regular file"},
        HostileRead{"FontFifo", "font.ttf", true, {kStamp, "NOARCHIVE"}, "font = font.ttf\n", kSuccess,
                    "font.ttf: not a regular file"},
        HostileRead{"WebImageZeroWhenOff", "webcam.jpg", false, {kStamp, "NOARCHIVE", "off"}, "", kSuccess,
                    "webcam.jpg: is a symbolic link; refused"},
        HostileRead{"SettingsZero", "pictrex.ini", false, {kStamp, "NOARCHIVE"}, "", kSuccess,
                    "pictrex.ini: is a symbolic link; refused"}),
    [](const auto& info) { return info.param.name; });

TEST(PictrexHostileRead, FontLinkedToADeviceIsRefused) {
    WebDirectory dir;
    dir.StorePicture(kStamp);
    dir.Write("pictrex.ini", std::string("font = /dev/zero\n"));
    const ChildResult r = RunGuarded(dir, {kStamp, "NOARCHIVE"});
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, kSuccess) << Describe(r);
    EXPECT_NE(ReadWhole(dir / "pictrex.log").find("/dev/zero: not a regular file"), std::string::npos);
}

// ---- A JPEG declaring a huge picture as the published picture in off mode ----

TEST(JpegBombTest, OffModeWithABombShowsThePlainCard) {
    for (unsigned side : {16000u, 65500u}) {
        WebDirectory dir;
        dir.Write("webcam.jpg", JpegDeclaring(side, side));
        const ChildResult r = RunGuarded(dir, {kStamp, "NOARCHIVE", "off"});
        ASSERT_TRUE(r.exited) << Describe(r);
        EXPECT_EQ(r.exitCode, kSuccess) << Describe(r);
        const auto card = DecodeJpegFile(dir / "webcam.jpg");
        ASSERT_TRUE(card);
        EXPECT_EQ(card->width, 500);
        EXPECT_EQ(card->height, 373);
        const std::string log = ReadWhole(dir / "pictrex.log");
        EXPECT_NE(log.find("plain card"), std::string::npos) << log;
        EXPECT_NE(log.find("declares " + std::to_string(side) + "x" + std::to_string(side)), std::string::npos) << log;
    }
}

// ---- A file-size limit ----

TEST(PictrexFileSizeLimit, WriteFailsWithExitFourAndLeavesNoTemporaryFile) {
    WebDirectory dir;
    dir.StorePicture(kStamp);
    dir.Write("pictrex.log", std::string());
    // Big enough for the log line, too small for the web image.
    const ChildResult r = RunGuarded(dir, {kStamp, "NOARCHIVE"}, 4096);
    ASSERT_TRUE(r.exited) << Describe(r);
    EXPECT_EQ(r.exitCode, kWriteFailed) << Describe(r);
    for (const auto& name : dir.Listing()) EXPECT_NE(name.rfind(".webcam", 0), 0u) << name << " left behind";
    EXPECT_FALSE(dir.Has("webcam.jpg"));
    EXPECT_TRUE(dir.Has(std::string("image") + kStamp + ".dc2")) << "the raw picture is kept";
    EXPECT_NE(ReadWhole(dir / "pictrex.log").find("failed (exit 4)"), std::string::npos);
}

// ---- Temporary files left by a killed run ----

void MakeOld(const fs::path& file) {
    const timeval tenMinutesAgo{::time(nullptr) - 600, 0};
    const timeval times[2] = {tenMinutesAgo, tenMinutesAgo};
    ASSERT_EQ(::lutimes(file.c_str(), times), 0);
}

TEST(PictrexStaleTemporaries, OldOnesOfOurPatternAreRemovedUnderTheLock) {
    WebDirectory dir;
    dir.StorePicture(kStamp);
    fs::create_directories(dir / "archive");
    const std::vector<std::string> stale{".webcam.jpg.Ab12Cd", ".webcam.json.x9Y8z7",
                                         "archive/.20200101000000.jpg.QwErTy"};
    const std::vector<std::string> kept{".webcam.jpg.fresh1", ".htaccess", "notes.webcam.jpg.Ab12Cd"};
    for (const auto& name : stale) {
        dir.Write(name, std::string("left by a killed run"));
        MakeOld(dir / name);
    }
    for (const auto& name : kept) dir.Write(name, std::string("keep"));
    MakeOld(dir / ".htaccess");
    MakeOld(dir / "notes.webcam.jpg.Ab12Cd");

    const ChildResult r = RunGuarded(dir, {kStamp, "ARCHIVE"});
    ASSERT_EQ(r.exitCode, kSuccess) << Describe(r);
    for (const auto& name : stale) EXPECT_FALSE(dir.Has(name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(dir.Has(name)) << name;
    EXPECT_NE(ReadWhole(dir / "pictrex.log").find("stale temporary files removed"), std::string::npos);
}

// ---- A settings file full of junk ----

TEST(PictrexSettingsAbuse, ThousandsOfBadLinesOrAHugeFileGiveAShortLogLine) {
    // Small enough to be read: each bad line is a bare escape byte.
    std::string junk;
    for (int i = 0; i < 20000; ++i) junk += "\x1b\n";
    WebDirectory dir;
    dir.StorePicture(kStamp);
    dir.Write("pictrex.ini", junk);
    ASSERT_EQ(RunGuarded(dir, {kStamp, "NOARCHIVE"}).exitCode, kSuccess);
    const std::string log = ReadWhole(dir / "pictrex.log");
    EXPECT_LT(log.size(), 1000u) << log;
    EXPECT_NE(log.find("19997 more pictrex.ini lines ignored"), std::string::npos) << log;

    // Too large to be a settings file at all: refused, defaults used, one short note.
    std::string huge;
    for (int i = 0; i < 100000; ++i) huge += "\x1b[31mred\n";
    dir.Write("pictrex.ini", huge);
    dir.StorePicture(kStamp);
    ASSERT_EQ(RunGuarded(dir, {kStamp, "NOARCHIVE"}).exitCode, kSuccess);
    const std::string second = ReadWhole(dir / "pictrex.log").substr(log.size());
    EXPECT_LT(second.size(), 1000u) << second;
    EXPECT_NE(second.find("pictrex.ini: larger than"), std::string::npos) << second;
}

TEST(PictrexSettingsAbuse, ControlCharactersReachTheLogAsVisibleEscapes) {
    WebDirectory dir;
    dir.StorePicture(kStamp);
    dir.Write("pictrex.ini", std::string("\x1b[2J\x1b]0;owned\x07 = 1\nquality = 9\r\x1b[1A\n"));
    ASSERT_EQ(RunGuarded(dir, {kStamp, "NOARCHIVE"}).exitCode, kSuccess);
    const std::string log = ReadWhole(dir / "pictrex.log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
    for (char c : log.substr(0, log.size() - 1)) {
        EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << "raw control byte " << int(c) << " in " << log;
    }
    EXPECT_NE(log.find("\\x1b[2J\\x1b]0;owned\\x07"), std::string::npos) << log;
    EXPECT_NE(log.find("quality = 9\\x0d\\x1b[1A"), std::string::npos) << log;
}

}  // namespace
}  // namespace pictrex
