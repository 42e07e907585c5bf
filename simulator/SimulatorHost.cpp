#include "SimulatorHost.h"

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <unistd.h>

namespace kelvra::sim {

SimulatorHost::SimulatorHost(SimulatorOptions options)
    : m_options(std::move(options)),
      m_module(m_options.moduleBindAddress.empty() ? m_options.bindAddress
                                                   : m_options.moduleBindAddress),
      m_faults(m_options.faults) {
    // Terminals are built when their first frame arrives, on the host's thread: settings that
    // cannot make one are refused here instead.
    [[maybe_unused]] const TerminalModel probe(m_options.terminal);
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

void SimulatorHost::setFaults(const FaultSettings& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
    m_once = {};
    wake();
}

void SimulatorHost::applyFaultList(std::string_view list) {
    std::lock_guard lock(m_mutex);
    m_faults = ParseFaultList(list, m_faults);
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

} // namespace kelvra::sim
