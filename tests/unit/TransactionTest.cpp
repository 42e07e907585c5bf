// One command start to end on fake links, in virtual time: what is sent, how long the wait
// lasts in passes, and what the outcome and payload are.
#include "DriverProbe.h"
#include "driver/FrameCodec.h"
#include "driver/ReplyPasses.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace kelvra {
namespace {

using test::DriverRig;
using test::TerminalReply;

TEST(Transaction, EchoOverDatagramsSendsOneFrameAndHandsOverTheData) {
    DriverRig rig;
    rig.connectUdp();
    rig.answerEveryFrame(TerminalReply(1, "A123"));
    EXPECT_EQ(rig.exchange("E", 1, "123"), "123");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(rig.socket().sent, (std::vector<std::string>{"\x02"
                                                           "11E123DB08"
                                                           "\x03"}));
    EXPECT_EQ(rig.kv.CurrentID(), 1);
    // The payload is handed over once.
    std::string again = "untouched";
    rig.kv.GetData(again);
    EXPECT_EQ(again, "");
}

TEST(Transaction, PassBudgetIsTheTimeoutOver50HalvesToEven) {
    EXPECT_EQ(ReplyPassBudget(3000), 60);
    EXPECT_EQ(ReplyPassBudget(75), 2);
    EXPECT_EQ(ReplyPassBudget(125), 2);
    EXPECT_EQ(ReplyPassBudget(25), 0);
    EXPECT_EQ(ReplyPassBudget(1), 0);
}

TEST(Transaction, ASilentTerminalTimesOutAfterTheBudgetPlusOnePass) {
    struct Row {
        std::int32_t timeout;
        int passes;
    };
    for (const Row& row : {Row{3000, 61}, Row{75, 3}, Row{125, 3}, Row{25, 1}}) {
        SCOPED_TRACE(row.timeout);
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetTimeout(row.timeout);
        EXPECT_EQ(rig.exchange("E", 1, "123"), "");
        EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_TIMEOUT);
        EXPECT_EQ(rig.time.sleepCalls(kReplyPassMs), row.passes);
        EXPECT_EQ(rig.time.elapsedMs(), row.passes * 50);
    }
}

TEST(Transaction, AReplyArrivingDuringTheLastPassIsAccepted) {
    struct Row {
        std::int32_t timeout;
        std::int64_t delayMs;
        std::int32_t outcome;
    };
    const Row rows[] = {
        {3000, 3049, KV_SUCCESS},     // inside pass 61, which ends at 3050 ms
        {3000, 3051, KV_ERR_TIMEOUT}, // after it
        {25, 49, KV_SUCCESS},         // the single pass of a 25 ms time-out
        {25, 51, KV_ERR_TIMEOUT},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.delayMs);
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetTimeout(row.timeout);
        rig.answerEveryFrame(TerminalReply(1, "A"), row.delayMs);
        rig.exchange("E", 1, "");
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
    }
}

TEST(Transaction, APassHeldUpLongerThanTheTimeoutEndsTheWait) {
    DriverRig rig;
    rig.connectUdp();
    // A modal window opened during event processing keeps the first pass for 5 seconds.
    bool heldOnce = false;
    rig.time.onPump = [&] {
        if (!std::exchange(heldOnce, true)) {
            rig.time.advance(5000);
        }
    };
    rig.answerEveryFrame(TerminalReply(1, "A"), 6000);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_TIMEOUT);
    EXPECT_EQ(rig.time.sleepCalls(kReplyPassMs), 1);
}

TEST(Transaction, ASecondBoundaryInAShortTimeoutIsNoHeldUpPass) {
    DriverRig rig;
    rig.connectUdp();
    rig.kv.SetTimeout(400);
    rig.time.advance(980); // the wall clock turns to the next second during the first pass
    rig.answerEveryFrame(TerminalReply(1, "A"), 200);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
}

TEST(Transaction, WhatEndsTheWaitAndWhatTheReplyTextGives) {
    const std::string good = TerminalReply(1, "A123");
    const std::string blankLength = "\x02"
                                    "11A123D7 8"
                                    "\x03";
    struct Row {
        const char* name;
        std::vector<std::string> chunks; // arriving 10 ms apart
        std::int32_t outcome;
        std::string payload;
    };
    const Row rows[] = {
        {"reply split over passes", {good.substr(0, 5), good.substr(5)}, KV_SUCCESS, "123"},
        {"short text ended by CR", {"AB\r"}, KV_ERR_LENGTH_NOT_ALLOWED, "AB\r"},
        {"long text ended by CR", {"0123456789\r"}, KV_ERR_LENGTH_NOT_MATCH, "0123456789\r"},
        {"pure garbage with ETX", {"\xFF\xFE\x03"}, KV_ERR_LENGTH_NOT_ALLOWED, "\xFF\xFE\x03"},
        {"CR after ETX in one chunk", {good + "\r"}, KV_ERR_LENGTH_NOT_MATCH, good + "\r"},
        {"doubled reply", {good + good}, KV_ERR_LENGTH_NOT_MATCH, good + good},
        {"garbage before the reply", {"zz" + good}, KV_ERR_LENGTH_NOT_MATCH, "zz" + good},
        {"refusal", {TerminalReply(1, "Dno")}, KV_ERR_ACCESS_DENIED, "no"},
        {"a blank in the length field", {blankLength}, KV_ERR_LENGTH_NOT_MATCH, blankLength},
        {"NUL in the data",
         {TerminalReply(1, std::string("A\0\0", 3))},
         KV_SUCCESS,
         std::string("\0\0", 2)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriverRig rig;
        rig.connectUdp();
        rig.socket().peer = [&](const std::string&) {
            std::int64_t delay = 10;
            for (const std::string& chunk : row.chunks) {
                rig.socket().arrive(chunk, delay);
                delay += 60;
            }
        };
        EXPECT_EQ(rig.exchange("E", 1, "123"), row.payload);
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
    }
}

TEST(Transaction, AnUnterminatedReplyTimesOutAndIsDiscarded) {
    DriverRig rig;
    rig.connectUdp();
    const std::string good = TerminalReply(1, "A123");
    rig.answerEveryFrame(good.substr(0, good.size() - 1));
    EXPECT_EQ(rig.exchange("E", 1, "123"), "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_TIMEOUT);
}

TEST(Transaction, AReplyThatComesTooLateIsNeverTakenForALaterCommand) {
    // Each echo is answered with its own data 650 ms later, the reply split or not; the
    // commands give up after 550 ms.
    for (const bool split : {false, true}) {
        SCOPED_TRACE(split ? "split replies" : "whole replies");
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetTimeout(500);
        const std::map<std::string, std::string> replies = {
            {"1", "11A17206"}, {"2", "11A27306"}, {"3", "11A37406"}, {"4", "11A47506"}};
        rig.socket().peer = [&](const std::string& frame) {
            const std::string reply = "\x02" + replies.at(frame.substr(4, 1)) + "\x03";
            if (split) {
                rig.socket().arrive(reply.substr(0, 5), 400);
                rig.socket().arrive(reply.substr(5), 650);
            } else {
                rig.socket().arrive(reply, 650);
            }
        };
        for (const char* data : {"1", "2", "3", "4"}) {
            SCOPED_TRACE(data);
            const std::string payload = rig.exchange("E", 1, data);
            if (rig.kv.ErrCode() == KV_SUCCESS) {
                EXPECT_EQ(payload, data);
            }
        }
        EXPECT_EQ(rig.socket().sent.size(), 4u);
    }
}

TEST(Transaction, AfterATimeOutTheNextCommandWaitsAtMostOneMoreTimeOut) {
    DriverRig rig;
    rig.connectUdp();
    rig.kv.SetTimeout(500);
    rig.exchange("E", 1, "");
    const std::int64_t firstFailure = rig.time.elapsedMs();
    rig.answerEveryFrame("\x02"
                         "11A4105"
                         "\x03");
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_LE(rig.time.elapsedMs(), firstFailure + 500 + 50);
    // A command after a success pays nothing.
    const std::int64_t before = rig.time.elapsedMs();
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.time.elapsedMs() - before, 50);
}

TEST(Transaction, WithoutWaitingTheCommandReturnsAtOnceAndKeepsErrCode) {
    DriverRig rig;
    rig.connectUdp();
    rig.kv.SetErrCode(KV_ERR_CHECKSUM);
    rig.answerEveryFrame(TerminalReply(1, "A"), 30);
    ucKelvraProbe::ExeCmd(rig.kv, "XA", 1, "", false);
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_CHECKSUM);
    EXPECT_EQ(rig.time.elapsedMs(), 0);
    EXPECT_EQ(rig.socket().sent.size(), 1u);
    // The reply arrives later and waits in the buffer, raw.
    rig.time.sleep(50);
    rig.time.processEvents();
    std::string data;
    rig.kv.GetData(data);
    EXPECT_EQ(data, TerminalReply(1, "A"));
}

TEST(Transaction, ALinkNeverOpenedWithAnEarlierFailureRefusesWithoutSending) {
    DriverRig rig;
    rig.kv.SetErrCode(KV_ERR_TIMEOUT);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_CONNECTION_NOT_ESTABLISHED);
    EXPECT_TRUE(rig.socket().sent.empty());

    // With no failure on record, an unopened datagram link simply sends.
    rig.kv.SetErrCode(KV_SUCCESS);
    rig.answerEveryFrame(TerminalReply(1, "A"));
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(rig.socket().sent.size(), 1u);
}

TEST(Transaction, TerminalNumbersWithoutAnAddressEndAsSendFailures) {
    for (std::int16_t terminal : {std::int16_t{-1}, std::int16_t{208}, std::int16_t{32767}}) {
        SCOPED_TRACE(terminal);
        DriverRig rig;
        rig.connectUdp();
        rig.exchange("E", terminal, "");
        EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_WINSOCK_ERROR);
        EXPECT_TRUE(rig.socket().sent.empty());
        EXPECT_EQ(rig.time.elapsedMs(), 0);
    }
    DriverRig rig;
    rig.connectUdp();
    rig.answerEveryFrame(TerminalReply(207, "A"));
    rig.exchange("E", 207, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(rig.socket().sent.at(0).substr(1, 2), "\xFF\xFF");
}

TEST(Transaction, SendFailuresAreRetriedThreeTimesPerCommand) {
    struct Row {
        const char* name;
        int failures;
        int number;
        std::int32_t outcome;
        std::size_t framesSent;
    };
    const Row rows[] = {
        {"three failures, then through", 3, 10053, KV_SUCCESS, 1},
        {"four failures, unsupported socket type", 4, 10044, KV_ERR_NETWORK_NOT_INSTALLED, 0},
        {"four failures, any other", 4, 10051, KV_ERR_WINSOCK_ERROR, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriverRig rig;
        rig.connectUdp();
        rig.answerEveryFrame(TerminalReply(1, "A"));
        rig.socket().sendFailures.failNext(row.failures, row.number);
        rig.exchange("E", 1, "");
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
        EXPECT_EQ(rig.socket().sent.size(), row.framesSent);
    }
}

TEST(Transaction, TheFailureBudgetIsSharedByTheStatementsOfOneCommand) {
    DriverRig rig;
    rig.kv.SetCommunicationType(6);
    rig.kv.Connect();
    rig.kv.CloseConnection();
    rig.serial().openFailures.failNext(2, 8002);
    rig.serial().writeFailures.failNext(2, 8020);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_WINSOCK_ERROR);
    EXPECT_TRUE(rig.serial().written.empty());
}

TEST(Transaction, AStreamSocketInItsErrorStateMarksTheLinkClosed) {
    DriverRig rig;
    rig.kv.SetIP("127.0.0.1");
    rig.kv.SetCommunicationType(3);
    ucKelvraProbe::SetConnected(rig.kv, true);
    rig.socket().setProtocol(SocketProtocol::Stream);
    rig.socket().connect();
    rig.socket().connectScript.clear();
    rig.socket().breakConnection();
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_WINSOCK_ERROR);
    EXPECT_FALSE(rig.kv.Connected());
    EXPECT_EQ(rig.kv.WinsockState(), SocketClosed);
    EXPECT_TRUE(rig.socket().sent.empty());
}

TEST(Transaction, ASerialCommandReopensAClosedPortAndCollectsUnreadInput) {
    DriverRig rig;
    rig.kv.SetComport(3);
    rig.kv.SetCommunicationType(0);
    rig.kv.Connect();
    EXPECT_TRUE(rig.kv.Connected());
    EXPECT_EQ(rig.serial().flowControl, FlowControl::RtsCts);
    rig.kv.CloseConnection();
    EXPECT_FALSE(rig.serial().isOpen());
    EXPECT_TRUE(rig.kv.Connected());

    rig.serial().peer = [&](const std::string&) {
        rig.serial().arrive(TerminalReply(1, "A42"), 10);
    };
    EXPECT_EQ(rig.exchange("E", 1, "42"), "42");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_TRUE(rig.serial().isOpen());

    // Input that no notification has taken yet is handed over with the payload.
    rig.serial().peer = [&](const std::string&) {
        rig.serial().arrive(TerminalReply(1, "A7"), 10);
    };
    ucKelvraProbe::ExeCmd(rig.kv, "E", 1, "7", true);
    rig.serial().arrive("late", 0);
    rig.time.sleep(1); // lands in the port, not yet notified
    std::string data;
    rig.kv.GetData(data);
    EXPECT_EQ(data, "7late");
}

TEST(Transaction, ConnectOpensEachLinkKind) {
    DriverRig rig;
    rig.kv.SetCommunicationType(6);
    rig.kv.Connect();
    EXPECT_TRUE(rig.kv.Connected());
    EXPECT_EQ(rig.serial().flowControl, FlowControl::None);

    // Datagrams: nothing is sent, even with no terminal at the address.
    DriverRig udp;
    udp.connectUdp();
    EXPECT_TRUE(udp.kv.Connected());
    EXPECT_TRUE(udp.socket().sent.empty());
    EXPECT_EQ(udp.socket().remoteHost, "127.0.0.1");
    EXPECT_EQ(udp.socket().remotePort, 1001);

    // An unknown link kind does nothing, and its commands send nothing.
    DriverRig unknown;
    unknown.kv.SetCommunicationType(9);
    unknown.kv.Connect();
    EXPECT_FALSE(unknown.kv.Connected());
    unknown.kv.SetTimeout(100);
    unknown.exchange("E", 1, "");
    EXPECT_EQ(unknown.kv.ErrCode(), KV_ERR_TIMEOUT);
    EXPECT_TRUE(unknown.socket().sent.empty());

    // A port that cannot be opened leaves the link closed and ErrCode as it was.
    DriverRig broken;
    broken.kv.SetCommunicationType(0);
    broken.kv.SetErrCode(KV_ERR_BUSY);
    broken.serial().openFailures.failNext(1, 8002);
    broken.kv.Connect();
    EXPECT_FALSE(broken.kv.Connected());
    EXPECT_EQ(broken.kv.ErrCode(), KV_ERR_BUSY);
}

TEST(Transaction, ReceivedTextIsCountedForTheCurrentTerminalAndBounded) {
    DriverRig rig;
    rig.connectUdp();
    rig.answerEveryFrame(TerminalReply(5, "A123"));
    rig.exchange("E", 5, "123");
    EXPECT_EQ(rig.kv.BytesReceived(5), 12);

    // A flood that no command takes keeps only its newest part.
    for (int i = 0; i < 40; ++i) {
        rig.socket().arrive(std::string(4096, static_cast<char>('a' + i % 26)), 0);
    }
    rig.time.sleep(1);
    rig.time.processEvents();
    EXPECT_EQ(ucKelvraProbe::ReceiveBuffer(rig.kv).size(), ucKelvra::kReceiveBufferLimit);
    EXPECT_EQ(ucKelvraProbe::ReceiveBuffer(rig.kv).back(), static_cast<char>('a' + 39 % 26));
    EXPECT_EQ(rig.kv.BytesReceived(5), 12 + 40 * 4096);
}

} // namespace
} // namespace kelvra
