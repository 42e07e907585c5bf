#pragma once

#include "collector/CollectorConfig.h"
#include "collector/FleetStatus.h"
#include "collector/Punch.h"
#include "collector/PunchStore.h"

#include <QThread>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QAbstractEventDispatcher;

namespace kelvra {
class QtClock;
class ucKelvra;
} // namespace kelvra

namespace kelvra::collector {

// The link description shown for a terminal: "udp 10.1.2.3:1001", "serial /dev/ttyUSB0".
std::string LinkDescription(const TerminalSettings& settings);

// The pause before reconnect attempt n (0 first): 1 s doubling to 60 s.
std::chrono::seconds ReconnectPause(int attempt);

// One terminal, on a thread of its own with its own event loop, driver and links, so a silent
// or slow terminal delays no other. It connects, catches up (downloads the unread records in
// one read transaction, has them committed to the database, and only then commits the read
// on the terminal), and then either goes live (real-time mode: each pushed record is
// confirmed once the database has it) or downloads again at its poll interval. A live
// terminal that stays silent while it counts unread records is caught up again. A failure
// closes the link and retries after ReconnectPause.
class TerminalWorker {
public:
    TerminalWorker(TerminalSettings settings, PunchStore& store, FleetStatus& status);
    ~TerminalWorker(); // stops
    TerminalWorker(const TerminalWorker&) = delete;
    TerminalWorker& operator=(const TerminalWorker&) = delete;

    const TerminalSettings& settings() const { return m_settings; }
    void start();
    // Asks the thread to end, without waiting for it.
    void requestStop();
    // Leaves real-time mode where it can and ends the thread. Punches handed to the store and
    // not yet confirmed stay on the terminal, to be collected again.
    void stop();

private:
    // What the store's answers and stop() reach the worker's thread through; outlives it.
    // Unwinds a worker that was asked to stop out of whatever it was doing.
    struct StopRequested {};

    struct Mailbox {
        std::mutex mutex;
        QAbstractEventDispatcher* dispatcher = nullptr; // while the thread runs
        QObject* context = nullptr;                     // lives on the thread, while it runs
        std::uint64_t committed = 0;                    // batches answered
        bool stopping = false;
        void wake();
    };

    void run();
    void serve(ucKelvra& kv);
    void connect(ucKelvra& kv);
    // A routine poll's download leaves the state as it is.
    enum class CatchUp { Announced, Routine };
    void catchUp(ucKelvra& kv, CatchUp kind = CatchUp::Announced);
    void goLive(ucKelvra& kv);
    void logOn(ucKelvra& kv);
    void confirmStored(ucKelvra& kv, const std::vector<std::string>& raws);
    // Hands the punches to the store and waits for its answer; false when stopping first.
    bool storeAndWait(std::vector<Punch> punches);
    void onPushedRecord(const std::string& data, std::int32_t errCode);

    bool stopping();
    // Runs the event loop until `done` holds, the worker stops or `limit` passes.
    bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
    // Runs one driver command; throws cli::TerminalFailure naming `what` when it failed.
    void run(ucKelvra& kv, const char* what, const std::function<void(ucKelvra&)>& command);

    TerminalSettings m_settings;
    PunchStore& m_store;
    FleetStatus& m_status;
    std::shared_ptr<Mailbox> m_mailbox = std::make_shared<Mailbox>();
    std::unique_ptr<QThread> m_thread;

    // On the worker's thread only.
    QtClock* m_clock = nullptr;
    ucKelvra* m_kv = nullptr; // the present connection's driver
    std::uint64_t m_submitted = 0;
    // Good pushed records not yet handed to the store, and when each arrived.
    std::vector<std::string> m_pushed;
    std::vector<std::chrono::steady_clock::time_point> m_arrivals;
    std::deque<std::string> m_recentlyConfirmed;
};

} // namespace kelvra::collector
