// Extended mode end to end: the simulator pushes its stored records one at a time and waits
// for each confirmation; the driver reports them through its event.
#include "SimulatedTerminal.h"
#include "Waiting.h"
#include "driver/PushedRecord.h"

#include <gtest/gtest.h>
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

// Confirms every record from the event handler, as the console's auto-confirm does.
struct ConfirmingOwner {
    explicit ConfirmingOwner(ucKelvra& kv)
        : subscription(kv.KelvraDataArival.subscribe(
              [this, &kv](const std::string& address, std::int16_t source, const std::string& data,
                          std::int32_t code) {
                  reports.push_back({address, source, data, code});
                  kv.X_ConfirmRecord(source);
              })) {}
    std::vector<Report> reports;
    Subscription subscription;
};

class RealTimeMode : public ::testing::TestWithParam<Link> {};

TEST_P(RealTimeMode, StoredRecordsArriveOneByOneAndAreCounted) {
    const std::string address = "127.0.0." + std::to_string(15 + static_cast<int>(GetParam()));
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
    FaultyPushes rig("127.0.0.10", Link::Udp, "corrupt-push=4");
    ucKelvra& kv = *rig.terminal.kv;
    ASSERT_TRUE(WaitUntil([&] { return !rig.owner.reports.empty(); }, 5000));
    EXPECT_EQ(rig.owner.reports[0].errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(rig.resendRequests(), 3);
    EXPECT_EQ(kv.ResendCount(), 3);
    EXPECT_EQ(kv.PunchCount(1), 1);

    // A good record ends the cycle.
    rig.terminal.host().addPunchRecord(1, "87654321");
    ASSERT_TRUE(WaitUntil([&] { return rig.owner.reports.size() >= 2; }, 5000));
    EXPECT_EQ(rig.owner.reports.back().errCode, KV_SUCCESS);
    EXPECT_EQ(CardField(rig.owner.reports.back().data), "C87654321");
    EXPECT_EQ(kv.ResendCount(), 0);
}

TEST(RealTimeModeFaults, ABadRecordOnTheSerialLineIsReportedAtOnce) {
    FaultyPushes rig("127.0.0.11", Link::Serial, "corrupt-push=1");
    ASSERT_TRUE(WaitUntil([&] { return !rig.owner.reports.empty(); }, 5000));
    EXPECT_EQ(rig.owner.reports[0].errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(rig.owner.reports[0].address, "COM3");
    EXPECT_EQ(rig.resendRequests(), 0);
}

} // namespace
} // namespace kelvra::test
