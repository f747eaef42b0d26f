#include "name_list.h"

#include <algorithm>
#include <cstring>

namespace archindex {
namespace {

// Large enough that the unused tail of each block (less than one name) is
// negligible, small enough that the last, partly used block costs little.
constexpr std::size_t kBlockBytes = 256 * 1024;

}  // namespace

char* NameList::Reserve(std::size_t bytes) {
  if (bytes > free_bytes_) {
    const std::size_t block_bytes = std::max(bytes, kBlockBytes);
    // Not value-initialised: the pages of a block are touched only as names fill them.
    blocks_.push_back(std::unique_ptr<char[]>(new char[block_bytes]));
    free_space_ = blocks_.back().get();
    free_bytes_ = block_bytes;
  }
  char* const reserved = free_space_;
  free_space_ += bytes;
  free_bytes_ -= bytes;
  return reserved;
}

void NameList::Add(std::string_view name) {
  char* const copy = Reserve(name.size() + 1);
  std::memcpy(copy, name.data(), name.size());
  copy[name.size()] = '\0';
  names_.push_back(copy);
}

void NameList::SortByByteOrder() {
  // strcmp compares the bytes as unsigned char, which is the byte order wanted.
  std::sort(names_.begin(), names_.end(),
            [](const char* left, const char* right) { return std::strcmp(left, right) < 0; });
}

}  // namespace archindex
