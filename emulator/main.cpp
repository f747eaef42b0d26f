// dc2x-emulator: a DC20 or DC25 camera on a pseudo-terminal, for tests, demonstrations and
// machines without a camera. Prints the terminal's path on the first line of standard output
// and answers the camera protocol there until SIGINT or SIGTERM.
#include <signal.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "camera_emulator.h"
#include "camera_line.h"
#include "emulator_options.h"
#include "pseudo_terminal.h"
#include "standard_options.h"

namespace {

volatile std::sig_atomic_t stopRequested = 0;

void RequestStop(int) { stopRequested = 1; }

void InstallStopHandlers() {
    struct sigaction action {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// A symbolic link to the terminal, replacing an older link of the same name, removed again on
// exit.
class TerminalLink {
public:
    TerminalLink(const std::string& link, const std::string& target) : link_(link) {
        if (link_.empty()) return;
        ::unlink(link_.c_str());
        if (::symlink(target.c_str(), link_.c_str()) != 0) {
            throw std::runtime_error("cannot create link " + link_);
        }
    }
    ~TerminalLink() {
        if (!link_.empty()) ::unlink(link_.c_str());
    }
    TerminalLink(const TerminalLink&) = delete;
    TerminalLink& operator=(const TerminalLink&) = delete;

private:
    std::string link_;
};

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = tessel::AnswerStandardOption(argc, argv, {"dc2x-emulator", dc2x::kEmulatorUsage}, std::cout)) {
        return *status;
    }
    std::string error;
    const auto options = dc2x::ParseEmulatorOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "dc2x-emulator: %s\n%s", error.c_str(), dc2x::kEmulatorUsage);
        return 2;
    }
    try {
        InstallStopHandlers();
        dc2x::PseudoTerminal terminal;
        const TerminalLink link(options->linkPath, terminal.slavePath());
        dc2x::CameraLine line(terminal, options->pace, stopRequested);
        dc2x::CameraEmulator camera(*options, line, terminal);
        std::printf("%s\n", terminal.slavePath().c_str());
        std::fflush(stdout);
        camera.Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "dc2x-emulator: %s\n", e.what());
        return 1;
    }
    return 0;
}
