#include "cli/FrameTrace.h"

#include <cstdio>
#include <iostream>

namespace kelvra::cli {

namespace {

const char* ControlName(unsigned char byte) {
    switch (byte) {
    case 2:
        return "<STX>";
    case 3:
        return "<ETX>";
    case 9:
        return "<TAB>";
    case 10:
        return "<LF>";
    case 13:
        return "<CR>";
    default:
        return nullptr;
    }
}

class TracingSocket final : public Socket {
public:
    TracingSocket(std::unique_ptr<Socket> inner, FrameTraceSink& sink)
        : m_inner(std::move(inner)), m_sink(sink) {
        m_inner->onDataArrival = [this] {
            if (onDataArrival) {
                onDataArrival();
            }
        };
        m_inner->onConnected = [this] {
            if (onConnected) {
                onConnected();
            }
        };
        m_inner->onError = [this](int number, const std::string& text) {
            if (onError) {
                onError(number, text);
            }
        };
    }

    void setProtocol(SocketProtocol protocol) override { m_inner->setProtocol(protocol); }
    SocketProtocol protocol() const override { return m_inner->protocol(); }
    void setRemoteHost(const std::string& host) override {
        m_inner->setRemoteHost(host);
        m_host = host;
    }
    void setRemotePort(int port) override {
        m_inner->setRemotePort(port);
        m_port = port;
    }
    int state() const override { return m_inner->state(); }
    void close() override { m_inner->close(); }
    void connect() override { m_inner->connect(); }
    void send(const std::string& bytes) override {
        m_inner->send(bytes);
        m_sink(TraceDirection::Sent, kind() + " " + m_host + ":" + std::to_string(m_port), bytes);
    }
    std::string readAll() override {
        std::string bytes = m_inner->readAll();
        std::string peer;
        try {
            peer = m_inner->remotePeerAddress();
        } catch (const std::exception&) {
            peer = "?";
        }
        m_sink(TraceDirection::Received, kind() + " " + peer, bytes);
        return bytes;
    }
    std::string remotePeerAddress() const override { return m_inner->remotePeerAddress(); }
    std::string localAddress() const override { return m_inner->localAddress(); }

private:
    std::string kind() const { return protocol() == SocketProtocol::Stream ? "tcp" : "udp"; }

    std::unique_ptr<Socket> m_inner;
    FrameTraceSink& m_sink;
    std::string m_host;
    int m_port = 0;
};

class TracingSerialPort final : public SerialPort {
public:
    TracingSerialPort(std::unique_ptr<SerialPort> inner, FrameTraceSink& sink)
        : m_inner(std::move(inner)), m_sink(sink) {
        m_inner->onReceive = [this] {
            if (onReceive) {
                onReceive();
            }
        };
    }

    void setPortNumber(int number) override { m_inner->setPortNumber(number); }
    int portNumber() const override { return m_inner->portNumber(); }
    void setFlowControl(FlowControl flow) override { m_inner->setFlowControl(flow); }
    void setReceiveThreshold(int characters) override { m_inner->setReceiveThreshold(characters); }
    void open() override { m_inner->open(); }
    void close() override { m_inner->close(); }
    bool isOpen() const override { return m_inner->isOpen(); }
    int unreadCount() override { return m_inner->unreadCount(); }
    std::string readAll() override {
        std::string bytes = m_inner->readAll();
        m_sink(TraceDirection::Received, name(), bytes);
        return bytes;
    }
    void write(const std::string& bytes) override {
        m_inner->write(bytes);
        m_sink(TraceDirection::Sent, name(), bytes);
    }

private:
    std::string name() const { return "serial COM" + std::to_string(portNumber()); }

    std::unique_ptr<SerialPort> m_inner;
    FrameTraceSink& m_sink;
};

} // namespace

std::string DescribeBytes(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char character : bytes) {
        const auto byte = static_cast<unsigned char>(character);
        if (const char* name = ControlName(byte)) {
            text += name;
        } else if (byte < 0x20 || byte >= 0x7f || byte == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += character;
        }
    }
    return text;
}

FrameTraceSink StandardErrorTrace() {
    return [](TraceDirection direction, const std::string& link, std::string_view bytes) {
        if (bytes.empty()) {
            return; // a read that found nothing crossed no link
        }
        std::cerr << (direction == TraceDirection::Sent ? "> " : "< ") << link << " "
                  << DescribeBytes(bytes) << std::endl;
    };
}

TracingLinkFactory::TracingLinkFactory(LinkFactory& inner, FrameTraceSink sink)
    : m_inner(inner), m_sink(std::move(sink)) {}

std::unique_ptr<SerialPort> TracingLinkFactory::createSerialPort() {
    return std::make_unique<TracingSerialPort>(m_inner.createSerialPort(), m_sink);
}

std::unique_ptr<Socket> TracingLinkFactory::createSocket() {
    return std::make_unique<TracingSocket>(m_inner.createSocket(), m_sink);
}

} // namespace kelvra::cli
