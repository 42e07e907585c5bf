// The interface module's own UDP port.
#include "SimulatorHost.h"

#include <sys/socket.h>

namespace kelvra::sim {

bool SimulatorHost::moduleBusy() const {
    switch (m_faults.module) {
    case ModuleAvailability::Free:
        return false;
    case ModuleAvailability::Busy:
        return true;
    case ModuleAvailability::Auto:
        break;
    }
    return static_cast<bool>(m_client);
}

void SimulatorHost::onModuleReadable(const UniqueFd& socket) {
    char buffer[2048];
    for (int i = 0; i < 64; ++i) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        const ssize_t got = ::recvfrom(socket.get(), buffer, sizeof buffer, 0,
                                       reinterpret_cast<sockaddr*>(&peer), &length);
        if (got < 0) {
            return;
        }
        ++m_stats.moduleDatagrams;
        if (m_faults.silentModule) {
            ++m_stats.moduleIgnored;
            continue;
        }
        if (ntohs(peer.sin_port) == m_modulePort) {
            // Another module's reply, not a request: answering it would start an exchange
            // between the two that never ends.
            continue;
        }
        const std::string_view datagram(buffer, static_cast<std::size_t>(got));
        ModuleContext context{moduleBusy(), m_clientPeer};
        if (m_faults.moduleStatus != 0 && ModuleModel::IsConfigurationCommand(datagram) &&
            ConsumeCount(m_faults.moduleStatusReplies)) {
            context.forcedStatus = m_faults.moduleStatus;
        }
        const ModuleOutcome outcome = m_module.handle(datagram, context);
        if (outcome.dropStream) {
            ++m_stats.moduleExits;
            if (m_client) {
                ++m_stats.tcpDroppedByExit;
                closeClient();
            }
            if (m_faults.module == ModuleAvailability::Busy && m_faults.busyForExits > 0 &&
                --m_faults.busyForExits == 0) {
                m_faults.module = ModuleAvailability::Auto;
                m_faults.busyForExits = -1;
            }
        }
        if (outcome.reply) {
            if (got >= 1 && buffer[0] == 'X') {
                ++m_stats.moduleStatusReplies;
            }
            ::sendto(m_moduleSocket.get(), outcome.reply->data(), outcome.reply->size(), 0,
                     reinterpret_cast<const sockaddr*>(&peer), sizeof peer);
        }
    }
}

} // namespace kelvra::sim
