// One command start to end on fake links, in virtual time: what is sent, how long the wait
// lasts in passes, and what the outcome and payload are. Replies are written out by hand.
#include "DriverProbe.h"

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kelvra {
namespace {

using test::DriverRig;
using test::FakeSerialPort;
using test::FakeSocket;

std::string Frame(const std::string& inner) {
    return "\x02" + inner + "\x03";
}
// Terminal 1 accepts, without data and with the data 123 of the echo.
const std::string kAccepted = Frame("11A4105");
const std::string kEcho = Frame("11A123D708");
const std::string kFreeModule = "V1.2/0001/0**0*/**/9600";

// The worked example: checksum DB (69 + 49 + 50 + 51 = 219) and length 08, and the answer's D7.
TEST(Transaction, EchoOverDatagramsSendsOneFrameAndHandsOverTheDataOnce) {
    EXPECT_EQ(test::TerminalReply(1, "A123"), kEcho) << "the tests' own reply frames agree";
    DriverRig rig(kEcho);
    EXPECT_EQ(rig.exchange("E", 1, "123"), "123");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(rig.socket().sent, std::vector<std::string>{Frame("11E123DB08")});
    std::string again = "untouched";
    rig.kv.GetData(again);
    EXPECT_EQ(again, "");
}

// The reply is looked for after each pass of 50 ms, for one pass more than the time-out over
// 50 rounded half to even. Woken by the reply, a command returns at once, yet it counts its
// time in the same passes.
TEST(Transaction, TheWaitLastsTheTimeoutInPassesOf50Ms) {
    struct Arrival {
        std::int64_t atMs;
        std::string bytes;
    };
    struct Row {
        bool wake;
        std::int32_t timeout;
        std::vector<Arrival> arrivals;
        bool answered;
        std::int64_t returnsAtMs;
    };
    const std::string head = kEcho.substr(0, 5);
    const std::string tail = kEcho.substr(5);
    const Row rows[] = {
        {false, 3000, {}, false, 3050},
        {false, 75, {}, false, 150},
        {false, 125, {}, false, 150},
        {false, 25, {}, false, 50},
        {false, 3000, {{3049, kEcho}}, true, 3050}, // inside the last pass
        {false, 3000, {{3051, kEcho}}, false, 3050},
        {false, 25, {{49, kEcho}}, true, 50},
        {false, 25, {{51, kEcho}}, false, 50},
        {false, 3000, {{10, head}, {70, tail}}, true, 100},
        {true, 3000, {{3, kEcho}}, true, 3},
        {true, 3000, {{3, head}, {7, tail}}, true, 7},
        {true, 3000, {}, false, 3050},
        {true, 3000, {{3049, kEcho}}, true, 3049},
        {true, 3000, {{3051, kEcho}}, false, 3050},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetTimeout(row.timeout);
        rig.kv.SetWakeOnReply(row.wake);
        rig.socket().peer = [&](const std::string&) {
            for (const Arrival& arrival : row.arrivals) {
                rig.socket().arrive(arrival.bytes, arrival.atMs);
            }
        };
        EXPECT_EQ(rig.exchange("E", 1, "123"), row.answered ? "123" : "");
        EXPECT_EQ(rig.kv.ErrCode(), row.answered ? KV_SUCCESS : KV_ERR_TIMEOUT);
        EXPECT_EQ(rig.time.elapsedMs(), row.returnsAtMs);
    }
}

// Returning at the first frame end, a command leaves a reply sent more than once on its way.
// A copy must fail the next command, never pass for its reply, and the command after that
// is clean: the second copy is held to its pass, the third dropped while the link settles.
TEST(Transaction, WakeOnReplyNeverTakesAReplySentAgainForTheNextCommands) {
    const std::string replies[] = {Frame("11A111D408"), Frame("11A211D508"), Frame("11A311D608")};
    for (const int copies : {2, 3}) {
        SCOPED_TRACE(copies);
        DriverRig rig;
        rig.connectUdp();
        rig.kv.SetWakeOnReply(true);
        std::size_t sent = 0;
        rig.socket().peer = [&](const std::string&) {
            rig.socket().arrive(replies[sent], 3);
            for (int copy = 1; sent == 0 && copy < copies; ++copy) {
                rig.socket().arrive(replies[0], 3 + 2 * copy); // while the second command waits
            }
            ++sent;
        };
        EXPECT_EQ(rig.exchange("E", 1, "111"), "111");
        EXPECT_EQ(rig.time.elapsedMs(), 3);
        rig.exchange("E", 1, "211");
        EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_LENGTH_NOT_MATCH);
        EXPECT_EQ(rig.exchange("E", 1, "311"), "311");
        EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
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
    rig.answerEveryFrame(kAccepted, 6000);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_TIMEOUT);
    EXPECT_EQ(rig.time.elapsedMs(), 5050);
}

TEST(Transaction, ASecondBoundaryInAShortTimeoutIsNoHeldUpPass) {
    DriverRig rig;
    rig.connectUdp();
    rig.kv.SetTimeout(400);
    rig.time.advance(980); // the wall clock turns to the next second during the first pass
    rig.answerEveryFrame(kAccepted, 200);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
}

TEST(Transaction, WhatEndsTheWaitAndWhatTheReplyTextGives) {
    struct Row {
        const char* name;
        std::string reply;
        std::int32_t outcome;
        std::string payload;
    };
    const Row rows[] = {
        {"short text ended by CR", "AB\r", KV_ERR_LENGTH_NOT_ALLOWED, "AB\r"},
        {"long text ended by CR", "0123456789\r", KV_ERR_LENGTH_NOT_MATCH, "0123456789\r"},
        {"garbage with ETX", "\xFF\xFE\x03", KV_ERR_LENGTH_NOT_ALLOWED, "\xFF\xFE\x03"},
        {"doubled reply", kEcho + kEcho, KV_ERR_LENGTH_NOT_MATCH, kEcho + kEcho},
        {"refusal", Frame("11Dno2107"), KV_ERR_ACCESS_DENIED, "no"},
        {"no ETX: timed out and discarded", kEcho.substr(0, 11), KV_ERR_TIMEOUT, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DriverRig rig(row.reply);
        EXPECT_EQ(rig.exchange("E", 1, "123"), row.payload);
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
    }
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
            const std::string reply = Frame(replies.at(frame.substr(4, 1)));
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
    rig.answerEveryFrame(kAccepted);
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_LE(rig.time.elapsedMs(), firstFailure + 500 + 50);
    // A command after a success pays nothing.
    const std::int64_t before = rig.time.elapsedMs();
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.time.elapsedMs() - before, 50);
}

// A failing send statement is executed again, three times per command; a terminal number
// without an address character fails each time.
TEST(Transaction, SendFailuresAreRetriedThreeTimesPerCommand) {
    struct Row {
        std::int16_t terminal;
        int failures;
        int number;
        std::int32_t outcome;
    };
    const Row rows[] = {
        {1, 3, 10053, KV_SUCCESS},
        {1, 4, 10044, KV_ERR_NETWORK_NOT_INSTALLED}, // the socket type is not supported
        {1, 4, 10051, KV_ERR_WINSOCK_ERROR},
        {-1, 0, 0, KV_ERR_WINSOCK_ERROR},
        {208, 0, 0, KV_ERR_WINSOCK_ERROR},
        {207, 0, 0, KV_SUCCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        DriverRig rig(kAccepted);
        rig.socket().sendFailures.failNext(row.failures, row.number);
        rig.exchange("E", row.terminal, "");
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
        EXPECT_EQ(rig.socket().sent.size(), row.outcome == KV_SUCCESS ? 1u : 0u);
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
    rig.socket().breakConnection();
    rig.exchange("E", 1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_WINSOCK_ERROR);
    EXPECT_FALSE(rig.kv.Connected());
    EXPECT_EQ(rig.kv.WinsockState(), SocketClosed);
    EXPECT_TRUE(rig.socket().sent.empty());
}

// Each link kind carries the command on its own link, written out here by hand: the serial
// kinds on the port with their flow control, the datagram kind on a datagram socket, the stream
// kinds on a stream once the module has been asked, each under the name the traffic inspector
// gives it. An unknown kind sends nothing.
TEST(Transaction, EveryLinkKindCarriesACommandOnItsLink) {
    const std::pair<std::int32_t, std::string> rows[] = {{0, "serial COM1, RTS/CTS"},
                                                         {1, "serial COM1, RTS/CTS"},
                                                         {6, "serial COM1, no flow control"},
                                                         {2, "udp 127.0.0.2:4001"},
                                                         {3, "tcp 127.0.0.2:4001"},
                                                         {4, "tcp 127.0.0.2:4001"},
                                                         {5, "tcp 127.0.0.2:4001"},
                                                         {7, "tcp 127.0.0.2:4001"},
                                                         {9, ""}};
    for (const auto& [type, expected] : rows) {
        SCOPED_TRACE(type);
        DriverRig rig;
        rig.kv.SetIP("127.0.0.2");
        rig.kv.SetUDP_Port(4001);
        rig.kv.SetTimeout(200);
        rig.moduleSocket().peer = [&](const std::string&) {
            rig.moduleSocket().arrive(kFreeModule, 5);
        };
        rig.socket().peer = [&](const std::string&) { rig.socket().arrive(kEcho, 10); };
        rig.serial().peer = [&](const std::string&) { rig.serial().arrive(kEcho, 10); };
        std::string traffic;
        const Subscription tracing = rig.kv.LinkTraffic.subscribe([&](const LinkChunk& chunk) {
            traffic = chunk.framed ? std::string(chunk.link) : traffic;
        });
        rig.kv.SetCommunicationType(type);
        rig.kv.Connect();
        EXPECT_EQ(rig.kv.Connected(), !expected.empty());
        EXPECT_EQ(rig.exchange("E", 1, "123"), expected.empty() ? "" : "123");
        EXPECT_EQ(rig.kv.ErrCode(), expected.empty() ? KV_ERR_TIMEOUT : KV_SUCCESS);

        const FakeSerialPort& port = rig.serial();
        const FakeSocket& socket = rig.socket();
        std::string wire;
        if (!port.written.empty()) {
            wire = "serial COM1, " + std::string(port.flowControl == FlowControl::RtsCts
                                                     ? "RTS/CTS"
                                                     : "no flow control");
        }
        if (!socket.sent.empty()) {
            wire += (socket.protocol() == SocketProtocol::Stream ? "tcp " : "udp ") +
                    socket.remoteHost + ":" + std::to_string(socket.remotePort);
        }
        EXPECT_EQ(wire, expected);
        EXPECT_EQ(wire.substr(0, traffic.size()), traffic);
        EXPECT_EQ(traffic.empty(), expected.empty());
    }
}

TEST(Transaction, ASerialPortIsReopenedByTheNextCommandAndUnreadInputJoinsThePayload) {
    DriverRig rig;
    rig.kv.SetCommunicationType(0);
    // A port that cannot be opened leaves the link closed and ErrCode as it was.
    rig.kv.SetErrCode(KV_ERR_BUSY);
    rig.serial().openFailures.failNext(1, 8002);
    rig.kv.Connect();
    EXPECT_FALSE(rig.kv.Connected());
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_BUSY);

    rig.kv.Connect();
    rig.kv.CloseConnection();
    EXPECT_FALSE(rig.serial().isOpen());
    EXPECT_TRUE(rig.kv.Connected());
    rig.serial().peer = [&](const std::string&) { rig.serial().arrive(kEcho, 10); };
    EXPECT_EQ(rig.exchange("E", 1, "123"), "123");
    EXPECT_TRUE(rig.serial().isOpen());

    ucKelvraProbe::ExeCmd(rig.kv, "E", 1, "123", true);
    rig.serial().arrive("late", 0);
    rig.time.sleep(1); // lands in the port, not yet notified
    std::string data;
    rig.kv.GetData(data);
    EXPECT_EQ(data, "123late");
}

TEST(Transaction, ReceivedTextIsCountedForTheCurrentTerminalAndBounded) {
    DriverRig rig(Frame("55A123D708"));
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
