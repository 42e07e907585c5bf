#include "FakeDatagramSocket.h"

namespace kelvra::test {

void FakeDatagramSocket::setRemoteHost(const std::string& host) {
    setRemoteHostFailures.throwIfDue("set remote host");
    remoteHost = host;
}

void FakeDatagramSocket::close() {
    ++closeCalls;
    ++m_generation;
    m_state = SocketClosed;
    m_arrived.clear();
}

void FakeDatagramSocket::send(const std::string& bytes) {
    sendFailures.throwIfDue("send");
    m_state = SocketOpen; // bound by its first send
    const SentDatagram datagram{remoteHost, remotePort, bytes};
    sent.push_back(datagram);
    for (const auto& peer : peers) {
        peer(datagram);
    }
}

std::string FakeDatagramSocket::readAll() {
    readFailures.throwIfDue("read");
    if (m_arrived.empty()) {
        return {};
    }
    Arrived oldest = std::move(m_arrived.front());
    m_arrived.pop_front();
    m_peerAddress = std::move(oldest.sender);
    return std::move(oldest.datagram);
}

void FakeDatagramSocket::arrive(std::string datagram, std::string sender, std::int64_t delayMs) {
    const int generation = m_generation;
    m_time.at(delayMs, [this, generation, datagram = std::move(datagram),
                        sender = std::move(sender)]() mutable {
        if (generation != m_generation) {
            return;
        }
        m_arrived.push_back({std::move(datagram), std::move(sender)});
        m_time.post([this] {
            if (onDataArrival) {
                onDataArrival();
            }
        });
    });
}

std::unique_ptr<SerialPort> FakeDatagramLinkFactory::createSerialPort() {
    return std::make_unique<FakeSerialPort>(m_time);
}

std::unique_ptr<Socket> FakeDatagramLinkFactory::createSocket() {
    auto socket = std::make_unique<FakeDatagramSocket>(m_time);
    sockets.push_back(socket.get());
    return socket;
}

} // namespace kelvra::test
