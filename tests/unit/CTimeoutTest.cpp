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

TEST(WaitMilliseconds, ReadsTheTickEvery11thPassAndWaitsAtLeastTheTime) {
    test::DriverRig rig;
    const int readsBefore = rig.time.tickReads();
    const int pumpsBefore = rig.time.pumpCalls();
    ucKelvraProbe::WaitMilliseconds(rig.kv, 100);
    // Readings at 11, 22, ... 110 ms: the first above 100 ends the wait.
    EXPECT_EQ(rig.time.elapsedMs(), 110);
    EXPECT_EQ(rig.time.tickReads() - readsBefore, 11);
    EXPECT_EQ(rig.time.pumpCalls() - pumpsBefore, 110);
    EXPECT_EQ(rig.time.sleepCalls(1), 110);
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
