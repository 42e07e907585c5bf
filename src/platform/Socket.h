#pragma once

#include <functional>
#include <string>

namespace kelvra {

enum class SocketProtocol { Datagram, Stream };

// State numbers as the driver reads them; values between closed and connected are the
// socket service's own (opening, resolving, connecting, ...).
enum SocketState : int {
    SocketClosed = 0,
    SocketOpen = 1,
    SocketConnecting = 6,
    SocketConnected = 7,
    SocketError = 9,
};

// A datagram or stream socket. Text is one char per byte. Every operation may throw
// PlatformError.
class Socket {
public:
    virtual ~Socket() = default;

    virtual void setProtocol(SocketProtocol protocol) = 0;
    virtual SocketProtocol protocol() const = 0;
    virtual void setRemoteHost(const std::string& host) = 0;
    virtual void setRemotePort(int port) = 0;

    virtual int state() const = 0;
    virtual void close() = 0;
    virtual void connect() = 0; // stream only; the outcome arrives as a notification

    // Datagram: one datagram per call. Stream: the bytes in order.
    virtual void send(const std::string& bytes) = 0;
    // Datagram: the oldest datagram not yet read (each raises its own data-arrived
    // notification), and remotePeerAddress() then names its sender. Stream: all bytes that
    // have arrived.
    virtual std::string readAll() = 0;
    virtual std::string remotePeerAddress() const = 0;
    virtual std::string localAddress() const = 0;

    // Notifications, called on the owner's thread from the event pump.
    std::function<void()> onDataArrival;
    std::function<void()> onConnected;
    std::function<void(int number, const std::string& text)> onError;
};

} // namespace kelvra
