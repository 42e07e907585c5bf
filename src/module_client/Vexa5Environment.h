#pragma once

#include "module_client/ReplyCollector.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/LinkFactory.h"

#include <memory>
#include <string>

namespace kelvra {

// Where the module client sends. The program keeps the defaults; tests and the simulator point
// both at loopback.
struct Vexa5Endpoints {
    // Discovery and address assignment go to every module on the segment.
    std::string broadcastAddress = "255.255.255.255";
    int modulePort = 65535;
};

// The process-wide setting of the module client: the platform it waits and talks through, its
// endpoints, and the one reply collector that every CVexa5 shares. The program installs it once
// at start; each test installs its fakes and resets it at its end.
class Vexa5Environment {
public:
    // Replaces an earlier installation. Throws std::logic_error while a CVexa5 is alive.
    static void install(Clock& clock, EventPump& pump, LinkFactory& links, Dialogs& dialogs,
                        Vexa5Endpoints endpoints = {});
    // Drops the installation and the collector with its socket. Throws std::logic_error while a
    // CVexa5 is alive.
    static void reset();
    // The installation; throws std::logic_error when there is none.
    static Vexa5Environment& current();

    Clock& clock() const { return m_clock; }
    EventPump& pump() const { return m_pump; }
    Dialogs& dialogs() const { return m_dialogs; }
    const Vexa5Endpoints& endpoints() const { return m_endpoints; }

    // The collector, created with its socket on first use.
    ReplyCollector& collector();

    Vexa5Environment(Clock& clock, EventPump& pump, LinkFactory& links, Dialogs& dialogs,
                     Vexa5Endpoints endpoints);
    Vexa5Environment(const Vexa5Environment&) = delete;
    Vexa5Environment& operator=(const Vexa5Environment&) = delete;

private:
    friend class CVexa5;
    static void requireNoClients(const char* operation);

    Clock& m_clock;
    EventPump& m_pump;
    LinkFactory& m_links;
    Dialogs& m_dialogs;
    Vexa5Endpoints m_endpoints;
    std::unique_ptr<ReplyCollector> m_collector;
    // Live CVexa5 objects: each holds on to the collector.
    int m_clients = 0;
};

} // namespace kelvra
