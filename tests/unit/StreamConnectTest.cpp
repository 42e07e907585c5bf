// Connecting the stream link through the interface module, in virtual time: the module's
// status query and exit command on its datagram port, then up to three connect attempts.
#include "DriverProbe.h"
#include "driver/ModuleStatus.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::DriverRig;
using test::FakeSocket;

// Status replies whose third and fourth fields carry the free marker.
const std::string kFreeModule = "V1.2/0001/0**0*/**/9600";
const std::string kBusyModule = "V1.2/0001/0AB0C/12/9600";

TEST(ModuleStatus, FreeMarkerIsTakenFromTheThirdAndFourthFields) {
    EXPECT_EQ(ModuleFreeMarker(kFreeModule), "*****");
    EXPECT_TRUE(ModuleIsFree(kFreeModule));
    EXPECT_EQ(ModuleFreeMarker(kBusyModule), "ABC12");
    EXPECT_FALSE(ModuleIsFree(kBusyModule));
    // A short third field gives what it has; the fourth is taken whole.
    EXPECT_TRUE(ModuleIsFree("a/b/x**/***"));
    EXPECT_FALSE(ModuleIsFree("a/b/0**0*"));     // three fields
    EXPECT_TRUE(ModuleIsFree("a/b/0**0*/**/"));  // further fields do not count
    EXPECT_FALSE(ModuleIsFree("a/b/0**0*/***")); // the fourth field is taken whole
    EXPECT_FALSE(ModuleIsFree(""));
}

struct StreamRig : DriverRig {
    std::vector<std::int64_t> exitTimes;

    // A module on the datagram port that answers each status query with `status`.
    void moduleAnswers(const std::string& status) {
        moduleSocket().peer = [this, status](const std::string& datagram) {
            if (datagram == "X") {
                moduleSocket().arrive(status, 5);
            } else if (datagram == "E") {
                exitTimes.push_back(time.elapsedMs());
            }
        };
    }
    void connectTcp(std::int32_t type = 3) {
        kv.SetIP("127.0.0.2");
        kv.SetUDP_Port(1001);
        kv.SetCommunicationType(type);
        kv.Connect();
    }
};

TEST(StreamConnect, AFreeModuleIsAskedOnceAndTheStreamConnects) {
    StreamRig rig;
    rig.moduleAnswers(kFreeModule);
    rig.connectTcp();
    EXPECT_EQ(rig.moduleSocket().sent, (std::vector<std::string>{"X", "X", "X"}));
    EXPECT_EQ(rig.moduleSocket().remoteHost, "127.0.0.2");
    EXPECT_EQ(rig.moduleSocket().remotePort, 65535);
    EXPECT_EQ(rig.socket().protocol(), SocketProtocol::Stream);
    EXPECT_EQ(rig.socket().connectCalls, 1);
    EXPECT_EQ(rig.kv.ModuleReply(), kFreeModule + kFreeModule + kFreeModule);
    // Three answers came within the first 100 ms wait; the connect took one more wait.
    EXPECT_LT(rig.time.elapsedMs(), 400);

    // Datagrams that nothing asks for keep only their newest part.
    for (int i = 0; i < 20; ++i) {
        rig.moduleSocket().arrive(std::string(4096, 'x'), 0);
    }
    rig.time.sleep(1);
    rig.time.processEvents();
    EXPECT_EQ(rig.kv.ModuleReply().size(), ucKelvra::kReceiveBufferLimit);
}

TEST(StreamConnect, TheModuleIsAskedOnThePortItIsGivenAndItsTrafficNamesIt) {
    StreamRig rig;
    rig.kv.SetModulePort(40001);
    std::string link;
    const Subscription tracing = rig.kv.LinkTraffic.subscribe(
        [&](const LinkChunk& chunk) { link = link.empty() ? chunk.link : link; });
    rig.connectTcp();
    EXPECT_EQ(rig.moduleSocket().remotePort, 40001);
    EXPECT_EQ(link, "module 127.0.0.2:40001");
}

TEST(StreamConnect, ABusyModuleIsToldToExitThreeTimesOneSecondApart) {
    StreamRig rig;
    rig.moduleAnswers(kBusyModule);
    rig.connectTcp();
    ASSERT_EQ(rig.exitTimes.size(), 3u);
    for (std::size_t i = 1; i < rig.exitTimes.size(); ++i) {
        // The exit's 1 s pause, then three queries and the first 110 ms wait.
        EXPECT_GE(rig.exitTimes[i] - rig.exitTimes[i - 1], 1000);
        EXPECT_LE(rig.exitTimes[i] - rig.exitTimes[i - 1], 1200);
    }
    EXPECT_EQ(rig.socket().connectCalls, 1);
    EXPECT_TRUE(rig.kv.Connected());
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
}

TEST(StreamConnect, ASilentModuleIsReportedButTheStreamIsTriedAllTheSame) {
    struct Row {
        std::int32_t type;
        std::int32_t outcome;
    };
    for (const Row& row : {Row{3, KV_ERR_VEXA5_ECHO_NOT_REPLY}, Row{4, KV_ERR_VEXA5_ECHO_NOT_REPLY},
                           Row{7, KV_SUCCESS}}) {
        SCOPED_TRACE(row.type);
        StreamRig rig;
        rig.connectTcp(row.type);
        // One round of three queries and twenty 100 ms waits (110 ms each in tick reads).
        EXPECT_EQ(rig.moduleSocket().sent.size(), 3u);
        EXPECT_GE(rig.time.elapsedMs(), 2000);
        EXPECT_TRUE(rig.kv.Connected());
        EXPECT_EQ(rig.kv.ErrCode(), row.outcome);
    }
}

TEST(StreamConnect, ACommandAfterASilentModuleIsRefused) {
    StreamRig rig;
    rig.kv.SetIP("127.0.0.2");
    rig.kv.SetUDP_Port(1001);
    rig.kv.SetCommunicationType(3);
    rig.socket().setProtocol(SocketProtocol::Stream);
    // The command runs the connect sequence itself; the silent module's -116 stays.
    rig.kv.EchoTest(1, "");
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_CONNECTION_NOT_ESTABLISHED);
    EXPECT_EQ(rig.socket().connectCalls, 1);
    EXPECT_TRUE(rig.socket().sent.empty());
}

TEST(StreamConnect, ThreeFailedAttemptsEndWithTheirCode) {
    using Outcome = FakeSocket::ConnectOutcome;
    struct Row {
        Outcome outcome;
        bool errorsNotified;
        bool moduleAnswers;
        std::int32_t code;
        bool timedOut;
    };
    const Row rows[] = {
        // The error state seen by the loop.
        {Outcome::Refuse, false, true, KV_ERR_WINSOCK_ERROR, false},
        // The error notification closes the socket first, so the loop waits out the time-out.
        {Outcome::Refuse, true, true, KV_ERR_TCP_CONNECTION_FAILED, true},
        {Outcome::Silent, true, true, KV_ERR_TCP_CONNECTION_FAILED, true},
        {Outcome::Silent, true, false, KV_ERR_VEXA5_ECHO_NOT_REPLY, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(&row - rows);
        StreamRig rig;
        if (row.moduleAnswers) {
            rig.moduleAnswers(kFreeModule);
        }
        rig.socket().connectScript.assign(10, row.outcome);
        rig.socket().notifyErrors = row.errorsNotified;
        rig.connectTcp();
        EXPECT_EQ(rig.kv.ErrCode(), row.code);
        EXPECT_FALSE(rig.kv.Connected());
        EXPECT_EQ(rig.socket().connectCalls, 4); // the first and three renewed attempts
        if (row.timedOut) {
            EXPECT_EQ(rig.kv.WinsockState(), SocketClosed);
            // Three 5 s time-outs with a second of pauses each, after the module check.
            const std::int64_t moduleCheck = row.moduleAnswers ? 110 : 2200;
            EXPECT_GE(rig.time.elapsedMs(), moduleCheck + 3 * 6000);
            EXPECT_LE(rig.time.elapsedMs(), moduleCheck + 3 * 6000 + 500);
        } else {
            EXPECT_LT(rig.time.elapsedMs(), 5000);
        }
    }
}

TEST(StreamConnect, AnEmptyAddressDoesNothing) {
    StreamRig rig;
    rig.kv.SetCommunicationType(3);
    rig.kv.Connect();
    EXPECT_TRUE(rig.moduleSocket().sent.empty());
    EXPECT_EQ(rig.socket().connectCalls, 0);
    EXPECT_EQ(rig.kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(rig.time.elapsedMs(), 0);
}

TEST(StreamConnect, ABrokenConnectionMarksTheLinkClosed) {
    StreamRig rig;
    rig.moduleAnswers(kFreeModule);
    rig.connectTcp();
    ASSERT_TRUE(rig.kv.Connected());
    rig.kv.SetErrCode(KV_ERR_BUSY);
    rig.socket().breakConnection();
    rig.time.processEvents();
    EXPECT_FALSE(rig.kv.Connected());
    EXPECT_EQ(rig.kv.WinsockState(), SocketClosed);
    EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_BUSY);
}

} // namespace
} // namespace kelvra
