#pragma once

#include <string_view>
#include <vector>

namespace archindex {

// Collects bytes in a large buffer and writes them to a file descriptor in
// big pieces. The first failing write is remembered; everything after it is
// dropped, since the file is incomplete anyway.
class BufferedWriter {
 public:
  explicit BufferedWriter(int fd);
  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  void Append(std::string_view bytes);

  // Writes out whatever is buffered. Returns false when any write failed.
  bool Flush();

 private:
  void WriteAll(std::string_view bytes);

  int fd_;
  std::vector<char> buffer_;
  bool failed_ = false;
};

}  // namespace archindex
