#pragma once

#include "Faults.h"
#include "ModuleModel.h"
#include "PosixIo.h"
#include "SimFrames.h"
#include "TerminalModel.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace kelvra::sim {

struct SimulatorOptions {
    std::string bindAddress = "127.0.0.1";
    std::string moduleBindAddress; // empty: bindAddress
    int udpPort = 1001;            // 0: any free port (read back with udpPort())
    int tcpPort = 1001;
    int modulePort = 65535;
    // Empty: none. Otherwise a broadcast address such as 127.255.255.255 on which the module
    // also listens, on its module port, shared with the other simulators there; it answers
    // from its own address. (The kernel hands a datagram sent to 127.255.255.255 to sockets
    // bound to that address or to the wildcard, never to one bound to 127.0.0.2.)
    std::string moduleDiscoveryAddress;
    bool udp = true;
    bool tcp = true;
    bool module = true;
    bool serial = false;
    // 0: serial output goes to the pseudo-terminal at once (the pty itself is not rate
    // limited). Otherwise the line rate in bits per second of an 8N1 line, 10 bits a byte: a
    // write of n bytes is handed over n * 10 / serialBaud seconds after the line is free.
    int serialBaud = 0;
    bool allowNonLoopback = false; // without it start() refuses addresses outside 127/8
    // Terminal numbers that answer; empty: every address, each terminal created on its first
    // frame from `terminal` with its number set.
    std::vector<std::int16_t> terminals;
    TerminalConfig terminal;
    FaultSettings faults;
};

enum class Transport { Udp, Tcp, Serial };

// One frame as the simulator received it, in arrival order.
struct ReceivedFrame {
    Transport transport = Transport::Udp;
    std::string frame;
};

struct HostStats {
    std::uint64_t framesReceived = 0;  // complete STX..ETX frames on any terminal transport
    std::uint64_t framesIgnored = 0;   // malformed, or for a terminal that is not simulated
    std::uint64_t framesSilenced = 0;  // swallowed by the silent-terminal fault
    std::uint64_t framesRefused = 0;   // answered by the refusal fault
    std::uint64_t repliesSent = 0;     // reply frames that left (drops excluded)
    std::uint64_t repliesDropped = 0;  // by the drop fault
    std::uint64_t pushesSent = 0;      // "XN" frames pushed, repeats included
    std::uint64_t faultsArmed = 0;     // fault items armed at random on push ticks
    std::uint64_t writes = 0;          // datagrams and stream/serial writes
    std::uint64_t bytesDiscarded = 0;  // stream/serial bytes outside any frame
    std::uint64_t outputOverflow = 0;  // bytes dropped because a client did not read
    std::uint64_t moduleDatagrams = 0; // received on the module port
    std::uint64_t moduleStatusReplies = 0;
    std::uint64_t moduleExits = 0;   // "E" received
    std::uint64_t moduleIgnored = 0; // swallowed by the silent-module fault
    std::uint64_t tcpAccepted = 0;
    std::uint64_t tcpRefused = 0;       // a second client while one is held: closed at once
    std::uint64_t tcpDroppedByExit = 0; // current client closed because of "E"
    std::uint64_t tcpClosedByPeer = 0;
};

// Owns the transports and the simulated terminals and module, and runs them on a thread of
// its own (a poll() loop), so that a driver blocking on the caller's thread never starves
// it. Every public member is thread-safe.
//
// Transports: terminal frames on UDP (one frame per datagram, replies to the sender), TCP
// (one client at a time, like the interface module; a second is accepted and closed at
// once) and a pseudo-terminal (raw mode). The module answers on its own UDP port. A
// terminal's pushed records go where its last request came from.
class SimulatorHost {
public:
    // Throws std::invalid_argument for terminal settings that make no terminal (see
    // TerminalModel's constructor).
    explicit SimulatorHost(SimulatorOptions options = {});
    ~SimulatorHost();
    SimulatorHost(const SimulatorHost&) = delete;
    SimulatorHost& operator=(const SimulatorHost&) = delete;

    // Opens the endpoints (throws std::system_error or std::invalid_argument, for instance
    // for a bind address outside 127.0.0.0/8 without allowNonLoopback) and starts the thread.
    void start();
    // Stops the thread and closes every endpoint; also done by the destructor.
    void stop();
    bool running() const;

    const std::string& bindAddress() const { return m_options.bindAddress; }
    std::string moduleAddress() const;
    int udpPort() const { return m_udpPort; }
    int tcpPort() const { return m_tcpPort; }
    int modulePort() const { return m_modulePort; }
    const std::string& serialPath() const { return m_serialPath; }
    // "udp 127.0.0.1:1001", "tcp ...", "module ...", "serial /dev/pts/3", for what is open.
    std::vector<std::string> endpointLines() const;

    // Faults, at run time.
    void setFaults(const FaultSettings& faults);
    void applyFaultList(std::string_view list); // onto the present faults; "none" clears
    FaultSettings faults() const;

    // Punch records and extended mode.
    PunchRecord addPunchRecord(std::int16_t terminal, std::string cardCode = {}, int mode = 0);
    void setPushEvery(int ms);

    // Runs `action` on a terminal (created if needed) under the host's lock. The action must
    // not call back into the host.
    template <class Action> auto withTerminal(std::int16_t number, Action&& action) {
        std::lock_guard lock(m_mutex);
        TerminalModel* terminal = terminalFor(number, true);
        if (terminal == nullptr) {
            throw std::out_of_range("terminal " + std::to_string(number) + " is not simulated");
        }
        return action(*terminal);
    }
    template <class Action> auto withModule(Action&& action) {
        std::lock_guard lock(m_mutex);
        return action(m_module);
    }

    HostStats stats() const;
    std::vector<ReceivedFrame> receivedFrames() const; // the latest kReceivedLimit
    void clearReceived();
    bool streamClientConnected() const;

    // Waits, bounded, until the predicate holds for the statistics; checked after every step
    // of the simulator's loop. True when it held.
    bool waitUntil(const std::function<bool(const HostStats&)>& predicate,
                   std::chrono::milliseconds timeout) const;

    static constexpr std::size_t kReceivedLimit = 10000;
    static constexpr std::size_t kOutputLimit = 1 << 20;

private:
    // Closes every endpoint the host opened; the thread must not be running.
    void closeEndpoints();

    struct Route {
        Transport transport = Transport::Udp;
        sockaddr_in peer{};              // UDP
        std::uint64_t tcpGeneration = 0; // TCP: the client it was meant for
    };
    struct PendingWrite {
        SteadyClock::time_point due;
        std::uint64_t sequence = 0;
        Route route;
        std::string bytes;
    };
    // Serial output on the paced line: handed to the pseudo-terminal once sent.
    struct LineWrite {
        SteadyClock::time_point sent;
        std::string bytes;
    };

    void run();
    TerminalModel* terminalFor(std::int16_t number, bool create);
    void onUdpReadable(SteadyClock::time_point now);
    void onModuleReadable(const UniqueFd& socket);
    void onListenerReadable();
    void onClientReadable(SteadyClock::time_point now);
    void onSerialReadable(SteadyClock::time_point now);
    void processFrame(const std::string& frame, const Route& route, SteadyClock::time_point now);
    void sendShaped(const Outgoing& out, const Route& route, SteadyClock::time_point now);
    void runTimers(SteadyClock::time_point now);
    void writeNow(const Route& route, const std::string& bytes, SteadyClock::time_point now);
    void writeSerial(const std::string& bytes, SteadyClock::time_point now);
    void deliverSentLineWrites(SteadyClock::time_point now);
    void flushStream(UniqueFd& fd, std::string& buffer, bool isClient);
    void closeClient();
    bool moduleBusy() const;
    std::chrono::nanoseconds pollTimeout(SteadyClock::time_point now) const;
    void wake();

    SimulatorOptions m_options;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::thread m_thread;
    bool m_stopping = false;
    bool m_running = false;

    UniqueFd m_wakeRead, m_wakeWrite;
    UniqueFd m_udp, m_moduleSocket, m_listener, m_client;
    UniqueFd m_moduleDiscovery; // requests arrive here too; replies leave from m_moduleSocket
    PseudoTerminal m_pty;
    int m_udpPort = 0, m_tcpPort = 0, m_modulePort = 0;
    std::string m_serialPath;

    std::string m_clientPeer, m_clientOut, m_serialOut;
    std::deque<LineWrite> m_serialLine; // serialBaud > 0: in order of `sent`
    std::size_t m_serialLineBytes = 0;
    SteadyClock::time_point m_serialLineFree{};
    std::uint64_t m_clientGeneration = 0;
    FrameAssembler m_clientFrames, m_serialFrames;

    std::map<std::int16_t, std::unique_ptr<TerminalModel>> m_terminals;
    std::map<std::int16_t, Route> m_routes;
    ModuleModel m_module;
    FaultSettings m_faults;
    OnceFaults m_once; // armed at random for the next frame
    std::mt19937 m_random{std::random_device{}()};
    std::vector<PendingWrite> m_pending; // in the order written, which is also by due time
    std::uint64_t m_sequence = 0;
    std::deque<ReceivedFrame> m_received;
    HostStats m_stats;
};

} // namespace kelvra::sim
