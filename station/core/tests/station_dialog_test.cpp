// Construction, the settings mapping and the exchange of members with the window.
#include <cstring>
#include <ostream>
#include <vector>

#include "control_ids.h"
#include "settings_mapping.h"
#include "station_fixture.h"

namespace tessel::testing {
namespace {

using StationDialogTest = StationTest;

TEST_F(StationDialogTest, ConstructionSetsDefaultsAndRecords)
{
    EXPECT_EQ(station.portIndex, 1);
    EXPECT_EQ(station.speedIndex, 5);
    EXPECT_EQ(station.cameraIndex, 0);
    EXPECT_EQ(station.refreshSeconds, 60u);
    EXPECT_EQ(station.archiveImages, 1);
    EXPECT_EQ(station.message, "");
    EXPECT_EQ(station.status, "");
    EXPECT_EQ(station.lastMessage, "");
    EXPECT_STREQ(station.lastStamp, "");

    EXPECT_EQ(station.DriverOpenInfo.version, 0x0200);
    EXPECT_EQ(station.DriverRecord.word0, 1u);
    EXPECT_EQ(station.DriverRecord.word1, 1u);
    EXPECT_EQ(station.DriverRecord.word2, 0u);
    EXPECT_EQ(station.DriverRecord.word3, 0u);
    EXPECT_EQ(station.DriverRecord.word4, 0u);

    EXPECT_EQ(station.CameraRecord.driver, &station.DriverRecord);
    EXPECT_EQ(station.CameraRecord.port, 1);
    EXPECT_EQ(station.CameraRecord.one, 1u);
    EXPECT_EQ(station.CameraRecord.openArea, &station.DriverOpenInfo.area[0]);
    EXPECT_EQ(station.CameraRecord.model, 102);
    EXPECT_EQ(station.CameraRecord.speed, 1152);
}

struct SpeedRow {
    int32_t index;
    int32_t code;
};

void PrintTo(const SpeedRow& row, std::ostream* out)
{
    *out << row.index << " -> " << row.code;
}

class SpeedCodeTest : public ::testing::TestWithParam<SpeedRow> {};

TEST_P(SpeedCodeTest, MapsListEntryToBaudOverHundred)
{
    EXPECT_EQ(SpeedCode(GetParam().index), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(SpeedList, SpeedCodeTest,
                         ::testing::Values(SpeedRow{-1, 0}, SpeedRow{0, 0}, SpeedRow{1, 96}, SpeedRow{2, 192},
                                           SpeedRow{3, 384}, SpeedRow{4, 576}, SpeedRow{5, 1152},
                                           SpeedRow{6, 2304},
                                           // Not in the list: Auto rather than a shift by a
                                           // negative or out-of-range amount.
                                           SpeedRow{7, 0}, SpeedRow{-2, 0}));

struct MappingRow {
    int32_t port;
    int32_t speed;
    int32_t camera;
    int32_t portCode;
    int32_t speedCode;
    int32_t modelCode;
};

void PrintTo(const MappingRow& row, std::ostream* out)
{
    *out << "port " << row.port << " speed " << row.speed << " camera " << row.camera;
}

class SettingsMappingTest : public StationTest, public ::testing::WithParamInterface<MappingRow> {};

TEST_P(SettingsMappingTest, FillsCameraRecord)
{
    const MappingRow& row = GetParam();
    station.portIndex = row.port;
    station.speedIndex = row.speed;
    station.cameraIndex = row.camera;
    station.ApplySettingsMapping();
    EXPECT_EQ(station.CameraRecord.port, row.portCode);
    EXPECT_EQ(station.CameraRecord.speed, row.speedCode);
    EXPECT_EQ(station.CameraRecord.model, row.modelCode);
    EXPECT_EQ(station.CameraRecord.driver, &station.DriverRecord);
    EXPECT_EQ(station.CameraRecord.one, 1u);
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingsMappingTest,
                         ::testing::Values(MappingRow{0, 0, 0, 0, 0, 102}, MappingRow{1, 5, 0, 1, 1152, 102},
                                           MappingRow{4, 6, 1, 4, 2304, 103}, MappingRow{2, -1, 1, 2, 0, 103},
                                           MappingRow{-1, 3, 0, -1, 384, 102}));

TEST_F(StationDialogTest, WriteSetsEveryControlInExchangeOrder)
{
    station.status = "busy";
    station.portIndex = 3;
    station.speedIndex = 2;
    station.cameraIndex = 1;
    station.refreshSeconds = 45;
    station.archiveImages = 0;
    station.message = "Hello \xc3\xa9t\xc3\xa9";

    EXPECT_TRUE(station.UpdateData(false));

    EXPECT_EQ(view.writes, (std::vector<int>{IDC_STATUS, IDC_PORT, IDC_SPEED, IDC_CAMERA, IDC_REFRESH, IDC_ARCHIVE,
                                             IDC_MESSAGE}));
    EXPECT_EQ(view.texts[IDC_STATUS], "busy");
    EXPECT_EQ(view.combos[IDC_PORT], 3);
    EXPECT_EQ(view.combos[IDC_SPEED], 2);
    EXPECT_EQ(view.combos[IDC_CAMERA], 1);
    EXPECT_EQ(view.texts[IDC_REFRESH], "45");
    EXPECT_EQ(view.checks[IDC_ARCHIVE], 0);
    EXPECT_EQ(view.texts[IDC_MESSAGE], "Hello \xc3\xa9t\xc3\xa9");
    EXPECT_TRUE(view.repaints.empty());
}

TEST_F(StationDialogTest, ReadTakesEveryControlInExchangeOrder)
{
    view.texts[IDC_STATUS] = "typed";
    view.combos[IDC_PORT] = 0;
    view.combos[IDC_SPEED] = -1;
    view.combos[IDC_CAMERA] = 1;
    view.texts[IDC_REFRESH] = "75";
    view.checks[IDC_ARCHIVE] = 0;
    view.texts[IDC_MESSAGE] = "caption";
    view.reads.clear();

    EXPECT_TRUE(station.UpdateData(true));

    EXPECT_EQ(view.reads, (std::vector<int>{IDC_STATUS, IDC_PORT, IDC_SPEED, IDC_CAMERA, IDC_REFRESH, IDC_ARCHIVE,
                                            IDC_MESSAGE}));
    EXPECT_EQ(station.status, "typed");
    EXPECT_EQ(station.portIndex, 0);
    EXPECT_EQ(station.speedIndex, -1);
    EXPECT_EQ(station.cameraIndex, 1);
    EXPECT_EQ(station.refreshSeconds, 75u);
    EXPECT_EQ(station.archiveImages, 0);
    EXPECT_EQ(station.message, "caption");
    EXPECT_TRUE(view.invalid.empty());
}

struct RefreshRow {
    const char* text;
    bool valid;
    uint32_t stored;  // refreshSeconds after the read (60 before it)
};

void PrintTo(const RefreshRow& row, std::ostream* out)
{
    *out << '"' << row.text << '"';
}

class RefreshReadTest : public StationTest, public ::testing::WithParamInterface<RefreshRow> {};

TEST_P(RefreshReadTest, ChecksTheIntervalAndStopsAtAFailure)
{
    const RefreshRow& row = GetParam();
    view.texts[IDC_STATUS] = "typed";
    view.combos[IDC_PORT] = 4;
    view.texts[IDC_REFRESH] = row.text;
    view.checks[IDC_ARCHIVE] = 0;
    view.texts[IDC_MESSAGE] = "new caption";

    EXPECT_EQ(station.UpdateData(true), row.valid);

    EXPECT_EQ(station.refreshSeconds, row.stored);
    EXPECT_EQ(station.status, "typed");
    EXPECT_EQ(station.portIndex, 4);
    if (row.valid) {
        EXPECT_TRUE(view.invalid.empty());
        EXPECT_EQ(station.archiveImages, 0);
        EXPECT_EQ(station.message, "new caption");
        return;
    }
    ASSERT_EQ(view.invalid.size(), 1u);
    EXPECT_EQ(view.invalid[0].first, IDC_REFRESH);
    EXPECT_FALSE(view.invalid[0].second.empty());
    // The fields after the refresh box were not taken over, and the next write puts the
    // former values back into their controls.
    EXPECT_EQ(station.archiveImages, 1);
    EXPECT_EQ(station.message, "");
    station.UpdateData(false);
    EXPECT_EQ(view.checks[IDC_ARCHIVE], 1);
    EXPECT_EQ(view.texts[IDC_MESSAGE], "");
}

INSTANTIATE_TEST_SUITE_P(
    RefreshTexts, RefreshReadTest,
    ::testing::Values(RefreshRow{"30", true, 30}, RefreshRow{"90", true, 90}, RefreshRow{" 45 ", true, 45},
                      RefreshRow{"29", false, 29}, RefreshRow{"91", false, 91}, RefreshRow{"0", false, 0},
                      RefreshRow{"4294967295", false, 4294967295u}, RefreshRow{"abc", false, 60},
                      RefreshRow{"", false, 60}, RefreshRow{"-45", false, 60}, RefreshRow{"45s", false, 60},
                      RefreshRow{"4294967296", false, 60}));

}  // namespace
}  // namespace tessel::testing
