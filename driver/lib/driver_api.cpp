// The library's seven C entry points. They validate the caller's records, keep the open
// drivers and cameras in one registry, and turn every failure into a result code: nothing
// escapes as an exception and no call order can crash the library.
//
// Every wait has a limit (see timeouts.h), so a camera that stops answering ends each call
// within: OpenCamera about 10 s on one port (five speeds at 1 s, then the status reply),
// about 18 s with Auto (no new port after 8 s); TakePicture about 19 s (a DC25's 3 s pause and
// 15 s for the snap); GetNativePicture 6 s after the last byte that arrived (3 s of silence,
// one request to resend, 3 s more); DeletePicture about 18 s; CloseCamera 3 s. A port that is
// lost fails the call at once.
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>

#include "camera_error.h"
#include "camera_session.h"
#include "dc25v20.h"
#include "port_names.h"
#include "rawformat/raw_layout.h"
#include "timeouts.h"
#include "trace.h"

#define DC25_EXPORT extern "C" __attribute__((visibility("default")))

namespace dc25 {
namespace {

constexpr uint16_t kInterfaceVersion = 0x0200;
constexpr int32_t kModelDc20 = 102;
constexpr int32_t kModelDc25 = 103;
constexpr int32_t kAutoSpeedCode = 0;
constexpr int kFastestBaud = 115200;
constexpr int32_t kDeleteTaken = -1;
constexpr int32_t kDeleteAll = 0;

struct OpenCamera {
    const DC25DriverRecord* driver;
    std::unique_ptr<CameraSession> session;
    int lastTaken = 0;  // number of the picture this session took, 0 when none
};

struct Registry {
    std::mutex mutex;
    std::set<const DC25DriverRecord*> drivers;
    std::map<uint32_t, OpenCamera> cameras;
    uint32_t nextHandle = 1;
};

Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

[[noreturn]] void BadCall(const std::string& what) { throw CameraError(DC25_E_BAD_CALL, what); }

// Runs one call under the registry's lock and turns its failure into a result code.
template <typename Body>
int16_t Guarded(const char* name, Body body) {
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    try {
        body(r);
        return DC25_OK;
    } catch (const CameraError& e) {
        Trace::FromEnvironment().Note(std::string(name) + " failed (" + std::to_string(e.code()) + "): " + e.what());
        return e.code();
    } catch (const std::exception& e) {
        // Only resource exhaustion can get here; the call did not happen.
        Trace::FromEnvironment().Note(std::string(name) + " failed: " + e.what());
        return DC25_E_BAD_CALL;
    }
}

OpenCamera& CameraOf(Registry& r, const DC25CameraRecord* camera) {
    if (camera == nullptr) BadCall("no camera record");
    const auto found = r.cameras.find(camera->handle);
    if (found == r.cameras.end() || found->second.driver != camera->driver) BadCall("camera is not open");
    return found->second;
}

dc2x::Model ModelOfCode(int32_t code) {
    if (code == kModelDc20) return dc2x::Model::Dc20;
    if (code == kModelDc25) return dc2x::Model::Dc25;
    BadCall("unknown model code " + std::to_string(code));
}

// The code is a baud rate in hundreds; it is compared with the known speeds before it is
// multiplied, so that no caller's value can overflow.
int BaudOfSpeedCode(int32_t code) {
    if (code == kAutoSpeedCode) return kFastestBaud;
    if (code > 0 && code <= kFastestBaud / 100 && dc2x::SpeedByBaud(code * 100)) return code * 100;
    throw CameraError(DC25_E_UNSUPPORTED_SPEED, "speed code " + std::to_string(code) + " is not supported");
}

std::unique_ptr<CameraSession> OpenOnDevice(const std::string& device, dc2x::Model model, int baud,
                                            const Timeouts& timeouts) {
    return std::make_unique<CameraSession>(std::make_unique<SerialPort>(device, Trace::FromEnvironment()), model, baud,
                                           timeouts);
}

// Tries every candidate device until a camera answers; stops starting new ones when the time
// budget is spent. The failure reported is the most telling one met: a port that could be
// probed but had no camera, else a busy port, else no port at all.
std::unique_ptr<CameraSession> OpenOnAnyPort(dc2x::Model model, int baud, const Timeouts& timeouts) {
    const auto stop = std::chrono::steady_clock::now() + timeouts.autoPortBudget;
    int16_t failure = DC25_E_NO_SUCH_PORT;
    for (const std::string& device : AutoPortCandidates()) {
        if (std::chrono::steady_clock::now() >= stop) break;
        try {
            return OpenOnDevice(device, model, baud, timeouts);
        } catch (const CameraError& e) {
            Trace::FromEnvironment().Note("auto: " + std::string(e.what()));
            if (e.code() == DC25_E_PORT_BUSY && failure == DC25_E_NO_SUCH_PORT) failure = DC25_E_PORT_BUSY;
            if (e.code() == DC25_E_NO_ANSWER || e.code() == DC25_E_PORT_LOST) failure = DC25_E_NO_ANSWER;
        }
    }
    throw CameraError(failure, "no camera found on any port");
}

std::size_t PictureBytes(uint32_t resolution) {
    return rawformat::LayoutFor(static_cast<rawformat::Resolution>(resolution)).totalBytes;
}

}  // namespace
}  // namespace dc25

using namespace dc25;

DC25_EXPORT int16_t DC25_OpenDriver(DC25DriverOpenInfo* openInfo, DC25DriverRecord* driver) {
    return Guarded("OpenDriver", [&](Registry& r) {
        if (openInfo == nullptr || driver == nullptr) BadCall("null record");
        if (openInfo->version != kInterfaceVersion) BadCall("unknown interface version");
        if (!r.drivers.insert(driver).second) BadCall("driver is already open");
    });
}

DC25_EXPORT int16_t DC25_OpenCamera(DC25CameraRecord* camera) {
    return Guarded("OpenCamera", [&](Registry& r) {
        if (camera == nullptr) BadCall("no camera record");
        if (r.drivers.count(camera->driver) == 0) BadCall("driver is not open");
        if (r.cameras.count(camera->handle) != 0) BadCall("camera is already open");
        const dc2x::Model model = ModelOfCode(camera->model);
        const int baud = BaudOfSpeedCode(camera->speed);
        if (camera->port < kAutoPort || camera->port > kLastPort) {
            throw CameraError(DC25_E_NO_SUCH_PORT, "port " + std::to_string(camera->port) + " does not exist");
        }
        const Timeouts timeouts = Timeouts::FromEnvironment();
        std::unique_ptr<CameraSession> session = camera->port == kAutoPort
                                                     ? OpenOnAnyPort(model, baud, timeouts)
                                                     : OpenOnDevice(DeviceOfPort(camera->port), model, baud, timeouts);
        const uint32_t handle = r.nextHandle++;
        r.cameras.emplace(handle, OpenCamera{camera->driver, std::move(session)});
        camera->handle = handle;
    });
}

DC25_EXPORT int16_t DC25_TakePicture(DC25CameraRecord* camera, int32_t, int32_t, DC25PictureInfo* picture, int32_t) {
    return Guarded("TakePicture", [&](Registry& r) {
        OpenCamera& open = CameraOf(r, camera);
        if (picture == nullptr) BadCall("no picture record");
        const TakenPicture taken = open.session->Take();
        open.lastTaken = taken.number;
        *picture = DC25PictureInfo{};
        picture->pictureNumber = static_cast<uint32_t>(taken.number);
        picture->resolution = static_cast<uint32_t>(taken.resolution);
        picture->modelId = static_cast<uint32_t>(open.session->model());
        picture->byteCount = static_cast<uint32_t>(PictureBytes(picture->resolution));
        picture->bufferSize = picture->byteCount;
    });
}

DC25_EXPORT int16_t DC25_GetNativePicture(DC25CameraRecord* camera, int32_t, DC25PictureInfo* picture,
                                          DC25PictureBuffer* buffer, uint32_t* downloadWord) {
    return Guarded("GetNativePicture", [&](Registry& r) {
        OpenCamera& open = CameraOf(r, camera);
        if (picture == nullptr) BadCall("no picture record");
        if (picture->resolution > 1) BadCall("picture record holds no resolution");
        if (buffer == nullptr || buffer->data == nullptr || buffer->size < PictureBytes(picture->resolution)) {
            throw CameraError(DC25_E_BUFFER_TOO_SMALL, "picture buffer missing or too small");
        }
        const int held = open.session->QueryStatus().pictures;
        if (held == 0) throw CameraError(DC25_E_CAMERA_EMPTY, "the camera holds no picture");
        if (picture->pictureNumber < 1 || picture->pictureNumber > static_cast<uint32_t>(held)) {
            BadCall("no picture " + std::to_string(picture->pictureNumber) + " on the camera");
        }
        // The camera's header decides the size; it is checked against the buffer before a
        // single byte is written there.
        const std::vector<uint8_t> native = open.session->DownloadPicture(static_cast<int>(picture->pictureNumber));
        if (native.size() > buffer->size) {
            throw CameraError(DC25_E_BUFFER_TOO_SMALL, "picture is larger than the buffer");
        }
        std::memcpy(buffer->data + (buffer->size - native.size()), native.data(), native.size());
        picture->resolution = native[rawformat::kHeaderResolutionByte];
        picture->byteCount = static_cast<uint32_t>(native.size());
        if (downloadWord != nullptr) *downloadWord = static_cast<uint32_t>(native.size() / dc2x::kBlockBytes);
    });
}

DC25_EXPORT int16_t DC25_DeletePicture(DC25CameraRecord* camera, int32_t, int32_t picture) {
    return Guarded("DeletePicture", [&](Registry& r) {
        OpenCamera& open = CameraOf(r, camera);
        const bool dc20 = open.session->model() == dc2x::Model::Dc20;
        int number = picture;
        if (picture == kDeleteTaken) {
            if (open.lastTaken == 0) BadCall("no picture was taken in this session");
            // Erasing everything is the only erase a DC20 has.
            number = dc20 ? kDeleteAll : open.lastTaken;
        } else if (picture < kDeleteAll || picture > 255) {
            BadCall("no picture " + std::to_string(picture));
        } else if (dc20 && picture != kDeleteAll) {
            BadCall("a DC20 can only erase all pictures");
        }
        open.session->Erase(number);
        if (number == kDeleteAll || number == open.lastTaken) open.lastTaken = 0;
    });
}

DC25_EXPORT int16_t DC25_CloseCamera(DC25CameraRecord* camera) {
    return Guarded("CloseCamera", [&](Registry& r) {
        CameraOf(r, camera);
        // The port is closed and unlocked whatever the camera says.
        const auto node = r.cameras.extract(camera->handle);
        camera->handle = 0;
        node.mapped().session->RestorePowerUpSpeed();
    });
}

DC25_EXPORT int16_t DC25_CloseDriver(DC25DriverRecord* driver) {
    return Guarded("CloseDriver", [&](Registry& r) {
        if (driver == nullptr || r.drivers.erase(driver) == 0) BadCall("driver is not open");
        // Cameras left open are closed too; their restore is best effort.
        for (auto it = r.cameras.begin(); it != r.cameras.end();) {
            if (it->second.driver != driver) {
                ++it;
                continue;
            }
            try {
                it->second.session->RestorePowerUpSpeed();
            } catch (const CameraError&) {
            }
            it = r.cameras.erase(it);
        }
    });
}
