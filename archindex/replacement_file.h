#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "buffered_writer.h"

namespace archindex {

// A new version of a file, written beside it under a temporary name and put
// in its place in one step only when all of it was written. Until then, and
// whenever writing fails, the old file stays as it was, so a reader sees the
// old version or the new one and never a mix.
class ReplacementFile {
 public:
  // Starts a replacement of `target` in the current directory. Returns null
  // when `target` may not be replaced: it is a directory, it has no write
  // permission bit (read-only, which holds even for the superuser), the
  // caller may not write it, or the temporary file cannot be created.
  static std::unique_ptr<ReplacementFile> Open(const std::string& target);

  // Removes the temporary files of replacements of `target` in the current
  // directory that were last written more than `age` ago: left by a run
  // that was killed before it could clean up. Only regular files named as
  // this class names them are removed; a link of that name is left alone.
  static void RemoveStaleTemporaries(const std::string& target, std::chrono::seconds age);

  ReplacementFile(const ReplacementFile&) = delete;
  ReplacementFile& operator=(const ReplacementFile&) = delete;
  // Removes the temporary file unless Commit() put it in place.
  ~ReplacementFile();

  BufferedWriter& writer() { return writer_; }

  // Writes out the rest, makes it durable, closes the file and renames it
  // over the target. On any failure the temporary file is removed and the
  // target is left untouched; returns false then.
  bool Commit();

 private:
  ReplacementFile(std::string target, std::string temporary, int fd);
  void Abandon();

  std::string target_;
  std::string temporary_;
  int fd_;
  BufferedWriter writer_;
  bool finished_ = false;
};

}  // namespace archindex
