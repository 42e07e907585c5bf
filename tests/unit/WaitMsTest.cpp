// The module client's wait, counted in virtual time: checks of 1 ms with six rounds of
// events each, and the signed reading of the tick counter.
#include "module_client/WaitMs.h"

#include "FakeDialogs.h"
#include "VirtualTime.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <stdexcept>

namespace kelvra {
namespace {

using test::FakeDialogs;
using test::VirtualTime;

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
