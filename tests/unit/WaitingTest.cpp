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

// Up only after more than the waiting time; a wrap of the tick counter restarts the measurement.
TEST(CTimeout, IsUpOnlyAfterMoreThanTheWaitingTime) {
    for (const std::uint32_t start : {1000u, 0xFFFFFFFFu - 10}) {
        VirtualTime time(start);
        CTimeout timeout(time);
        timeout.SetWaitingTime(5000);
        const bool wraps = start > 1000;
        time.advance(wraps ? 4000 : 0); // past zero: the measurement starts again
        EXPECT_FALSE(timeout.IsUp());   // also sleeps 1 ms
        time.advance(4998 + (wraps ? 1 : 0));
        EXPECT_FALSE(timeout.IsUp()); // 5000 elapsed: not more than the waiting time
        EXPECT_TRUE(timeout.IsUp());  // 5001
    }
}

// One pass a millisecond, the tick count read every 11th: the wait ends at the first reading
// more than the time after the start, so a reading that lands exactly on it goes on. A reading
// that has wrapped below the start restarts the measurement: never early.
TEST(WaitMilliseconds, EndsAtTheFirstReadingPastTheTime) {
    struct Row {
        std::uint32_t startTick;
        std::int32_t ms;
        std::int64_t endsAtMs;
    };
    const Row rows[] = {{1000, 100, 110},
                        {1000, 99, 110},
                        {1000, 110, 121},
                        {1000, 0, 11},
                        {0xFFFFFFFFu - 30, 100, 143}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.ms);
        VirtualTime time(row.startTick);
        test::FakeLinkFactory links(time);
        ucKelvra kv(time, time, links);
        ucKelvraProbe::WaitMilliseconds(kv, row.ms);
        EXPECT_EQ(time.elapsedMs(), row.endsAtMs);
        EXPECT_EQ(time.pumpCalls(), row.endsAtMs);
    }
}

// Checks of 1 ms with six rounds of events each, at least one. The tick count is compared as
// a signed number: passing 2^31, the counter falls below the start and the measurement starts
// again (at 8 ms here, 10 ms more from there); passing 2^32 it goes on rising.
TEST(WaitMs, ChecksEveryMillisecondPumpingSixTimesUntilTheTimeHasPassed) {
    struct Row {
        std::uint32_t startTick;
        std::int32_t ms;
        std::int64_t elapsedMs;
    };
    const Row rows[] = {
        {1000, 10, 10}, {1000, 0, 1}, {1000, -5, 1}, {0x7FFFFFF8u, 10, 18}, {0xFFFFFFF8u, 10, 10}};
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        VirtualTime time(row.startTick);
        FakeDialogs dialogs;
        WaitMs(time, time, dialogs, row.ms);
        EXPECT_EQ(time.elapsedMs(), row.elapsedMs);
        EXPECT_EQ(time.pumpCalls(), 6 * row.elapsedMs);
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
