// What a real line brings to the driver on the Qt platform: the stream connect through the
// interface module, and the faults of each link kind. A plain session on each link is in
// tests/gui (the console against the simulator); the commands' bytes are in tests/unit.
#include "LoopbackAddresses.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"

#include <gtest/gtest.h>
#include <string>

namespace kelvra::test {
namespace {

TEST(TcpConnect, OnlyABusyModuleIsToldToDropItsStaleConnection) {
    for (const auto& [faults, exits] : {std::pair{"busy-module=2", 2u}, std::pair{"none", 0u}}) {
        SCOPED_TRACE(faults);
        SimulatedTerminal terminal(LoopbackAddress(3));
        terminal.host().applyFaultList(faults);
        terminal.connect(Link::Tcp);
        EXPECT_TRUE(terminal.kv->Connected());
        EXPECT_EQ(terminal.kv->ErrCode(), KV_SUCCESS);
        EXPECT_EQ(terminal.host().stats().moduleExits, exits);
        terminal.kv->EchoTest(1, "after");
        EXPECT_EQ(terminal.data(), "after");
    }
}

TEST(LineFaults, EachCommandEndsWithItsCodeAndLeavesTheLineClean) {
    struct Row {
        const char* faults;
        std::int32_t outcome;
        std::string payload;
    };
    const Row rows[] = {
        {"split=30", KV_SUCCESS, "abc"},
        {"delay=200", KV_SUCCESS, "abc"},
        {"drop=1", KV_ERR_TIMEOUT, ""},
        {"silent", KV_ERR_TIMEOUT, ""},
        {"corrupt=1", KV_ERR_CHECKSUM, ""},
        {"refuse=B", KV_ERR_BUSY, ""},
        {"double", KV_ERR_LENGTH_NOT_MATCH, ""},
        // Garbage in the same pass as the reply, behind its ETX.
        {"garbage=16", KV_ERR_LENGTH_NOT_MATCH, std::string("\x02") + "11Aabc"},
    };
    for (Link link : {Link::Udp, Link::Tcp, Link::Serial}) {
        SimulatedTerminal terminal(LoopbackAddress(5));
        terminal.connect(link, 400);
        ASSERT_TRUE(WaitUntil([&] { return terminal.kv->Connected(); }));
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(LinkName(link)) + " " + row.faults);
            terminal.host().applyFaultList(std::string("none,") + row.faults);
            terminal.kv->EchoTest(1, "abc");
            EXPECT_EQ(terminal.kv->ErrCode(), row.outcome) << terminal.kv->ErrMessage();
            // A frame that failed its checks is handed over whole: its start is compared.
            const bool whole =
                row.outcome == KV_ERR_CHECKSUM || row.outcome == KV_ERR_LENGTH_NOT_MATCH;
            const std::string payload = terminal.data();
            EXPECT_EQ(whole ? payload.substr(0, row.payload.size()) : payload, row.payload);
            // Whatever the fault left on the line is gone by the next clean command.
            terminal.host().applyFaultList("none");
            PumpFor(row.outcome == KV_ERR_TIMEOUT ? 100 : 20);
            terminal.kv->EchoTest(1, "ok");
            EXPECT_EQ(terminal.kv->ErrCode(), KV_SUCCESS);
            EXPECT_EQ(terminal.data(), "ok");
        }
    }
}

} // namespace
} // namespace kelvra::test
