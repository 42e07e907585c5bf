// The two timing tools of the driver, in virtual time.
#include "driver/CTimeout.h"

#include "DriverProbe.h"
#include "VirtualTime.h"

#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::VirtualTime;

TEST(CTimeout, IsUpOnlyAfterMoreThanTheWaitingTime) {
    VirtualTime time;
    CTimeout timeout(time);
    timeout.SetWaitingTime(5000);
    EXPECT_FALSE(timeout.IsUp()); // also sleeps 1 ms
    time.advance(4998);
    EXPECT_FALSE(timeout.IsUp()); // 5000 elapsed: not more than the waiting time
    EXPECT_TRUE(timeout.IsUp());  // 5001
}

TEST(CTimeout, AWrapOfTheTickCounterRestartsTheMeasurement) {
    VirtualTime time(0xFFFFFFFFu - 10);
    CTimeout timeout(time);
    timeout.SetWaitingTime(5000);
    time.advance(4000); // wraps past zero
    EXPECT_FALSE(timeout.IsUp());
    time.advance(4999);
    EXPECT_FALSE(timeout.IsUp()); // 5000 since the restart
    EXPECT_TRUE(timeout.IsUp());
}

// One pass a millisecond, the tick count read every 11th: the wait ends at the first reading
// more than the time after the start, so a reading that lands exactly on it goes on.
TEST(WaitMilliseconds, EndsAtTheFirstReadingPastTheTime) {
    struct Row {
        std::int32_t ms;
        std::int64_t endsAtMs;
    };
    for (const Row& row : {Row{100, 110}, Row{99, 110}, Row{110, 121}, Row{0, 11}}) {
        SCOPED_TRACE(row.ms);
        test::DriverRig rig;
        ucKelvraProbe::WaitMilliseconds(rig.kv, row.ms);
        EXPECT_EQ(rig.time.elapsedMs(), row.endsAtMs);
        EXPECT_EQ(rig.time.pumpCalls(), row.endsAtMs);
    }
}

TEST(WaitMilliseconds, SurvivesAWrapOfTheTickCounter) {
    VirtualTime time(0xFFFFFFFFu - 30);
    test::FakeLinkFactory links(time);
    ucKelvra kv(time, time, links);
    ucKelvraProbe::WaitMilliseconds(kv, 100);
    // The reading at 33 ms has wrapped below the start and restarts the measurement, so the
    // wait ends at the first reading more than 100 ms after it: never early.
    EXPECT_EQ(time.elapsedMs(), 143);
}

} // namespace
} // namespace kelvra
