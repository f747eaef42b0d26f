#include "link_escaping.h"

#include <gtest/gtest.h>

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
                      EscapeCase{std::string("\x01\x7f\x80\xff", 4), std::string("\x01\x7f\x80\xff", 4),
                                 "%01%7F%80%FF"}));

}  // namespace
}  // namespace archindex
