#include "web_directory.h"

#include <chrono>
#include <fstream>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessel {
namespace {

namespace fs = std::filesystem;

std::string Contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Write(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

class WebDirectoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("web_files_test." + std::to_string(::getpid()) + "." +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "web");
        fs::create_directories(root_ / "elsewhere");
        Write(outside(), "precious");
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path web() const { return root_ / "web"; }
    fs::path outside() const { return root_ / "elsewhere" / "victim"; }
    WebDirectory Directory() const { return WebDirectory::Open(web()); }
    void PlantLink(const std::string& name, const fs::path& target) const { fs::create_symlink(target, web() / name); }

    fs::path root_;
};

TEST_F(WebDirectoryTest, ReadsRegularFilesUpToTheLimit) {
    Write(web() / "message.txt", "hello");
    const FileRead read = Directory().Read("message.txt", 5);
    EXPECT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, "hello");

    const FileRead tooLarge = Directory().Read("message.txt", 4);
    EXPECT_FALSE(tooLarge.ok);
    EXPECT_FALSE(tooLarge.missing);
    EXPECT_NE(tooLarge.error.find("larger than 4 bytes"), std::string::npos) << tooLarge.error;

    const FileRead missing = Directory().Read("nothing.txt", 5);
    EXPECT_FALSE(missing.ok);
    EXPECT_TRUE(missing.missing);
}

// Every kind of entry that is not a regular file of the directory's own is refused at once,
// whatever it leads to: a read must neither block nor grow without bound.
TEST_F(WebDirectoryTest, RefusesEverythingButARegularFileWithoutBlocking) {
    PlantLink("to-outside", outside());
    PlantLink("to-zero", "/dev/zero");
    ASSERT_EQ(::mkfifo((web() / "fifo").c_str(), 0666), 0);
    fs::create_directory(web() / "folder");
    for (const char* name : {"to-outside", "to-zero", "fifo", "folder"}) {
        const FileRead read = Directory().Read(name, 1 << 20);
        EXPECT_FALSE(read.ok) << name;
        EXPECT_FALSE(read.missing) << name;
        EXPECT_TRUE(read.bytes.empty()) << name;
        EXPECT_NE(read.error.find(name), std::string::npos) << read.error;
    }
}

TEST_F(WebDirectoryTest, ReadRegularFileFollowsLinksButRefusesDevicesAndFifos) {
    const fs::path link = root_ / "font-link";
    fs::create_symlink(outside(), link);
    EXPECT_EQ(ReadRegularFile(link, 100).bytes, "precious");
    ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0666), 0);
    for (const fs::path& refused : {fs::path("/dev/zero"), root_ / "fifo"}) {
        const FileRead read = ReadRegularFile(refused, 1 << 20);
        EXPECT_FALSE(read.ok) << refused;
        EXPECT_NE(read.error.find("not a regular file"), std::string::npos) << read.error;
    }
}

TEST_F(WebDirectoryTest, WritingThroughAPlantedLinkIsRefusedInEveryMode) {
    PlantLink("image.dc2", outside());
    PlantLink("dangling", root_ / "elsewhere" / "new-file");
    for (WriteMode mode : {WriteMode::CreateNew, WriteMode::CreateOrTruncate, WriteMode::CreateOrAppend}) {
        for (const char* name : {"image.dc2", "dangling"}) {
            EXPECT_THROW(Directory().OpenForWriting(name, mode), FileError) << name;
        }
    }
    EXPECT_THROW(Directory().AppendLine("image.dc2", "line\n"), FileError);
    EXPECT_EQ(Contents(outside()), "precious");
    EXPECT_FALSE(fs::exists(root_ / "elsewhere" / "new-file"));
}

TEST_F(WebDirectoryTest, WritingToAFifoIsRefusedWithoutBlocking) {
    ASSERT_EQ(::mkfifo((web() / "message.txt").c_str(), 0666), 0);
    EXPECT_THROW(Directory().OpenForWriting("message.txt", WriteMode::CreateOrTruncate), FileError);
}

TEST_F(WebDirectoryTest, WriteModesCreateTruncateAndAppend) {
    const WebDirectory directory = Directory();
    directory.AppendLine("log", "one\n");
    directory.AppendLine("log", "two\n");
    EXPECT_EQ(Contents(web() / "log"), "one\ntwo\n");

    {
        FileDescriptor file = directory.OpenForWriting("log", WriteMode::CreateOrTruncate);
        ASSERT_EQ(::write(file.get(), "x", 1), 1);
    }
    EXPECT_EQ(Contents(web() / "log"), "x");
    EXPECT_THROW(directory.OpenForWriting("log", WriteMode::CreateNew), FileError);
    EXPECT_TRUE(directory.OpenForWriting("fresh", WriteMode::CreateNew).valid());
}

TEST_F(WebDirectoryTest, ReplacesAtomicallyAndReplacesAPlantedLinkItselfNotItsTarget) {
    PlantLink("webcam.jpg", outside());
    const mode_t mask = ::umask(022);
    Directory().ReplaceAtomically("webcam.jpg", std::string("new picture"));
    ::umask(mask);
    EXPECT_EQ(Contents(outside()), "precious");
    EXPECT_FALSE(fs::is_symlink(web() / "webcam.jpg"));
    EXPECT_EQ(Contents(web() / "webcam.jpg"), "new picture");
    EXPECT_EQ(fs::status(web() / "webcam.jpg").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(web()), fs::directory_iterator()), 1);
}

TEST_F(WebDirectoryTest, AFailedReplacementLeavesTheOldFileAndNoTemporary) {
    fs::create_directory(web() / "index.html");  // rename cannot put a file over a directory
    Write(web() / "index.html" / "inside", "x");
    EXPECT_THROW(Directory().ReplaceAtomically("index.html", std::string("page")), FileError);
    EXPECT_TRUE(fs::is_directory(web() / "index.html"));
    EXPECT_EQ(std::distance(fs::directory_iterator(web()), fs::directory_iterator()), 1);
}

TEST_F(WebDirectoryTest, RemovesOnlyRegularFiles) {
    Write(web() / "20261210083005.jpg", "old");
    PlantLink("20261210083006.jpg", outside());
    fs::create_directory(web() / "20261210083007.jpg");
    const WebDirectory directory = Directory();
    EXPECT_TRUE(directory.RemoveRegularFile("20261210083005.jpg"));
    EXPECT_FALSE(directory.RemoveRegularFile("20261210083005.jpg"));
    EXPECT_THROW(directory.RemoveRegularFile("20261210083006.jpg"), FileError);
    EXPECT_THROW(directory.RemoveRegularFile("20261210083007.jpg"), FileError);
    EXPECT_TRUE(fs::is_symlink(web() / "20261210083006.jpg"));
    EXPECT_EQ(Contents(outside()), "precious");
}

TEST_F(WebDirectoryTest, NamesThatLeaveTheDirectoryAreRefused) {
    const WebDirectory directory = Directory();
    for (const char* name : {"../elsewhere/victim", "a/b", "..", ".", ""}) {
        EXPECT_THROW(directory.RemoveRegularFile(name), FileError) << name;
        EXPECT_THROW(directory.OpenForWriting(name, WriteMode::CreateOrAppend), FileError) << name;
    }
    EXPECT_EQ(Contents(outside()), "precious");
}

TEST_F(WebDirectoryTest, RemovesStaleTemporariesOfItsOwnPatternOnly) {
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(30);
    for (const char* name : {".webcam.jpg.Ab3xYz", ".index.html.QQQQQQ", ".webcam.jpg.short", "webcam.jpg.Ab3xYz",
                             ".webcam.jpg.Ab3x!z"}) {
        Write(web() / name, "litter");
        fs::last_write_time(web() / name, old);
    }
    Write(web() / ".webcam.jpg.fresh1", "being written");
    PlantLink(".webcam.jpg.link00", outside());

    EXPECT_EQ(Directory().RemoveStaleTemporaries("webcam.jpg", std::chrono::minutes(10)), 1);
    EXPECT_FALSE(fs::exists(web() / ".webcam.jpg.Ab3xYz"));
    EXPECT_TRUE(fs::exists(web() / ".index.html.QQQQQQ"));
    EXPECT_TRUE(fs::exists(web() / ".webcam.jpg.fresh1"));
    EXPECT_TRUE(fs::is_symlink(web() / ".webcam.jpg.link00"));

    EXPECT_EQ(Directory().RemoveAllStaleTemporaries(std::chrono::minutes(10)), 1);
    EXPECT_FALSE(fs::exists(web() / ".index.html.QQQQQQ"));
    for (const char* kept : {".webcam.jpg.short", "webcam.jpg.Ab3xYz", ".webcam.jpg.Ab3x!z", ".webcam.jpg.fresh1"}) {
        EXPECT_TRUE(fs::exists(web() / kept)) << kept;
    }
}

TEST_F(WebDirectoryTest, SubdirectoryLinksFollowTheOwnershipRule) {
    fs::create_directory(root_ / "bigdisk");
    PlantLink("archive", root_ / "bigdisk");
    EXPECT_THROW(Directory().Subdirectory("archive", DirectoryLinks::Refuse), FileError);
    const WebDirectory archive = Directory().Subdirectory("archive", DirectoryLinks::FollowIfOwned);
    archive.ReplaceAtomically("a.jpg", std::string("x"));
    EXPECT_EQ(Contents(root_ / "bigdisk" / "a.jpg"), "x");

    const WebDirectory created = Directory().Subdirectory("thumbs", DirectoryLinks::Refuse, true);
    EXPECT_TRUE(fs::is_directory(web() / "thumbs"));
    EXPECT_EQ(created.path(), web() / "thumbs");
}

TEST_F(WebDirectoryTest, ALinkToAnotherAccountsDirectoryIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to give files to another account";
    constexpr uid_t kNobody = 65534;
    fs::create_directory(root_ / "theirs");
    ASSERT_EQ(::chown((root_ / "theirs").c_str(), kNobody, kNobody), 0);
    PlantLink("archive", root_ / "theirs");
    EXPECT_THROW(Directory().Subdirectory("archive", DirectoryLinks::FollowIfOwned), FileError);

    fs::create_directory(root_ / "ours");
    PlantLink("planted", root_ / "ours");
    ASSERT_EQ(::lchown((web() / "planted").c_str(), kNobody, kNobody), 0);
    EXPECT_THROW(Directory().Subdirectory("planted", DirectoryLinks::FollowIfOwned), FileError);
}

TEST_F(WebDirectoryTest, OpenFollowsTheNamedDirectoryUnlessAskedNotTo) {
    fs::create_symlink(web(), root_ / "www");
    Write(web() / "f", "x");
    EXPECT_EQ(WebDirectory::Open(root_ / "www").Read("f", 1).bytes, "x");
    EXPECT_EQ(WebDirectory::Open(root_ / "www/").Read("f", 1).bytes, "x");
    EXPECT_THROW(WebDirectory::Open(root_ / "www", DirectoryLinks::Refuse), FileError);
    EXPECT_THROW(WebDirectory::Open(root_ / "missing"), FileError);
}

}  // namespace
}  // namespace tessel
