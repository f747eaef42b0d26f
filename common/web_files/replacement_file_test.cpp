#include "replacement_file.h"

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "scratch_web_directory.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

std::span<const uint8_t> Bytes(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

class ReplacementFileTest : public ::testing::Test {
protected:
    ReplacementFileTest() { dir.Write("day.mp4", std::string("old")); }

    std::string Contents() const { return dir.ReadText("day.mp4"); }
    std::vector<std::string> Names() const { return dir.Listing(); }

    testing::ScratchWebDirectory dir;
};

TEST_F(ReplacementFileTest, PiecesFromUsAndFromItsDescriptorShowOnlyOncePublished) {
    const WebDirectory directory = WebDirectory::Open(dir.path());
    ReplacementFile file(directory, "day.mp4");
    file.Write(Bytes("new "));
    ASSERT_EQ(::write(file.descriptor(), "video", 5), 5);  // as a child process writing into it would
    file.Write(Bytes("!"));
    EXPECT_EQ(Contents(), "old");
    const std::vector<std::string> during = Names();
    ASSERT_EQ(during.size(), 2u);
    const std::string temporary = during[0] == "day.mp4" ? during[1] : during[0];
    EXPECT_EQ(temporary.rfind(".day.mp4.", 0), 0u) << temporary;

    file.Publish();
    EXPECT_EQ(Contents(), "new video!");
    EXPECT_EQ(Names(), std::vector<std::string>{"day.mp4"});
}

TEST_F(ReplacementFileTest, AnUnpublishedFileIsRemovedAndTheOldOneKept) {
    const WebDirectory directory = WebDirectory::Open(dir.path());
    {
        ReplacementFile file(directory, "day.mp4");
        file.Write(Bytes("half a vid"));
    }
    EXPECT_EQ(Contents(), "old");
    EXPECT_EQ(Names(), std::vector<std::string>{"day.mp4"});
}

TEST_F(ReplacementFileTest, ItsTemporaryIsOneTheSweepOfStaleTemporariesRecognises) {
    const WebDirectory directory = WebDirectory::Open(dir.path());
    ReplacementFile file(directory, "day.mp4");
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        fs::last_write_time(entry.path(), fs::file_time_type::clock::now() - std::chrono::minutes(30));
    }
    EXPECT_EQ(directory.RemoveStaleTemporaries("day.mp4", std::chrono::minutes(10)), 1);
    EXPECT_THROW(file.Publish(), FileError);  // its temporary was swept away: nothing to put in place
    EXPECT_EQ(Contents(), "old");
}

TEST_F(ReplacementFileTest, NamesThatLeaveTheDirectoryAreRefused) {
    const WebDirectory directory = WebDirectory::Open(dir.path());
    for (const char* name : {"../day.mp4", "a/b", "..", ""}) {
        EXPECT_THROW(ReplacementFile(directory, name), FileError) << name;
    }
    EXPECT_EQ(Names(), std::vector<std::string>{"day.mp4"});
}

}  // namespace
}  // namespace tessel
