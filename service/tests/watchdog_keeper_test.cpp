// The watchdog keeper as a thread: it feeds the watchdog while the loop beats or bytes are read,
// stops feeding once nothing moved for half the timeout, and goes on again when something moves.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "watchdog_keeper.h"

namespace tessel::service {
namespace {

using namespace std::chrono_literals;

class WatchdogKeeperTest : public ::testing::Test {
protected:
    // Moves `what` every 50 ms for `duration`.
    template <typename Move>
    static void Keep(Move what, std::chrono::milliseconds duration)
    {
        for (auto left = duration; left > 0ms; left -= 50ms) {
            what();
            std::this_thread::sleep_for(50ms);
        }
    }

    std::atomic<int> feeds{0};
    std::atomic<uint64_t> bytes{0};
};

TEST_F(WatchdogKeeperTest, FeedsWhileSomethingMovesAndNotWhenNothingDoes)
{
    // WatchdogSec 400 ms: a look every 100 ms, a window of 200 ms.
    WatchdogKeeper keeper(400ms, [this] { ++feeds; }, [this] { return bytes.load(); });
    EXPECT_EQ(keeper.Period(), 100ms);

    Keep([&keeper] { keeper.Beat(); }, 800ms);
    EXPECT_GE(feeds.load(), 3) << "fed while the loop beats";

    // Nothing moves: after the window the feeding ends for good.
    std::this_thread::sleep_for(1s);
    const int stuck = feeds.load();
    std::this_thread::sleep_for(800ms);
    EXPECT_EQ(feeds.load(), stuck) << "fed although nothing moved";

    // A download the loop is busy with: only the bytes move.
    Keep([this] { bytes += 960; }, 800ms);
    EXPECT_GE(feeds.load(), stuck + 3) << "not fed while bytes arrive";
}

TEST_F(WatchdogKeeperTest, EndsAtOnceEvenWithALongTimeout)
{
    const auto begin = std::chrono::steady_clock::now();
    {
        WatchdogKeeper keeper(1h, [this] { ++feeds; }, [] { return uint64_t{0}; });
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 10s);
    EXPECT_EQ(feeds.load(), 1) << "the first look finds the start itself progress";
}

}  // namespace
}  // namespace tessel::service
