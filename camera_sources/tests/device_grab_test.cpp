// V4L2 grabs that need no video device: a missing device and a device that is not a camera. The
// grabs from a real device run inside a virtual machine with the kernel's vivid driver (grab_tool).
#include <gtest/gtest.h>

#include "grab.h"

namespace tessel::camera_sources {
namespace {

GrabResult GrabDevice(const std::string& path) {
    std::string error;
    const auto source = ParseSource("v4l2:" + path, error);
    if (!source) throw std::invalid_argument(error);
    GrabSettings settings;
    settings.timeout = std::chrono::seconds(2);
    return Grab(*source, settings);
}

TEST(DeviceGrab, AMissingDeviceIsNamedAsMissing) {
    const GrabResult result = GrabDevice("/dev/tessel-no-such-video");
    EXPECT_EQ(result.failure, GrabFailure::DeviceMissing);
    EXPECT_EQ(result.reason, "device missing: /dev/tessel-no-such-video does not exist");
}

TEST(DeviceGrab, ADeviceThatIsNoCameraIsRefused) {
    const GrabResult result = GrabDevice("/dev/null");
    EXPECT_EQ(result.failure, GrabFailure::DeviceMissing);
    EXPECT_EQ(result.reason, "device missing: /dev/null is not a video device");
}

}  // namespace
}  // namespace tessel::camera_sources
