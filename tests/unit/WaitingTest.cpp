// The timing tools in virtual time: the driver's time-out and millisecond wait, and the
// module client's wait, which checks every millisecond with six rounds of events each.
#include "DriverProbe.h"
#include "FakeDialogs.h"
#include "VirtualTime.h"
#include "driver/CTimeout.h"
#include "module_client/WaitMs.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace kelvra {
namespace {

using test::FakeDialogs;
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

TEST(WaitMs, ChecksEveryMillisecondPumpingSixTimesUntilTheTimeHasPassed) {
    struct Row {
        std::int32_t ms;
        std::int64_t elapsedMs;
    };
    for (const Row& row : {Row{10, 10}, Row{0, 1}, Row{-5, 1}}) {
        SCOPED_TRACE(row.ms);
        VirtualTime time;
        FakeDialogs dialogs;
        WaitMs(time, time, dialogs, row.ms);
        EXPECT_EQ(time.elapsedMs(), row.elapsedMs);
        EXPECT_EQ(time.pumpCalls(), 6 * row.elapsedMs);
    }
}

TEST(WaitMs, ACounterFallingBelowTheStartInSignedTermsStartsTheMeasurementAgain) {
    struct Row {
        const char* label;
        std::uint32_t startTick;
        std::int64_t elapsedMs;
    };
    const Row rows[] = {
        // At 8 ms the counter reads 0x80000000, the lowest signed value: 10 ms more from there.
        {"passing 2^31", 0x7FFFFFF8u, 18},
        // From -1 to 0 in signed terms the counter goes on rising.
        {"passing 2^32", 0xFFFFFFF8u, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        VirtualTime time(row.startTick);
        FakeDialogs dialogs;
        WaitMs(time, time, dialogs, 10);
        EXPECT_EQ(time.elapsedMs(), row.elapsedMs);
    }
}

TEST(WaitMs, AFailingEventHandlerEndsTheWaitWithAMessageBox) {
    VirtualTime time;
    FakeDialogs dialogs;
    int pumps = 0;
    time.onPump = [&pumps] {
        if (++pumps == 9) {
            throw std::runtime_error("handler failed");
        }
    };
    WaitMs(time, time, dialogs, 100);
    EXPECT_EQ(time.elapsedMs(), 2);
    EXPECT_EQ(dialogs.messageBoxes,
              (std::vector<FakeDialogs::MessageBoxCall>{
                  {"handler failed", MessageButtons::Ok, MessageIcon::None, ""}}));
}

} // namespace
} // namespace kelvra
