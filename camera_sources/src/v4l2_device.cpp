#include "v4l2_device.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "file_descriptor.h"
#include "grab_failure.h"

namespace tessel::camera_sources {
namespace {

int Control(int fd, unsigned long request, void* argument) {
    int result;
    do {
        result = ::ioctl(fd, request, argument);
    } while (result < 0 && errno == EINTR);
    return result;
}

std::optional<CaptureFormat> KnownFormat(uint32_t pixelFormat) {
    switch (pixelFormat) {
        case V4L2_PIX_FMT_MJPEG:
        case V4L2_PIX_FMT_JPEG: return CaptureFormat::Mjpeg;
        case V4L2_PIX_FMT_YUYV: return CaptureFormat::Yuyv;
        default: return std::nullopt;
    }
}

void AddSizes(int fd, uint32_t pixelFormat, CaptureFormat format, const std::optional<VideoSize>& asked,
              std::vector<OfferedSize>& sizes) {
    v4l2_frmsizeenum size{};
    size.pixel_format = pixelFormat;
    for (size.index = 0; Control(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.push_back({format, {static_cast<int>(size.discrete.width), static_cast<int>(size.discrete.height)}});
            continue;
        }
        const v4l2_frmsize_stepwise& step = size.stepwise;
        const SizeRange range{{static_cast<int>(step.min_width), static_cast<int>(step.min_height)},
                              {static_cast<int>(step.max_width), static_cast<int>(step.max_height)},
                              static_cast<int>(step.step_width), static_cast<int>(step.step_height)};
        for (const VideoSize& candidate : CandidateSizes(range, asked)) sizes.push_back({format, candidate});
        break;  // a range is the only entry
    }
}

GrabResult OpenFailure(int error, const std::string& path) {
    switch (error) {
        case EBUSY: return Failed(GrabFailure::DeviceBusy, "device busy: " + path + " is used by another program");
        case EACCES:
        case EPERM: return Failed(GrabFailure::DeviceMissing, "device missing: no permission to open " + path);
        case ENOENT:
        case ENODEV:
        case ENXIO: return Failed(GrabFailure::DeviceMissing, "device missing: " + path + " does not exist");
        default: return Failed(GrabFailure::DeviceMissing, "device missing: " + path + ": " + std::strerror(error));
    }
}

}  // namespace

std::variant<DeviceOffers, GrabResult> QueryDevice(const std::string& path, const std::optional<VideoSize>& asked) {
    const tessel::FileDescriptor device(::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!device.valid()) return OpenFailure(errno, path);
    v4l2_capability capability{};
    if (Control(device.get(), VIDIOC_QUERYCAP, &capability) < 0) {
        return Failed(GrabFailure::DeviceMissing, "device missing: " + path + " is not a video device");
    }
    const uint32_t capabilities =
        (capability.capabilities & V4L2_CAP_DEVICE_CAPS) ? capability.device_caps : capability.capabilities;
    if (!(capabilities & V4L2_CAP_VIDEO_CAPTURE) || !(capabilities & V4L2_CAP_STREAMING)) {
        // A USB webcam has a second node for metadata next to the one that captures.
        return Failed(GrabFailure::DeviceMissing,
                      "device missing: " + path + " does not capture video (a webcam's other /dev/video node may)");
    }
    DeviceOffers offers;
    v4l2_fmtdesc description{};
    description.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (description.index = 0; Control(device.get(), VIDIOC_ENUM_FMT, &description) == 0; ++description.index) {
        if (const auto format = KnownFormat(description.pixelformat)) {
            AddSizes(device.get(), description.pixelformat, *format, asked, offers.sizes);
        }
    }
    return offers;
}

}  // namespace tessel::camera_sources
