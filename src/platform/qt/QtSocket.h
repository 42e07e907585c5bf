#pragma once

#include "platform/Socket.h"
#include "platform/qt/HostLookup.h"

#include <QHostAddress>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <string>

class QObject;
class QTcpSocket;
class QUdpSocket;

namespace kelvra {

// A datagram or stream socket on QUdpSocket / QTcpSocket, switched by setProtocol.
//
// States: 0 closed; 1 datagram socket bound (it binds on its first send, to a port the system
// chooses, so replies come back to the port the request left from); 6 stream connecting
// (host lookup included); 7 stream connected; 9 stream failed (refused, dropped, reset: the
// socket stays in 9 until closed).
//
// Remote host: setRemoteHost() looks a host name up once, when the text changes, waiting at
// most the lookup limit, and remembers the outcome: a name that cannot be found fails there
// (11001, or 10039 for an empty text) and again, at once, at every later setRemoteHost() with
// the same text, send() and connect(), so a host that no server answers holds the window up
// once per address change, not once per command.
// Datagrams: send() writes one datagram to the remote host and port; each arriving datagram
// raises its own onDataArrival, and readAll() hands over the
// oldest one not yet read, remotePeerAddress() then naming its sender. At most
// kDatagramBacklogLimit datagrams wait unread; beyond that new ones are dropped, as a full
// system buffer drops them.
// Stream: connect() starts connecting and returns; onConnected or onError(number, text)
// follows (for a host that was not found, with state 9 at once). TCP no-delay is on, so every frame
// leaves at once; send() writes the frame in one call and flushes it. readAll() hands over
// everything that has arrived, remotePeerAddress() the peer's address.
//
// Notifications are posted to the thread that created the socket and delivered by its event
// pump, never from inside a Qt signal or from inside an operation of this class, and never
// after a close: a handler may close the socket, send, or pump events and receive again.
// Nothing is ever sent to an address the caller did not name.
// Failures throw PlatformError with the numbers listed in QtErrors.h.
class QtSocket final : public Socket {
public:
    static constexpr std::size_t kDatagramBacklogLimit = 4096;

    // `bindAddress`: the local address a datagram socket binds to; empty for every local
    // address (the default). Tests bind 127.0.0.1, and hand in their own resolver and limit.
    explicit QtSocket(std::string bindAddress = {}, NameResolver resolve = SystemResolve,
                      std::chrono::milliseconds lookupLimit = kHostLookupLimit);
    ~QtSocket() override;
    QtSocket(const QtSocket&) = delete;
    QtSocket& operator=(const QtSocket&) = delete;

    // Switching protocol closes a socket that is not closed.
    void setProtocol(SocketProtocol protocol) override;
    SocketProtocol protocol() const override { return m_protocol; }
    // Takes effect at the next send (datagram) or connect (stream). Throws PlatformError when
    // the host is not found.
    void setRemoteHost(const std::string& host) override;
    void setRemotePort(int port) override;

    int state() const override { return m_state; }
    void close() override;
    void connect() override;

    void send(const std::string& bytes) override;
    std::string readAll() override;
    std::string remotePeerAddress() const override { return m_peerAddress; }
    // The connected stream's local address; otherwise this machine's first IPv4 address that
    // is not a loopback one (127.0.0.1 when there is none), as the system's socket reports its
    // local IP whether or not it is bound.
    std::string localAddress() const override;

    const std::string& remoteHost() const { return m_remoteHost; }
    int remotePort() const { return m_remotePort; }
    // The local port of the bound datagram socket or of the stream; 0 when closed.
    int localPort() const;
    // Whether TCP no-delay is in force on the connected stream.
    bool noDelay() const;

private:
    struct Datagram {
        std::string bytes;
        std::string sender;
    };

    void post(std::function<void()> action);
    const QHostAddress& remoteAddress() const;
    void bindDatagramSocket();
    void sendDatagram(const std::string& bytes);
    void sendStream(const std::string& bytes);
    void receiveDatagrams();
    void onStreamConnected();
    void onStreamReadyRead();
    void onStreamError();
    void onDatagramError();
    void notifyError(int number, const std::string& text);

    std::string m_bindAddress;
    std::unique_ptr<QObject> m_context; // posted notifications die with it
    std::unique_ptr<QUdpSocket> m_udp;
    std::unique_ptr<QTcpSocket> m_tcp;
    SocketProtocol m_protocol = SocketProtocol::Datagram;
    int m_state = SocketClosed;
    NameResolver m_resolve;
    std::chrono::milliseconds m_lookupLimit;
    std::string m_remoteHost;
    int m_remotePort = 0;
    HostLookup m_lookup; // m_remoteHost looked up
    std::deque<Datagram> m_datagrams;
    std::string m_peerAddress;
    unsigned m_generation = 0; // notifications posted before a close are dropped
    bool m_streamNotificationPending = false;
    bool m_sending = false; // failures inside send() are thrown, not notified
};

} // namespace kelvra
