#include "archive.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "child_process.h"
#include "program_lookup.h"

namespace pictrex {
namespace {

// Removes the thumbnail of the archived picture `name`, when there is one.
void RemoveThumbnail(const tessel::WebDirectory& archive, const std::string& name) {
    try {
        archive.Subdirectory(kThumbsDirectory, tessel::DirectoryLinks::Refuse).RemoveRegularFile(name);
    } catch (const tessel::FileError&) {
        // No thumbnail folder, or nothing removable in it: the picture itself is gone either way.
    }
}

}  // namespace

tessel::WebDirectory OpenArchive(const tessel::WebDirectory& webDirectory) {
    return webDirectory.Subdirectory(kArchiveDirectory, tessel::DirectoryLinks::FollowIfOwned, true);
}

void ArchivePicture(const tessel::WebDirectory& archive, const Stamp& stamp, std::span<const uint8_t> jpeg) {
    archive.ReplaceAtomically(stamp.digits() + ".jpg", jpeg);
}

void WriteThumbnail(const std::filesystem::path& archiveDirectory, const Stamp& stamp, std::span<const uint8_t> jpeg) {
    using tessel::DirectoryLinks;
    tessel::WebDirectory::Open(archiveDirectory, DirectoryLinks::FollowIfOwned)
        .Subdirectory(kThumbsDirectory, DirectoryLinks::FollowIfOwned, true)
        .ReplaceAtomically(stamp.digits() + ".jpg", jpeg);
}

int RemoveStalePictureTemporaries(const tessel::WebDirectory& archive, std::chrono::seconds age) {
    constexpr std::size_t kSuffix = 7;  // ".XXXXXX"
    int removed = 0;
    for (const std::string& name : archive.Names()) {
        if (name.size() <= 1 + kSuffix || name[0] != '.') continue;
        const std::string picture = name.substr(1, name.size() - 1 - kSuffix);
        const std::filesystem::path file(picture);
        if (file.extension() == ".jpg" && Stamp::Parse(file.stem().string())) {
            removed += archive.RemoveStaleTemporaries(picture, age);
        }
    }
    return removed;
}

ExpiryOutcome DeleteExpiredPictures(const tessel::WebDirectory& archive, int days, std::time_t now) {
    ExpiryOutcome outcome;
    if (days <= 0) return outcome;
    const std::string oldestKept = StampDigitsOf(now - static_cast<std::time_t>(days) * 24 * 60 * 60);
    for (const std::string& name : archive.Names()) {
        const std::filesystem::path file(name);
        if (file.extension() != ".jpg") continue;
        const auto stamp = Stamp::Parse(file.stem().string());
        if (!stamp || stamp->digits() >= oldestKept) continue;
        try {
            if (archive.RemoveRegularFile(name)) {
                RemoveThumbnail(archive, name);
                outcome.deleted.push_back(*stamp);
            }
        } catch (const tessel::FileError& e) {
            outcome.refusals.emplace_back(e.what());
        }
    }
    return outcome;
}

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
