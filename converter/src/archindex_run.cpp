#include "archindex_run.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "program_lookup.h"

namespace pictrex {

std::optional<std::filesystem::path> FindArchindex(const std::filesystem::path& programDirectory,
                                                   const std::string& searchPath) {
    return tessel::FindProgram("archindex", programDirectory.string(), searchPath);
}

ProgramOutcome RunProgram(const std::filesystem::path& program, const std::filesystem::path& workingDirectory) {
    ProgramOutcome outcome;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return outcome;
    tessel::ChildSetup setup;
    setup.descriptors.emplace_back(pipeEnds[1], STDOUT_FILENO);
    setup.directory = workingDirectory;
    std::string error;
    const pid_t child = tessel::StartChild(program, {program.string()}, setup, error);
    ::close(pipeEnds[1]);
    if (child > 0) {
        char buffer[512];
        ssize_t got = 0;
        while ((got = ::read(pipeEnds[0], buffer, sizeof buffer)) != 0) {
            if (got > 0) outcome.output.append(buffer, static_cast<std::size_t>(got));
            else if (errno != EINTR) break;
        }
        int status = 0;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        outcome.ran = WIFEXITED(status);
        outcome.exitStatus = outcome.ran ? WEXITSTATUS(status) : -1;
    }
    ::close(pipeEnds[0]);
    return outcome;
}

}  // namespace pictrex
