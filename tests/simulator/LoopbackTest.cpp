// What only the host decides, seen through plain POSIX clients over loopback UDP and TCP and
// the pseudo-terminal: which terminals answer, the module port while a stream is held, the
// refusal of other addresses and a clean stop (the paced serial line shows in the link
// benchmark's share of the line rate). Whole sessions through
// the real driver are in tests/gui and tests/integration. Every wait is bounded; only this
// process's own loopback addresses are used, on ports the system picks.
#include "LoopbackAddresses.h"
#include "SimulatorHost.h"
#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"
#include "driver/ModuleStatus.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvra::sim {
namespace {

using namespace std::chrono_literals;

constexpr int kWaitMs = 2000;
const std::string kHost = test::LoopbackAddress(40);

SimulatorOptions loopbackOptions(const std::string& address = kHost) {
    SimulatorOptions options;
    options.bindAddress = address;
    options.udpPort = 0;
    options.tcpPort = 0;
    options.modulePort = 0;
    return options;
}

// Reads whatever arrives on fd within timeoutMs (one read); nothing on time-out.
std::optional<std::string> readOnce(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) != 1) {
        return std::nullopt;
    }
    char buffer[4096];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0) {
        return std::nullopt;
    }
    return std::string(buffer, static_cast<std::size_t>(got));
}

// A UDP socket on local:localPort (a free port when 0) that talks to one server.
struct UdpClient {
    UdpClient(const std::string& server, int port, const std::string& local = kHost,
              int localPort = 0)
        : to(MakeAddress(server, port)), fd(OpenUdpSocket(local, localPort, localPort)) {}
    void send(const std::string& bytes) {
        ::sendto(fd.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to);
    }
    std::optional<std::string> receive(int timeoutMs = kWaitMs) {
        return readOnce(fd.get(), timeoutMs);
    }
    std::string ask(const std::string& bytes) {
        send(bytes);
        return receive().value_or("(no reply)");
    }
    sockaddr_in to;
    UniqueFd fd;
};

class TcpClient {
public:
    TcpClient(const std::string& server, int port) {
        m_fd.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const sockaddr_in where = MakeAddress(server, port);
        connected =
            ::connect(m_fd.get(), reinterpret_cast<const sockaddr*>(&where), sizeof where) == 0;
    }
    void send(const std::string& bytes) {
        ::send(m_fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    }
    // True when the peer closed the connection within the time.
    bool closedByPeer(int timeoutMs = kWaitMs) {
        const auto chunk = readOnce(m_fd.get(), timeoutMs);
        return chunk && chunk->empty();
    }
    bool connected = false;

private:
    UniqueFd m_fd;
};

std::string request(std::string_view command, std::string_view data = {},
                    std::int16_t terminal = 1) {
    return BuildRequestFrame(command, terminal, data);
}

std::int32_t codeOf(const std::string& reply) {
    return VerifyReply(reply).value_or(VerifiedReply{-999, ""}).errCode;
}

bool waitFor(const SimulatorHost& host, const std::function<bool(const HostStats&)>& predicate) {
    return host.waitUntil(predicate, std::chrono::milliseconds(kWaitMs));
}

TEST(Loopback, OnlyTheSimulatedTerminalsAnswerAndARefusalNamesItsCommand) {
    SimulatorOptions options = loopbackOptions();
    options.terminals = {0, 207}; // the lowest and the highest (the program test asks 207)
    SimulatorHost host(options);
    host.start();
    UdpClient client(kHost, host.udpPort());
    EXPECT_EQ(client.ask(request("E", "x", 0)).substr(0, 3), std::string("\x02") + "00");
    client.send(request("E", "x", 1));
    EXPECT_FALSE(client.receive(200)) << "terminal 1 is not simulated";
    EXPECT_TRUE(waitFor(host, [](const HostStats& s) { return s.framesIgnored == 1; }));

    host.applyFaultList("refuse=D:LI");
    EXPECT_EQ(codeOf(client.ask(request("LI", "1234", 0))), KV_ERR_ACCESS_DENIED);
    EXPECT_EQ(client.ask(request("E", "x", 0)), std::string("\x02") + "00AxB906\x03");
}

TEST(Loopback, ModuleIsBusyWhileAStreamClientIsHeldAndExitDropsIt) {
    SimulatorHost host(loopbackOptions());
    host.start();
    UdpClient module(kHost, host.modulePort());
    EXPECT_EQ(module.ask("X"), "AKELVRA-SIM/" + kHost + "/-**-*-/**/1.0/");

    TcpClient stream(kHost, host.tcpPort());
    ASSERT_TRUE(stream.connected);
    ASSERT_TRUE(waitFor(host, [](const HostStats& s) { return s.tcpAccepted == 1; }));
    const std::string busy = module.ask("X");
    EXPECT_EQ(busy.rfind("AKELVRA-SIM/" + kHost + "/-CN-N-/", 0), 0u) << busy;
    EXPECT_FALSE(ModuleIsFree(busy));
    TcpClient second(kHost, host.tcpPort());
    EXPECT_TRUE(second.closedByPeer()) << "one stream connection at a time";

    module.send("E");
    EXPECT_TRUE(stream.closedByPeer());
    EXPECT_TRUE(ModuleIsFree(module.ask("X")));
    EXPECT_EQ(host.stats().tcpDroppedByExit, 1u);
}

TEST(Loopback, ModulePortLeavesOtherModulesRepliesAndJunkUnanswered) {
    SimulatorOptions options = loopbackOptions(test::LoopbackAddress(46));
    options.udp = options.tcp = false;
    SimulatorHost host(options);
    host.start();
    // A datagram from the module port of another address is that module's reply.
    UdpClient other(test::LoopbackAddress(46), host.modulePort(), test::LoopbackAddress(47),
                    host.modulePort());
    other.send("C");
    ASSERT_TRUE(waitFor(host, [](const HostStats& s) { return s.moduleDatagrams == 1; }));
    EXPECT_FALSE(other.receive(200));

    // Empty and oversized datagrams are answered with short refusals; the module carries on.
    UdpClient module(test::LoopbackAddress(46), host.modulePort());
    for (const std::string& junk : {std::string(), std::string(60000, 'S')}) {
        EXPECT_EQ(module.ask(junk), "C");
    }
    // A forced status is used up by configuration commands alone, not by the free check.
    host.applyFaultList("module-status=C:1");
    EXPECT_TRUE(ModuleIsFree(module.ask("X")));
    EXPECT_EQ(module.ask("V"), "CV");
    EXPECT_EQ(module.ask("V"), "A1.0");
}

TEST(Loopback, RefusesNonLoopbackAddresses) {
    SimulatorHost host(loopbackOptions("192.0.2.1")); // refused before any socket: nothing sent
    EXPECT_THROW(host.start(), std::invalid_argument);
    EXPECT_FALSE(host.running());
}

TEST(Loopback, StopsCleanlyWithAClientHeldAndWritesPending) {
    SimulatorOptions options = loopbackOptions();
    options.serial = true;
    options.faults = ParseFaultList("delay=5000");
    auto host = std::make_unique<SimulatorHost>(options);
    host->start();
    TcpClient stream(kHost, host->tcpPort());
    ASSERT_TRUE(stream.connected);
    stream.send(request("E", "123"));
    UdpClient client(kHost, host->udpPort());
    client.send(request("E", "123"));
    ASSERT_TRUE(waitFor(*host, [](const HostStats& s) { return s.repliesSent == 2; }));
    const auto started = std::chrono::steady_clock::now();
    host->stop(); // joins the thread and closes every endpoint
    host->stop(); // a second stop is harmless
    host.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(stream.closedByPeer(500));
    EXPECT_FALSE(client.receive(100));
}

} // namespace
} // namespace kelvra::sim
