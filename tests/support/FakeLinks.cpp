#include "FakeLinks.h"

#include "platform/PlatformError.h"

namespace kelvra::test {

void FailureScript::throwIfDue(const char* operation) {
    if (count > 0) {
        --count;
        throw PlatformError(number, std::string(operation) + " failed");
    }
}

void FakeSocket::close() {
    ++closeCalls;
    if (journal != nullptr) {
        journal->push_back("close " + journalName);
    }
    ++m_generation;
    m_state = SocketClosed;
    m_inbound.clear();
}

void FakeSocket::connect() {
    ++connectCalls;
    m_state = SocketConnecting;
    ConnectOutcome outcome = ConnectOutcome::Accept;
    if (!connectScript.empty()) {
        outcome = connectScript.front();
        connectScript.pop_front();
    }
    if (outcome == ConnectOutcome::Silent) {
        return;
    }
    const int generation = m_generation;
    m_time.at(connectDelayMs, [this, generation, outcome] {
        if (generation != m_generation) {
            return;
        }
        if (outcome == ConnectOutcome::Accept) {
            m_state = SocketConnected;
            m_time.post([this] {
                if (onConnected) {
                    onConnected();
                }
            });
        } else {
            breakConnection();
        }
    });
}

void FakeSocket::breakConnection() {
    m_state = SocketError;
    if (!notifyErrors) {
        return;
    }
    m_time.post([this] {
        if (onError) {
            onError(10061, "Connection refused");
        }
    });
}

void FakeSocket::send(const std::string& bytes) {
    sendFailures.throwIfDue("send");
    if (m_protocol == SocketProtocol::Datagram && m_state == SocketClosed) {
        m_state = SocketOpen; // a datagram socket binds on its first send
    }
    sent.push_back(bytes);
    if (peer) {
        peer(bytes);
    }
}

std::string FakeSocket::readAll() {
    readFailures.throwIfDue("read");
    std::string data;
    if (m_protocol == SocketProtocol::Datagram) {
        if (!m_inbound.empty()) {
            data = std::move(m_inbound.front().bytes);
            m_lastSender = std::move(m_inbound.front().sender);
            m_inbound.pop_front();
        }
        return data;
    }
    for (const Arrival& arrival : m_inbound) {
        data += arrival.bytes;
    }
    m_inbound.clear();
    return data;
}

void FakeSocket::arrive(std::string bytes, std::int64_t delayMs,
                        std::optional<std::string> sender) {
    const int generation = m_generation;
    m_time.at(delayMs, [this, generation, arrival = Arrival{std::move(bytes), std::move(sender)}] {
        if (generation != m_generation) {
            return;
        }
        m_inbound.push_back(arrival);
        m_time.post([this] {
            if (onDataArrival) {
                onDataArrival();
            }
        });
    });
}

void FakeSerialPort::open() {
    openFailures.throwIfDue("open");
    m_open = true;
}

void FakeSerialPort::close() {
    if (journal != nullptr) {
        journal->push_back("close serial");
    }
    m_open = false;
    m_inbound.clear();
}

std::string FakeSerialPort::readAll() {
    std::string data;
    data.swap(m_inbound);
    return data;
}

void FakeSerialPort::write(const std::string& bytes) {
    if (!m_open) {
        throw PlatformError(8018, "port not open");
    }
    writeFailures.throwIfDue("write");
    written.push_back(bytes);
    if (peer) {
        peer(bytes);
    }
}

void FakeSerialPort::arrive(std::string bytes, std::int64_t delayMs) {
    m_time.at(delayMs, [this, bytes = std::move(bytes)] {
        if (!m_open) {
            return;
        }
        m_inbound += bytes;
        m_time.post([this] {
            if (onReceive) {
                onReceive();
            }
        });
    });
}

std::unique_ptr<SerialPort> FakeLinkFactory::createSerialPort() {
    auto port = std::make_unique<FakeSerialPort>(m_time);
    port->journal = &journal;
    serialPorts.push_back(port.get());
    return port;
}

std::unique_ptr<Socket> FakeLinkFactory::createSocket() {
    auto socket = std::make_unique<FakeSocket>(m_time);
    socket->journal = &journal;
    socket->journalName = "socket " + std::to_string(sockets.size());
    sockets.push_back(socket.get());
    return socket;
}

std::string TerminalReply(std::int16_t terminal, const std::string& statusAndData) {
    // Framed here, not by the driver's builder: a fault shared by builder and verifier would
    // otherwise pass every test that answers with these frames.
    constexpr char kHex[] = "0123456789ABCDEF";
    unsigned sum = 0;
    for (const char c : statusAndData) {
        sum += static_cast<unsigned char>(c);
    }
    const std::size_t length = statusAndData.size() + 4;
    const char address = static_cast<char>(48 + terminal);
    return std::string{'\x02', address, address} + statusAndData + kHex[(sum >> 4) & 15] +
           kHex[sum & 15] + kHex[(length >> 4) & 15] + kHex[length & 15] + '\x03';
}

} // namespace kelvra::test
