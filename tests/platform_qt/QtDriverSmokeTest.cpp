// The driver on the Qt platform, against in-test peers over loopback and a pseudo-terminal:
// each answers the echo frame as a terminal would.
#include "PseudoTerminal.h"
#include "driver/FrameCodec.h"
#include "driver/ucKelvra.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtLinkFactory.h"
#include "platform/qt/QtSettingsStore.h"

#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kelvra {
namespace {

const std::string kEchoReply = BuildRequestFrame("A", 1, "123");

struct QtRig {
    QTemporaryDir dir;
    QtClock clock;
    QtSettingsStore settings{QtSettingsStore::Scope::PerUser, dir.filePath("kelvra.ini")};
    QtLinkFactory links{settings, QtLinkFactory::kDefaultTitle, "127.0.0.1"};
};

QByteArray Bytes(const std::string& text) {
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

TEST(QtDriverSmoke, EchoOverUdp) {
    QUdpSocket terminal;
    ASSERT_TRUE(terminal.bind(QHostAddress::LocalHost, 0));
    std::string request;
    QObject::connect(&terminal, &QUdpSocket::readyRead, &terminal, [&] {
        while (terminal.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = terminal.receiveDatagram();
            request = datagram.data().toStdString();
            terminal.writeDatagram(Bytes(kEchoReply), datagram.senderAddress(),
                                   static_cast<quint16>(datagram.senderPort()));
        }
    });

    QtRig rig;
    ucKelvra kv(rig.clock, rig.clock, rig.links);
    kv.SetIP("127.0.0.1");
    kv.SetUDP_Port(terminal.localPort());
    kv.SetCommunicationType(2);
    kv.Connect();
    ASSERT_TRUE(kv.Connected());

    QElapsedTimer timer;
    timer.start();
    kv.EchoTest(1, "123");
    EXPECT_EQ(kv.ErrCode(), 0) << kv.ErrMessage();
    RecordProperty("echo_ms", static_cast<int>(timer.elapsed()));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(request, BuildRequestFrame("E", 1, "123"));
    std::string data;
    kv.GetData(data);
    EXPECT_EQ(data, "123");
    EXPECT_EQ(kv.BytesReceived(1), static_cast<std::int32_t>(kEchoReply.size()));
}

TEST(QtDriverSmoke, EchoOverTheSerialLineOfAPseudoTerminal) {
    test::PseudoTerminal pty;
    ASSERT_TRUE(pty.valid());
    QtRig rig;
    rig.settings.write(QtLinkFactory::kDefaultTitle, "SerialPorts", "COM3", pty.slavePath());
    // The terminal answers from the event loop that the driver pumps while it waits.
    std::string request;
    QSocketNotifier readable(pty.masterDescriptor(), QSocketNotifier::Read);
    QObject::connect(&readable, &QSocketNotifier::activated, &readable, [&] {
        request += pty.readAvailable();
        if (request.find(ETX) != std::string::npos) {
            pty.write(kEchoReply);
        }
    });

    ucKelvra kv(rig.clock, rig.clock, rig.links);
    kv.SetComport(3);
    kv.SetCommunicationType(6);
    kv.Connect();
    ASSERT_TRUE(kv.Connected());
    kv.EchoTest(1, "123");
    EXPECT_EQ(kv.ErrCode(), 0) << kv.ErrMessage();
    EXPECT_EQ(request, BuildRequestFrame("E", 1, "123"));
    std::string data;
    kv.GetData(data);
    EXPECT_EQ(data, "123");
    kv.CloseConnection();
}

TEST(QtDriverSmoke, EchoOverTcpThroughAFreeModule) {
    // Its own loopback address, so the module port 65535 is not shared with other tests.
    const QString address = QStringLiteral("127.0.0.%1").arg(200 + getpid() % 50);
    QUdpSocket module;
    if (!module.bind(QHostAddress(address), 65535)) {
        GTEST_SKIP() << "module port taken on " << address.toStdString();
    }
    std::string moduleRequests;
    QObject::connect(&module, &QUdpSocket::readyRead, &module, [&] {
        while (module.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = module.receiveDatagram();
            moduleRequests += datagram.data().toStdString();
            if (datagram.data() == "X") {
                // Characters 2, 3, 5 of field 2 and field 3 are all asterisks: free.
                module.writeDatagram(QByteArray("A/KELVRA/0**0*/**/"), datagram.senderAddress(),
                                     static_cast<quint16>(datagram.senderPort()));
            }
        }
    });
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(address), 0));
    std::string request;
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&] {
        QTcpSocket* peer = server.nextPendingConnection();
        QObject::connect(peer, &QTcpSocket::readyRead, peer, [&request, peer] {
            request += peer->readAll().toStdString();
            if (request.find(ETX) != std::string::npos) {
                peer->write(Bytes(kEchoReply));
            }
        });
    });

    QtRig rig;
    ucKelvra kv(rig.clock, rig.clock, rig.links);
    kv.SetIP(address.toStdString());
    kv.SetUDP_Port(server.serverPort());
    kv.SetCommunicationType(3);
    kv.Connect();
    EXPECT_TRUE(kv.Connected());
    EXPECT_EQ(kv.ErrCode(), 0) << kv.ErrMessage();
    EXPECT_EQ(kv.WinsockState(), SocketConnected);
    EXPECT_EQ(moduleRequests, "XXX") << "free at once: no exit command";

    QElapsedTimer timer;
    timer.start();
    kv.EchoTest(1, "123");
    EXPECT_EQ(kv.ErrCode(), 0) << kv.ErrMessage();
    RecordProperty("echo_ms", static_cast<int>(timer.elapsed()));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(request, BuildRequestFrame("E", 1, "123"));
    std::string data;
    kv.GetData(data);
    EXPECT_EQ(data, "123");
}

} // namespace
} // namespace kelvra
