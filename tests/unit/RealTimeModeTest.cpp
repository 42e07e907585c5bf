// Records that a terminal in extended mode pushes on its own: recognised in the receive
// path, verified, reported, counted, and on a socket link requested again when bad.
#include "DriverProbe.h"
#include "driver/FrameCodec.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::TerminalReply;

struct Report {
    std::string address;
    std::int16_t source;
    std::string data;
    std::int32_t errCode;
    bool operator==(const Report&) const = default;
};

const std::string kRecord = "1\t2026-12-06 08:00:00\t0\tC12345678";

std::string badRecord(std::int16_t terminal) {
    std::string frame = TerminalReply(terminal, "XN" + kRecord);
    frame[5] = 'x'; // corrupts the data under an unchanged checksum
    return frame;
}

// A terminal that accepts every command and answers a resend request with the record again.
struct PushRig : test::DriverRig {
    std::vector<Report> reports;
    Subscription subscription =
        kv.KelvraDataArival.subscribe([this](const std::string& address, std::int16_t source,
                                             const std::string& data, std::int32_t code) {
            reports.push_back({address, source, data, code});
        });
    std::vector<std::string> commands;

    void answerCommands() {
        socket().peer = [this](const std::string& frame) {
            const std::string command = frame.substr(3, 2);
            commands.push_back(command);
            if (command == "XR") {
                socket().arrive(TerminalReply(5, "XN" + kRecord), 10);
            } else if (command != "XA") {
                socket().arrive(TerminalReply(5, "A"), 10);
            }
        };
        socket().peerAddress = "127.0.0.3";
    }
    void enterRealTimeMode() {
        connectUdp();
        answerCommands();
        kv.X_LogOn(5);
        ASSERT_TRUE(kv.RealTimeMode());
        commands.clear();
    }
    void push(const std::string& bytes) {
        socket().arrive(bytes, 0);
        time.sleep(1);
        time.processEvents();
    }
};

TEST(RealTimeMode, OnlyASuccessfulLogOnSwitchesItOn) {
    PushRig rig;
    rig.connectUdp();
    rig.kv.X_LogOn(5); // nobody answers
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_TIMEOUT);
    EXPECT_FALSE(rig.kv.RealTimeMode());
    // Without it a pushed record just waits in the buffer.
    rig.push(TerminalReply(5, "XN" + kRecord));
    EXPECT_TRUE(rig.reports.empty());
    EXPECT_EQ(ucKelvraProbe::ReceiveBuffer(rig.kv), TerminalReply(5, "XN" + kRecord));

    rig.answerCommands();
    rig.kv.X_LogOn(5);
    rig.kv.X_LogOff(5);
    EXPECT_TRUE(rig.kv.RealTimeMode()); // logging off does not end it
}

TEST(RealTimeMode, AGoodRecordIsReportedAndCountedForItsTerminal) {
    PushRig rig;
    rig.enterRealTimeMode();
    rig.time.advance(65000);
    const std::string frame = TerminalReply(5, "XN" + kRecord);
    const std::int32_t bytesBefore = rig.kv.BytesReceived(5);
    // Split over two chunks: recognised when the one with ETX arrives.
    rig.push(frame.substr(0, 10));
    EXPECT_TRUE(rig.reports.empty());
    rig.push(frame.substr(10));
    EXPECT_EQ(rig.reports, (std::vector<Report>{{"127.0.0.3", 5, kRecord, KV_SUCCESS}}));
    EXPECT_EQ(rig.kv.PunchCount(5), 1);
    EXPECT_EQ(rig.kv.LastPunch(5), DateTime::fromParts(2026, 12, 6, 8, 1, 5));
    EXPECT_EQ(rig.kv.BytesReceived(5) - bytesBefore, static_cast<std::int32_t>(frame.size()));
    EXPECT_EQ(rig.kv.CurrentID(), 5);
    EXPECT_TRUE(ucKelvraProbe::ReceiveBuffer(rig.kv).empty());
    EXPECT_TRUE(rig.commands.empty()); // the driver never confirms by itself
}

TEST(RealTimeMode, TextBeforeTheRecordKeepsItFromBeingRecognised) {
    PushRig rig;
    rig.enterRealTimeMode();
    rig.push("zz" + TerminalReply(5, "XN" + kRecord));
    EXPECT_TRUE(rig.reports.empty());
    EXPECT_FALSE(ucKelvraProbe::ReceiveBuffer(rig.kv).empty());
}

TEST(RealTimeMode, BadRecordsOnASocketAreRequestedAgainThreeTimesThenReported) {
    PushRig rig;
    rig.enterRealTimeMode();
    for (int i = 0; i < 3; ++i) {
        rig.push(badRecord(5));
    }
    // The replies to the resend requests are "XN" frames taken by the requests themselves.
    EXPECT_EQ(rig.commands, (std::vector<std::string>{"XR", "XR", "XR"}));
    EXPECT_TRUE(rig.reports.empty());
    EXPECT_EQ(rig.kv.ResendCount(), 3);
    EXPECT_FALSE(rig.kv.ResendPending());

    rig.push(badRecord(5));
    ASSERT_EQ(rig.reports.size(), 1u);
    EXPECT_EQ(rig.reports[0].errCode, KV_ERR_CHECKSUM);
    EXPECT_EQ(rig.reports[0].data, badRecord(5));
    EXPECT_EQ(rig.kv.PunchCount(5), 1);

    rig.push(TerminalReply(5, "XN" + kRecord));
    EXPECT_EQ(rig.kv.ResendCount(), 0);
    EXPECT_EQ(rig.reports.size(), 2u);
    rig.push(badRecord(5));
    EXPECT_EQ(rig.commands.size(), 4u); // a fresh cycle of requests
}

TEST(RealTimeMode, ABadRecordOnTheSerialLinkIsReportedAtOnce) {
    PushRig rig;
    rig.kv.SetComport(4);
    rig.kv.SetCommunicationType(6);
    rig.kv.Connect();
    rig.serial().peer = [&](const std::string&) { rig.serial().arrive(TerminalReply(7, "A"), 10); };
    rig.kv.X_LogOn(7);
    ASSERT_TRUE(rig.kv.RealTimeMode());
    rig.serial().peer = nullptr;
    const std::string overlong = TerminalReply(7, "XN" + kRecord) + "\r";
    rig.serial().arrive(overlong, 0);
    rig.time.sleep(1);
    rig.time.processEvents();
    EXPECT_EQ(rig.reports, (std::vector<Report>{{"COM4", 7, overlong, KV_ERR_LENGTH_NOT_MATCH}}));
    EXPECT_EQ(rig.kv.PunchCount(7), 1);
    EXPECT_EQ(rig.serial().written.size(), 1u); // the log-on only: no resend request
}

TEST(RealTimeMode, AHandlerMayConfirmTheRecordWithoutWaiting) {
    PushRig rig;
    rig.enterRealTimeMode();
    Subscription confirmer = rig.kv.KelvraDataArival.subscribe(
        [&](const std::string&, std::int16_t source, const std::string&, std::int32_t) {
            rig.kv.X_ConfirmRecord(source);
        });
    rig.kv.SetErrCode(KV_SUCCESS);
    const std::int64_t before = rig.time.elapsedMs();
    rig.push(TerminalReply(5, "XN" + kRecord));
    EXPECT_EQ(rig.commands, (std::vector<std::string>{"XA"}));
    EXPECT_EQ(rig.time.elapsedMs() - before, 1);
    EXPECT_EQ(rig.reports.size(), 1u);
}

TEST(RealTimeMode, ARecordFromAnUnknownTerminalNumberIsReportedWithoutCounting) {
    PushRig rig;
    rig.enterRealTimeMode();
    // Address character 250 is terminal 202, outside the counters.
    rig.push(TerminalReply(202, "XN" + kRecord));
    ASSERT_EQ(rig.reports.size(), 1u);
    EXPECT_EQ(rig.reports[0].source, 202);
    EXPECT_EQ(rig.kv.CurrentID(), 202);
}

} // namespace
} // namespace kelvra
