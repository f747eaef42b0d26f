// Test hook for driving the real program from scripts and benchmarks, read from the environment
// variable TESSEL_TEST_HOOK (not meant for users; unset, the program behaves normally):
//   press-start  clicks the Start button once the window is up;
//   first-paint  prints the CLOCK_MONOTONIC time in nanoseconds of the window's first finished
//                paint on standard output, then ends the program.
#pragma once

#include "station_app.h"

namespace tessel {

StationApp::WindowReady TestHookFromEnvironment();

}  // namespace tessel
