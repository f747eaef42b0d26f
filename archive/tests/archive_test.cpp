// The archive's pictures and thumbnails: expiry with the thumbnails, links refused, and the sweep
// of temporary files a killed run left.
#include "archive/archive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "scratch_web_directory.h"

namespace archive {
namespace {

namespace fs = std::filesystem;

class ArchiveTest : public ::testing::Test {
protected:
    ArchiveTest() { fs::create_directories(dir / "archive/thumbs"); }

    tessel::WebDirectory Archive() const { return OpenArchive(tessel::WebDirectory::Open(dir.path())); }
    void MakeOld(const std::string& name) const {
        fs::last_write_time(dir / name, fs::file_time_type::clock::now() - std::chrono::minutes(30));
    }

    tessel::testing::ScratchWebDirectory dir;
};

TEST_F(ArchiveTest, ExpiryDeletesOldPicturesWithTheirThumbnailsAndRefusesLinks) {
    for (const char* stamp : {"20261201100000", "20261209100000"}) {
        dir.Write(std::string("archive/") + stamp + ".jpg", std::string("picture"));
        WriteThumbnail(dir / "archive", *Stamp::Parse(stamp), std::vector<uint8_t>{'t'});
    }
    dir.Write("elsewhere.jpg", std::string("not ours"));
    fs::create_symlink(dir / "elsewhere.jpg", dir / "archive/20261202100000.jpg");
    dir.Write("archive/notes.txt", std::string("kept"));
    const std::time_t now = Stamp::Parse("20261210090000")->ToEpoch();

    EXPECT_TRUE(DeleteExpiredPictures(Archive(), 0, now).deleted.empty()) << "0 days keeps everything";
    const ExpiryOutcome outcome = DeleteExpiredPictures(Archive(), 3, now);

    ASSERT_EQ(outcome.deleted.size(), 1u);
    EXPECT_EQ(outcome.deleted[0].digits(), "20261201100000");
    ASSERT_EQ(outcome.refusals.size(), 1u);
    EXPECT_NE(outcome.refusals[0].find("20261202100000.jpg"), std::string::npos) << outcome.refusals[0];
    EXPECT_EQ(dir.Listing("archive"),
              (std::vector<std::string>{"20261202100000.jpg", "20261209100000.jpg", "notes.txt", "thumbs"}));
    EXPECT_EQ(dir.Listing("archive/thumbs"), std::vector<std::string>{"20261209100000.jpg"});
    EXPECT_EQ(dir.ReadText("elsewhere.jpg"), "not ours");
}

TEST_F(ArchiveTest, OnlyOldTemporariesOfArchivedPicturesAreSwept) {
    for (const char* name : {".20261201100000.jpg.AbCd12", ".notes.txt.AbCd12", ".20261201100000.jpg.Fresh1"}) {
        dir.Write(std::string("archive/") + name, std::string("litter"));
    }
    MakeOld("archive/.20261201100000.jpg.AbCd12");
    MakeOld("archive/.notes.txt.AbCd12");
    EXPECT_EQ(RemoveStalePictureTemporaries(Archive(), std::chrono::minutes(5)), 1);
    EXPECT_EQ(dir.Listing("archive"),
              (std::vector<std::string>{".20261201100000.jpg.Fresh1", ".notes.txt.AbCd12", "thumbs"}));
}

}  // namespace
}  // namespace archive
