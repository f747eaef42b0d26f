#include "name_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace archindex {
namespace {

std::vector<std::string> Contents(const NameList& names) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < names.size(); ++i) out.emplace_back(names[i]);
  return out;
}

TEST(NameListTest, SortsByUnsignedBytes) {
  NameList names;
  for (const char* name : {"b", "\xff", "a.jpg", "B", "a", "\x7f", "\xc3\xa9", "a.jpg.x"}) {
    names.Add(name);
  }
  names.SortByByteOrder();
  EXPECT_EQ(Contents(names), (std::vector<std::string>{"B", "a", "a.jpg", "a.jpg.x", "b", "\x7f",
                                                       "\xc3\xa9", "\xff"}));
}

TEST(NameListTest, KeepsEveryNameIntactAcrossManyBlocks) {
  NameList names;
  std::vector<std::string> expected;
  // About 6 MiB of names, so that storage spans many blocks.
  for (int i = 0; i < 24000; ++i) {
    std::string name = std::to_string(100000 + i) + std::string(250, static_cast<char>('a' + i % 26));
    names.Add(name);
    expected.push_back(name);
  }
  names.SortByByteOrder();
  EXPECT_EQ(Contents(names), expected);
}

TEST(NameListTest, EmptyListStaysEmpty) {
  NameList names;
  names.SortByByteOrder();
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(names.size(), 0u);
}

}  // namespace
}  // namespace archindex
