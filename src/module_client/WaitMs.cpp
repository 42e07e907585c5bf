#include "module_client/WaitMs.h"

#include <exception>

namespace kelvra {

namespace {

constexpr int kPumpsPerCheck = 6;
constexpr int kNapMs = 1;

std::int32_t signedTick(Clock& clock) {
    return static_cast<std::int32_t>(clock.tickCount());
}

} // namespace

void WaitMs(Clock& clock, EventPump& pump, Dialogs& dialogs, std::int32_t ms) {
    try {
        std::int32_t start = signedTick(clock);
        std::int64_t elapsed = 0;
        do {
            clock.sleep(kNapMs);
            for (int pumped = 0; pumped < kPumpsPerCheck; ++pumped) {
                pump.processEvents();
            }
            const std::int32_t tick = signedTick(clock);
            if (tick < start) {
                start = tick;
            }
            elapsed = static_cast<std::int64_t>(tick) - start;
        } while (elapsed < ms);
    } catch (const std::exception& failure) {
        dialogs.messageBox(failure.what(), MessageButtons::Ok, MessageIcon::None, "");
    }
}

} // namespace kelvra
