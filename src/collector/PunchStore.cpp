#include "collector/PunchStore.h"

#include "collector/PunchDatabase.h"

#include <QElapsedTimer>
#include <algorithm>
#include <map>

namespace kelvra::collector {

namespace {

constexpr std::chrono::milliseconds kFirstRetryPause{1000};
constexpr std::chrono::milliseconds kLongestRetryPause{30000};
constexpr std::chrono::milliseconds kGathering{5};

struct Counts {
    int added = 0, duplicates = 0, flagged = 0;
};

} // namespace

PunchStore::PunchStore(std::string databaseUrl, FleetStatus& status)
    : m_url(std::move(databaseUrl)), m_status(status) {}

PunchStore::~PunchStore() {
    stop();
}

void PunchStore::start() {
    m_stopping = false;
    m_thread = std::thread([this] { run(); });
}

void PunchStore::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void PunchStore::submit(std::vector<Punch> punches, Committed committed) {
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back({std::move(punches), std::move(committed)});
        wake = m_idle;
    }
    // While the store gathers it takes the queue as it finds it when the time is up: waking
    // it for every batch would only cost a thread switch each.
    if (wake) {
        m_wake.notify_one();
    }
}

bool PunchStore::pause(std::chrono::milliseconds length) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, length, [this] { return m_stopping; });
}

void PunchStore::run() {
    std::unique_ptr<PunchDatabase> database;
    try {
        database = std::make_unique<PunchDatabase>(m_url);
    } catch (const DatabaseError& error) {
        m_status.databaseFailed(error.what());
        return;
    }
    m_status.setDatabaseDescription(database->description());
    bool counted = false; // today's counts read from the database
    std::chrono::milliseconds retryPause = kFirstRetryPause;
    for (;;) {
        std::deque<Batch> work;
        {
            std::unique_lock lock(m_mutex);
            m_idle = true;
            m_wake.wait(lock, [&] { return m_stopping || !m_queue.empty() || !counted; });
            m_idle = false;
            // Under load the workers' records arrive a few at a time: one commit for what comes
            // in over a few milliseconds costs far less than one each, and a push still waits
            // for at most that and one commit.
            m_wake.wait_for(lock, kGathering, [&] { return m_stopping; });
            if (m_stopping) {
                return;
            }
            work.swap(m_queue);
        }
        try {
            if (!counted) {
                database->open();
                for (const auto& [terminal, count] :
                     database->countsSince(QDateTime(QDate::currentDate(), QTime(0, 0)))) {
                    m_status.setStoredToday(terminal, static_cast<std::uint64_t>(count));
                }
                counted = true;
                m_status.databaseCommitted(0);
            }
            if (work.empty()) {
                continue;
            }
            std::vector<Punch> punches;
            for (Batch& batch : work) {
                // Copied: a batch that fails goes back to the queue whole.
                punches.insert(punches.end(), batch.punches.begin(), batch.punches.end());
            }
            QElapsedTimer elapsed;
            elapsed.start();
            const std::vector<bool> added = database->store(punches);
            m_status.databaseCommitted(static_cast<double>(elapsed.nsecsElapsed()) / 1e9);
            retryPause = kFirstRetryPause;
            std::map<std::string, Counts> counts;
            for (std::size_t i = 0; i < punches.size(); ++i) {
                Counts& count = counts[punches[i].terminal];
                (added[i] ? count.added : count.duplicates) += 1;
                count.flagged += added[i] && punches[i].flagged ? 1 : 0;
            }
            for (const auto& [terminal, count] : counts) {
                m_status.countStored(terminal, count.added, count.duplicates, count.flagged);
            }
            for (Batch& batch : work) {
                batch.committed();
            }
        } catch (const DatabaseError& error) {
            m_status.databaseFailed(error.what());
            database->close();
            {
                std::lock_guard lock(m_mutex);
                for (auto batch = work.rbegin(); batch != work.rend(); ++batch) {
                    m_queue.push_front(std::move(*batch));
                }
            }
            if (!pause(retryPause)) {
                return;
            }
            retryPause = std::min(retryPause * 2, kLongestRetryPause);
        }
    }
}

} // namespace kelvra::collector
