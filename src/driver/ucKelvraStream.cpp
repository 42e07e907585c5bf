// The stream link through the Ethernet interface module, and the records that a terminal in
// extended mode pushes on its own.
#include "driver/CTimeout.h"
#include "driver/FrameCodec.h"
#include "driver/LinkKinds.h"
#include "driver/ModuleStatus.h"
#include "driver/SkipOnFailure.h"
#include "driver/ucKelvra.h"

#include <utility>

namespace kelvra {

namespace {

constexpr int kStatusQueries = 3;
constexpr int kStatusWaits = 20;
constexpr int kStatusWaitMs = 100;
constexpr int kExitPauseMs = 1000;
constexpr int kModuleAttempts = 3;
constexpr std::int16_t kConnectTimeoutMs = 5000;
constexpr int kConnectAttempts = 3;
constexpr int kReconnectPauseMs = 500;
constexpr std::int16_t kResendRequests = 3;

} // namespace

void ucKelvra::ConnectTcp() {
    if (m_IP.empty() || m_ShuttingDown) {
        return;
    }
    // Every failing statement below is skipped and the sequence goes on.
    SkipOnFailure([&] { CloseSocket(); });

    // Ask the module whether it still holds a stream connection, and have it drop a stale one.
    SkipOnFailure([&] {
        if (wskVexa5->state() != SocketClosed) {
            wskVexa5->close();
        }
    });
    SkipOnFailure([&] { wskVexa5->setProtocol(SocketProtocol::Datagram); });
    SkipOnFailure([&] { wskVexa5->setRemotePort(m_ModulePort); });
    SkipOnFailure([&] { wskVexa5->setRemoteHost(m_IP); });
    for (int attempt = 0;;) {
        m_ModuleReply.clear();
        for (int query = 0; query < kStatusQueries; ++query) {
            SkipOnFailure([&] {
                wskVexa5->send("X");
                ReportTraffic(LinkDirection::Sent, TrafficLink::Module, "X");
            });
            SkipOnFailure([&] { m_pump.processEvents(); });
        }
        bool answered = false;
        for (int wait = 0; wait < kStatusWaits && !answered; ++wait) {
            WaitMilliseconds(kStatusWaitMs);
            answered = m_ModuleReply.find('/') != std::string::npos;
        }
        if (m_ShuttingDown) {
            m_ErrCode = KV_ERR_TCP_CONNECTION_FAILED;
            return;
        }
        if (!answered || ModuleIsFree(m_ModuleReply)) {
            break;
        }
        SkipOnFailure([&] {
            wskVexa5->send("E");
            ReportTraffic(LinkDirection::Sent, TrafficLink::Module, "E");
        });
        WaitMilliseconds(kExitPauseMs);
        if (m_ShuttingDown) {
            m_ErrCode = KV_ERR_TCP_CONNECTION_FAILED;
            return;
        }
        if (++attempt >= kModuleAttempts) {
            break;
        }
    }
    // The stream connect is tried all the same.
    if (m_ModuleReply.empty() && !ToleratesSilentModule(m_CommunicationType)) {
        m_ErrCode = KV_ERR_VEXA5_ECHO_NOT_REPLY;
    }

    CTimeout timeout(m_clock);
    timeout.SetWaitingTime(kConnectTimeoutMs);
    SkipOnFailure([&] { CloseSocket(); });
    SkipOnFailure([&] { wsk->setProtocol(SocketProtocol::Stream); });
    SkipOnFailure([&] { wsk->setRemotePort(m_UDP_Port); });
    SkipOnFailure([&] { wsk->setRemoteHost(m_IP); });
    SkipOnFailure([&] { wsk->connect(); });
    WaitMilliseconds(100);

    auto reconnect = [&] {
        SkipOnFailure([&] { wsk->close(); });
        WaitMilliseconds(kReconnectPauseMs);
        if (!m_ShuttingDown) {
            SkipOnFailure([&] { wsk->connect(); });
        }
        WaitMilliseconds(kReconnectPauseMs);
    };
    for (int failures = 0;;) {
        SkipOnFailure([&] { m_pump.processEvents(); });
        if (m_ShuttingDown) {
            m_ErrCode = KV_ERR_TCP_CONNECTION_FAILED;
            SkipOnFailure([&] { CloseSocket(); });
            return;
        }
        int state = SocketClosed;
        SkipOnFailure([&] { state = wsk->state(); });
        if (state == SocketConnected) {
            return;
        }
        if (state == SocketError) {
            reconnect();
            if (++failures >= kConnectAttempts) {
                m_ErrCode = KV_ERR_WINSOCK_ERROR;
                return;
            }
            timeout.SetWaitingTime(kConnectTimeoutMs);
        }
        if (timeout.IsUp()) {
            reconnect();
            if (++failures >= kConnectAttempts) {
                m_ErrCode = m_ModuleReply.empty() ? KV_ERR_VEXA5_ECHO_NOT_REPLY
                                                  : KV_ERR_TCP_CONNECTION_FAILED;
                SkipOnFailure([&] { CloseSocket(); });
                return;
            }
            timeout.SetWaitingTime(kConnectTimeoutMs);
        }
    }
}

void ucKelvra::OnSocketConnected() {
    m_Connected = true;
}

void ucKelvra::OnSocketError() {
    SkipOnFailure([&] { CloseSocket(); });
    m_Connected = false;
}

void ucKelvra::OnModuleDataArrival() {
    SkipOnFailure([&] {
        const std::string datagram = wskVexa5->readAll();
        ReportTraffic(LinkDirection::Received, TrafficLink::Module, datagram);
        m_ModuleReply += datagram;
    });
    // Datagrams that no connect sequence asks for would otherwise grow it without end.
    if (m_ModuleReply.size() > kReceiveBufferLimit) {
        m_ModuleReply.erase(0, m_ModuleReply.size() - kReceiveBufferLimit);
    }
}

void ucKelvra::HandlePushedRecord(const std::string& frame, const std::string& source,
                                  bool serialLink) {
    const std::int16_t sourceID = TerminalOfAddress(frame[2]);
    m_CurrentID = sourceID;
    // Verified on its own: the receive buffer may hold the reply of a waiting command. A frame
    // too short to be taken apart is a failure too, never a good record.
    const auto verified = VerifyReply(frame);
    const std::int32_t code = verified ? verified->errCode : KV_ERR_LENGTH_NOT_ALLOWED;
    const std::string data = verified ? verified->data : frame;
    m_ErrCode = code;

    auto report = [&] {
        // The record's own copy goes out, never the receive buffer: a handler may run a
        // command, which empties and refills the buffer before the next subscriber's turn.
        SkipOnFailure([&] { KelvraDataArival.raise(source, sourceID, data, code); });
        if (sourceID >= 0 && sourceID < kTerminalTableSize) {
            const auto index = static_cast<std::size_t>(sourceID);
            ++m_PunchCount[index];
            m_LastPunch[index] = m_clock.now();
        }
    };
    if (code == KV_SUCCESS) {
        // After a resend request the terminal may send the record twice: as the answer to the
        // request and as its own repeat. The first good copy is raised, the others dropped.
        const bool afterResend = m_ResendCount > 0;
        const bool copy = m_ResentRecord && *m_ResentRecord == std::pair(sourceID, data);
        m_ResendCount = 0;
        m_ResendAwaited.reset();
        if (copy) {
            return;
        }
        if (afterResend) {
            m_ResentRecord.emplace(sourceID, data);
        } else {
            m_ResentRecord.reset();
        }
        report();
        return;
    }
    // A serial link reports every bad record at once; a socket link asks for it again first.
    // Both ask again while the budget lasts, or the terminal would wait for a confirmation
    // that never comes and push nothing more.
    if (serialLink || m_ResendCount >= kResendRequests) {
        report();
    }
    if (m_ResendCount < kResendRequests) {
        RequestResend(sourceID);
    }
}

void ucKelvra::RequestResend(std::int16_t source) {
    ++m_ResendCount;
    // Inside the wait of a command the request goes out once that command is done, after its
    // reply, as the terminal answers in order.
    if (m_WaitDepth > 0) {
        m_DeferredResend = source;
        return;
    }
    SendResendRequest(source);
}

void ucKelvra::SendResendRequest(std::int16_t source) {
    // The request does not wait for its answer: the answer is the record again, an "XN" frame
    // that the receive path takes as a pushed record. Waiting here would run a wait inside a
    // receive notification, and a command that the owner's event loop starts meanwhile would
    // take the record for its own reply: the record would be lost, and with it every record
    // after it, as the terminal waits for its confirmation. The request is the driver's own: the
    // outcome and the text that the owner's command left stay as they are. An earlier request
    // is answered by this one, so the send does not ask again for it.
    m_ResendAwaited.reset();
    const std::int32_t errCode = m_ErrCode;
    std::string received = std::move(m_ReceiveBuffer);
    SkipOnFailure([&] { ExeCmd("XR", source, "", false); });
    m_ErrCode = errCode;
    m_ReceiveBuffer = std::move(received);
    m_ResendAwaited.emplace(source, m_clock.tickCount());
}

void ucKelvra::RunDeferredResend() {
    if (m_DeferredResend && m_WaitDepth == 0) {
        SendResendRequest(*std::exchange(m_DeferredResend, std::nullopt));
    }
}

void ucKelvra::AskAgainIfUnanswered() {
    // The request or its answer may be lost on the way, and the terminal may not repeat the
    // record by itself: it would wait for a confirmation for good. So a request that nothing
    // has answered within the time-out is made again, within the same budget.
    if (!m_ResendAwaited || m_WaitDepth > 0 ||
        static_cast<std::int32_t>(m_clock.tickCount() - m_ResendAwaited->second) <= m_Timeout) {
        return;
    }
    const std::int16_t source = std::exchange(m_ResendAwaited, std::nullopt)->first;
    if (m_ResendCount < kResendRequests) {
        RequestResend(source);
    }
}

} // namespace kelvra
