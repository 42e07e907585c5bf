// Extended mode end to end under load: the simulator pushes records one at a time and waits
// for each confirmation; the driver reports them through its event and asks again for the
// bad ones. How often it asks, and what it reports meanwhile, is in tests/unit.
#include "LoopbackAddresses.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"

#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <unistd.h>

namespace kelvra::test {
namespace {

// The terminal makes a record every 40 ms, and on about one push tick in ten a fault is armed
// at random: a corrupted push, a split frame, a lost or a doubled reply. The owner confirms each
// good record from its handler, as the console's auto-confirm does, and its event loop runs a
// command every 100 to 150 ms. Every record must reach the owner intact exactly once, no command
// may take anything but its own reply, and the stream must not stall.
// KELVRA_STRESS_SECONDS sets the length of the run on each link (default 15, at least 1).
class PushesUnderLoad : public ::testing::TestWithParam<Link> {};

TEST_P(PushesUnderLoad, EveryRecordArrivesOnceAndEveryCommandGetsItsOwnReply) {
    const char* seconds = std::getenv("KELVRA_STRESS_SECONDS");
    const int runMs = 1000 * std::max(1, seconds != nullptr ? std::atoi(seconds) : 15);
    sim::SimulatorOptions options;
    options.terminal.initialRecords = 0;
    options.faults =
        sim::ParseFaultList("corrupt-push=1@0.04,split=3@0.03,drop=1@0.02,double@0.02");
    const std::string address = LoopbackAddress(20 + static_cast<int>(GetParam()));
    SimulatedTerminal terminal(address, options);
    terminal.connect(GetParam(), 500);
    ucKelvra& kv = *terminal.kv;
    std::map<std::string, int> arrivals; // good records by their number
    int badReports = 0;
    const Subscription owner =
        kv.KelvraDataArival.subscribe([&](const std::string& from, std::int16_t source,
                                          const std::string& data, std::int32_t code) {
            EXPECT_EQ(from, GetParam() == Link::Serial ? "COM3" : address);
            EXPECT_EQ(source, 1);
            if (code != KV_SUCCESS) {
                ++badReports;
                return;
            }
            ++arrivals[data.substr(0, data.find('\t'))];
            kv.X_ConfirmRecord(source);
        });
    kv.X_LogOn(1);
    ASSERT_EQ(kv.ErrCode(), KV_SUCCESS);
    terminal.host().setPushEvery(40);

    // A command's data is its own: the punch-times value in decimal, or the echo of its text.
    // A failed command may hold its own reply twice, never a pushed record.
    int commands = 0, failed = 0, foreign = 0;
    std::mt19937 random(static_cast<unsigned>(::getpid()));
    QTimer loop;
    loop.setSingleShot(true);
    QObject::connect(&loop, &QTimer::timeout, [&] {
        const std::string echo = "E" + std::to_string(commands);
        const bool echoTest = ++commands % 2 == 0;
        echoTest ? kv.EchoTest(1, echo) : kv.X_PunchTimesGet(1);
        const std::string data = terminal.data();
        if (kv.ErrCode() != KV_SUCCESS) {
            ++failed;
            foreign += data.find("XN") != std::string::npos ? 1 : 0;
        } else if (echoTest ? data != echo
                            : data.empty() || data.find_first_not_of("0123456789") != data.npos) {
            ++foreign;
        }
        loop.start(100 + static_cast<int>(random() % 51));
    });
    loop.start(100);
    PumpFor(runMs);
    loop.stop();

    terminal.host().setPushEvery(0);
    terminal.host().setFaults({});
    const auto count = [&](bool unread) {
        return terminal.host().withTerminal(1, [&](sim::TerminalModel& model) {
            return model.newRecords().size() + (unread ? 0 : model.oldRecords().size());
        });
    };
    const bool drained = WaitUntil([&] { return count(true) == 0; }, 5000);
    int duplicated = 0;
    for (const auto& [number, copies] : arrivals) {
        duplicated += copies - 1;
    }
    const auto lost = static_cast<int>(count(false) - arrivals.size());
    std::printf("[ %s ] %zu records made, %zu delivered, %d lost, %d duplicated, %d reports with "
                "errors; %llu faults armed; %d commands, %d failed, %d with data not theirs\n",
                LinkName(GetParam()), count(false), arrivals.size(), lost, duplicated, badReports,
                static_cast<unsigned long long>(terminal.host().stats().faultsArmed), commands,
                failed, foreign);
    EXPECT_GT(count(false), 0u);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(duplicated, 0);
    EXPECT_EQ(foreign, 0);
    EXPECT_TRUE(drained) << count(true) << " records left unconfirmed: the stream stalled";
}

INSTANTIATE_TEST_SUITE_P(EveryLink, PushesUnderLoad,
                         ::testing::Values(Link::Udp, Link::Tcp, Link::Serial),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

} // namespace
} // namespace kelvra::test
