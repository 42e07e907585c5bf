// QtSocket over real loopback sockets: what the driver's round trips (tests/integration) do
// not show. Only 127.0.0.0/8 is used; every wait is bounded.
#include "platform/qt/QtSocket.h"

#include "ErrorNumber.h"
#include "Waiting.h"
#include "platform/PlatformError.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtErrors.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <algorithm>
#include <atomic>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::ErrorNumberOf;
using test::PumpFor;
using test::WaitUntil;

// Points the socket at 127.0.0.1:port.
void Aim(QtSocket& socket, int port) {
    socket.setRemoteHost("127.0.0.1");
    socket.setRemotePort(port);
}

// A loopback datagram peer that answers each datagram to its sender with `reply(request)`.
struct EchoPeer {
    QUdpSocket socket;
    explicit EchoPeer(std::function<QByteArray(const QByteArray&)> reply) {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, &socket, [this, reply] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram request = socket.receiveDatagram();
                socket.writeDatagram(request.makeReply(reply(request.data())));
            }
        });
    }
    int port() const { return socket.localPort(); }
};

// Everything a socket notified, in order.
struct Recorder {
    std::vector<std::string> events;
    std::string data;
    int errorNumber = 0;

    void attach(Socket& socket) {
        socket.onDataArrival = [this, &socket] {
            events.push_back("data");
            data += socket.readAll();
        };
        socket.onConnected = [this] { events.push_back("connected"); };
        socket.onError = [this](int number, const std::string&) {
            events.push_back("error");
            errorNumber = number;
        };
    }
    int count(const std::string& event) const {
        return static_cast<int>(std::count(events.begin(), events.end(), event));
    }
};

TEST(QtSocketDatagram, EachDatagramIsNotifiedOnItsOwnAndReadOldestFirstWithItsSender) {
    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    QtSocket receiver("127.0.0.1");
    Aim(receiver, sink.localPort());
    EXPECT_EQ(receiver.state(), SocketClosed) << "setting the remote end binds nothing";
    receiver.send("bind");
    EXPECT_EQ(receiver.state(), SocketOpen);
    int notifications = 0;
    receiver.onDataArrival = [&] { ++notifications; }; // reads later
    // Senders on two loopback addresses tell the senders apart.
    QtSocket sender("127.0.0.1");
    QtSocket otherSender("127.0.0.2");
    Aim(sender, receiver.localPort());
    Aim(otherSender, receiver.localPort());
    sender.send("one");
    sender.send(std::string("t\0o", 3));
    otherSender.send("three");
    ASSERT_TRUE(WaitUntil([&] { return notifications == 3; }));
    PumpFor(50);
    EXPECT_EQ(notifications, 3);
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"one", "127.0.0.1"}, {std::string("t\0o", 3), "127.0.0.1"}, {"three", "127.0.0.2"}};
    for (const auto& [data, from] : expected) {
        EXPECT_EQ(receiver.readAll(), data);
        EXPECT_EQ(receiver.remotePeerAddress(), from);
    }
    EXPECT_EQ(receiver.readAll(), "") << "nothing left";
    receiver.close();
    EXPECT_EQ(receiver.state(), SocketClosed);
    EXPECT_EQ(receiver.localPort(), 0);
}

TEST(QtSocketDatagram, OnePumpDeliversAPeerReplyAndNamesAnIPv4SenderPlainly) {
    // The driver sends, sleeps one pass and pumps once: the peer's reply, set off by that same
    // pump, must be handed over by it, or every command costs a pass more. Bound to every
    // local address (dual-stack where the system has IPv6), the sender is still a.b.c.d.
    EchoPeer peer([](const QByteArray& request) { return "re:" + request; });
    QtSocket socket;
    Aim(socket, peer.port());
    std::string reply;
    std::string sender;
    socket.onDataArrival = [&] {
        reply = socket.readAll();
        sender = socket.remotePeerAddress();
    };
    QtClock clock;
    socket.send("ping");
    clock.sleep(20);
    clock.processEvents();
    EXPECT_EQ(reply, "re:ping");
    EXPECT_EQ(sender, "127.0.0.1");
}

TEST(QtSocketDatagram, BacklogThatNobodyReadsIsBounded) {
    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    QtSocket receiver("127.0.0.1");
    Aim(receiver, sink.localPort());
    receiver.send("bind");
    int notifications = 0;
    receiver.onDataArrival = [&] { ++notifications; }; // never reads
    QtSocket sender("127.0.0.1");
    Aim(sender, receiver.localPort());
    const int limit = static_cast<int>(QtSocket::kDatagramBacklogLimit);
    for (int i = 0; i < limit + 300; ++i) {
        sender.send("flood " + std::to_string(i));
        if (i % 32 == 31) {
            QCoreApplication::processEvents(); // keeps the system buffer from dropping any
        }
    }
    PumpFor(200);
    EXPECT_EQ(notifications, limit);
    int waiting = 0;
    while (!receiver.readAll().empty()) {
        ++waiting;
    }
    EXPECT_EQ(waiting, limit);
}

TEST(QtSocket, MisuseFailsWithItsOwnNumbers) {
    QtSocket socket("127.0.0.1");
    EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 10039) << "no remote host named";
    EXPECT_EQ(socket.state(), SocketClosed);
    EXPECT_EQ(ErrorNumberOf([&] { socket.connect(); }), 40020) << "connect on datagrams";
    EXPECT_EQ(ErrorNumberOf([&] { socket.setRemotePort(70000); }), 380);
    QtSocket ipv4Only("127.0.0.1");
    ipv4Only.setRemoteHost("::1");
    ipv4Only.setRemotePort(9);
    EXPECT_NE(ErrorNumberOf([&] { ipv4Only.send("x"); }), 0) << "IPv6 from an IPv4 socket";

    QtSocket stream;
    stream.setProtocol(SocketProtocol::Stream);
    EXPECT_EQ(ErrorNumberOf([&] { stream.send("x"); }), 40006) << "not connected";
    EXPECT_EQ(ErrorNumberOf([&] { stream.connect(); }), 10039) << "no remote host";
}

TEST(QtSocket, AHostIsLookedUpOncePerChangeWithABoundedWaitAndItsFailureKept) {
    // A resolver that answers long after the limit, as one that no server answers.
    auto lookups = std::make_shared<std::atomic<int>>(0);
    QtSocket socket(
        "127.0.0.1",
        [lookups](const std::string&) -> std::optional<QHostAddress> {
            ++*lookups;
            QThread::msleep(1000);
            return QHostAddress(QHostAddress::LocalHost);
        },
        std::chrono::milliseconds(200));
    QElapsedTimer held;
    held.start();
    EXPECT_EQ(ErrorNumberOf([&] { socket.setRemoteHost("slow.invalid"); }), 11001);
    EXPECT_LT(held.elapsed(), 700);
    socket.setRemotePort(9);
    held.restart();
    for (int command = 0; command < 11; ++command) {
        EXPECT_EQ(ErrorNumberOf([&] { socket.setRemoteHost("slow.invalid"); }), 11001);
        EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 11001);
    }
    EXPECT_LT(held.elapsed(), 100);
    // Texts that no server could answer fail without asking; an address needs no lookup.
    for (const char* text : {"999.1.1.1", "not an address", "a..b", "-"}) {
        EXPECT_EQ(ErrorNumberOf([&] { socket.setRemoteHost(text); }), 11001) << text;
    }
    EXPECT_EQ(ErrorNumberOf([&] { socket.setRemoteHost(""); }), 10039);
    socket.setRemoteHost("127.0.0.1");
    EXPECT_EQ(*lookups, 1);

    // A stream to a host that was not found fails as a refused one does: state 9, notified.
    QtSocket stream("", [](const std::string&) { return std::nullopt; });
    Recorder record;
    record.attach(stream);
    stream.setProtocol(SocketProtocol::Stream);
    EXPECT_EQ(ErrorNumberOf([&] { stream.setRemoteHost("gone.invalid"); }), 11001);
    stream.setRemotePort(9);
    stream.connect();
    EXPECT_EQ(stream.state(), SocketError);
    ASSERT_TRUE(WaitUntil([&] { return record.count("error") == 1; }));
    EXPECT_EQ(record.errorNumber, 11001);
}

TEST(QtSocket, UnsupportedSocketOperationAloneMapsToTenThousandFortyFour) {
    // The module client reads 10044 as "no network installed": no other error may give it.
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::UnsupportedSocketOperationError), 10044);
    for (int error = QAbstractSocket::ConnectionRefusedError;
         error <= QAbstractSocket::OperationError; ++error) {
        const auto code = static_cast<QAbstractSocket::SocketError>(error);
        EXPECT_NE(SocketErrorNumber(code), 0) << error;
        if (code != QAbstractSocket::UnsupportedSocketOperationError) {
            EXPECT_NE(SocketErrorNumber(code), 10044) << "Qt socket error " << error;
        }
    }
}

// ---- stream -------------------------------------------------------------------------------

// A QTcpServer on 127.0.0.1 that keeps the connection it accepts.
struct LoopbackServer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;

    LoopbackServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server,
                         [this] { peer = server.nextPendingConnection(); });
    }
    int port() const { return server.serverPort(); }
};

// A stream socket connecting to 127.0.0.1:port, its notifications recorded.
struct StreamClient {
    QtSocket socket;
    Recorder record;
    explicit StreamClient(int port) {
        record.attach(socket);
        socket.setProtocol(SocketProtocol::Stream);
        Aim(socket, port);
        socket.connect();
    }
    bool waitConnected(const LoopbackServer& server) {
        return WaitUntil([&] { return record.count("connected") == 1 && server.peer; });
    }
};

TEST(QtSocketStream, ConnectsAsynchronouslyWithNoDelayAndOnePumpDeliversTheReply) {
    LoopbackServer server;
    StreamClient client(server.port());
    EXPECT_EQ(client.socket.state(), SocketConnecting) << "connect returns before the outcome";
    EXPECT_TRUE(client.record.events.empty()) << "never notified from inside connect()";
    ASSERT_TRUE(client.waitConnected(server));
    EXPECT_EQ(client.socket.state(), SocketConnected);
    EXPECT_TRUE(client.socket.noDelay());
    EXPECT_EQ(client.socket.remotePeerAddress(), "127.0.0.1");
    EXPECT_EQ(client.socket.localAddress(), "127.0.0.1");

    QObject::connect(server.peer, &QTcpSocket::readyRead, &server.server,
                     [&] { server.peer->write("pong"); });
    QtClock clock;
    client.socket.send("ping");
    clock.sleep(20);
    clock.processEvents();
    EXPECT_EQ(client.record.data, "pong");

    client.socket.setProtocol(SocketProtocol::Stream);
    EXPECT_EQ(client.socket.state(), SocketConnected) << "the same protocol changes nothing";
    client.socket.setProtocol(SocketProtocol::Datagram);
    EXPECT_EQ(client.socket.state(), SocketClosed) << "switching closes";
}

TEST(QtSocketStream, RefusedConnectIsStateNineUntilClosedThenItConnectsAgain) {
    int closedPort = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        closedPort = server.serverPort();
    }
    StreamClient client(closedPort);
    ASSERT_TRUE(WaitUntil([&] { return client.record.count("error") == 1; }));
    EXPECT_EQ(client.record.errorNumber, 10061);
    EXPECT_EQ(client.socket.state(), SocketError);
    EXPECT_EQ(ErrorNumberOf([&] { client.socket.send("x"); }), 40006);
    EXPECT_EQ(ErrorNumberOf([&] { client.socket.connect(); }), 40020) << "close first";
    client.socket.close();
    EXPECT_EQ(client.socket.state(), SocketClosed);

    LoopbackServer server;
    client.socket.setRemotePort(server.port());
    client.socket.connect();
    ASSERT_TRUE(client.waitConnected(server));
    EXPECT_EQ(client.socket.state(), SocketConnected);
}

TEST(QtSocketStream, PeerThatDropsLeavesItsLastDataThenStateNine) {
    LoopbackServer server;
    StreamClient client(server.port());
    ASSERT_TRUE(client.waitConnected(server));
    server.peer->write("bye");
    server.peer->flush();
    server.peer->close();
    ASSERT_TRUE(WaitUntil([&] { return client.record.count("error") == 1; }));
    EXPECT_EQ(client.record.errorNumber, 10054);
    EXPECT_EQ(client.socket.state(), SocketError);
    EXPECT_EQ(client.record.data, "bye");
    EXPECT_EQ(client.record.events.back(), "error") << "the data is notified before the drop";
    EXPECT_EQ(ErrorNumberOf([&] { client.socket.send("x"); }), 40006);
}

TEST(QtSocketStream, NothingIsNotifiedAfterClose) {
    LoopbackServer server;
    StreamClient client(server.port());
    client.socket.close();
    EXPECT_EQ(client.socket.state(), SocketClosed);
    PumpFor(200);
    EXPECT_TRUE(client.record.events.empty());
}

} // namespace
} // namespace kelvra
