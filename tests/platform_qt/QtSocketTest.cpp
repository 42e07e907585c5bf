// QtSocket over real loopback sockets: datagrams between two QtSockets, a stream to an
// in-test QTcpServer. Only 127.0.0.0/8 is used; every wait is bounded.
#include "platform/qt/QtSocket.h"

#include "Waiting.h"
#include "platform/PlatformError.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtErrors.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::PumpFor;
using test::WaitUntil;

int ErrorNumberOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const PlatformError& failure) {
        return failure.number();
    }
    return 0;
}

// A datagram QtSocket that has bound itself by sending one datagram to a throwaway sink, so
// that others can send to its port.
struct BoundDatagramSocket {
    QUdpSocket sink;
    QtSocket socket;

    explicit BoundDatagramSocket(const std::string& bindAddress = "127.0.0.1")
        : socket(bindAddress) {
        sink.bind(QHostAddress::LocalHost, 0);
        socket.setProtocol(SocketProtocol::Datagram);
        socket.setRemoteHost("127.0.0.1");
        socket.setRemotePort(sink.localPort());
        socket.send("bind");
    }
    int port() const { return socket.localPort(); }
};

// Everything a socket notified, in order.
struct Recorder {
    std::vector<std::string> events;
    std::vector<std::string> data;
    std::vector<std::string> senders;
    int errorNumber = 0;

    void attach(Socket& socket, bool readOnArrival = true) {
        socket.onDataArrival = [this, &socket, readOnArrival] {
            events.push_back("data");
            if (readOnArrival) {
                data.push_back(socket.readAll());
                senders.push_back(socket.remotePeerAddress());
            }
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
    std::string joined() const {
        std::string all;
        for (const std::string& chunk : data) {
            all += chunk;
        }
        return all;
    }
};

// ---- datagrams ----------------------------------------------------------------------------

TEST(QtSocketDatagram, BindsOnItsFirstSendAndClosesToStateZero) {
    QUdpSocket sink;
    ASSERT_TRUE(sink.bind(QHostAddress::LocalHost, 0));
    QtSocket socket("127.0.0.1");
    EXPECT_EQ(socket.state(), SocketClosed);
    EXPECT_EQ(socket.protocol(), SocketProtocol::Datagram);
    socket.setRemoteHost("127.0.0.1");
    socket.setRemotePort(sink.localPort());
    EXPECT_EQ(socket.state(), SocketClosed) << "setting the remote end binds nothing";
    socket.send("hello");
    EXPECT_EQ(socket.state(), SocketOpen);
    EXPECT_NE(socket.localPort(), 0);
    ASSERT_TRUE(WaitUntil([&] { return sink.hasPendingDatagrams(); }));
    const QNetworkDatagram received = sink.receiveDatagram();
    EXPECT_EQ(received.data(), QByteArray("hello"));
    EXPECT_EQ(received.senderPort(), socket.localPort());
    socket.close();
    EXPECT_EQ(socket.state(), SocketClosed);
    EXPECT_EQ(socket.localPort(), 0);
}

TEST(QtSocketDatagram, EachDatagramIsNotifiedAndReadOnItsOwnWithItsSender) {
    BoundDatagramSocket receiver;
    ASSERT_EQ(receiver.socket.state(), SocketOpen);
    Recorder record;
    record.attach(receiver.socket);

    QtSocket sender("127.0.0.1");
    sender.setRemoteHost("127.0.0.1");
    sender.setRemotePort(receiver.port());
    // A second sender on another loopback address tells the senders apart.
    QtSocket otherSender("127.0.0.2");
    otherSender.setRemoteHost("127.0.0.1");
    otherSender.setRemotePort(receiver.port());

    sender.send("one");
    sender.send(std::string("t\0o", 3));
    otherSender.send("three");
    ASSERT_TRUE(WaitUntil([&] { return record.data.size() == 3; }));
    PumpFor(50);
    EXPECT_EQ(record.count("data"), 3) << "one notification per datagram";
    ASSERT_EQ(record.data.size(), 3u);
    EXPECT_EQ(record.data[0], "one");
    EXPECT_EQ(record.data[1], std::string("t\0o", 3));
    EXPECT_EQ(record.data[2], "three");
    EXPECT_EQ(record.senders[0], "127.0.0.1");
    EXPECT_EQ(record.senders[1], "127.0.0.1");
    EXPECT_EQ(record.senders[2], "127.0.0.2");

    // And back: the receiver answers to the port the request left from.
    Recorder back;
    back.attach(sender);
    receiver.socket.setRemotePort(sender.localPort());
    receiver.socket.send(std::string("\x02"
                                     "01AK\x03",
                                     6));
    ASSERT_TRUE(WaitUntil([&] { return back.data.size() == 1; }));
    EXPECT_EQ(back.data[0], std::string("\x02"
                                        "01AK\x03",
                                        6));
    EXPECT_EQ(back.senders[0], "127.0.0.1");
}

TEST(QtSocketDatagram, DatagramsThatWaitAreHandedOverOldestFirst) {
    BoundDatagramSocket receiver;
    Recorder record;
    record.attach(receiver.socket, /*readOnArrival=*/false);
    QtSocket sender("127.0.0.1");
    sender.setRemoteHost("127.0.0.1");
    sender.setRemotePort(receiver.port());
    for (int i = 0; i < 5; ++i) {
        sender.send("d" + std::to_string(i));
    }
    ASSERT_TRUE(WaitUntil([&] { return record.count("data") == 5; }));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(receiver.socket.readAll(), "d" + std::to_string(i));
    }
    EXPECT_EQ(receiver.socket.readAll(), "") << "nothing left";
}

TEST(QtSocketDatagram, NotificationsArriveWhileAHandlerPumpsEvents) {
    // As when the driver runs a resend request inside a receive notification.
    BoundDatagramSocket receiver;
    QtSocket sender("127.0.0.1");
    sender.setRemoteHost("127.0.0.1");
    sender.setRemotePort(receiver.port());
    std::vector<std::string> received;
    bool nestedSawSecond = false;
    receiver.socket.onDataArrival = [&] {
        received.push_back(receiver.socket.readAll());
        if (received.size() == 1) {
            sender.send("second");
            nestedSawSecond = WaitUntil([&] { return received.size() == 2; }, 2000);
        }
    };
    sender.send("first");
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 2; }));
    EXPECT_TRUE(nestedSawSecond);
    EXPECT_EQ(received[0], "first");
    EXPECT_EQ(received[1], "second");
}

TEST(QtSocketDatagram, OnePumpDeliversTheReplyOfAPeerInThisProcess) {
    // The driver sends, sleeps one 50 ms pass and pumps once: the peer's reply, set off by that
    // same pump, must be handed over by it, or every command costs a pass more.
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    QObject::connect(&peer, &QUdpSocket::readyRead, &peer, [&] {
        while (peer.hasPendingDatagrams()) {
            const QNetworkDatagram request = peer.receiveDatagram();
            peer.writeDatagram(request.makeReply("re:" + request.data()));
        }
    });
    QtSocket socket("127.0.0.1");
    std::string reply;
    socket.onDataArrival = [&] { reply = socket.readAll(); };
    socket.setRemoteHost("127.0.0.1");
    socket.setRemotePort(peer.localPort());
    QtClock clock;
    socket.send("ping");
    clock.sleep(20);
    clock.processEvents();
    EXPECT_EQ(reply, "re:ping");
}

TEST(QtSocketDatagram, DefaultBindingReportsIPv4SendersPlainly) {
    // Bound to every local address (dual-stack where the system has IPv6), the socket still
    // names an IPv4 sender as a.b.c.d, not ::ffff:a.b.c.d.
    QUdpSocket peer;
    ASSERT_TRUE(peer.bind(QHostAddress::LocalHost, 0));
    QObject::connect(&peer, &QUdpSocket::readyRead, &peer, [&] {
        while (peer.hasPendingDatagrams()) {
            const QNetworkDatagram request = peer.receiveDatagram();
            peer.writeDatagram(request.makeReply(request.data()));
        }
    });
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    socket.setRemoteHost("127.0.0.1");
    socket.setRemotePort(peer.localPort());
    socket.send("hello");
    ASSERT_TRUE(WaitUntil([&] { return record.data.size() == 1; }));
    EXPECT_EQ(record.data[0], "hello");
    EXPECT_EQ(record.senders[0], "127.0.0.1");
    EXPECT_FALSE(socket.localAddress().empty());
}

TEST(QtSocketDatagram, HostNamesAreLookedUp) {
    BoundDatagramSocket receiver;
    Recorder record;
    record.attach(receiver.socket);
    QtSocket sender("127.0.0.1");
    sender.setRemoteHost("localhost");
    sender.setRemotePort(receiver.port());
    sender.send("by name");
    ASSERT_TRUE(WaitUntil([&] { return record.data.size() == 1; }));
    EXPECT_EQ(record.data[0], "by name");
}

TEST(QtSocketDatagram, BacklogThatNobodyReadsIsBounded) {
    BoundDatagramSocket receiver;
    int notifications = 0;
    receiver.socket.onDataArrival = [&] { ++notifications; }; // never reads
    QtSocket sender("127.0.0.1");
    sender.setRemoteHost("127.0.0.1");
    sender.setRemotePort(receiver.port());
    const int flood = static_cast<int>(QtSocket::kDatagramBacklogLimit) + 300;
    for (int i = 0; i < flood; ++i) {
        sender.send("flood " + std::to_string(i));
        if (i % 32 == 31) {
            QCoreApplication::processEvents(); // keeps the system buffer from dropping any
        }
    }
    PumpFor(200);
    EXPECT_EQ(notifications, static_cast<int>(QtSocket::kDatagramBacklogLimit));
    int waiting = 0;
    while (!receiver.socket.readAll().empty()) {
        ++waiting;
    }
    EXPECT_EQ(waiting, static_cast<int>(QtSocket::kDatagramBacklogLimit));
}

TEST(QtSocketDatagram, MisuseFailsWithItsOwnNumbers) {
    QtSocket socket("127.0.0.1");
    EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 10039) << "no remote host named";
    EXPECT_EQ(socket.state(), SocketClosed);
    EXPECT_EQ(ErrorNumberOf([&] { socket.connect(); }), 40020) << "connect on datagrams";
    EXPECT_EQ(ErrorNumberOf([&] { socket.setRemotePort(70000); }), 380);
    QtSocket ipv4Only("127.0.0.1");
    ipv4Only.setRemoteHost("::1");
    ipv4Only.setRemotePort(9);
    const int number = ErrorNumberOf([&] { ipv4Only.send("x"); });
    RecordProperty("ipv6_from_ipv4_socket", number);
    EXPECT_NE(number, 0) << "an IPv6 destination from a socket bound to an IPv4 address";
    socket.setRemoteHost("no-such-host.invalid");
    socket.setRemotePort(9);
    EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 11001);
}

TEST(QtSocketErrors, UnsupportedSocketOperationAloneMapsToTenThousandFortyFour) {
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::UnsupportedSocketOperationError), 10044);
    std::set<int> numbers;
    for (int error = QAbstractSocket::ConnectionRefusedError;
         error <= QAbstractSocket::OperationError; ++error) {
        const auto code = static_cast<QAbstractSocket::SocketError>(error);
        const int number = SocketErrorNumber(code);
        EXPECT_NE(number, 0);
        if (code != QAbstractSocket::UnsupportedSocketOperationError) {
            EXPECT_NE(number, 10044) << "Qt socket error " << error;
        }
        numbers.insert(number);
    }
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::ConnectionRefusedError), 10061);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::RemoteHostClosedError), 10054);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::HostNotFoundError), 11001);
    EXPECT_EQ(SocketErrorNumber(QAbstractSocket::UnknownSocketError), 40099);
}

// ---- stream -------------------------------------------------------------------------------

// A QTcpServer on 127.0.0.1 that keeps the connection it accepts.
struct LoopbackServer {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;

    LoopbackServer() {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, &server, [this] {
            peer = server.nextPendingConnection();
            QObject::connect(peer, &QTcpSocket::readyRead, &server,
                             [this] { received += peer->readAll(); });
        });
    }
    int port() const { return server.serverPort(); }
};

void StartConnect(QtSocket& socket, int port, const std::string& host = "127.0.0.1") {
    socket.setProtocol(SocketProtocol::Stream);
    socket.setRemoteHost(host);
    socket.setRemotePort(port);
    socket.connect();
}

TEST(QtSocketStream, ConnectsAsynchronouslyWithNoDelayAndCarriesDataBothWays) {
    LoopbackServer server;
    ASSERT_TRUE(server.server.isListening());
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, server.port());
    EXPECT_EQ(socket.state(), SocketConnecting) << "connect returns before the outcome";
    EXPECT_TRUE(record.events.empty()) << "never notified from inside connect()";
    ASSERT_TRUE(WaitUntil([&] { return record.count("connected") == 1; }));
    EXPECT_EQ(socket.state(), SocketConnected);
    EXPECT_TRUE(socket.noDelay());
    EXPECT_EQ(socket.remotePeerAddress(), "127.0.0.1");
    EXPECT_EQ(socket.localAddress(), "127.0.0.1");
    ASSERT_TRUE(WaitUntil([&] { return server.peer != nullptr; }));

    std::string frame("\x02"
                      "11E123",
                      7);
    frame += std::string("\xA7\xFF\x00\x03", 4);
    socket.send(frame);
    ASSERT_TRUE(
        WaitUntil([&] { return server.received.size() == static_cast<int>(frame.size()); }));
    EXPECT_EQ(ToBytes(server.received), frame);

    const std::string reply = std::string("\x02"
                                          "11A123",
                                          7) +
                              std::string("\x80\x00\x03", 3);
    server.peer->write(FromBytes(reply));
    ASSERT_TRUE(WaitUntil([&] { return record.joined().size() == reply.size(); }));
    EXPECT_EQ(record.joined(), reply);
    EXPECT_EQ(record.count("error"), 0);
}

TEST(QtSocketStream, OnePumpDeliversTheReplyOfAPeerInThisProcess) {
    LoopbackServer server;
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, server.port());
    ASSERT_TRUE(WaitUntil([&] { return record.count("connected") == 1 && server.peer; }));
    QObject::connect(server.peer, &QTcpSocket::readyRead, &server.server,
                     [&] { server.peer->write("pong"); });
    QtClock clock;
    socket.send("ping");
    clock.sleep(20);
    clock.processEvents();
    EXPECT_EQ(record.joined(), "pong");
}

TEST(QtSocketStream, HostNameIsLookedUpWhileConnecting) {
    LoopbackServer server;
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, server.port(), "localhost");
    ASSERT_TRUE(WaitUntil([&] { return record.count("connected") + record.count("error") > 0; }));
    // "localhost" may also name ::1, where nothing listens; Qt tries each address in turn.
    EXPECT_EQ(record.count("connected"), 1);
    EXPECT_EQ(socket.state(), SocketConnected);
}

TEST(QtSocketStream, RefusedConnectIsStateNineWithTheErrorNotification) {
    int closedPort = 0;
    {
        QTcpServer server;
        ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        closedPort = server.serverPort();
    }
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, closedPort);
    ASSERT_TRUE(WaitUntil([&] { return record.count("error") == 1; }));
    EXPECT_EQ(record.errorNumber, 10061);
    EXPECT_EQ(socket.state(), SocketError);
    EXPECT_EQ(record.count("connected"), 0);
    EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 40006);
    EXPECT_EQ(ErrorNumberOf([&] { socket.connect(); }), 40020) << "close first";
    socket.close();
    EXPECT_EQ(socket.state(), SocketClosed);

    // Closed, it connects again once something listens.
    LoopbackServer server;
    StartConnect(socket, server.port());
    ASSERT_TRUE(WaitUntil([&] { return record.count("connected") == 1; }));
    EXPECT_EQ(socket.state(), SocketConnected);
}

TEST(QtSocketStream, PeerThatDropsLeavesItsLastDataThenStateNine) {
    LoopbackServer server;
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, server.port());
    ASSERT_TRUE(WaitUntil([&] { return record.count("connected") == 1 && server.peer; }));
    server.peer->write("bye");
    server.peer->flush();
    server.peer->close();
    ASSERT_TRUE(WaitUntil([&] { return record.count("error") == 1; }));
    EXPECT_EQ(record.errorNumber, 10054);
    EXPECT_EQ(socket.state(), SocketError);
    EXPECT_EQ(record.joined(), "bye");
    ASSERT_GE(record.events.size(), 3u);
    EXPECT_EQ(record.events.back(), "error") << "the data is notified before the drop";
    EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 40006);
}

TEST(QtSocketStream, NothingIsNotifiedAfterClose) {
    LoopbackServer server;
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, server.port());
    socket.close();
    EXPECT_EQ(socket.state(), SocketClosed);
    PumpFor(200);
    EXPECT_TRUE(record.events.empty());
}

TEST(QtSocketStream, SwitchingProtocolClosesAnOpenSocket) {
    LoopbackServer server;
    QtSocket socket;
    Recorder record;
    record.attach(socket);
    StartConnect(socket, server.port());
    ASSERT_TRUE(WaitUntil([&] { return record.count("connected") == 1; }));
    socket.setProtocol(SocketProtocol::Stream);
    EXPECT_EQ(socket.state(), SocketConnected) << "the same protocol changes nothing";
    socket.setProtocol(SocketProtocol::Datagram);
    EXPECT_EQ(socket.state(), SocketClosed);
    EXPECT_EQ(socket.readAll(), "");
}

TEST(QtSocketStream, SendOnAStreamThatIsNotConnectedFails) {
    QtSocket socket;
    socket.setProtocol(SocketProtocol::Stream);
    EXPECT_EQ(ErrorNumberOf([&] { socket.send("x"); }), 40006);
    EXPECT_EQ(ErrorNumberOf([&] { socket.connect(); }), 10039) << "no remote host";
}

} // namespace
} // namespace kelvra
