// Runs dc2x-emulator as a child process for tests and benchmarks: starts it, reads the
// terminal path it prints, keeps its log in a file, and stops it (and waits for it) when
// destroyed, so that no child is left behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace dc2x::testing {

class EmulatorProcess {
public:
    // Starts `program` with `arguments` plus --verbose. Throws std::runtime_error when it does
    // not print its terminal's path within a few seconds.
    EmulatorProcess(const std::string& program, const std::vector<std::string>& arguments);
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    const std::string& path() const { return path_; }
    // Everything the emulator logged so far.
    std::string Log() const;
    // Waits until the emulator has exited by itself; false when it is still running after
    // `wait`.
    bool WaitForExit(std::chrono::milliseconds wait);

private:
    void Stop();

    pid_t pid_ = -1;
    bool reaped_ = false;
    std::string path_;
    std::string logPath_;
};

// Number of file descriptors this process has open.
int OpenDescriptorCount();

}  // namespace dc2x::testing
