#include "SimulatorHost.h"

#include <algorithm>
#include <cerrno>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace kelvra::sim {

namespace {

std::string commandOf(std::string_view body) {
    const std::size_t letters = !body.empty() && body.front() == 'E' ? 1 : 2;
    return std::string(body.substr(0, letters));
}

bool wouldBlock(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

} // namespace

SimulatorHost::SimulatorHost(SimulatorOptions options)
    : m_options(std::move(options)),
      m_module(m_options.moduleBindAddress.empty() ? m_options.bindAddress
                                                   : m_options.moduleBindAddress),
      m_faults(m_options.faults) {
    for (std::int16_t number : m_options.terminals) {
        terminalFor(number, true);
    }
}

SimulatorHost::~SimulatorHost() {
    stop();
}

std::string SimulatorHost::moduleAddress() const {
    return m_options.moduleBindAddress.empty() ? m_options.bindAddress
                                               : m_options.moduleBindAddress;
}

void SimulatorHost::start() {
    std::lock_guard lock(m_mutex);
    if (m_running) {
        return;
    }
    for (const std::string& address :
         {m_options.bindAddress, moduleAddress(), m_options.moduleDiscoveryAddress}) {
        if (!address.empty() && !m_options.allowNonLoopback && !IsLoopbackAddress(address)) {
            throw std::invalid_argument("refusing to bind " + address +
                                        ": outside 127.0.0.0/8 (allowNonLoopback not set)");
        }
    }
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    m_wakeRead.reset(pipeEnds[0]);
    m_wakeWrite.reset(pipeEnds[1]);
    MakeNonBlocking(m_wakeRead.get());
    MakeNonBlocking(m_wakeWrite.get());
    try {
        if (m_options.udp) {
            m_udp = OpenUdpSocket(m_options.bindAddress, m_options.udpPort, m_udpPort);
        }
        if (m_options.tcp) {
            m_listener = OpenTcpListener(m_options.bindAddress, m_options.tcpPort, m_tcpPort);
        }
        if (m_options.module) {
            m_moduleSocket = OpenUdpSocket(moduleAddress(), m_options.modulePort, m_modulePort);
            if (!m_options.moduleDiscoveryAddress.empty()) {
                m_moduleDiscovery =
                    OpenSharedUdpSocket(m_options.moduleDiscoveryAddress, m_modulePort);
            }
        }
        if (m_options.serial) {
            m_pty = OpenPseudoTerminal();
            m_serialPath = m_pty.slavePath;
        }
    } catch (...) {
        closeEndpoints();
        throw;
    }
    m_stopping = false;
    m_running = true;
    m_thread = std::thread([this] { run(); });
}

void SimulatorHost::closeEndpoints() {
    m_udp.reset();
    m_listener.reset();
    m_moduleSocket.reset();
    m_moduleDiscovery.reset();
    m_pty = PseudoTerminal{};
    m_wakeRead.reset();
    m_wakeWrite.reset();
}

void SimulatorHost::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (!m_running) {
            return;
        }
        m_stopping = true;
        wake();
    }
    m_thread.join();
    std::lock_guard lock(m_mutex);
    m_running = false;
    closeClient();
    closeEndpoints();
    m_pending.clear();
    m_serialLine.clear();
    m_serialLineBytes = 0;
    m_changed.notify_all();
}

bool SimulatorHost::running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

std::vector<std::string> SimulatorHost::endpointLines() const {
    std::lock_guard lock(m_mutex);
    std::vector<std::string> lines;
    if (m_udp) {
        lines.push_back("udp " + m_options.bindAddress + ":" + std::to_string(m_udpPort));
    }
    if (m_listener) {
        lines.push_back("tcp " + m_options.bindAddress + ":" + std::to_string(m_tcpPort));
    }
    if (m_moduleSocket) {
        lines.push_back("module " + moduleAddress() + ":" + std::to_string(m_modulePort));
    }
    if (m_moduleDiscovery) {
        lines.push_back("module-discovery " + m_options.moduleDiscoveryAddress + ":" +
                        std::to_string(m_modulePort));
    }
    if (m_pty.master) {
        lines.push_back("serial " + m_serialPath);
    }
    return lines;
}

void SimulatorHost::wake() {
    if (m_wakeWrite) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t written = ::write(m_wakeWrite.get(), &byte, 1);
    }
}

// ---- control ------------------------------------------------------------------------------

void SimulatorHost::setFaults(const FaultSettings& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
    wake();
}

void SimulatorHost::applyFaultSpec(std::string_view spec) {
    std::lock_guard lock(m_mutex);
    m_faults = ParseFaultSpec(spec, m_faults);
    wake();
}

FaultSettings SimulatorHost::faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

PunchRecord SimulatorHost::addPunchRecord(std::int16_t terminal, std::string cardCode, int mode) {
    std::lock_guard lock(m_mutex);
    TerminalModel* model = terminalFor(terminal, true);
    if (model == nullptr) {
        throw std::out_of_range("terminal " + std::to_string(terminal) + " is not simulated");
    }
    PunchRecord record = model->addPunchRecord(std::move(cardCode), mode);
    wake();
    return record;
}

void SimulatorHost::setPushEvery(int ms) {
    std::lock_guard lock(m_mutex);
    m_options.terminal.pushEveryMs = ms;
    const auto now = SteadyClock::now();
    for (auto& [number, terminal] : m_terminals) {
        terminal->setPushEvery(ms, now);
    }
    wake();
}

HostStats SimulatorHost::stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

std::vector<ReceivedFrame> SimulatorHost::receivedFrames() const {
    std::lock_guard lock(m_mutex);
    return {m_received.begin(), m_received.end()};
}

void SimulatorHost::clearReceived() {
    std::lock_guard lock(m_mutex);
    m_received.clear();
}

bool SimulatorHost::streamClientConnected() const {
    std::lock_guard lock(m_mutex);
    return static_cast<bool>(m_client);
}

bool SimulatorHost::waitUntil(const std::function<bool(const HostStats&)>& predicate,
                              std::chrono::milliseconds timeout) const {
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return predicate(m_stats); });
}

TerminalModel* SimulatorHost::terminalFor(std::int16_t number, bool create) {
    if (number < 0 || number > 207) {
        return nullptr;
    }
    if (auto found = m_terminals.find(number); found != m_terminals.end()) {
        return found->second.get();
    }
    const bool listed = m_options.terminals.empty() ||
                        std::find(m_options.terminals.begin(), m_options.terminals.end(), number) !=
                            m_options.terminals.end();
    if (!create || !listed) {
        return nullptr;
    }
    TerminalConfig config = m_options.terminal;
    config.number = number;
    auto& slot = m_terminals[number];
    slot = std::make_unique<TerminalModel>(std::move(config));
    return slot.get();
}

// ---- the loop -----------------------------------------------------------------------------

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

// ---- receiving ----------------------------------------------------------------------------

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
        if (got == 0 || (got < 0 && !wouldBlock(errno))) {
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

bool SimulatorHost::moduleBusy() const {
    switch (m_faults.module) {
    case ModuleAvailability::Free:
        return false;
    case ModuleAvailability::Busy:
        return true;
    case ModuleAvailability::Auto:
        break;
    }
    return static_cast<bool>(m_client);
}

void SimulatorHost::onModuleReadable(const UniqueFd& socket) {
    char buffer[2048];
    for (int i = 0; i < 64; ++i) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const ssize_t got = ::recvfrom(socket.get(), buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&peer), &length);
        if (got < 0) {
            return;
        }
        ++m_stats.moduleDatagrams;
        if (m_faults.silentModule) {
            ++m_stats.moduleIgnored;
            continue;
        }
        if (ntohs(peer.sin_port) == m_modulePort) {
            // Another module's reply, not a request: answering it would start an exchange
            // between the two that never ends.
            continue;
        }
        const std::string_view datagram(buffer, static_cast<std::size_t>(got));
        ModuleContext context{moduleBusy(), m_clientPeer};
        if (m_faults.moduleStatus != 0 && ModuleModel::IsConfigurationCommand(datagram) &&
            ConsumeCount(m_faults.moduleStatusReplies)) {
            context.forcedStatus = m_faults.moduleStatus;
        }
        const ModuleOutcome outcome = m_module.handle(datagram, context);
        if (outcome.dropStream) {
            ++m_stats.moduleExits;
            if (m_client) {
                ++m_stats.tcpDroppedByExit;
                closeClient();
            }
            if (m_faults.module == ModuleAvailability::Busy && m_faults.busyForExits > 0 &&
                --m_faults.busyForExits == 0) {
                m_faults.module = ModuleAvailability::Auto;
                m_faults.busyForExits = -1;
            }
        }
        if (outcome.reply) {
            if (got >= 1 && buffer[0] == 'X') {
                ++m_stats.moduleStatusReplies;
            }
            ::sendto(m_moduleSocket.get(), outcome.reply->data(), outcome.reply->size(), 0,
                     reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
        }
    }
}

// ---- terminal frames ----------------------------------------------------------------------

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
    const std::vector<TimedWrite> writes = ShapeOutgoing(out.frame, out.kind, m_faults);
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
        if (sent < 0 && wouldBlock(errno)) {
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
