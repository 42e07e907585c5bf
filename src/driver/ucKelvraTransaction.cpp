// One command, start to end: frame, send, wait for the reply, verify it.
#include "driver/FrameCodec.h"
#include "driver/LinkKinds.h"
#include "driver/ReplyPasses.h"
#include "driver/SkipOnFailure.h"
#include "driver/ucKelvra.h"
#include "platform/PlatformError.h"

#include <algorithm>
#include <exception>
#include <string_view>
#include <utility>

namespace kelvra {

namespace {

// The socket error number for a socket type that the system does not support; four send
// failures ending on it mean that no network is installed.
constexpr int kSocketTypeNotSupported = 10044;
constexpr int kSendFailureBudget = 3;

// The statements of one send. A failing statement is executed again; the fourth failure of
// the command ends it with KV_ERR_NETWORK_NOT_INSTALLED or KV_ERR_WINSOCK_ERROR.
class SendAttempts {
public:
    explicit SendAttempts(std::int32_t& errCode) : m_errCode(errCode) {}

    template <typename Statement> bool run(Statement&& statement) {
        for (;;) {
            int number = 0;
            try {
                statement();
                return true;
            } catch (const PlatformError& failure) {
                number = failure.number();
            } catch (const std::exception&) {
                number = 0;
            }
            if (++m_failures > kSendFailureBudget) {
                m_errCode = number == kSocketTypeNotSupported ? KV_ERR_NETWORK_NOT_INSTALLED
                                                              : KV_ERR_WINSOCK_ERROR;
                return false;
            }
        }
    }

private:
    std::int32_t& m_errCode;
    std::int16_t m_failures = 0;
};

// Counts a waiting command for as long as it waits.
class WaitingCommand {
public:
    explicit WaitingCommand(int& depth) : m_depth(depth) { ++m_depth; }
    ~WaitingCommand() { --m_depth; }
    WaitingCommand(const WaitingCommand&) = delete;
    WaitingCommand& operator=(const WaitingCommand&) = delete;

private:
    int& m_depth;
};

} // namespace

void ucKelvra::ExeCmd(const std::string& command, std::int16_t id, const std::string& data,
                      const bool& needAck) {
    if (m_ShuttingDown) {
        m_ErrCode = KV_ERR_CONNECTION_NOT_ESTABLISHED;
        return;
    }
    if (m_RealTimeMode) {
        AskAgainIfUnanswered();
    }
    SendAttempts attempts(m_ErrCode);

    if (!m_Connected) {
        bool streamSocket = false;
        if (!attempts.run([&] { streamSocket = wsk->protocol() == SocketProtocol::Stream; })) {
            return;
        }
        if (streamSocket) {
            ConnectTcp();
        }
        // Also an outcome left over from an earlier operation keeps the link shut.
        if (m_ErrCode != KV_SUCCESS) {
            m_ErrCode = KV_ERR_CONNECTION_NOT_ESTABLISHED;
            return;
        }
    }

    m_CurrentID = id;
    std::string frame;
    if (!attempts.run([&] { frame = BuildRequestFrame(command, id, data); })) {
        return;
    }
    if (m_WaitDepth == 0) {
        if (needAck) {
            DiscardLateReply();
            if (m_WakeOnReply) {
                SettleLink();
            }
        }
        m_ReceiveBuffer.clear();
    }
    // else a handler runs this command while another one waits: that one's reply stays.

    if (IsDatagramLink(m_CommunicationType)) {
        if (!attempts.run([&] { wsk->send(frame); })) {
            return;
        }
        ReportTraffic(LinkDirection::Sent, TrafficLink::Terminal, frame);
    } else if (IsStreamLink(m_CommunicationType)) {
        int state = SocketClosed;
        if (!attempts.run([&] { state = wsk->state(); })) {
            return;
        }
        if (state == SocketError) {
            m_ErrCode = KV_ERR_WINSOCK_ERROR;
            m_Connected = false;
            attempts.run([&] { CloseSocket(); });
            return;
        }
        if (!attempts.run([&] { wsk->send(frame); })) {
            return;
        }
        ReportTraffic(LinkDirection::Sent, TrafficLink::Terminal, frame);
    } else if (IsSerialLink(m_CommunicationType)) {
        if (!attempts.run([&] {
                if (!comm->isOpen()) {
                    comm->open();
                }
            })) {
            return;
        }
        if (!attempts.run([&] { comm->write(frame); })) {
            return;
        }
        ReportTraffic(LinkDirection::Sent, TrafficLink::Terminal, frame);
    }

    if (needAck) {
        GetResult();
        RunDeferredResend();
    }
}

void ucKelvra::DiscardLateReply() {
    if (!m_LateReplyUntil) {
        return;
    }
    // The reply to a command that timed out may still be on its way, and nothing in it names
    // the request it answers: taken now, it would pass for this command's reply. So until one
    // more time-out has passed since that failure, wait for it and throw it away. Commands
    // sent later, or after a command that succeeded, pay nothing.
    const std::uint32_t until = *std::exchange(m_LateReplyUntil, std::nullopt);
    const WaitingCommand waiting(m_WaitDepth);
    while (!m_ShuttingDown && static_cast<std::int32_t>(until - m_clock.tickCount()) > 0) {
        const bool replyEnded = WaitPass([&] {
            const bool ended =
                m_ReceiveBuffer.find_first_of(std::string_view("\x03\x0D", 2)) != std::string::npos;
            m_ReceiveBuffer.clear();
            return ended;
        });
        if (replyEnded) {
            return;
        }
    }
}

void ucKelvra::GetResult() {
    m_ErrCode = KV_SUCCESS;
    std::string accumulated;
    const WaitingCommand waiting(m_WaitDepth);
    auto timedOut = [&] {
        m_ErrCode = KV_ERR_TIMEOUT;
        m_LateReplyUntil = m_clock.tickCount() + static_cast<std::uint32_t>(std::max(0, m_Timeout));
    };
    try {
        std::int64_t passesLeft = ReplyPassBudget(m_Timeout);
        DateTime previous = m_clock.now();
        auto ended = [&] {
            return accumulated.find(ETX) != std::string::npos ||
                   accumulated.find(CR) != std::string::npos;
        };
        for (;;) {
            // Woken by the reply, the wait does not take a frame that repeats the last reply
            // at once: it may be that reply sent twice, arriving after its command returned.
            // Such a frame waits out its pass, as every reply does without wake-on-reply, so
            // that a reply of this command's own that follows shows as a second frame and
            // fails the length check instead of being taken for the next command's.
            const bool complete = WaitPass([&] {
                std::string chunk;
                TakeReceived(chunk);
                accumulated += chunk;
                return ended() && !(m_WakeOnReply && accumulated == m_LastReply);
            });
            if (complete || ended()) {
                m_LastReply = accumulated;
                break;
            }
            if (passesLeft == 0 || m_ShuttingDown) {
                timedOut();
                return;
            }
            --passesLeft;
            // A pass held up for longer than the whole time-out (a modal window opened while
            // events were processed) ends the wait. The date counts whole seconds, and any
            // pass may cross one second boundary, so a single boundary never counts as held
            // up: with a time-out under a second it would fail commands at random.
            const DateTime current = m_clock.now();
            const double allowedBoundaries = std::max(1.0, m_Timeout / 1000.0);
            if (static_cast<double>(SecondsBetween(previous, current)) > allowedBoundaries) {
                timedOut();
                return;
            }
            previous = current;
        }
        if (accumulated.size() < kShortestReply) {
            m_ReceiveBuffer = accumulated;
            m_ErrCode = KV_ERR_LENGTH_NOT_ALLOWED;
        } else if (m_ErrCode != KV_ERR_TIMEOUT) {
            // A command started from an event handler during the wait may have timed out.
            ParseReply(accumulated);
        }
        // Woken by the first frame end, a command whose text is not one whole frame may have
        // taken part of a reply whose rest is still arriving: the next command lets one pass
        // go by first.
        if (m_WakeOnReply &&
            (m_ErrCode == KV_ERR_LENGTH_NOT_ALLOWED || m_ErrCode == KV_ERR_LENGTH_NOT_MATCH)) {
            m_SettleUntil = m_clock.tickCount() + kReplyPassMs;
        }
    } catch (const std::exception&) {
        // A failing link service ends the wait with the outcome reached so far.
    }
}

bool ucKelvra::WaitPass(const std::function<bool()>& complete) {
    if (!m_WakeOnReply) {
        m_clock.sleep(kReplyPassMs);
        m_pump.processEvents();
        return complete();
    }
    // The pass still lasts kReplyPassMs unless the reply completes in it: every wake-up looks
    // at what arrived, and the pass ends on the tick count, not on the number of wake-ups.
    const std::uint32_t start = m_clock.tickCount();
    for (;;) {
        const std::int64_t elapsed = static_cast<std::uint32_t>(m_clock.tickCount() - start);
        const auto left = static_cast<int>(std::max<std::int64_t>(0, kReplyPassMs - elapsed));
        m_pump.waitForEvents(left);
        if (complete()) {
            return true;
        }
        if (left == 0 || m_ShuttingDown) {
            return false;
        }
    }
}

void ucKelvra::SettleLink() {
    // Woken by the first complete frame, the last command left whatever followed it (a reply
    // sent twice) on its way: what has arrived by now is delivered and dropped, so that it
    // cannot pass for this command's reply.
    m_pump.processEvents();
    if (!m_SettleUntil) {
        return;
    }
    const std::uint32_t until = *std::exchange(m_SettleUntil, std::nullopt);
    const WaitingCommand waiting(m_WaitDepth);
    for (auto left = static_cast<std::int32_t>(until - m_clock.tickCount());
         left > 0 && !m_ShuttingDown;
         left = static_cast<std::int32_t>(until - m_clock.tickCount())) {
        m_pump.waitForEvents(left);
        m_ReceiveBuffer.clear();
    }
}

void ucKelvra::TakeReceived(std::string& out) {
    if (FindLinkKind(m_CommunicationType) != nullptr) {
        out = m_ReceiveBuffer;
    }
    m_ReceiveBuffer.clear();
}

void ucKelvra::GetData(std::string& o_sData) {
    if (IsSerialLink(m_CommunicationType)) {
        o_sData = m_ReceiveBuffer;
        SkipOnFailure([&] {
            if (comm->isOpen() && comm->unreadCount() >= 1) {
                const std::string late = comm->readAll();
                ReportTraffic(LinkDirection::Received, TrafficLink::Terminal, late);
                o_sData += late;
            }
        });
    } else if (FindLinkKind(m_CommunicationType) != nullptr) {
        o_sData = m_ReceiveBuffer;
    }
    m_ReceiveBuffer.clear();
}

void ucKelvra::ParseReply(const std::string& frame) {
    if (auto reply = VerifyReply(frame)) {
        m_ErrCode = reply->errCode;
        m_ReceiveBuffer = std::move(reply->data);
    }
}

void ucKelvra::WaitMilliseconds(std::int32_t ms) {
    std::uint32_t start = m_clock.tickCount();
    std::uint32_t latest = start;
    int passes = 0;
    for (;;) {
        m_pump.processEvents();
        if (m_ShuttingDown) {
            return;
        }
        m_clock.sleep(1);
        // Reading the counter is left to every 11th pass.
        if (++passes > 10) {
            latest = m_clock.tickCount();
            passes = 0;
        }
        if (latest < start) {
            start = latest;
        }
        if (static_cast<std::int64_t>(latest - start) > ms) {
            return;
        }
    }
}

} // namespace kelvra
