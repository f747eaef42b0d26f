#include "station_dialog.h"

#include "control_ids.h"
#include "data_exchange.h"
#include "serial_camera.h"
#include "settings_mapping.h"
#include "station_view.h"

namespace tessel {

StationDialog::StationDialog(StationView& view, CaptureTimer& timer, const Clock& clock, Sleeper& sleeper,
                             ConverterLauncher& launcher, const CameraMaker& makeCamera)
    : view_(view), timer_(timer), clock_(clock), sleeper_(sleeper), launcher_(launcher)
{
    DriverOpenInfo.version = 0x0200;
    DriverRecord = DC25DriverRecord{1, 1, 0, 0, 0};
    CameraRecord.driver = &DriverRecord;
    CameraRecord.one = 1;
    CameraRecord.openArea = DriverOpenInfo.area;
    ApplySettingsMapping();
    camera_ = makeCamera(
        DriverRecords{DriverOpenInfo, DriverRecord, CameraRecord, PictureInfo, PictureBuffer, downloadWord});
}

StationDialog::StationDialog(StationView& view, CaptureTimer& timer, const Clock& clock, Sleeper& sleeper,
                             ConverterLauncher& launcher, BufferAllocator& allocator)
    : StationDialog(view, timer, clock, sleeper, launcher, SerialCameraMaker(allocator))
{
}

void StationDialog::DoDataExchange(DataExchange& dx)
{
    dx.Text(IDC_STATUS, status);
    dx.ComboIndex(IDC_PORT, portIndex);
    dx.ComboIndex(IDC_SPEED, speedIndex);
    dx.ComboIndex(IDC_CAMERA, cameraIndex);
    dx.Text(IDC_REFRESH, refreshSeconds);
    dx.MinMaxUnsigned(IDC_REFRESH, refreshSeconds, 30, 90);
    dx.Check(IDC_ARCHIVE, archiveImages);
    dx.Text(IDC_MESSAGE, message);
}

bool StationDialog::UpdateData(bool saveAndValidate)
{
    DataExchange dx(view_, saveAndValidate);
    DoDataExchange(dx);
    return dx.Ok();
}

void StationDialog::ApplySettingsMapping()
{
    CameraRecord.port = portIndex;
    CameraRecord.speed = SpeedCode(speedIndex);
    CameraRecord.model = ModelCode(cameraIndex);
}

std::string StationDialog::ConverterParameters() const
{
    return std::string(lastStamp) + (archiveImages != 0 ? " ARCHIVE" : " NOARCHIVE");
}

void StationDialog::Show()
{
    UpdateData(false);
    view_.RepaintNow();
}

}  // namespace tessel
