// What the station window needs from the outside world: the calendar clock, the pauses of a
// capture, the converter start and modal messages. The program passes the real ones; tests and
// benchmarks pass recording ones.
#pragma once

namespace tessel {

class Clock;
class ConverterLauncher;
class MessageBoxes;
class Sleeper;

struct StationServices {
    const Clock& clock;
    Sleeper& sleeper;
    ConverterLauncher& launcher;
    MessageBoxes& messages;
};

}  // namespace tessel
