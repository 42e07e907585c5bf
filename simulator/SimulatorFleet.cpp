#include "SimulatorFleet.h"

#include <arpa/inet.h>
#include <stdexcept>

namespace kelvra::sim {

std::string AddressAfter(const std::string& address, int offset) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
        throw std::invalid_argument("not an IPv4 address: " + address);
    }
    const std::uint32_t first = ntohl(parsed.s_addr);
    const std::uint32_t shifted = first + static_cast<std::uint32_t>(offset);
    if (offset < 0 || (shifted >> 24) != (first >> 24)) {
        throw std::invalid_argument("no address " + std::to_string(offset) + " after " + address +
                                    " within its /8");
    }
    in_addr result{};
    result.s_addr = htonl(shifted);
    char text[INET_ADDRSTRLEN];
    ::inet_ntop(AF_INET, &result, text, sizeof text);
    return text;
}

SimulatorFleet::SimulatorFleet(int count, const SimulatorOptions& each) {
    if (count < 1) {
        throw std::invalid_argument("a fleet has at least one terminal");
    }
    if (count > 1 && !each.moduleBindAddress.empty()) {
        throw std::invalid_argument("in a fleet each module stands at its terminal's address");
    }
    for (int i = 0; i < count; ++i) {
        SimulatorOptions options = each;
        options.bindAddress = AddressAfter(each.bindAddress, i);
        m_hosts.push_back(std::make_unique<SimulatorHost>(options));
    }
}

void SimulatorFleet::start() {
    try {
        for (auto& host : m_hosts) {
            host->start();
        }
    } catch (...) {
        stop();
        throw;
    }
}

void SimulatorFleet::stop() {
    for (auto& host : m_hosts) {
        host->stop();
    }
}

std::vector<std::string> SimulatorFleet::endpointLines() const {
    std::vector<std::string> lines;
    for (const auto& host : m_hosts) {
        const auto hostLines = host->endpointLines();
        lines.insert(lines.end(), hostLines.begin(), hostLines.end());
    }
    return lines;
}

} // namespace kelvra::sim
