// Starting other programs. Every child starts with the default disposition for every signal and
// an empty signal mask, whatever the caller blocks or ignores for itself (a service that blocks
// its stop signals for a signal descriptor must not hand that on: a child that cannot be stopped
// with SIGTERM outlives its station), and with no descriptor of ours beyond the ones it is given.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace tessel {

struct ChildSetup {
    // (descriptor of ours, descriptor number in the child), applied in order; the child's other
    // descriptors above 2 are closed. Standard files that are not given are inherited.
    std::vector<std::pair<int, int>> descriptors;
    // The child's working directory; empty: ours.
    std::filesystem::path directory;
    // Standard input, output and error not given in `descriptors` go to /dev/null.
    bool quiet = false;
    // The child leads a new process group, so that the whole group can be signalled.
    bool ownProcessGroup = false;
    // "NAME=value" entries the child gets on top of our environment, replacing ours of the same
    // name.
    std::vector<std::string> environment;
};

// Starts `program` (a path) with `arguments` (argv[0] first). Returns the child's process id, or
// -1 with `error` saying why.
pid_t StartChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const ChildSetup& setup, std::string& error);

// Starts `program` with `arguments` as a grandchild in a new session, with /dev/null as its
// standard files, at the nice level `niceness` (0: ours), in `directory`: it is adopted by init and never stays a
// zombie of the caller, who waits only for the short-lived child in between. Returns false with
// `error` when it could not be started.
bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory, int niceness, std::string& error);

}  // namespace tessel
