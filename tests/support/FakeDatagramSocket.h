#pragma once

#include "FakeLinks.h"
#include "VirtualTime.h"
#include "platform/LinkFactory.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace kelvra::test {

// One datagram as the fake socket sent it.
struct SentDatagram {
    std::string host;
    int port = 0;
    std::string payload;
    bool operator==(const SentDatagram&) const = default;
    friend std::ostream& operator<<(std::ostream& out, const SentDatagram& datagram) {
        return out << datagram.host << ':' << datagram.port << " \"" << datagram.payload << '"';
    }
};

// A datagram socket on a fake segment. Every datagram sent is recorded and shown to each peer,
// which answers by scheduling arrivals in virtual time, each with its sender's address. Arrived
// datagrams are read one at a time, oldest first, each with its own notification, and
// remotePeerAddress() names the sender of the one read last. Closing drops what has arrived
// and what is still on its way. The protocol setting is recorded but changes nothing.
class FakeDatagramSocket : public Socket {
public:
    explicit FakeDatagramSocket(VirtualTime& time) : m_time(time) {}

    void setProtocol(SocketProtocol protocol) override { m_protocol = protocol; }
    SocketProtocol protocol() const override { return m_protocol; }
    void setRemoteHost(const std::string& host) override;
    void setRemotePort(int port) override { remotePort = port; }
    int state() const override { return m_state; }
    void close() override;
    void connect() override {}
    void send(const std::string& bytes) override;
    // Nothing (and the sender unchanged) when no datagram is waiting.
    std::string readAll() override;
    std::string remotePeerAddress() const override { return m_peerAddress; }
    std::string localAddress() const override { return localIP; }

    // A datagram from `sender` that reaches the socket delayMs from now.
    void arrive(std::string datagram, std::string sender, std::int64_t delayMs = 0);

    std::string remoteHost;
    int remotePort = 0;
    std::string localIP = "127.0.0.1";
    std::vector<SentDatagram> sent;
    std::vector<std::function<void(const SentDatagram&)>> peers;
    FailureScript sendFailures;
    FailureScript readFailures;
    FailureScript setRemoteHostFailures;
    int closeCalls = 0;

private:
    struct Arrived {
        std::string datagram;
        std::string sender;
    };

    VirtualTime& m_time;
    SocketProtocol m_protocol = SocketProtocol::Datagram;
    int m_state = SocketClosed;
    std::deque<Arrived> m_arrived;
    std::string m_peerAddress;
    int m_generation = 0; // datagrams on their way to a socket since closed are dropped
};

// Hands out fake datagram sockets (and fake serial ports) and keeps a pointer to each socket,
// in creation order.
class FakeDatagramLinkFactory : public LinkFactory {
public:
    explicit FakeDatagramLinkFactory(VirtualTime& time) : m_time(time) {}

    std::unique_ptr<SerialPort> createSerialPort() override;
    std::unique_ptr<Socket> createSocket() override;

    std::vector<FakeDatagramSocket*> sockets;

private:
    VirtualTime& m_time;
};

} // namespace kelvra::test
