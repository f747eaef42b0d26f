#include "link_escaping.h"

#include <gtest/gtest.h>

#include <string>

namespace archindex {
namespace {

struct EscapeCase {
  std::string name;
  std::string html;
  std::string url;
};

class LinkEscapingTest : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(LinkEscapingTest, EscapesTextAndEncodesTarget) {
  const EscapeCase& c = GetParam();
  std::string html = "prefix:";
  AppendHtmlEscaped(html, c.name);
  EXPECT_EQ(html, "prefix:" + c.html);
  std::string url = "prefix:";
  AppendPercentEncoded(url, c.name);
  EXPECT_EQ(url, "prefix:" + c.url);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LinkEscapingTest,
    ::testing::Values(EscapeCase{"", "", ""},
                      EscapeCase{"20261210083005.jpg", "20261210083005.jpg", "20261210083005.jpg"},
                      EscapeCase{"AZaz09-._~", "AZaz09-._~", "AZaz09-._~"},
                      EscapeCase{"&<>\"'", "&amp;&lt;&gt;&quot;&#39;", "%26%3C%3E%22%27"},
                      EscapeCase{"a b/c\\d", "a b/c\\d", "a%20b%2Fc%5Cd"},
                      EscapeCase{"&x&", "&amp;x&amp;", "%26x%26"},
                      EscapeCase{std::string("\x01\x7f\x80\xff", 4), std::string("&#1;&#127;\x80\xff", 12),
                                 "%01%7F%80%FF"},
                      EscapeCase{std::string("a\r\nb\0\t\x1f c", 9), "a&#13;&#10;b&#0;&#9;&#31; c",
                                 "a%0D%0Ab%00%09%1F%20c"}));

}  // namespace
}  // namespace archindex
