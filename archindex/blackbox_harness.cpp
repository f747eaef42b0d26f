#include "blackbox_harness.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

namespace archindex::testing {
namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
  std::string pattern = (fs::temp_directory_path() / "archindex-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::system_error(errno, std::generic_category());
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  // Tests may have taken write permission away; give it back so all can go.
  for (auto it = fs::recursive_directory_iterator(path_, ignored);
       it != fs::recursive_directory_iterator(); it.increment(ignored)) {
    if (it->is_directory(ignored) && !it->is_symlink(ignored)) {
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
  }
  fs::remove_all(path_, ignored);
}

namespace {

int OpenCaptureFile(const fs::path& file) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), file.string());
  return fd;
}

[[noreturn]] void RunChild(const fs::path& program, const fs::path& directory,
                           const std::vector<std::string>& arguments, int out_fd, int err_fd,
                           const std::function<void()>& in_child) {
  if (dup2(out_fd, STDOUT_FILENO) < 0 || dup2(err_fd, STDERR_FILENO) < 0) _exit(126);
  if (chdir(directory.c_str()) != 0) _exit(126);
  if (in_child) in_child();
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execv(program.c_str(), argv.data());
  _exit(127);
}

}  // namespace

ProcessResult RunProgram(const fs::path& program, const fs::path& directory,
                         const std::vector<std::string>& arguments,
                         const std::function<void()>& in_child) {
  const ScratchDirectory capture;
  const int out_fd = OpenCaptureFile(capture.path() / "out");
  const int err_fd = OpenCaptureFile(capture.path() / "err");
  const pid_t child = fork();
  if (child == 0) RunChild(program, directory, arguments, out_fd, err_fd, in_child);
  close(out_fd);
  close(err_fd);
  if (child < 0) throw std::system_error(errno, std::generic_category(), "fork");

  int wait_status = 0;
  while (waitpid(child, &wait_status, 0) < 0) {
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "waitpid");
  }
  ProcessResult result;
  result.exited = WIFEXITED(wait_status);
  result.status = result.exited ? WEXITSTATUS(wait_status) : WTERMSIG(wait_status);
  result.out = ReadFile(capture.path() / "out");
  result.err = ReadFile(capture.path() / "err");
  return result;
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + file.string());
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + file.string());
}

std::map<std::string, std::string> SnapshotTree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().lexically_relative(root).string();
    tree[relative] = entry.is_directory() ? "<directory>" : ReadFile(entry.path());
  }
  return tree;
}

namespace {

// Once per process: a private mount namespace, so mounts vanish with the
// process. Where that is refused, the mount is still undone by ~TmpfsMount.
void EnterPrivateMountNamespace() {
  static const bool entered = [] {
    if (unshare(CLONE_NEWNS) != 0) return false;
    return mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  }();
  (void)entered;
}

}  // namespace

std::unique_ptr<TmpfsMount> TmpfsMount::Mount(const fs::path& where, const std::string& options,
                                              std::string& why_not) {
  EnterPrivateMountNamespace();
  if (mount("tmpfs", where.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
    why_not = "cannot mount a tmpfs here (" + std::string(std::strerror(errno)) +
              "); mounting needs root in a system that allows it";
    return nullptr;
  }
  return std::unique_ptr<TmpfsMount>(new TmpfsMount(where));
}

TmpfsMount::~TmpfsMount() { umount2(where_.c_str(), MNT_DETACH); }

}  // namespace archindex::testing
