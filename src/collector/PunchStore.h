#pragma once

#include "collector/FleetStatus.h"
#include "collector/Punch.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kelvra::collector {

// The one writer of the database, on a thread of its own. Workers hand it their punches; it
// commits whatever has gathered since its last commit, and over a few milliseconds more, in
// one transaction (group commit), and answers each worker once its punches are safe. While the
// database fails nothing is answered: the batches are kept and retried with a growing pause, and
// the terminals keep their records meanwhile.
class PunchStore {
public:
    // Called on the store's thread once the punches are committed; it must only hand over.
    using Committed = std::function<void()>;

    PunchStore(std::string databaseUrl, FleetStatus& status);
    ~PunchStore();
    PunchStore(const PunchStore&) = delete;
    PunchStore& operator=(const PunchStore&) = delete;

    void start();
    // Batches not yet committed are dropped unanswered: their terminals still hold them.
    void stop();

    void submit(std::vector<Punch> punches, Committed committed);

private:
    struct Batch {
        std::vector<Punch> punches;
        Committed committed;
    };
    void run();
    // Waits out a pause after a failure; false when the store is stopping.
    bool pause(std::chrono::milliseconds length);

    std::string m_url;
    FleetStatus& m_status;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Batch> m_queue;
    bool m_stopping = false;
    bool m_idle = false; // waiting for a first batch
    std::thread m_thread;
};

} // namespace kelvra::collector
