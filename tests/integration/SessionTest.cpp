// A whole operator session on each link kind, and the faults a real line brings.
#include "LoopbackAddresses.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"

#include <gtest/gtest.h>
#include <string>

namespace kelvra::test {
namespace {

class Session : public ::testing::TestWithParam<Link> {};

TEST_P(Session, EchoLoginClockItemAndRecordDownload) {
    // Each link on an address of its own, so the cases may run side by side.
    SimulatedTerminal terminal(LoopbackAddress(12 + static_cast<int>(GetParam())));
    terminal.connect(GetParam());
    ucKelvra& kv = *terminal.kv;
    ASSERT_TRUE(WaitUntil([&] { return kv.Connected(); }));

    kv.EchoTest(1, "123");
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS) << kv.ErrMessage();
    EXPECT_EQ(terminal.data(), "123");

    // Maintenance needs the operator's login.
    kv.ResetOldRecords(1);
    EXPECT_EQ(kv.ErrCode(), KV_ERR_ACCESS_DENIED);
    kv.Login(1, "0000");
    EXPECT_EQ(kv.ErrCode(), KV_ERR_ACCESS_DENIED);
    kv.Login(1, "1234");
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);

    kv.SetTime(1, DateTime::fromParts(2026, 12, 6, 13, 5, 9));
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    kv.GetTime(1);
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    const std::string time = terminal.data();
    EXPECT_EQ(time.substr(0, 5), "13:05") << time;

    kv.GetDateFormat(1);
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(kv.DateFormat(), 1);
    kv.GetItemInfo(1, 11);
    std::string name, type, definition, help;
    std::int16_t id = 0, size = 0, flags = 0;
    std::vector<std::string> captions(11);
    kv.GetData_ItemInfo(name, id, type, size, flags, definition, help, captions);
    EXPECT_EQ(name, "EMPLOYEES");
    EXPECT_EQ(type, "TAB");

    // Download the stored records inside a read transaction, then commit it.
    kv.RecordCount(1);
    EXPECT_EQ(terminal.data(), "3");
    for (int record = 0; record < 3; ++record) {
        kv.GetRecord(1);
        EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
        EXPECT_NE(terminal.data().find("\tC"), std::string::npos);
        kv.ConfirmRecord(1);
        EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    }
    kv.GetRecord(1);
    EXPECT_EQ(kv.ErrCode(), KV_ERR_END);
    kv.CommitReadTransation(1);
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    terminal.data();
    kv.RecordCount(1);
    EXPECT_EQ(terminal.data(), "0");
}

INSTANTIATE_TEST_SUITE_P(EveryLink, Session, ::testing::Values(Link::Udp, Link::Tcp, Link::Serial),
                         [](const auto& info) { return std::string(LinkName(info.param)); });

TEST(TcpConnect, ABusyModuleIsToldToDropItsStaleConnection) {
    SimulatedTerminal terminal(LoopbackAddress(3));
    terminal.host().applyFaultSpec("busy-module=2");
    terminal.connect(Link::Tcp);
    ucKelvra& kv = *terminal.kv;
    EXPECT_TRUE(kv.Connected());
    EXPECT_EQ(kv.ErrCode(), KV_SUCCESS);
    EXPECT_EQ(terminal.host().stats().moduleExits, 2u);
    kv.EchoTest(1, "after");
    EXPECT_EQ(terminal.data(), "after");
}

TEST(TcpConnect, AFreeModuleIsNotToldToExit) {
    SimulatedTerminal terminal(LoopbackAddress(4));
    terminal.connect(Link::Tcp);
    EXPECT_TRUE(terminal.kv->Connected());
    EXPECT_EQ(terminal.host().stats().moduleExits, 0u);
    EXPECT_EQ(terminal.host().stats().moduleStatusReplies, 3u);
}

TEST(LineFaults, EachCommandEndsWithItsCode) {
    struct Row {
        const char* faults;
        std::int32_t outcome;
        std::string payload;
    };
    const Row rows[] = {
        {"split=30", KV_SUCCESS, "abc"},         {"delay=200", KV_SUCCESS, "abc"},
        {"drop=1", KV_ERR_TIMEOUT, ""},          {"silent", KV_ERR_TIMEOUT, ""},
        {"corrupt=1", KV_ERR_CHECKSUM, ""},      {"refuse=B", KV_ERR_BUSY, ""},
        {"double", KV_ERR_LENGTH_NOT_MATCH, ""},
    };
    for (Link link : {Link::Udp, Link::Tcp, Link::Serial}) {
        SimulatedTerminal terminal(LoopbackAddress(5));
        terminal.connect(link, 400);
        ASSERT_TRUE(WaitUntil([&] { return terminal.kv->Connected(); }));
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(LinkName(link)) + " " + row.faults);
            terminal.host().applyFaultSpec(std::string("none,") + row.faults);
            terminal.kv->EchoTest(1, "abc");
            EXPECT_EQ(terminal.kv->ErrCode(), row.outcome) << terminal.kv->ErrMessage();
            const std::string payload = terminal.data();
            // A frame that failed its checks is handed over whole.
            if (row.outcome != KV_ERR_CHECKSUM && row.outcome != KV_ERR_LENGTH_NOT_MATCH) {
                EXPECT_EQ(payload, row.payload);
            }
            // Whatever the fault left on the line is gone by the next clean command.
            terminal.host().applyFaultSpec("none");
            PumpFor(row.outcome == KV_ERR_TIMEOUT ? 100 : 20);
            terminal.kv->EchoTest(1, "ok");
            EXPECT_EQ(terminal.kv->ErrCode(), KV_SUCCESS);
            EXPECT_EQ(terminal.data(), "ok");
        }
    }
}

TEST(LineFaults, GarbageBehindAReplyFailsItsLengthAndIsGoneByTheNextCommand) {
    SimulatedTerminal terminal(LoopbackAddress(18));
    terminal.connect(Link::Udp, 400);
    terminal.host().applyFaultSpec("garbage=16");
    // The garbage arrives within the same 50 ms pass as the reply, behind its ETX.
    terminal.kv->EchoTest(1, "abc");
    EXPECT_EQ(terminal.kv->ErrCode(), KV_ERR_LENGTH_NOT_MATCH);
    EXPECT_EQ(terminal.data().substr(0, 7), "\x02"
                                            "11Aabc");
    terminal.host().applyFaultSpec("none");
    terminal.kv->EchoTest(1, "def");
    EXPECT_EQ(terminal.kv->ErrCode(), KV_SUCCESS);
    EXPECT_EQ(terminal.data(), "def");
}

TEST(LineFaults, APeerThatGoesAwayMidCommandEndsItByTimeOut) {
    SimulatedTerminal terminal(LoopbackAddress(7));
    terminal.connect(Link::Tcp, 300);
    ASSERT_TRUE(terminal.kv->Connected());
    terminal.host().stop();
    terminal.kv->EchoTest(1, "abc");
    EXPECT_NE(terminal.kv->ErrCode(), KV_SUCCESS);
    // The link is marked closed once the error is noticed; commands then end at once.
    EXPECT_TRUE(WaitUntil([&] { return !terminal.kv->Connected(); }, 2000));
}

TEST(LineFaults, ASerialPortThatCannotBeOpenedEndsAsASendFailure) {
    SimulatedTerminal terminal(LoopbackAddress(8));
    terminal.platform().userSettings.write("usKelvra", "SerialPorts", "COM4",
                                           "/nonexistent/kelvra-port");
    terminal.kv->SetComport(4);
    terminal.kv->SetCommunicationType(6);
    terminal.kv->Connect();
    EXPECT_FALSE(terminal.kv->Connected());
    terminal.kv->EchoTest(1, "abc");
    EXPECT_EQ(terminal.kv->ErrCode(), KV_ERR_WINSOCK_ERROR);
}

} // namespace
} // namespace kelvra::test
