#include "archive.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "atomic_file.h"
#include "program_lookup.h"
#include "thumbnail.h"

extern char** environ;

namespace pictrex {

void ArchivePicture(const std::filesystem::path& webDirectory, const Stamp& stamp, std::span<const uint8_t> jpeg) {
    const std::filesystem::path directory = webDirectory / kArchiveDirectory;
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error) throw FileError("cannot create " + directory.string() + ": " + error.message());
    WriteFileAtomically(directory / (stamp.digits() + ".jpg"), jpeg);
}

std::vector<Stamp> DeleteExpiredPictures(const std::filesystem::path& webDirectory, int days, std::time_t now) {
    if (days <= 0) return {};
    const std::string oldestKept = StampDigitsOf(now - static_cast<std::time_t>(days) * 24 * 60 * 60);
    const std::filesystem::path archive = webDirectory / kArchiveDirectory;
    std::error_code error;
    std::vector<Stamp> deleted;
    for (const auto& entry : std::filesystem::directory_iterator(archive, error)) {
        const std::filesystem::path& file = entry.path();
        if (file.extension() != ".jpg") continue;
        const auto stamp = Stamp::Parse(file.stem().string());
        if (stamp && stamp->digits() < oldestKept && std::filesystem::remove(file, error)) {
            std::filesystem::remove(archive / kThumbsDirectory / file.filename(), error);
            deleted.push_back(*stamp);
        }
    }
    return deleted;
}

std::optional<std::filesystem::path> FindArchindex(const std::filesystem::path& programDirectory,
                                                   const std::string& searchPath) {
    return tessel::FindProgram("archindex", programDirectory.string(), searchPath);
}

ProgramOutcome RunProgram(const std::filesystem::path& program, const std::filesystem::path& workingDirectory) {
    ProgramOutcome outcome;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return outcome;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    const std::string name = program.string();
    char* const arguments[] = {const_cast<char*>(name.c_str()), nullptr};
    pid_t child = 0;
    const int started = posix_spawn(&child, name.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (started == 0) {
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
