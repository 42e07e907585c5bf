// Extended mode end to end under load: the simulator pushes records one at a time and waits
// for each confirmation; the driver reports them through its event and asks again for the
// bad ones. How often it asks, and what it reports meanwhile, is in tests/unit.
#include "LoopbackAddresses.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace kelvra::test {
namespace {

struct Report {
    std::string address;
    std::int16_t source;
    std::string data;
    std::int32_t errCode;
};

// Confirms every good record from the event handler, as the console's auto-confirm does.
struct ConfirmingOwner {
    explicit ConfirmingOwner(ucKelvra& kv)
        : subscription(kv.KelvraDataArival.subscribe(
              [this, &kv](const std::string& address, std::int16_t source, const std::string& data,
                          std::int32_t code) {
                  reports.push_back({address, source, data, code});
                  if (code == KV_SUCCESS) {
                      kv.X_ConfirmRecord(source);
                  }
              })) {}
    std::vector<Report> reports;
    Subscription subscription;
};

// The terminal makes a record every 40 ms while the owner runs commands back to back and now
// and then idles; some pushes arrive corrupted, some split in two. Every record must reach the
// owner intact exactly once, and no command may take anything but its own reply.
// KELVRA_STRESS_SECONDS sets the length of the run on each link (default 3, at least 1).
class PushesUnderLoad : public ::testing::TestWithParam<Link> {};

TEST_P(PushesUnderLoad, EveryRecordArrivesOnceAndEveryCommandGetsItsOwnReply) {
    const char* seconds = std::getenv("KELVRA_STRESS_SECONDS");
    const int runMs = 1000 * std::max(1, seconds != nullptr ? std::atoi(seconds) : 3);
    sim::SimulatorOptions options;
    options.terminal.initialRecords = 0;
    const std::string address = LoopbackAddress(20 + static_cast<int>(GetParam()));
    SimulatedTerminal terminal(address, options);
    terminal.connect(GetParam());
    ucKelvra& kv = *terminal.kv;
    ConfirmingOwner owner(kv);
    kv.X_LogOn(1);
    ASSERT_EQ(kv.ErrCode(), KV_SUCCESS);
    terminal.host().setPushEvery(40);

    int commands = 0, failedCommands = 0, corrupted = 0, splitPhases = 0;
    QElapsedTimer clock;
    clock.start();
    for (qint64 phase = -1; clock.elapsed() < runMs;) {
        // Every 100 ms a new phase of a one-second cycle: split writes in the first, a
        // corrupted push at the start of the fourth and the eighth.
        if (clock.elapsed() / 100 != phase) {
            phase = clock.elapsed() / 100;
            sim::FaultSettings faults = terminal.host().faults();
            faults.splitDelayMs = phase % 10 == 0 ? 3 : -1;
            splitPhases += phase % 10 == 0 ? 1 : 0;
            if (phase % 10 == 3 || phase % 10 == 7) {
                faults.corruptPushes = 1;
                ++corrupted;
            }
            terminal.host().setFaults(faults);
        }
        kv.GetTime(1);
        const std::string reply = terminal.data();
        ++commands;
        if (kv.ErrCode() != KV_SUCCESS) {
            ++failedCommands;
        } else {
            EXPECT_TRUE(reply.size() == 8 && reply[2] == ':' && reply[5] == ':') << reply;
        }
        if (commands % 5 == 0) {
            PumpFor(30);
        }
    }
    terminal.host().setPushEvery(0);
    terminal.host().setFaults({});
    const auto unconfirmed = [&] {
        return terminal.host().withTerminal(
            1, [](sim::TerminalModel& model) { return model.newRecords().size(); });
    };
    ASSERT_TRUE(WaitUntil([&] { return unconfirmed() == 0; }, 5000)) << unconfirmed();

    const std::size_t made = terminal.host().withTerminal(
        1, [](sim::TerminalModel& model) { return model.oldRecords().size(); });
    std::map<std::string, int> arrivals;
    for (const Report& report : owner.reports) {
        EXPECT_EQ(report.address, GetParam() == Link::Serial ? "COM3" : address);
        EXPECT_EQ(report.source, 1);
        if (report.errCode == KV_SUCCESS) {
            ++arrivals[report.data.substr(0, report.data.find('\t'))];
        }
    }
    int duplicated = 0;
    for (const auto& [number, count] : arrivals) {
        duplicated += count - 1;
    }
    EXPECT_GT(made, 0u);
    EXPECT_EQ(arrivals.size(), made);
    EXPECT_EQ(duplicated, 0);
    std::printf("[ %s ] %zu records, %zu intact, %d duplicated, %zu reports with errors; "
                "%d corrupted pushes, %d split phases; %d commands, %d failed\n",
                LinkName(GetParam()), made, arrivals.size(), duplicated,
                owner.reports.size() - static_cast<std::size_t>(arrivals.size() + duplicated),
                corrupted, splitPhases, commands, failedCommands);
}

INSTANTIATE_TEST_SUITE_P(EveryLink, PushesUnderLoad,
                         ::testing::Values(Link::Udp, Link::Tcp, Link::Serial),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

} // namespace
} // namespace kelvra::test
