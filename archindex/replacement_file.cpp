#include "replacement_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <optional>

namespace archindex {
namespace {

constexpr mode_t kPermissionBits = 0777;
constexpr mode_t kAnyWriteBit = 0222;
constexpr int kMaxNameAttempts = 100;

struct TargetState {
  bool replaceable = false;
  std::optional<mode_t> permissions;  // of the existing target; none when it is missing
};

TargetState InspectTarget(const std::string& target) {
  struct stat status {};
  if (stat(target.c_str(), &status) != 0) return {.replaceable = errno == ENOENT, .permissions = std::nullopt};
  const bool writable = !S_ISDIR(status.st_mode) && (status.st_mode & kAnyWriteBit) != 0 &&
                        faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) == 0;
  return {.replaceable = writable, .permissions = status.st_mode & kPermissionBits};
}

// A hidden name beside the target, unique to this process and attempt.
std::string TemporaryName(const std::string& target, int attempt) {
  return "." + target + "." + std::to_string(getpid()) + "." + std::to_string(attempt);
}

// Creates the temporary file exclusively, so that it never clobbers another
// file. Mode 0666 lets the umask and default ACLs decide, as for any new file.
int CreateTemporary(const std::string& target, std::string& name) {
  for (int attempt = 0; attempt < kMaxNameAttempts; ++attempt) {
    name = TemporaryName(target, attempt);
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

std::unique_ptr<ReplacementFile> ReplacementFile::Open(const std::string& target) {
  const TargetState state = InspectTarget(target);
  if (!state.replaceable) return nullptr;
  std::string temporary;
  const int fd = CreateTemporary(target, temporary);
  if (fd < 0) return nullptr;
  // The new version keeps the old one's permissions, so that whoever could
  // read the page before can read it after. We own the new file, so this
  // cannot fail for lack of rights; should it fail, the page keeps the
  // default permissions of a new file, which is no reason to give up.
  if (state.permissions) (void)fchmod(fd, *state.permissions);
  return std::unique_ptr<ReplacementFile>(new ReplacementFile(target, std::move(temporary), fd));
}

ReplacementFile::ReplacementFile(std::string target, std::string temporary, int fd)
    : target_(std::move(target)), temporary_(std::move(temporary)), fd_(fd), writer_(fd) {}

ReplacementFile::~ReplacementFile() {
  if (!finished_) Abandon();
}

bool ReplacementFile::Commit() {
  bool written = writer_.Flush() && fsync(fd_) == 0;
  written = close(fd_) == 0 && written;
  fd_ = -1;
  if (written && rename(temporary_.c_str(), target_.c_str()) == 0) {
    finished_ = true;
    return true;
  }
  Abandon();
  return false;
}

void ReplacementFile::Abandon() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  unlink(temporary_.c_str());
  finished_ = true;
}

}  // namespace archindex
