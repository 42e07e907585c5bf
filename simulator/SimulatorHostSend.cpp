// Terminal frames: the simulated terminal's answer, shaped by the faults and written out.
#include "SimulatorHost.h"

#include <algorithm>
#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvra::sim {

namespace {

std::string commandOf(std::string_view body) {
    const std::size_t letters = !body.empty() && body.front() == 'E' ? 1 : 2;
    return std::string(body.substr(0, letters));
}

} // namespace

void SimulatorHost::processFrame(const std::string& frame, const Route& route,
                                 SteadyClock::time_point now) {
    ++m_stats.framesReceived;
    m_received.push_back({route.transport, frame});
    if (m_received.size() > kReceivedLimit) {
        m_received.pop_front();
    }
    const Request request = ParseRequest(frame);
    TerminalModel* terminal =
        request.check == RequestCheck::Malformed ? nullptr : terminalFor(request.terminal, true);
    if (terminal == nullptr) {
        ++m_stats.framesIgnored;
        return;
    }
    if (m_faults.silentTerminal) {
        ++m_stats.framesSilenced;
        return;
    }
    m_routes[request.terminal] = route;
    if (m_faults.refuseStatus != 0 && request.check == RequestCheck::Ok &&
        (m_faults.refuseCommand.empty() || commandOf(request.body) == m_faults.refuseCommand)) {
        ++m_stats.framesRefused;
        sendShaped(
            {ReplyFrame(request.terminal, std::string(1, m_faults.refuseStatus)), FrameKind::Reply},
            route, now);
        return;
    }
    for (const Outgoing& out : terminal->handleFrame(frame, now)) {
        sendShaped(out, route, now);
    }
}

void SimulatorHost::sendShaped(const Outgoing& out, const Route& route,
                               SteadyClock::time_point now) {
    if (out.kind == FrameKind::Push) {
        // A push tick: the faults armed at random fire, before the push they may concern.
        for (const RandomFault& fault : m_faults.random) {
            if (std::bernoulli_distribution(fault.share)(m_random)) {
                ArmFault(fault.item, m_faults, m_once);
                ++m_stats.faultsArmed;
            }
        }
    }
    const std::vector<TimedWrite> writes = ShapeOutgoing(out.frame, out.kind, m_faults, m_once);
    if (out.kind == FrameKind::Push) {
        ++m_stats.pushesSent;
    } else if (writes.empty()) {
        ++m_stats.repliesDropped;
    } else {
        ++m_stats.repliesSent;
    }
    for (const TimedWrite& write : writes) {
        if (write.after.count() == 0 && m_pending.empty()) {
            writeNow(route, write.bytes, now);
            continue;
        }
        // A terminal sends its frames one after another: a write never overtakes one queued
        // before it, so the two halves of a split frame are never parted by another frame.
        SteadyClock::time_point due = now + write.after;
        if (!m_pending.empty()) {
            due = std::max(due, m_pending.back().due);
        }
        m_pending.push_back(PendingWrite{due, m_sequence++, route, write.bytes});
    }
}

void SimulatorHost::writeNow(const Route& route, const std::string& bytes,
                             SteadyClock::time_point now) {
    switch (route.transport) {
    case Transport::Udp:
        if (m_udp) {
            ++m_stats.writes;
            ::sendto(m_udp.get(), bytes.data(), bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&route.peer), sizeof route.peer);
        }
        return;
    case Transport::Tcp:
        if (!m_client || route.tcpGeneration != m_clientGeneration) {
            return; // meant for a client that is gone
        }
        if (m_clientOut.size() + bytes.size() > kOutputLimit) {
            m_stats.outputOverflow += bytes.size();
            return;
        }
        ++m_stats.writes;
        m_clientOut += bytes;
        flushStream(m_client, m_clientOut, true);
        return;
    case Transport::Serial:
        writeSerial(bytes, now);
        return;
    }
}

void SimulatorHost::writeSerial(const std::string& bytes, SteadyClock::time_point now) {
    if (!m_pty.master) {
        return;
    }
    if (m_serialOut.size() + m_serialLineBytes + bytes.size() > kOutputLimit) {
        m_stats.outputOverflow += bytes.size();
        return;
    }
    ++m_stats.writes;
    if (m_options.serialBaud <= 0) {
        m_serialOut += bytes;
        flushStream(m_pty.master, m_serialOut, false);
        return;
    }
    // The line sends one write after the other. The reader gets each write whole once its
    // last stop bit has gone: handing it over byte by byte would cost a wake-up per byte and
    // change no rate.
    constexpr std::int64_t kBitsPerByte = 10; // start bit, 8 data bits, stop bit
    const auto lineTime =
        std::chrono::nanoseconds(static_cast<std::int64_t>(bytes.size()) * kBitsPerByte *
                                 1'000'000'000 / m_options.serialBaud);
    m_serialLineFree = std::max(m_serialLineFree, now) + lineTime;
    m_serialLine.push_back({m_serialLineFree, bytes});
    m_serialLineBytes += bytes.size();
}

void SimulatorHost::deliverSentLineWrites(SteadyClock::time_point now) {
    bool delivered = false;
    while (!m_serialLine.empty() && m_serialLine.front().sent <= now) {
        m_serialOut += m_serialLine.front().bytes;
        m_serialLineBytes -= m_serialLine.front().bytes.size();
        m_serialLine.pop_front();
        delivered = true;
    }
    if (delivered && m_pty.master) {
        flushStream(m_pty.master, m_serialOut, false);
    }
}

void SimulatorHost::flushStream(UniqueFd& fd, std::string& buffer, bool isClient) {
    while (!buffer.empty() && fd) {
        const ssize_t sent = isClient ? ::send(fd.get(), buffer.data(), buffer.size(), MSG_NOSIGNAL)
                                      : ::write(fd.get(), buffer.data(), buffer.size());
        if (sent > 0) {
            buffer.erase(0, static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && WouldBlock(errno)) {
            return; // the rest goes when the poll reports room
        }
        if (isClient) {
            ++m_stats.tcpClosedByPeer;
            closeClient();
        } else {
            buffer.clear();
        }
        return;
    }
}

} // namespace kelvra::sim
