#include "replacement_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <optional>
#include <string_view>

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

bool AllDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Whether `name` is one that TemporaryName gives for `target`: ".<target>.<pid>.<attempt>".
bool IsTemporaryName(std::string_view name, const std::string& target) {
  const std::string prefix = "." + target + ".";
  if (!name.starts_with(prefix)) return false;
  const std::string_view rest = name.substr(prefix.size());
  const std::size_t dot = rest.find('.');
  return dot != std::string_view::npos && AllDigits(rest.substr(0, dot)) && AllDigits(rest.substr(dot + 1));
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

void ReplacementFile::RemoveStaleTemporaries(const std::string& target, std::chrono::seconds age) {
  DIR* directory = opendir(".");
  if (directory == nullptr) return;
  const int fd = dirfd(directory);
  const time_t cutoff = time(nullptr) - static_cast<time_t>(age.count());
  while (const dirent* entry = readdir(directory)) {
    if (!IsTemporaryName(entry->d_name, target)) continue;
    struct stat status {};
    if (fstatat(fd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(status.st_mode) && status.st_mtime < cutoff) (void)unlinkat(fd, entry->d_name, 0);
  }
  closedir(directory);
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
