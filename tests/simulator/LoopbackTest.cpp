// Real round trips with the simulator running on its own thread: plain POSIX clients over
// loopback UDP and TCP and over the pseudo-terminal. Every wait is bounded; only 127.0.0.0/8
// is used, on ports the system picks.
#include "SimulatorHost.h"
#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"
#include "driver/ModuleStatus.h"

#include <algorithm>
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace kelvra::sim {
namespace {

using namespace std::chrono_literals;

constexpr int kWaitMs = 2000;

SimulatorOptions loopbackOptions(const std::string& address = "127.0.0.1") {
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

// Reads a stream until it holds `frames` ETX characters or the time is up.
std::string readFrames(int fd, int frames, int timeoutMs = kWaitMs) {
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::count(text.begin(), text.end(), ETX) < frames) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        if (left <= 0) {
            break;
        }
        const auto chunk = readOnce(fd, static_cast<int>(left));
        if (!chunk || chunk->empty()) {
            break;
        }
        text += *chunk;
    }
    return text;
}

class UdpClient {
public:
    explicit UdpClient(const std::string& server, int port) : m_server(MakeAddress(server, port)) {
        m_fd.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const sockaddr_in local = MakeAddress("127.0.0.1", 0);
        ::bind(m_fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    void send(const std::string& bytes) {
        ::sendto(m_fd.get(), bytes.data(), bytes.size(), 0,
                 reinterpret_cast<const sockaddr*>(&m_server), sizeof m_server);
    }
    std::optional<std::string> receive(int timeoutMs = kWaitMs) {
        return readOnce(m_fd.get(), timeoutMs);
    }
    std::optional<std::string> ask(const std::string& bytes) {
        send(bytes);
        return receive();
    }

private:
    sockaddr_in m_server;
    UniqueFd m_fd;
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
    int fd() const { return m_fd.get(); }
    // True when the peer closed the connection within the time.
    bool closedByPeer(int timeoutMs = kWaitMs) {
        const auto chunk = readOnce(m_fd.get(), timeoutMs);
        return chunk && chunk->empty();
    }
    bool connected = false;

private:
    UniqueFd m_fd;
};

// The client end of the simulator's pseudo-terminal, in raw mode.
UniqueFd openRawLine(const std::string& path) {
    UniqueFd line(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios mode{};
    if (line && ::tcgetattr(line.get(), &mode) == 0) {
        ::cfmakeraw(&mode);
        ::tcsetattr(line.get(), TCSANOW, &mode);
    }
    return line;
}

std::string request(std::string_view command, std::string_view data = {},
                    std::int16_t terminal = 1) {
    return BuildRequestFrame(command, terminal, data);
}

const std::string kEchoReply = "\x02"
                               "11A123D708\x03";

// ---- UDP ----------------------------------------------------------------------------------

TEST(Loopback, UdpEchoLoginAndTime) {
    SimulatorHost host(loopbackOptions());
    host.start();
    ASSERT_NE(host.udpPort(), 0);
    UdpClient client("127.0.0.1", host.udpPort());

    EXPECT_EQ(client.ask(request("E", "123")), kEchoReply);
    const auto login = client.ask(request("LI", "1234"));
    ASSERT_TRUE(login);
    EXPECT_EQ(VerifyReply(*login)->errCode, KV_SUCCESS);
    EXPECT_TRUE(host.withTerminal(1, [](TerminalModel& t) { return t.loggedIn(); }));
    const auto time = client.ask(request("IG", "\"TIME\"00"));
    ASSERT_TRUE(time);
    EXPECT_EQ(VerifyReply(*time)->data.size(), 8u);

    const HostStats stats = host.stats();
    EXPECT_EQ(stats.framesReceived, 3u);
    EXPECT_EQ(stats.repliesSent, 3u);
    EXPECT_EQ(host.receivedFrames().front().frame, request("E", "123"));
}

TEST(Loopback, UdpTerminalsAnswerUnderTheirOwnAddress) {
    SimulatorOptions options = loopbackOptions();
    options.terminals = {1, 5};
    SimulatorHost host(options);
    host.start();
    UdpClient client("127.0.0.1", host.udpPort());
    const auto five = client.ask(request("E", "x", 5));
    ASSERT_TRUE(five);
    EXPECT_EQ(five->substr(0, 3), "\x02"
                                  "55");
    client.send(request("E", "x", 6));
    EXPECT_FALSE(client.receive(200)) << "terminal 6 is not simulated";
    EXPECT_TRUE(host.waitUntil([](const HostStats& s) { return s.framesIgnored == 1; }, 1s));
}

TEST(Loopback, UdpExtendedModePushesAndWaitsForConfirmation) {
    SimulatorOptions options = loopbackOptions();
    options.terminal.initialRecords = 0;
    SimulatorHost host(options);
    host.start();
    UdpClient client("127.0.0.1", host.udpPort());
    ASSERT_EQ(client.ask(request("XO")), "\x02"
                                         "11A4105\x03");
    EXPECT_FALSE(client.receive(300)) << "no record yet";

    host.addPunchRecord(1, "12345678");
    host.addPunchRecord(1, "87654321");
    const auto first = client.receive();
    ASSERT_TRUE(first);
    const auto verified = VerifyReply(*first);
    EXPECT_EQ(first->substr(3, 2), "XN");
    EXPECT_NE(verified->data.find("\tC12345678\t"), std::string::npos) << verified->data;
    EXPECT_FALSE(client.receive(300)) << "the second waits for XA";

    client.send(request("XA"));
    const auto second = client.receive();
    ASSERT_TRUE(second);
    EXPECT_NE(VerifyReply(*second)->data.find("\tC87654321\t"), std::string::npos);
    EXPECT_EQ(host.stats().pushesSent, 2u);
}

TEST(Loopback, UdpCorruptedPushIsResentAndPushedAgain) {
    SimulatorOptions options = loopbackOptions();
    options.terminal.initialRecords = 1;
    options.faults.corruptPushes = 1;
    SimulatorHost host(options);
    host.start();
    UdpClient client("127.0.0.1", host.udpPort());
    client.ask(request("XO"));
    const auto bad = client.receive();
    ASSERT_TRUE(bad);
    EXPECT_EQ(VerifyReply(*bad)->errCode, KV_ERR_CHECKSUM);

    const auto resent = client.ask(request("XR"));
    ASSERT_TRUE(resent);
    EXPECT_EQ(VerifyReply(*resent)->errCode, KV_SUCCESS);
    const auto again = client.receive();
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *resent);
}

TEST(Loopback, UdpFaultsShapeTheReplies) {
    SimulatorHost host(loopbackOptions());
    host.start();
    UdpClient client("127.0.0.1", host.udpPort());

    host.applyFaultSpec("split=50");
    auto part = client.ask(request("E", "123"));
    ASSERT_TRUE(part);
    EXPECT_EQ(*part, kEchoReply.substr(0, 6));
    EXPECT_EQ(client.receive(), kEchoReply.substr(6));

    host.applyFaultSpec("none,refuse=D:LI");
    EXPECT_EQ(VerifyReply(*client.ask(request("LI", "1234")))->errCode, KV_ERR_ACCESS_DENIED);
    EXPECT_EQ(client.ask(request("E", "123")), kEchoReply);

    host.applyFaultSpec("none,drop=1");
    client.send(request("E", "123"));
    EXPECT_FALSE(client.receive(300));
    EXPECT_EQ(client.ask(request("E", "123")), kEchoReply);

    host.applyFaultSpec("silent");
    client.send(request("E", "123"));
    EXPECT_FALSE(client.receive(300));
    EXPECT_EQ(host.stats().framesSilenced, 1u);

    host.applyFaultSpec("none,delay=150");
    const auto sent = std::chrono::steady_clock::now();
    EXPECT_EQ(client.ask(request("E", "123")), kEchoReply);
    EXPECT_GE(std::chrono::steady_clock::now() - sent, 140ms);

    host.applyFaultSpec("none,double,garbage=4");
    EXPECT_EQ(client.ask(request("E", "123")), kEchoReply);
    EXPECT_EQ(client.receive(), kEchoReply);
    EXPECT_EQ(client.receive(), "#~?%");
}

// ---- module and TCP -----------------------------------------------------------------------

TEST(Loopback, ModuleIsBusyWhileAStreamClientIsHeldAndExitDropsIt) {
    SimulatorHost host(loopbackOptions());
    host.start();
    UdpClient module("127.0.0.1", host.modulePort());
    const auto idle = module.ask("X");
    ASSERT_TRUE(idle);
    EXPECT_TRUE(ModuleIsFree(*idle)) << *idle;

    TcpClient stream("127.0.0.1", host.tcpPort());
    ASSERT_TRUE(stream.connected);
    stream.send(request("E", "123"));
    EXPECT_EQ(readFrames(stream.fd(), 1), kEchoReply);
    EXPECT_FALSE(ModuleIsFree(*module.ask("X")));

    TcpClient second("127.0.0.1", host.tcpPort());
    EXPECT_TRUE(second.closedByPeer()) << "one stream connection at a time";

    module.send("E");
    EXPECT_TRUE(stream.closedByPeer());
    EXPECT_TRUE(ModuleIsFree(*module.ask("X")));
    const HostStats stats = host.stats();
    EXPECT_EQ(stats.tcpDroppedByExit, 1u);
    EXPECT_EQ(stats.tcpRefused, 1u);
    EXPECT_EQ(stats.moduleExits, 1u);
}

TEST(Loopback, BusyModuleFaultLastsForItsExitCommands) {
    SimulatorOptions options = loopbackOptions();
    options.faults = ParseFaultSpec("busy-module=2");
    SimulatorHost host(options);
    host.start();
    UdpClient module("127.0.0.1", host.modulePort());
    EXPECT_FALSE(ModuleIsFree(*module.ask("X")));
    module.send("E");
    EXPECT_FALSE(ModuleIsFree(*module.ask("X")));
    module.send("E");
    EXPECT_TRUE(ModuleIsFree(*module.ask("X")));

    host.applyFaultSpec("silent-module");
    module.send("X");
    EXPECT_FALSE(module.receive(300));
}

TEST(Loopback, TcpRepliesAndPushesOnTheStream) {
    SimulatorOptions options = loopbackOptions();
    options.terminal.initialRecords = 2;
    SimulatorHost host(options);
    host.start();
    TcpClient stream("127.0.0.1", host.tcpPort());
    ASSERT_TRUE(stream.connected);

    // A request split over two writes with garbage in front is still one request.
    const std::string echo = request("E", "123");
    stream.send("noise" + echo.substr(0, 4));
    std::this_thread::sleep_for(20ms);
    stream.send(echo.substr(4));
    EXPECT_EQ(readFrames(stream.fd(), 1), kEchoReply);

    stream.send(request("XO"));
    const std::string replies = readFrames(stream.fd(), 2);
    ASSERT_EQ(std::count(replies.begin(), replies.end(), ETX), 2) << replies;
    const std::size_t split = replies.find(ETX) + 1;
    EXPECT_EQ(replies.substr(0, split), "\x02"
                                        "11A4105\x03");
    EXPECT_EQ(replies.substr(split + 3, 2), "XN");

    stream.send(request("XA"));
    const std::string next = readFrames(stream.fd(), 1);
    EXPECT_EQ(VerifyReply(next)->data.substr(0, 2), "2\t");
}

TEST(Loopback, TwoSimulatorsShareOneModulePortOnDistinctAddresses) {
    SimulatorOptions first = loopbackOptions("127.0.0.2");
    SimulatorHost a(first);
    a.start();
    SimulatorOptions second = loopbackOptions("127.0.0.3");
    second.modulePort = a.modulePort();
    SimulatorHost b(second);
    b.start();
    EXPECT_EQ(b.modulePort(), a.modulePort());
    UdpClient moduleA("127.0.0.2", a.modulePort());
    UdpClient moduleB("127.0.0.3", b.modulePort());
    EXPECT_NE(moduleA.ask("X")->find("/127.0.0.2/"), std::string::npos);
    EXPECT_NE(moduleB.ask("X")->find("/127.0.0.3/"), std::string::npos);
}

// A socket on 127.0.0.1 that may send to the loopback broadcast address, and reads each
// datagram with its sender.
class DiscoveryClient {
public:
    DiscoveryClient() {
        m_fd.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const int one = 1;
        ::setsockopt(m_fd.get(), SOL_SOCKET, SO_BROADCAST, &one, sizeof one);
        const sockaddr_in local = MakeAddress("127.0.0.1", 0);
        ::bind(m_fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local);
    }
    bool sendTo(const std::string& address, int port, const std::string& bytes) {
        const sockaddr_in to = MakeAddress(address, port);
        return ::sendto(m_fd.get(), bytes.data(), bytes.size(), 0,
                        reinterpret_cast<const sockaddr*>(&to),
                        sizeof to) == static_cast<ssize_t>(bytes.size());
    }
    // "reply:sender-address" per datagram, for as long as they keep coming within timeoutMs.
    std::vector<std::string> receiveAll(int timeoutMs) {
        std::vector<std::string> lines;
        pollfd p{m_fd.get(), POLLIN, 0};
        while (lines.size() < 16 && ::poll(&p, 1, timeoutMs) == 1) {
            char buffer[2048];
            sockaddr_in from{};
            socklen_t length = sizeof from;
            const ssize_t got = ::recvfrom(m_fd.get(), buffer, sizeof buffer, 0,
                                           reinterpret_cast<sockaddr*>(&from), &length);
            if (got < 0) {
                break;
            }
            const std::string sender = AddressText(from);
            lines.push_back(std::string(buffer, static_cast<std::size_t>(got)) + ":" +
                            sender.substr(0, sender.rfind(':')));
        }
        std::sort(lines.begin(), lines.end());
        return lines;
    }

private:
    UniqueFd m_fd;
};

SimulatorOptions discoverableModule(const std::string& address, int modulePort) {
    SimulatorOptions options = loopbackOptions(address);
    options.udp = options.tcp = false;
    options.modulePort = modulePort;
    options.moduleDiscoveryAddress = "127.255.255.255";
    return options;
}

TEST(Loopback, EachModuleAnswersADiscoveryFromItsOwnAddress) {
    SimulatorHost a(discoverableModule("127.0.0.41", 0));
    a.start();
    SimulatorHost b(discoverableModule("127.0.0.42", a.modulePort()));
    b.start();
    // Not listening on the shared address: it hears only what is sent to 127.0.0.43.
    SimulatorOptions quietOptions = loopbackOptions("127.0.0.43");
    quietOptions.udp = quietOptions.tcp = false;
    quietOptions.modulePort = a.modulePort();
    SimulatorHost unlisted(quietOptions);
    unlisted.start();

    DiscoveryClient client;
    ASSERT_TRUE(client.sendTo("127.255.255.255", a.modulePort(), "X"));
    const auto lines = client.receiveAll(300);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "AKELVRA-SIM/127.0.0.41/-**-*-/**/1.0/:127.0.0.41");
    EXPECT_EQ(lines[1], "AKELVRA-SIM/127.0.0.42/-**-*-/**/1.0/:127.0.0.42");
    EXPECT_EQ(unlisted.stats().moduleDatagrams, 0u);

    // An assignment through the shared address is answered by the module it names alone.
    ASSERT_TRUE(client.sendTo("127.255.255.255", a.modulePort(), "A127.0.0.42/1234/127.0.0.52"));
    EXPECT_EQ(client.receiveAll(300), std::vector<std::string>{"A127.0.0.52:127.0.0.42"});
    EXPECT_EQ(a.withModule([](ModuleModel& m) { return m.settings().at("IP"); }), "127.0.0.41");

    const auto endpoints = a.endpointLines();
    EXPECT_EQ(endpoints.back(),
              "module-discovery 127.255.255.255:" + std::to_string(a.modulePort()));
}

TEST(Loopback, ModuleStatusFaultAnswersConfigurationCommandsForItsCount) {
    SimulatorOptions options = loopbackOptions("127.0.0.44");
    options.faults = ParseFaultSpec("module-status=C:2");
    SimulatorHost host(options);
    host.start();
    UdpClient module("127.0.0.44", host.modulePort());
    EXPECT_EQ(module.ask("GDN"), "CGDN");
    EXPECT_TRUE(ModuleIsFree(*module.ask("X"))) << "the free check does not use up the count";
    EXPECT_EQ(module.ask("V"), "CV");
    EXPECT_EQ(module.ask("GDN"), "AKELVRA-SIM");
    EXPECT_EQ(host.faults().moduleStatusReplies, 0);
}

TEST(Loopback, ModuleSurvivesEmptyHugeAndBinaryDatagrams) {
    SimulatorHost host(loopbackOptions("127.0.0.45"));
    host.start();
    UdpClient module("127.0.0.45", host.modulePort());
    std::string binary;
    for (int byte = 255; byte >= 0; --byte) {
        binary += static_cast<char>(byte);
    }
    const std::vector<std::string> datagrams = {"", binary, std::string(60000, 'S'),
                                                "SDN" + std::string(60000, 'x'), "A" + binary};
    for (const std::string& datagram : datagrams) {
        module.send(datagram);
    }
    ASSERT_TRUE(host.waitUntil(
        [&](const HostStats& stats) { return stats.moduleDatagrams == datagrams.size(); },
        std::chrono::milliseconds(kWaitMs)));
    // The answers so far are short refusals; then the module still serves.
    for (int i = 0; i < 16 && module.receive(100); ++i) {
    }
    EXPECT_EQ(module.ask("V"), "A1.0");
}

TEST(Loopback, AnotherModulesReplyIsNotAnswered) {
    SimulatorHost a(discoverableModule("127.0.0.46", 0));
    a.start();
    // A datagram from the module port of another address is that module's reply.
    int bound = 0;
    UniqueFd other = OpenUdpSocket("127.0.0.47", a.modulePort(), bound);
    const sockaddr_in to = MakeAddress("127.0.0.46", a.modulePort());
    ::sendto(other.get(), "C", 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    ASSERT_TRUE(a.waitUntil([](const HostStats& stats) { return stats.moduleDatagrams == 1; },
                            std::chrono::milliseconds(kWaitMs)));
    EXPECT_FALSE(readOnce(other.get(), 200));
}

TEST(Loopback, RefusesNonLoopbackAddressesUnlessAllowed) {
    SimulatorOptions options = loopbackOptions("192.0.2.1");
    SimulatorHost host(options);
    EXPECT_THROW(host.start(), std::invalid_argument);
    EXPECT_FALSE(host.running());
}

TEST(Loopback, EndpointLinesNameWhatIsOpen) {
    SimulatorOptions options = loopbackOptions();
    options.tcp = false;
    SimulatorHost host(options);
    host.start();
    const auto lines = host.endpointLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "udp 127.0.0.1:" + std::to_string(host.udpPort()));
    EXPECT_EQ(lines[1], "module 127.0.0.1:" + std::to_string(host.modulePort()));
    host.stop();
    host.stop(); // a second stop is harmless
}

// ---- pseudo-terminal ----------------------------------------------------------------------

TEST(Loopback, SerialRoundTripThroughThePseudoTerminal) {
    SimulatorOptions options = loopbackOptions();
    options.udp = options.tcp = options.module = false;
    options.serial = true;
    SimulatorHost host(options);
    host.start();
    ASSERT_EQ(host.serialPath().rfind("/dev/pts/", 0), 0u) << host.serialPath();

    const UniqueFd line = openRawLine(host.serialPath());
    ASSERT_TRUE(line);

    const std::string echo = request("E", "123");
    ASSERT_EQ(::write(line.get(), echo.data(), echo.size()), static_cast<ssize_t>(echo.size()));
    EXPECT_EQ(readFrames(line.get(), 1), kEchoReply);

    const std::string count = request("RN");
    ::write(line.get(), count.data(), count.size());
    const auto reply = VerifyReply(readFrames(line.get(), 1));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->data, "3");
    EXPECT_EQ(host.receivedFrames().back().transport, Transport::Serial);
}

TEST(Loopback, PacedSerialLineHandsOverEachWriteAfterItsLineTime) {
    SimulatorOptions options = loopbackOptions();
    options.udp = options.tcp = options.module = false;
    options.serial = true;
    options.serialBaud = 9600; // 960 bytes a second: about 1.04 ms a byte
    SimulatorHost host(options);
    host.start();
    const UniqueFd line = openRawLine(host.serialPath());
    ASSERT_TRUE(line);

    // Four echo requests in one write: their replies are sent one after the other.
    const std::string payload(40, 'p');
    std::string requests;
    for (int i = 0; i < 4; ++i) {
        requests += request("E", payload);
    }
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(::write(line.get(), requests.data(), requests.size()),
              static_cast<ssize_t>(requests.size()));

    // Each reply may arrive no earlier than the line time of itself and every reply before
    // it, counted from the request.
    std::string text;
    std::size_t replies = 0, scanned = 0;
    const auto deadline = started + 3s;
    while (replies < 4 && std::chrono::steady_clock::now() < deadline) {
        const auto chunk = readOnce(line.get(), 500);
        if (!chunk) {
            continue;
        }
        const auto arrived = std::chrono::steady_clock::now();
        text += *chunk;
        for (std::size_t end; (end = text.find(ETX, scanned)) != std::string::npos;
             scanned = end + 1) {
            ++replies;
            const auto lineTime = std::chrono::microseconds((end + 1) * 10 * 1'000'000 / 9600);
            EXPECT_GE(arrived - started, lineTime) << "reply " << replies << " came early";
        }
    }
    ASSERT_EQ(replies, 4u) << text;
    const auto total = std::chrono::steady_clock::now() - started;
    const auto fullLineTime = std::chrono::microseconds(text.size() * 10 * 1'000'000 / 9600);
    EXPECT_LT(total, fullLineTime + 500ms) << "the line is slower than its rate";

    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t end = text.find(ETX, start);
        const auto reply = VerifyReply(text.substr(start, end + 1 - start));
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->data, payload);
        start = end + 1;
    }
}

TEST(Loopback, StopsCleanlyWithAClientHeldAndWritesPending) {
    SimulatorOptions options = loopbackOptions();
    options.serial = true;
    options.faults = ParseFaultSpec("delay=5000");
    auto host = std::make_unique<SimulatorHost>(options);
    host->start();
    TcpClient stream("127.0.0.1", host->tcpPort());
    ASSERT_TRUE(stream.connected);
    stream.send(request("E", "123"));
    UdpClient client("127.0.0.1", host->udpPort());
    client.send(request("E", "123"));
    ASSERT_TRUE(host->waitUntil([](const HostStats& s) { return s.repliesSent == 2; }, 2s));
    const auto started = std::chrono::steady_clock::now();
    host.reset(); // joins the thread and closes every endpoint
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    EXPECT_TRUE(stream.closedByPeer(500));
    EXPECT_FALSE(client.receive(100));
}

// ---- control from another thread ----------------------------------------------------------

TEST(Loopback, ControlCallsFromManyThreadsWhileServing) {
    SimulatorOptions options = loopbackOptions();
    options.terminal.initialRecords = 0;
    SimulatorHost host(options);
    host.start();
    UdpClient client("127.0.0.1", host.udpPort());
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&host] {
            for (int i = 0; i < 50; ++i) {
                host.addPunchRecord(1);
                host.applyFaultSpec("delay=0");
                (void)host.stats();
            }
        });
    }
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(client.ask(request("E", "123")), kEchoReply);
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    const auto count = client.ask(request("RN"));
    ASSERT_TRUE(count);
    EXPECT_EQ(VerifyReply(*count)->data, "200");
}

} // namespace
} // namespace kelvra::sim
