#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace archindex {

// A growing set of file names kept compactly: the bytes of all names live,
// NUL-terminated, in large fixed-size blocks that are never moved, and each
// entry costs one pointer on top of its bytes. An archive of a million
// pictures thus needs little more memory than its names themselves.
class NameList {
 public:
  NameList() = default;
  NameList(const NameList&) = delete;
  NameList& operator=(const NameList&) = delete;

  // `name` must not contain a NUL byte (no file name does).
  void Add(std::string_view name);

  // Orders the names by their bytes, compared as unsigned values.
  void SortByByteOrder();

  std::size_t size() const { return names_.size(); }
  bool empty() const { return names_.empty(); }
  std::string_view operator[](std::size_t index) const { return names_[index]; }

 private:
  char* Reserve(std::size_t bytes);

  std::vector<std::unique_ptr<char[]>> blocks_;
  char* free_space_ = nullptr;
  std::size_t free_bytes_ = 0;
  std::vector<const char*> names_;
};

}  // namespace archindex
