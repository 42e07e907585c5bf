#include "collector/Collector.h"

#include <set>

namespace kelvra::collector {

Collector::Collector(CollectorSettings settings, FleetStatus& status)
    : m_settings(std::move(settings)), m_status(status), m_store(m_settings.databaseUrl, status) {}

Collector::~Collector() {
    stop();
}

void Collector::startWorker(const TerminalSettings& terminal) {
    auto worker = std::make_unique<TerminalWorker>(terminal, m_store, m_status);
    worker->start();
    m_workers[terminal.name] = std::move(worker);
}

void Collector::start() {
    m_store.start();
    for (const TerminalSettings& terminal : m_settings.terminals) {
        startWorker(terminal);
    }
    LogLine("collecting from " + std::to_string(m_workers.size()) + " terminals");
}

void Collector::reload(const CollectorSettings& settings) {
    if (settings.databaseUrl != m_settings.databaseUrl) {
        LogLine("the database url changed; the new one takes effect at the next start");
    }
    std::set<std::string> kept;
    for (const TerminalSettings& terminal : settings.terminals) {
        kept.insert(terminal.name);
        const auto found = m_workers.find(terminal.name);
        if (found != m_workers.end() && found->second->settings() == terminal) {
            continue;
        }
        if (found != m_workers.end()) {
            LogLine(terminal.name + ": changed, restarting");
            m_workers.erase(found);
        } else {
            LogLine(terminal.name + ": added");
        }
        startWorker(terminal);
    }
    for (auto worker = m_workers.begin(); worker != m_workers.end();) {
        if (kept.contains(worker->first)) {
            ++worker;
            continue;
        }
        LogLine(worker->first + ": removed");
        worker = m_workers.erase(worker);
    }
    const std::string databaseUrl = m_settings.databaseUrl;
    m_settings = settings;
    m_settings.databaseUrl = databaseUrl;
}

void Collector::stop() {
    // The workers first, all at once (each may be waiting for a reply): none of them waits
    // for the store any more when it goes.
    for (auto& [name, worker] : m_workers) {
        worker->requestStop();
    }
    m_workers.clear();
    m_store.stop();
}

} // namespace kelvra::collector
