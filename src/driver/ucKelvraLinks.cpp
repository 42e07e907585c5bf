// Opening and closing the link, and gathering what it receives.
#include "driver/LinkKinds.h"
#include "driver/SkipOnFailure.h"
#include "driver/ucKelvra.h"

#include <string>

namespace kelvra {

namespace {
constexpr std::uint32_t kTrafficTimeReuseMs = 50;
} // namespace

void ucKelvra::CloseSocket() {
    if (wsk->state() != SocketClosed) {
        wsk->close();
    }
}

void ucKelvra::Connect() {
    m_Connected = false;
    // A failing step ends Connect at once; the owner sees Connected stay false.
    SkipOnFailure([&] {
        const LinkKind* kind = FindLinkKind(m_CommunicationType);
        if (kind == nullptr) {
            return;
        }
        switch (kind->transport) {
        case LinkTransport::Datagram:
            CloseSocket();
            wsk->setRemotePort(m_UDP_Port);
            wsk->setRemoteHost(m_IP);
            wsk->setProtocol(SocketProtocol::Datagram);
            m_Connected = true;
            break;
        case LinkTransport::Stream:
            // Connected is set later, by the stream socket's connected notification.
            ConnectTcp();
            break;
        case LinkTransport::Serial:
            if (!comm->isOpen()) {
                comm->setFlowControl(kind->flowControl);
                comm->open();
            }
            m_Connected = true;
            break;
        }
    });
}

void ucKelvra::CloseConnection() {
    // Connected stays as it is: the next serial command reopens the port itself and the
    // next datagram command simply sends.
    SkipOnFailure([&] {
        if (comm->isOpen()) {
            comm->close();
        }
    });
    SkipOnFailure([&] { CloseSocket(); });
}

void ucKelvra::AppendReceived(const std::string& chunk) {
    m_ReceiveBuffer += chunk;
    // A flood that no command takes would otherwise grow the buffer without end.
    if (m_ReceiveBuffer.size() > kReceiveBufferLimit) {
        m_ReceiveBuffer.erase(0, m_ReceiveBuffer.size() - kReceiveBufferLimit);
    }
}

void ucKelvra::CountReceived(std::size_t characters) {
    // A terminal number outside the table is simply not counted.
    if (m_CurrentID < 0 || m_CurrentID >= kTerminalTableSize) {
        return;
    }
    std::int32_t& count = m_BytesReceived[static_cast<std::size_t>(m_CurrentID)];
    count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) +
                                      static_cast<std::uint32_t>(characters));
}

void ucKelvra::ReportTraffic(LinkDirection direction, TrafficLink link, std::string_view bytes) {
    if (LinkTraffic.subscriberCount() == 0 || bytes.empty()) {
        return;
    }
    std::string name;
    if (link == TrafficLink::Module) {
        name = "module " + m_IP + ":" + std::to_string(m_ModulePort);
    } else {
        int serialPort = 0;
        if (IsSerialLink(m_CommunicationType)) {
            SkipOnFailure([&] { serialPort = comm->portNumber(); });
        }
        name = TrafficLinkName(m_CommunicationType, m_IP, m_UDP_Port, serialPort);
    }
    // Reading the wall clock asks the system for its time zone each time, and a fast link
    // reports thousands of chunks a second: one reading stamps the chunks of the next 50 ms,
    // which the time of day, shown to the second, can bear.
    const std::uint32_t tick = m_clock.tickCount();
    if (!m_TrafficTime || tick - m_TrafficTime->first >= kTrafficTimeReuseMs) {
        m_TrafficTime.emplace(tick, m_clock.now());
    }
    // A failing subscriber must not end the command or the notification it reports from.
    SkipOnFailure([&] {
        LinkTraffic.raise(LinkChunk{direction, name, link == TrafficLink::Terminal,
                                    m_TrafficTime->second, tick, bytes});
    });
}

void ucKelvra::OnSerialReceive() {
    std::string chunk;
    if (!SkipOnFailure([&] {
            if (comm->unreadCount() >= 1) {
                chunk = comm->readAll();
            }
        }) ||
        chunk.empty()) {
        return;
    }
    ReportTraffic(LinkDirection::Received, TrafficLink::Terminal, chunk);
    ReceiveChunk(chunk, true);
}

void ucKelvra::OnSocketDataArrival() {
    std::string chunk;
    SkipOnFailure([&] { chunk = wsk->readAll(); });
    ReportTraffic(LinkDirection::Received, TrafficLink::Terminal, chunk);
    ReceiveChunk(chunk, false);
}

void ucKelvra::ReceiveChunk(const std::string& chunk, bool serialLink) {
    if (!m_RealTimeMode) {
        AppendReceived(chunk);
    } else {
        // Pushed records are taken out of the stream; the rest is the waiting command's.
        for (const auto& piece : m_RecordCutter.cut(chunk, !m_ResendPending)) {
            if (!piece.pushedRecord) {
                AppendReceived(piece.text);
                continue;
            }
            std::string source;
            SkipOnFailure([&] {
                source = serialLink ? "COM" + std::to_string(comm->portNumber())
                                    : wsk->remotePeerAddress();
            });
            SkipOnFailure([&] { HandlePushedRecord(piece.text, source, serialLink); });
        }
    }
    // Counted for the terminal that sent the last record, or else for the one last addressed.
    CountReceived(chunk.size());
}

} // namespace kelvra
