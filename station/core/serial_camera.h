// The DC20/DC25 serial camera, through the camera driver library and the station dialog's driver
// records: Open opens the driver and then the camera, Take takes a picture, Fetch downloads it in
// the camera's native format into a buffer of the size the library asks for, DeletePicture
// deletes it from the camera, Close closes the camera and then the driver. A failure's reason
// names the library function and what its result code means.
#pragma once

#include <cstdint>

#include "buffer_allocator.h"
#include "camera.h"
#include "dc25v20.h"

namespace tessel {

// The records handed to the driver library. They are the station dialog's members, point into
// each other and stay where they are for the dialog's life.
struct DriverRecords {
    DC25DriverOpenInfo& openInfo;
    DC25DriverRecord& driver;
    DC25CameraRecord& camera;
    DC25PictureInfo& picture;
    DC25PictureBuffer& buffer;
    uint32_t& downloadWord;
};

class SerialCamera final : public Camera {
public:
    // Works on `records`; download buffers come from `allocator`. Both must outlive the camera.
    SerialCamera(const DriverRecords& records, BufferAllocator& allocator);

    bool Open(FailureReport& report) override;
    bool Take(FailureReport& report) override;
    std::optional<CameraPicture> Fetch(FailureReport& report) override;
    void DeletePicture(FailureReport& report) override;
    void Close(FailureReport& report) override;

private:
    DriverRecords records_;
    BufferAllocator& allocator_;
    bool driverOpen_ = false;
    bool cameraOpen_ = false;
};

// Builds a serial camera over a dialog's records, with download buffers from `allocator`.
CameraMaker SerialCameraMaker(BufferAllocator& allocator = HeapBufferAllocator());

}  // namespace tessel
