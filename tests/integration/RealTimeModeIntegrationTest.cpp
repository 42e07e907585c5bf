// Extended mode end to end: the simulator pushes its stored records one at a time and waits
// for each confirmation; the driver reports them through its event.
#include "LoopbackAddresses.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"
#include "driver/PushedRecord.h"

#include <QElapsedTimer>
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

class RealTimeMode : public ::testing::TestWithParam<Link> {};

TEST_P(RealTimeMode, StoredRecordsArriveOneByOneAndAreCounted) {
    const std::string address = LoopbackAddress(15 + static_cast<int>(GetParam()));
    SimulatedTerminal terminal(address);
    terminal.connect(GetParam());
    ucKelvra& kv = *terminal.kv;
    ConfirmingOwner owner(kv);
    kv.X_LogOn(1);
    ASSERT_EQ(kv.ErrCode(), KV_SUCCESS);
    ASSERT_TRUE(WaitUntil([&] { return owner.reports.size() == 3; }, 5000)) << owner.reports.size();
    const std::string source = GetParam() == Link::Serial ? "COM3" : address;
    for (const Report& report : owner.reports) {
        EXPECT_EQ(report.address, source);
        EXPECT_EQ(report.source, 1);
        EXPECT_EQ(report.errCode, KV_SUCCESS);
        EXPECT_EQ(CardField(report.data).value_or("").size(), 9u)
            << report.data; // "C" and eight digits
    }
    EXPECT_EQ(kv.PunchCount(1), 3);
    EXPECT_GT(kv.BytesReceived(1), 0);
    EXPECT_TRUE(
        terminal.host().waitUntil([](const sim::HostStats& stats) { return stats.pushesSent == 3; },
                                  std::chrono::milliseconds(1000)));
}

INSTANTIATE_TEST_SUITE_P(EveryLink, RealTimeMode,
                         ::testing::Values(Link::Udp, Link::Tcp, Link::Serial),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

// One stored record, pushes shaped by `faults`, extended mode on with a confirming owner.
struct FaultyPushes {
    FaultyPushes(const std::string& address, Link link, const std::string& faults)
        : terminal(address, oneRecord()), owner(*terminal.kv) {
        terminal.connect(link);
        terminal.host().applyFaultSpec(faults);
        terminal.kv->X_LogOn(1);
    }
    static sim::SimulatorOptions oneRecord() {
        sim::SimulatorOptions options;
        options.terminal.initialRecords = 1;
        return options;
    }
    int resendRequests() {
        return terminal.host().withTerminal(
            1, [](sim::TerminalModel& model) { return model.counters().resendRequests; });
    }

    SimulatedTerminal terminal;
    ConfirmingOwner owner;
};

TEST(RealTimeModeFaults, BadRecordsOnASocketAreRequestedAgainThenReported) {
    // The first push and the three pushed again after each resend request are corrupted.
    FaultyPushes rig(LoopbackAddress(10), Link::Udp, "corrupt-push=4");
    ucKelvra& kv = *rig.terminal.kv;
    ASSERT_TRUE(WaitUntil([&] { return !rig.owner.reports.empty(); }, 5000));
    EXPECT_EQ(rig.owner.reports[0].errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(rig.resendRequests(), 3);
    EXPECT_EQ(kv.ResendCount(), 3);
    EXPECT_EQ(kv.PunchCount(1), 1);

    // The operator confirms the bad record by hand; a good record then ends the cycle.
    kv.X_ConfirmRecord(1);
    rig.terminal.host().addPunchRecord(1, "87654321");
    ASSERT_TRUE(WaitUntil([&] { return rig.owner.reports.size() >= 2; }, 5000));
    EXPECT_EQ(rig.owner.reports.back().errCode, KV_SUCCESS);
    EXPECT_EQ(CardField(rig.owner.reports.back().data), "C87654321");
    EXPECT_EQ(kv.ResendCount(), 0);
}

TEST(RealTimeModeFaults, ABadRecordOnTheSerialLineIsReportedAndRequestedAgain) {
    FaultyPushes rig(LoopbackAddress(11), Link::Serial, "corrupt-push=1");
    ASSERT_TRUE(WaitUntil([&] { return rig.owner.reports.size() >= 2; }, 5000));
    EXPECT_EQ(rig.owner.reports[0].errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(rig.owner.reports[0].address, "COM3");
    // Not confirmed, so asked for again: the terminal pushes it once more, now intact.
    EXPECT_EQ(rig.resendRequests(), 1);
    EXPECT_EQ(rig.owner.reports[1].errCode, KV_SUCCESS);
}

// The terminal makes a record every 40 ms while the owner runs commands back to back and now
// and then idles; some pushes arrive corrupted, some split in two. Every record must reach the
// owner intact exactly once, and no command may take anything but its own reply.
// KELVRA_STRESS_SECONDS sets the length of the run on each link (default 3).
class PushesUnderLoad : public ::testing::TestWithParam<Link> {};

TEST_P(PushesUnderLoad, EveryRecordArrivesOnceAndEveryCommandGetsItsOwnReply) {
    const char* seconds = std::getenv("KELVRA_STRESS_SECONDS");
    const int runMs = 1000 * (seconds != nullptr ? std::atoi(seconds) : 3);
    sim::SimulatorOptions options;
    options.terminal.initialRecords = 0;
    SimulatedTerminal terminal(LoopbackAddress(20 + static_cast<int>(GetParam())), options);
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
        if (report.errCode == KV_SUCCESS) {
            ++arrivals[report.data.substr(0, report.data.find('\t'))];
        }
    }
    int duplicated = 0;
    for (const auto& [number, count] : arrivals) {
        duplicated += count - 1;
    }
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
