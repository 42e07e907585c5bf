#include "platform/qt/QtSocket.h"

#include "platform/PlatformError.h"
#include "platform/qt/PostUnlessStale.h"
#include "platform/qt/QtErrors.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QNetworkProxy>
#include <QObject>
#include <QTcpSocket>
#include <QUdpSocket>

namespace kelvra {

using namespace platform_error;

namespace {

// IPv4 peers of a dual-stack socket show as ::ffff:a.b.c.d; the driver reports them plainly.
std::string addressText(const QHostAddress& address) {
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    if (isIPv4) {
        return QHostAddress(ipv4).toString().toStdString();
    }
    return address.toString().toStdString();
}

} // namespace

QtSocket::QtSocket(std::string bindAddress, NameResolver resolve,
                   std::chrono::milliseconds lookupLimit)
    : m_bindAddress(std::move(bindAddress)), m_context(std::make_unique<QObject>()),
      m_resolve(std::move(resolve)), m_lookupLimit(lookupLimit),
      m_lookup(LookUpHost(m_remoteHost, m_lookupLimit, m_resolve)) {}

QtSocket::~QtSocket() {
    close();
}

void QtSocket::setProtocol(SocketProtocol protocol) {
    if (protocol != m_protocol && m_state != SocketClosed) {
        close();
    }
    m_protocol = protocol;
}

void QtSocket::setRemoteHost(const std::string& host) {
    // Looked up when the text changes; the outcome, found or not, holds until it changes again.
    if (host != m_remoteHost) {
        m_lookup = LookUpHost(host, m_lookupLimit, m_resolve);
        m_remoteHost = host;
    }
    remoteAddress(); // a host that was not found fails here, every time
}

void QtSocket::setRemotePort(int port) {
    if (port < 0 || port > 65535) {
        throw PlatformError(kInvalidPropertyValue,
                            "Invalid property value: remote port " + std::to_string(port));
    }
    m_remotePort = port;
}

void QtSocket::post(std::function<void()> action) {
    PostUnlessStale(m_context.get(), m_generation, std::move(action));
}

void QtSocket::notifyError(int number, const std::string& text) {
    post([this, number, text] {
        // A copy: the handler may replace the member while it runs.
        const auto handler = onError;
        if (handler) {
            handler(number, text);
        }
    });
}

void QtSocket::close() {
    ++m_generation;
    m_streamNotificationPending = false;
    m_datagrams.clear();
    if (m_tcp) {
        QObject::disconnect(m_tcp.get(), nullptr, m_context.get(), nullptr);
        m_tcp->abort();
        m_tcp.reset();
    }
    if (m_udp) {
        QObject::disconnect(m_udp.get(), nullptr, m_context.get(), nullptr);
        m_udp->close();
        m_udp.reset();
    }
    m_state = SocketClosed;
}

const QHostAddress& QtSocket::remoteAddress() const {
    if (!m_lookup.found()) {
        throw PlatformError(m_lookup.errorNumber, m_lookup.errorText);
    }
    return m_lookup.address;
}

void QtSocket::bindDatagramSocket() {
    QHostAddress local(QHostAddress::Any);
    if (!m_bindAddress.empty() && !local.setAddress(QString::fromStdString(m_bindAddress))) {
        throw PlatformError(kSocketAddressNotAvailable, "Invalid local address: " + m_bindAddress);
    }
    auto udp = std::make_unique<QUdpSocket>();
    udp->setProxy(QNetworkProxy::NoProxy);
    if (!udp->bind(local, 0)) {
        throw PlatformError(SocketErrorNumber(udp->error()), udp->errorString().toStdString());
    }
    QObject::connect(udp.get(), &QUdpSocket::readyRead, m_context.get(),
                     [this] { receiveDatagrams(); });
    QObject::connect(udp.get(), &QUdpSocket::errorOccurred, m_context.get(),
                     [this] { onDatagramError(); });
    m_udp = std::move(udp);
    m_state = SocketOpen;
}

void QtSocket::send(const std::string& bytes) {
    if (m_protocol == SocketProtocol::Datagram) {
        sendDatagram(bytes);
    } else {
        sendStream(bytes);
    }
}

void QtSocket::sendDatagram(const std::string& bytes) {
    const QHostAddress remote = remoteAddress();
    if (m_state == SocketClosed || !m_udp) {
        bindDatagramSocket(); // a datagram socket binds on its first send
    }
    m_sending = true;
    const qint64 written = m_udp->writeDatagram(bytes.data(), static_cast<qint64>(bytes.size()),
                                                remote, static_cast<quint16>(m_remotePort));
    m_sending = false;
    if (written < 0) {
        const int number = SocketErrorNumber(m_udp->error());
        throw PlatformError(number, m_udp->errorString().toStdString());
    }
    if (written != static_cast<qint64>(bytes.size())) {
        throw PlatformError(kSocketMessageTooLarge, "Datagram sent in part");
    }
}

void QtSocket::sendStream(const std::string& bytes) {
    if (m_state != SocketConnected || !m_tcp) {
        throw PlatformError(kSocketWrongState,
                            "Wrong protocol or connection state for the requested transaction");
    }
    m_sending = true;
    const qint64 written = m_tcp->write(bytes.data(), static_cast<qint64>(bytes.size()));
    if (written == static_cast<qint64>(bytes.size())) {
        // One frame, one write: handed to the system now, not when the event loop next runs.
        m_tcp->flush();
    }
    m_sending = false;
    if (written != static_cast<qint64>(bytes.size()) || m_state == SocketError) {
        const int number = m_tcp ? SocketErrorNumber(m_tcp->error()) : kSocketConnectionReset;
        const std::string text = m_tcp ? m_tcp->errorString().toStdString() : "Connection lost";
        throw PlatformError(number, text);
    }
}

void QtSocket::connect() {
    if (m_protocol != SocketProtocol::Stream || m_state != SocketClosed) {
        throw PlatformError(kSocketInvalidOperation, "Invalid operation at current state");
    }
    if (m_remoteHost.empty()) {
        throw PlatformError(kSocketDestinationRequired, "Destination address required");
    }
    if (!m_lookup.found()) {
        // As a stream reports a failed lookup: the connect fails, by notification.
        m_state = SocketError;
        notifyError(m_lookup.errorNumber, m_lookup.errorText);
        return;
    }
    auto tcp = std::make_unique<QTcpSocket>();
    tcp->setProxy(QNetworkProxy::NoProxy);
    QObject::connect(tcp.get(), &QTcpSocket::connected, m_context.get(),
                     [this] { onStreamConnected(); });
    QObject::connect(tcp.get(), &QTcpSocket::readyRead, m_context.get(),
                     [this] { onStreamReadyRead(); });
    QObject::connect(tcp.get(), &QTcpSocket::errorOccurred, m_context.get(),
                     [this] { onStreamError(); });
    m_tcp = std::move(tcp);
    m_state = SocketConnecting;
    // Connecting runs in the event loop; a failure found at once is reported through
    // onStreamError all the same.
    m_tcp->connectToHost(m_lookup.address, static_cast<quint16>(m_remotePort));
}

void QtSocket::onStreamConnected() {
    if (!m_tcp) {
        return;
    }
    // The option needs the system socket, which exists only now. Without it Nagle's
    // algorithm holds a small frame back for up to 40 ms behind an unacknowledged one.
    m_tcp->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_peerAddress = addressText(m_tcp->peerAddress());
    m_state = SocketConnected;
    post([this] {
        const auto handler = onConnected;
        if (handler) {
            handler();
        }
    });
}

void QtSocket::onStreamReadyRead() {
    // One notification pending at a time: its handler reads everything that has arrived.
    if (m_streamNotificationPending) {
        return;
    }
    m_streamNotificationPending = true;
    post([this] {
        m_streamNotificationPending = false;
        if (!m_tcp || m_tcp->bytesAvailable() <= 0) {
            return;
        }
        const auto handler = onDataArrival;
        if (handler) {
            handler();
        }
    });
}

void QtSocket::onStreamError() {
    if (!m_tcp) {
        return;
    }
    // Refused, dropped or reset: the stream is finished until it is closed and connected again.
    m_state = SocketError;
    notifyError(SocketErrorNumber(m_tcp->error()), m_tcp->errorString().toStdString());
}

void QtSocket::receiveDatagrams() {
    if (!m_udp) {
        return;
    }
    // Every waiting datagram is taken now, each with its sender and its own notification.
    while (m_udp && m_udp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp->receiveDatagram();
        if (!datagram.isValid()) {
            break;
        }
        if (m_datagrams.size() >= kDatagramBacklogLimit) {
            continue; // a flood that nobody reads: the newest are dropped
        }
        m_datagrams.push_back({ToBytes(datagram.data()), addressText(datagram.senderAddress())});
        post([this] {
            const auto handler = onDataArrival;
            if (handler) {
                handler();
            }
        });
    }
}

void QtSocket::onDatagramError() {
    if (!m_udp || m_sending) {
        return; // a failing send throws instead
    }
    if (m_udp->state() != QAbstractSocket::BoundState) {
        m_state = SocketError;
    }
    notifyError(SocketErrorNumber(m_udp->error()), m_udp->errorString().toStdString());
}

std::string QtSocket::readAll() {
    if (m_protocol == SocketProtocol::Datagram) {
        if (m_datagrams.empty()) {
            return {};
        }
        Datagram oldest = std::move(m_datagrams.front());
        m_datagrams.pop_front();
        m_peerAddress = std::move(oldest.sender);
        return std::move(oldest.bytes);
    }
    if (!m_tcp) {
        return {};
    }
    return ToBytes(m_tcp->readAll());
}

std::string QtSocket::localAddress() const {
    if (m_tcp && m_state == SocketConnected) {
        return addressText(m_tcp->localAddress());
    }
    if (m_udp) {
        const QHostAddress bound = m_udp->localAddress();
        if (bound != QHostAddress::Any && bound != QHostAddress::AnyIPv4 &&
            bound != QHostAddress::AnyIPv6) {
            return addressText(bound);
        }
    }
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback()) {
            return addressText(address);
        }
    }
    return "127.0.0.1";
}

int QtSocket::localPort() const {
    if (m_tcp) {
        return m_tcp->localPort();
    }
    if (m_udp) {
        return m_udp->localPort();
    }
    return 0;
}

bool QtSocket::noDelay() const {
    return m_tcp && m_state == SocketConnected &&
           m_tcp->socketOption(QAbstractSocket::LowDelayOption).toInt() == 1;
}

} // namespace kelvra
