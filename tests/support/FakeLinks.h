#pragma once

#include "VirtualTime.h"
#include "platform/LinkFactory.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kelvra::test {

// Failures on cue: the next `count` calls of one operation throw PlatformError(number).
struct FailureScript {
    int count = 0;
    int number = 0;
    void failNext(int times, int errorNumber) {
        count = times;
        number = errorNumber;
    }
    void throwIfDue(const char* operation);
};

// A socket whose far end is a scripted peer. Everything sent is recorded; the peer answers by
// scheduling arrivals in virtual time. As a datagram socket it hands over one arrival per
// readAll, oldest first, and remotePeerAddress() then names that arrival's sender; as a stream
// it hands over everything that has arrived.
class FakeSocket : public Socket {
public:
    enum class ConnectOutcome { Accept, Refuse, Silent };

    explicit FakeSocket(VirtualTime& time) : m_time(time) {}

    void setProtocol(SocketProtocol protocol) override { m_protocol = protocol; }
    SocketProtocol protocol() const override { return m_protocol; }
    void setRemoteHost(const std::string& host) override {
        setRemoteHostFailures.throwIfDue("set remote host");
        remoteHost = host;
    }
    void setRemotePort(int port) override { remotePort = port; }
    int state() const override { return m_state; }
    void close() override;
    void connect() override;
    void send(const std::string& bytes) override;
    std::string readAll() override;
    std::string remotePeerAddress() const override { return m_lastSender.value_or(peerAddress); }
    std::string localAddress() const override { return "127.0.0.1"; }

    // Data that reaches the socket delayMs from now and is then notified; from `sender`, or
    // else from peerAddress.
    void arrive(std::string bytes, std::int64_t delayMs = 0,
                std::optional<std::string> sender = std::nullopt);
    // Moves the socket into its error state now, with the error notification.
    void breakConnection();

    std::string remoteHost;
    int remotePort = 0;
    std::string peerAddress = "127.0.0.1";
    std::vector<std::string> sent;
    std::function<void(const std::string& bytes)> peer;
    FailureScript sendFailures;
    FailureScript readFailures;
    FailureScript setRemoteHostFailures;
    // The outcome of each connect in turn; Accept once the script is used up.
    std::deque<ConnectOutcome> connectScript;
    std::int64_t connectDelayMs = 20;
    // Off: a refused connect shows only in the state, as when its notification is still queued.
    bool notifyErrors = true;
    int connectCalls = 0;
    int closeCalls = 0;
    std::string journalName = "socket";
    std::vector<std::string>* journal = nullptr;

private:
    struct Arrival {
        std::string bytes;
        std::optional<std::string> sender;
    };

    VirtualTime& m_time;
    SocketProtocol m_protocol = SocketProtocol::Datagram;
    int m_state = SocketClosed;
    std::deque<Arrival> m_inbound;
    std::optional<std::string> m_lastSender;
    int m_generation = 0; // arrivals and connects meant for a socket since closed are dropped
};

class FakeSerialPort : public SerialPort {
public:
    explicit FakeSerialPort(VirtualTime& time) : m_time(time) {}

    void setPortNumber(int number) override { m_port = number; }
    int portNumber() const override { return m_port; }
    void setFlowControl(FlowControl flow) override { flowControl = flow; }
    void setReceiveThreshold(int characters) override { receiveThreshold = characters; }
    void open() override;
    void close() override;
    bool isOpen() const override { return m_open; }
    int unreadCount() override { return static_cast<int>(m_inbound.size()); }
    std::string readAll() override;
    void write(const std::string& bytes) override;

    void arrive(std::string bytes, std::int64_t delayMs = 0);

    FlowControl flowControl = FlowControl::None;
    int receiveThreshold = 0;
    std::vector<std::string> written;
    std::function<void(const std::string& bytes)> peer;
    FailureScript openFailures;
    FailureScript writeFailures;
    std::vector<std::string>* journal = nullptr;

private:
    VirtualTime& m_time;
    int m_port = 1;
    bool m_open = false;
    std::string m_inbound;
};

// Hands out fakes and keeps a pointer to each, in creation order: the driver creates its
// serial port, then the terminal socket, then the module socket.
class FakeLinkFactory : public LinkFactory {
public:
    explicit FakeLinkFactory(VirtualTime& time) : m_time(time) {}

    std::unique_ptr<SerialPort> createSerialPort() override;
    std::unique_ptr<Socket> createSocket() override;

    std::vector<FakeSerialPort*> serialPorts;
    std::vector<FakeSocket*> sockets;
    // Every close, in order, also of fakes that are gone: "close serial", "close socket 0".
    std::vector<std::string> journal;

private:
    VirtualTime& m_time;
};

// A reply frame as a terminal sends it: the status letter (or "XN") followed by data. Built
// without the driver's frame code.
std::string TerminalReply(std::int16_t terminal, const std::string& statusAndData);

} // namespace kelvra::test
