// Starts the converter as a separate process in the current directory, without a shell and
// without waiting for it. The program is looked up first beside the running executable, then
// on PATH. A start that fails is logged on standard error. Finished converters are reaped at
// the next start, so they do not linger as zombies.
#pragma once

#include <chrono>
#include <string>
#include <sys/types.h>
#include <vector>

#include "converter_launcher.h"

namespace tessel {

// The words of a parameter text, split on blanks and tabs as a command line splits them.
std::vector<std::string> SplitParameters(const std::string& parameters);

class ProcessConverterLauncher final : public ConverterLauncher {
public:
    explicit ProcessConverterLauncher(std::string program = "pictrex");
    void Start(const std::string& parameters) override;

    // Converters started and not yet seen to end.
    std::size_t RunningCount();
    // Waits until every converter started has ended, at most `limit`, so that a program ending
    // does not take the last picture with it. False when some still run.
    bool WaitForAll(std::chrono::milliseconds limit);

private:
    void ReapFinished();

    std::string program_;
    std::vector<pid_t> running_;
};

}  // namespace tessel
