#pragma once

#include "collector/CollectorConfig.h"
#include "collector/FleetStatus.h"
#include "collector/PunchStore.h"
#include "collector/TerminalWorker.h"

#include <map>
#include <memory>
#include <string>

namespace kelvra::collector {

// The store and one worker per configured terminal.
class Collector {
public:
    Collector(CollectorSettings settings, FleetStatus& status);
    ~Collector();
    Collector(const Collector&) = delete;
    Collector& operator=(const Collector&) = delete;

    void start();
    // Applies a re-read configuration: removed terminals stop, changed ones restart, new ones
    // start, the others go on untouched. A stopped worker leaves its unconfirmed records on
    // its terminal, so nothing in flight is lost. The database is kept: a new url is logged
    // and waits for a restart.
    void reload(const CollectorSettings& settings);
    void stop();

private:
    void startWorker(const TerminalSettings& terminal);

    CollectorSettings m_settings;
    FleetStatus& m_status;
    PunchStore m_store;
    std::map<std::string, std::unique_ptr<TerminalWorker>> m_workers;
};

} // namespace kelvra::collector
