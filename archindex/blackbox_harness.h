#pragma once

// Helpers for tests that run a built program in scratch directories.

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace archindex::testing {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  ~ScratchDirectory();

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

struct ProcessResult {
  bool exited = false;  // false when it ended by a signal
  int status = -1;
  std::string out;
  std::string err;
};

// Runs `program` with `arguments` in `directory` and waits for it. `in_child`
// runs in the child right before the program starts (limits, umask, ...).
ProcessResult RunProgram(const std::filesystem::path& program,
                         const std::filesystem::path& directory,
                         const std::vector<std::string>& arguments,
                         const std::function<void()>& in_child = {});

std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& bytes);

// Every entry below `root`, by path relative to it, with a file's bytes or
// "<directory>" as its value: compared before and after a run, it shows that
// nothing was created, changed or left behind.
std::map<std::string, std::string> SnapshotTree(const std::filesystem::path& root);

// A small tmpfs mounted on an existing directory, unmounted when the object
// goes. The test process first moves into a mount namespace of its own when
// the system allows it, so a mount cannot outlive the process even when the
// test crashes.
class TmpfsMount {
 public:
  // Null, with the reason in `why_not`, when mounting is refused.
  static std::unique_ptr<TmpfsMount> Mount(const std::filesystem::path& where,
                                           const std::string& options, std::string& why_not);
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;
  ~TmpfsMount();

 private:
  explicit TmpfsMount(std::filesystem::path where) : where_(std::move(where)) {}
  std::filesystem::path where_;
};

}  // namespace archindex::testing
