#include "buffered_writer.h"

#include <unistd.h>

#include <cerrno>

namespace archindex {
namespace {

constexpr std::size_t kBufferBytes = 256 * 1024;

}  // namespace

BufferedWriter::BufferedWriter(int fd) : fd_(fd) { buffer_.reserve(kBufferBytes); }

void BufferedWriter::Append(std::string_view bytes) {
  if (failed_) return;
  if (buffer_.size() + bytes.size() > kBufferBytes) {
    Flush();
    if (bytes.size() >= kBufferBytes) {
      WriteAll(bytes);
      return;
    }
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

bool BufferedWriter::Flush() {
  WriteAll({buffer_.data(), buffer_.size()});
  buffer_.clear();
  return !failed_;
}

void BufferedWriter::WriteAll(std::string_view bytes) {
  while (!failed_ && !bytes.empty()) {
    const ssize_t written = write(fd_, bytes.data(), bytes.size());
    if (written > 0) {
      bytes.remove_prefix(static_cast<std::size_t>(written));
    } else if (written == 0 || errno != EINTR) {
      failed_ = true;  // no progress is a failure too, or this would never end
    }
  }
}

}  // namespace archindex
