// What arrives on the terminal transports: UDP datagrams, the TCP client, the serial line.
#include "SimulatorHost.h"

#include <cerrno>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvra::sim {

void SimulatorHost::onUdpReadable(SteadyClock::time_point now) {
    char buffer[65536];
    for (int i = 0; i < 64; ++i) { // bounded per pass, so a flood cannot starve the others
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const ssize_t got = ::recvfrom(m_udp.get(), buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&peer), &length);
        if (got < 0) {
            return;
        }
        // One datagram carries one frame; anything around it is discarded.
        FrameAssembler frames(sizeof buffer + 1);
        Route route{Transport::Udp, peer, 0};
        for (const std::string& frame : frames.feed({buffer, static_cast<std::size_t>(got)})) {
            processFrame(frame, route, now);
        }
        m_stats.bytesDiscarded += frames.discardedBytes() + frames.pendingBytes();
    }
}

void SimulatorHost::onClientReadable(SteadyClock::time_point now) {
    char buffer[4096];
    for (int i = 0; i < 64 && m_client; ++i) {
        const ssize_t got = ::recv(m_client.get(), buffer, sizeof buffer, 0);
        if (got == 0 || (got < 0 && !WouldBlock(errno))) {
            ++m_stats.tcpClosedByPeer;
            closeClient();
            return;
        }
        if (got < 0) {
            return;
        }
        const std::size_t before = m_clientFrames.discardedBytes();
        const Route route{Transport::Tcp, {}, m_clientGeneration};
        for (const std::string& frame :
             m_clientFrames.feed({buffer, static_cast<std::size_t>(got)})) {
            processFrame(frame, route, now);
        }
        m_stats.bytesDiscarded += m_clientFrames.discardedBytes() - before;
    }
}

void SimulatorHost::onSerialReadable(SteadyClock::time_point now) {
    char buffer[4096];
    for (int i = 0; i < 64; ++i) {
        const ssize_t got = ::read(m_pty.master.get(), buffer, sizeof buffer);
        if (got <= 0) {
            return;
        }
        const std::size_t before = m_serialFrames.discardedBytes();
        for (const std::string& frame :
             m_serialFrames.feed({buffer, static_cast<std::size_t>(got)})) {
            processFrame(frame, Route{Transport::Serial, {}, 0}, now);
        }
        m_stats.bytesDiscarded += m_serialFrames.discardedBytes() - before;
    }
}

void SimulatorHost::onListenerReadable() {
    for (int i = 0; i < 8; ++i) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        UniqueFd accepted(::accept4(m_listener.get(), reinterpret_cast<sockaddr*>(&peer), &length,
                                    SOCK_NONBLOCK | SOCK_CLOEXEC));
        if (!accepted) {
            return;
        }
        if (m_client) {
            // One stream connection at a time, as the interface module holds it.
            ++m_stats.tcpRefused;
            continue; // `accepted` closes here
        }
        // Replies are single small writes: no Nagle delay behind an unacknowledged one.
        const int one = 1;
        ::setsockopt(accepted.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_client = std::move(accepted);
        m_clientPeer = AddressText(peer);
        m_clientOut.clear();
        m_clientFrames.reset();
        ++m_clientGeneration;
        ++m_stats.tcpAccepted;
    }
}

void SimulatorHost::closeClient() {
    m_client.reset();
    m_clientPeer.clear();
    m_clientOut.clear();
    m_clientFrames.reset();
    ++m_clientGeneration;
}

} // namespace kelvra::sim
