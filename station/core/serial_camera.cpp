#include "serial_camera.h"

#include <string>
#include <utility>

#include "status_texts.h"

namespace tessel {
namespace {

// What a result code of the driver library means.
const char* ResultMeaning(int16_t code)
{
    switch (code) {
    case DC25_E_NO_SUCH_PORT:
        return "the serial device does not exist";
    case DC25_E_PORT_BUSY:
        return "the port is in use by another program, or not permitted";
    case DC25_E_NO_ANSWER:
        return "the camera did not answer in time";
    case DC25_E_REFUSED:
        return "the camera refused a command";
    case DC25_E_CHECKSUM:
        return "a block stayed corrupt after all retries";
    case DC25_E_UNSUPPORTED_SPEED:
        return "the cameras do not support this speed";
    case DC25_E_BUFFER_TOO_SMALL:
        return "the download buffer is too small";
    case DC25_E_BAD_CALL:
        return "a call out of order or with an invalid argument";
    case DC25_E_CAMERA_EMPTY:
        return "the camera holds no picture";
    case DC25_E_PORT_LOST:
        return "the port went away";
    default:
        return "an unknown result";
    }
}

// "DC25_TakePicture: the camera did not answer in time (-3)"
std::string Reason(const char* function, int16_t code)
{
    return std::string(function) + ": " + ResultMeaning(code) + " (" + std::to_string(code) + ")";
}

}  // namespace

SerialCamera::SerialCamera(const DriverRecords& records, BufferAllocator& allocator)
    : records_(records), allocator_(allocator)
{
}

bool SerialCamera::Open(FailureReport& report)
{
    const int16_t driverResult = DC25_OpenDriver(&records_.openInfo, &records_.driver);
    if (driverResult != DC25_OK) {
        report.Failed({kOpenDriverFailed, Reason("DC25_OpenDriver", driverResult), true});
        return false;
    }
    driverOpen_ = true;
    const int16_t cameraResult = DC25_OpenCamera(&records_.camera);
    if (cameraResult != DC25_OK) {
        report.Failed({kOpenCameraFailed, Reason("DC25_OpenCamera", cameraResult)});
        return false;
    }
    cameraOpen_ = true;
    return true;
}

bool SerialCamera::Take(FailureReport& report)
{
    const int16_t result = DC25_TakePicture(&records_.camera, 0, 0, &records_.picture, 0);
    if (result != DC25_OK) {
        report.Failed({kTakePictureFailed, Reason("DC25_TakePicture", result)});
        return false;
    }
    return true;
}

std::optional<CameraPicture> SerialCamera::Fetch(FailureReport& report)
{
    const uint32_t bufferSize = records_.picture.bufferSize;
    std::unique_ptr<uint8_t[]> buffer = allocator_.Allocate(bufferSize);
    if (!buffer) {
        report.Failed(
            {kImageMallocFailed, "no memory for a download buffer of " + std::to_string(bufferSize) + " bytes"});
        return std::nullopt;
    }
    records_.buffer.data = buffer.get();
    records_.buffer.size = bufferSize;
    records_.buffer.zero = 0;
    records_.downloadWord = 0;
    const int16_t result =
        DC25_GetNativePicture(&records_.camera, 0, &records_.picture, &records_.buffer, &records_.downloadWord);
    if (result != DC25_OK) {
        report.Failed({std::string(kGetNativePictureFailed) + " (" + std::to_string(result) + ")",
                       Reason("DC25_GetNativePicture", result)});
        return std::nullopt;
    }
    // The picture is the buffer's tail; a count beyond the buffer cannot be stored.
    const uint32_t byteCount = records_.picture.byteCount;
    if (byteCount > bufferSize) {
        report.Failed({kPictureSizeFailed, "the driver reported a picture of " + std::to_string(byteCount) +
                                               " bytes in a buffer of " + std::to_string(bufferSize)});
        return std::nullopt;
    }
    const std::span<const uint8_t> bytes(buffer.get() + (bufferSize - byteCount), byteCount);
    return CameraPicture{std::move(buffer), bytes, kNativePictureKind};
}

void SerialCamera::DeletePicture(FailureReport& report)
{
    const int16_t result = DC25_DeletePicture(&records_.camera, 0, -1);
    if (result != DC25_OK) {
        report.Failed({kDeletePictureFailed, Reason("DC25_DeletePicture", result)});
    }
}

void SerialCamera::Close(FailureReport& report)
{
    if (cameraOpen_) {
        cameraOpen_ = false;
        const int16_t result = DC25_CloseCamera(&records_.camera);
        if (result != DC25_OK) {
            report.Failed({kCloseCameraFailed, Reason("DC25_CloseCamera", result)});
        }
    }
    if (driverOpen_) {
        driverOpen_ = false;
        const int16_t result = DC25_CloseDriver(&records_.driver);
        if (result != DC25_OK) {
            report.Failed({kCloseDriverFailed, Reason("DC25_CloseDriver", result)});
        }
    }
}

CameraMaker SerialCameraMaker(BufferAllocator& allocator)
{
    return [&allocator](const DriverRecords& records) { return std::make_unique<SerialCamera>(records, allocator); };
}

}  // namespace tessel
