// DC25_TIMEOUT_SCALE may only shorten the library's waits, and only when it is a clean number.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "timeouts.h"

namespace dc25 {
namespace {

struct ScaleCase {
    const char* value;  // nullptr: unset
    long slowActionMs;
    friend void PrintTo(const ScaleCase& c, std::ostream* os) { *os << (c.value ? c.value : "(unset)"); }
};

class TimeoutScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(TimeoutScale, ShortensEveryWaitOrKeepsTheDefaults) {
    const ScaleCase& c = GetParam();
    if (c.value == nullptr) {
        ::unsetenv("DC25_TIMEOUT_SCALE");
    } else {
        ::setenv("DC25_TIMEOUT_SCALE", c.value, 1);
    }
    const Timeouts t = Timeouts::FromEnvironment();
    const double factor = c.slowActionMs / 15000.0;
    EXPECT_EQ(t.slowAction.count(), c.slowActionMs);
    EXPECT_EQ(t.probeReply.count(), static_cast<long>(1000 * factor));
    EXPECT_EQ(t.reply.count(), static_cast<long>(3000 * factor));
    EXPECT_EQ(t.blockSilence.count(), static_cast<long>(3000 * factor));
    EXPECT_EQ(t.dc25SnapPause.count(), static_cast<long>(3000 * factor));
    ::unsetenv("DC25_TIMEOUT_SCALE");
}

INSTANTIATE_TEST_SUITE_P(Values, TimeoutScale,
                         ::testing::Values(ScaleCase{nullptr, 15000}, ScaleCase{"0.5", 7500}, ScaleCase{"1", 15000},
                                           ScaleCase{"2", 15000}, ScaleCase{"0", 15000}, ScaleCase{"-0.5", 15000},
                                           ScaleCase{"0.5s", 15000}, ScaleCase{"fast", 15000}));

}  // namespace
}  // namespace dc25
