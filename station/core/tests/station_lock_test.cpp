// One station per web directory.
#include <optional>

#include "station_fixture.h"
#include "station_lock.h"
#include "web_directory.h"

namespace tessel::testing {
namespace {

TEST(StationLockTest, ASecondStationIsRefusedUntilTheFirstLetsGo)
{
    TemporaryWorkDir workDir;
    const WebDirectory first = WebDirectory::Open(workDir.Path());
    const WebDirectory second = WebDirectory::Open(workDir.Path());
    std::optional<StationLock> held(StationLock::Acquire(first));

    try {
        StationLock::Acquire(second);
        FAIL() << "the second lock was granted";
    } catch (const StationBusy& busy) {
        const std::string text = busy.what();
        EXPECT_NE(text.find("another station"), std::string::npos) << text;
        EXPECT_NE(text.find(workDir.Path().string()), std::string::npos) << text;
    }

    held.reset();
    EXPECT_NO_THROW(StationLock::Acquire(second));
}

TEST(StationLockTest, APlantedLinkIsNotFollowed)
{
    TemporaryWorkDir workDir;
    std::filesystem::create_directory("web");
    WriteFile("elsewhere", "keep");
    std::filesystem::create_symlink(workDir.Path() / "elsewhere", workDir.Path() / "web" / kStationLockFileName);
    const WebDirectory directory = WebDirectory::Open(workDir.Path() / "web");
    EXPECT_THROW(StationLock::Acquire(directory), FileError);
    EXPECT_EQ(ReadFile("elsewhere"), "keep");
}

}  // namespace
}  // namespace tessel::testing
