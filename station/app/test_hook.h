// Test hook for driving the real program from scripts and benchmarks, read from the environment
// variable TESSEL_TEST_HOOK (not meant for users; unset, the program behaves normally):
//   press-start    clicks the Start button once the window is up;
//   first-paint    prints the CLOCK_MONOTONIC time in nanoseconds at the end of the window's
//                  first paint on standard output, then ends the program;
//   snapshot=PATH  saves a PNG picture of the window, as first painted, to PATH and ends the
//                  program.
#pragma once

#include "station_app.h"

namespace tessel {

StationApp::WindowReady TestHookFromEnvironment();

}  // namespace tessel
