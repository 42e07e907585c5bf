// The host's thread: one poll() loop over every endpoint, and the timers it runs.
#include "SimulatorHost.h"

#include <poll.h>
#include <unistd.h>

namespace kelvra::sim {

std::chrono::nanoseconds SimulatorHost::pollTimeout(SteadyClock::time_point now) const {
    std::optional<SteadyClock::time_point> next;
    auto earliest = [&](SteadyClock::time_point t) {
        if (!next || t < *next) {
            next = t;
        }
    };
    if (!m_pending.empty()) {
        earliest(m_pending.front().due);
    }
    if (!m_serialLine.empty()) {
        earliest(m_serialLine.front().sent);
    }
    if (!m_faults.silentTerminal) {
        for (const auto& [number, terminal] : m_terminals) {
            if (const auto wakeup = terminal->nextWakeup()) {
                earliest(*wakeup);
            }
        }
    }
    constexpr std::chrono::nanoseconds idle = std::chrono::seconds(1);
    if (!next) {
        return idle;
    }
    if (*next <= now) {
        return std::chrono::nanoseconds::zero();
    }
    return std::min<std::chrono::nanoseconds>(*next - now, idle);
}

void SimulatorHost::run() {
    enum Source { Wake, Udp, Module, ModuleDiscovery, Listener, Client, Serial };
    std::vector<pollfd> fds;
    std::vector<Source> sources;
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        fds.clear();
        sources.clear();
        auto watch = [&](const UniqueFd& fd, Source source, bool wantWrite) {
            if (fd) {
                fds.push_back(
                    {fd.get(), static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0});
                sources.push_back(source);
            }
        };
        watch(m_wakeRead, Wake, false);
        watch(m_udp, Udp, false);
        watch(m_moduleSocket, Module, false);
        watch(m_moduleDiscovery, ModuleDiscovery, false);
        watch(m_listener, Listener, false);
        watch(m_client, Client, !m_clientOut.empty());
        watch(m_pty.master, Serial, !m_serialOut.empty());
        // Nanoseconds rather than poll()'s milliseconds: a frame on a paced serial line takes
        // a few milliseconds, and rounding each wait up would stretch every one of them.
        const std::chrono::nanoseconds timeout = pollTimeout(SteadyClock::now());
        const timespec wait{static_cast<time_t>(timeout.count() / 1'000'000'000),
                            static_cast<long>(timeout.count() % 1'000'000'000)};

        lock.unlock();
        const int ready = ::ppoll(fds.data(), fds.size(), &wait, nullptr);
        lock.lock();
        if (m_stopping) {
            break;
        }
        const auto now = SteadyClock::now();
        if (ready > 0) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                const short events = fds[i].revents;
                if (events == 0) {
                    continue;
                }
                switch (sources[i]) {
                case Wake: {
                    char drain[64];
                    while (::read(m_wakeRead.get(), drain, sizeof drain) > 0) {
                    }
                    break;
                }
                case Udp:
                    onUdpReadable(now);
                    break;
                case Module:
                    onModuleReadable(m_moduleSocket);
                    break;
                case ModuleDiscovery:
                    onModuleReadable(m_moduleDiscovery);
                    break;
                case Listener:
                    onListenerReadable();
                    break;
                case Client:
                    // The client may have been replaced or dropped ("E") since the poll.
                    if (m_client.get() == fds[i].fd) {
                        if (events & POLLOUT) {
                            flushStream(m_client, m_clientOut, true);
                        }
                        if (m_client && (events & (POLLIN | POLLHUP | POLLERR))) {
                            onClientReadable(now);
                        }
                    }
                    break;
                case Serial:
                    if (events & POLLOUT) {
                        flushStream(m_pty.master, m_serialOut, false);
                    }
                    if (events & POLLIN) {
                        onSerialReadable(now);
                    }
                    break;
                }
            }
        }
        runTimers(SteadyClock::now());
        m_changed.notify_all();
    }
}

void SimulatorHost::runTimers(SteadyClock::time_point now) {
    if (!m_faults.silentTerminal) {
        for (auto& [number, terminal] : m_terminals) {
            const auto route = m_routes.find(number);
            if (route == m_routes.end()) {
                continue; // never heard from: no link to push on
            }
            const auto wakeup = terminal->nextWakeup();
            if (!wakeup || *wakeup > now) {
                continue;
            }
            for (const Outgoing& out : terminal->poll(now)) {
                sendShaped(out, route->second, now);
            }
        }
    }
    while (!m_pending.empty() && m_pending.front().due <= now) {
        PendingWrite write = std::move(m_pending.front());
        m_pending.erase(m_pending.begin());
        writeNow(write.route, write.bytes, now);
    }
    deliverSentLineWrites(now);
}

} // namespace kelvra::sim
