// libavdevice (the V4L2 input) is loaded when the first V4L2 grab needs it, not linked: it pulls
// in some eighty libraries (sound servers, SDL, X) that cost about 0.2 s and 19 MiB at every
// start of a program that grabs from an IP camera and never uses a device.
#pragma once

#include <string>

namespace tessel::camera_sources {

// Loads libavdevice and registers its inputs with libavformat (once per process); false, with
// `problem` set, when the library cannot be loaded.
bool LoadDeviceLibrary(std::string& problem);

}  // namespace tessel::camera_sources
