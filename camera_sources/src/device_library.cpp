#include "device_library.h"

#include <dlfcn.h>
#include <mutex>

extern "C" {
#include <libavdevice/version_major.h>
}

namespace tessel::camera_sources {
namespace {

#define TESSEL_STRINGIFY(x) #x
#define TESSEL_SONAME(major) "libavdevice.so." TESSEL_STRINGIFY(major)

// The library of the same major version as the headers this was built with.
constexpr const char* kDeviceLibrary = TESSEL_SONAME(LIBAVDEVICE_VERSION_MAJOR);

}  // namespace

bool LoadDeviceLibrary(std::string& problem) {
    static std::once_flag once;
    static std::string failure;
    std::call_once(once, [] {
        // Kept loaded for the life of the process: libavformat refers to its inputs from now on.
        void* library = ::dlopen(kDeviceLibrary, RTLD_NOW | RTLD_LOCAL);
        const auto registerAll = library ? reinterpret_cast<void (*)()>(::dlsym(library, "avdevice_register_all")) : nullptr;
        if (!registerAll) {
            failure = std::string("stream error: the V4L2 input is missing (") + kDeviceLibrary +
                      " from the package libavdevice" TESSEL_STRINGIFY(LIBAVDEVICE_VERSION_MAJOR) " cannot be loaded)";
            return;
        }
        registerAll();
    });
    problem = failure;
    return failure.empty();
}

}  // namespace tessel::camera_sources
