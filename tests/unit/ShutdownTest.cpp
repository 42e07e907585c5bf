// Shutdown in virtual time: whatever the driver waits for when its owner goes away, the wait
// ends within one pass, and nothing is sent from then on.
#include "DriverProbe.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace kelvra {
namespace {

using test::DriverRig;
using Outcome = test::FakeSocket::ConnectOutcome;

struct ShutdownRow {
    const char* wait;
    std::int64_t shutdownAtMs;
    std::function<void(DriverRig&)> run;
    std::int32_t errCode; // what the cut wait leaves
};

void ConnectTcp(DriverRig& rig) {
    // A module that never answers and a stream that never connects: about 20 s of waiting.
    rig.socket().connectScript = {Outcome::Silent, Outcome::Silent, Outcome::Silent};
    rig.kv.SetIP("127.0.0.2");
    rig.kv.SetUDP_Port(1001);
    rig.kv.SetCommunicationType(3);
    rig.kv.Connect();
}

const ShutdownRow kRows[] = {
    {"reply of a command", 200,
     [](DriverRig& rig) {
         rig.connectUdp();
         rig.kv.GetTime(1);
     },
     KV_ERR_TIMEOUT},
    {"module status", 300, ConnectTcp, KV_ERR_TCP_CONNECTION_FAILED},
    {"pause after a busy module's exit", 600,
     [](DriverRig& rig) {
         rig.moduleSocket().peer = [&rig](const std::string&) {
             rig.moduleSocket().arrive("V1.2/0001/0AB0C/12/9600", 5);
         };
         ConnectTcp(rig);
     },
     KV_ERR_TCP_CONNECTION_FAILED},
    {"stream connect", 2500, ConnectTcp, KV_ERR_TCP_CONNECTION_FAILED},
    {"pause between connects", 7700, ConnectTcp, KV_ERR_TCP_CONNECTION_FAILED},
    {"millisecond wait", 100, [](DriverRig& rig) { ucKelvraProbe::WaitMilliseconds(rig.kv, 5000); },
     KV_SUCCESS},
};

std::size_t Sent(DriverRig& rig) {
    return rig.socket().sent.size() + rig.moduleSocket().sent.size() + rig.serial().written.size() +
           static_cast<std::size_t>(rig.socket().connectCalls);
}

TEST(Shutdown, EndsEveryWaitWithinOnePassAndLaterCommandsSendNothing) {
    for (const ShutdownRow& row : kRows) {
        SCOPED_TRACE(row.wait);
        DriverRig rig;
        std::optional<std::size_t> sentAtShutdown;
        rig.time.onPump = [&] {
            if (!sentAtShutdown && rig.time.elapsedMs() >= row.shutdownAtMs) {
                sentAtShutdown = Sent(rig);
                rig.kv.Shutdown();
            }
        };
        row.run(rig);
        ASSERT_TRUE(sentAtShutdown) << "the wait ended before the shutdown";
        EXPECT_LE(rig.time.elapsedMs(), row.shutdownAtMs + 50);
        EXPECT_EQ(rig.kv.ErrCode(), row.errCode);
        EXPECT_EQ(Sent(rig), *sentAtShutdown) << "sent after the shutdown";

        // Later commands, the confirmation that awaits nothing included, fail at once.
        const std::int64_t ended = rig.time.elapsedMs();
        rig.kv.GetTime(1);
        EXPECT_EQ(rig.kv.ErrCode(), KV_ERR_CONNECTION_NOT_ESTABLISHED);
        rig.kv.X_ConfirmRecord(1);
        rig.kv.Connect();
        EXPECT_EQ(Sent(rig), *sentAtShutdown);
        EXPECT_EQ(rig.time.elapsedMs(), ended);
    }
}

} // namespace
} // namespace kelvra
