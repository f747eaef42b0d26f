// tesseld's command line.
#include <gtest/gtest.h>

#include <vector>

#include "service_options.h"

namespace tessel::service {
namespace {

std::optional<ServiceOptions> Parse(std::vector<const char*> words, std::string& error)
{
    words.insert(words.begin(), "tesseld");
    return ParseServiceOptions(static_cast<int>(words.size()), words.data(), error);
}

TEST(ServiceOptionsTest, DefaultsAndEveryOption)
{
    std::string error;
    const auto defaults = Parse({}, error);
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->configFile, "/etc/tessel/tessel.conf");
    EXPECT_FALSE(defaults->once || defaults->verbose || defaults->help || defaults->version);

    const auto all = Parse({"--config", "a.conf", "--once", "-v", "--help", "--version"}, error);
    ASSERT_TRUE(all);
    EXPECT_EQ(all->configFile, "a.conf");
    EXPECT_TRUE(all->once && all->verbose && all->help && all->version);

    EXPECT_EQ(Parse({"--config=b.conf"}, error)->configFile, "b.conf");
}

TEST(ServiceOptionsTest, UsageErrors)
{
    for (const auto& words : std::vector<std::vector<const char*>>{{"--config"}, {"--config="}, {"--frobnicate"}, {"x"}}) {
        std::string error;
        EXPECT_FALSE(Parse(words, error)) << words.front();
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace tessel::service
