#pragma once

#include "SimulatorHost.h"

#include <memory>
#include <string>
#include <vector>

namespace kelvra::sim {

// Many terminals at once, each a host of its own on an address of its own: the first at the
// options' bind address, the others on the addresses after it (127.0.7.1, 127.0.7.2, ...),
// every one with the same ports, module and settings. Each host runs its own thread, so one
// terminal's faults delay no other.
class SimulatorFleet {
public:
    // Throws std::invalid_argument for a count below 1, a module address of its own in a
    // fleet of several (each module stands at its terminal's address) or addresses that run
    // past the bind address's /8.
    SimulatorFleet(int count, const SimulatorOptions& each);

    void start(); // throws as SimulatorHost::start does; nothing stays open then
    void stop();

    std::size_t size() const { return m_hosts.size(); }
    SimulatorHost& host(std::size_t index) { return *m_hosts.at(index); }
    // Every host's endpoint lines, in order.
    std::vector<std::string> endpointLines() const;

private:
    std::vector<std::unique_ptr<SimulatorHost>> m_hosts;
};

// The IPv4 address `offset` places after `address` ("127.0.0.255" + 1 is "127.0.1.0").
// Throws std::invalid_argument when it is no dotted address or the result leaves its /8.
std::string AddressAfter(const std::string& address, int offset);

} // namespace kelvra::sim
