#pragma once

#include "SimulatorHost.h"
#include "driver/ucKelvra.h"
#include "platform/qt/QtPlatform.h"

#include <QTemporaryDir>
#include <string>

namespace kelvra::test {

enum class Link { Udp, Tcp, Serial };

inline const char* LinkName(Link link) {
    switch (link) {
    case Link::Udp:
        return "udp";
    case Link::Tcp:
        return "tcp";
    case Link::Serial:
        return "serial";
    }
    return "?";
}

// A simulated terminal on its own loopback address (UDP and TCP on free ports, the module on
// 65535, a pseudo-terminal standing behind COM3), and a driver on the Qt platform whose
// settings live in a temporary folder.
class SimulatedTerminal {
public:
    explicit SimulatedTerminal(const std::string& address, sim::SimulatorOptions options = {})
        : m_host(withAddress(address, std::move(options))),
          m_platform(m_settings.filePath("user.ini"), m_settings.filePath("machine.ini")) {
        m_host.start();
        m_platform.userSettings.write("usKelvra", "SerialPorts", "COM3", m_host.serialPath());
        kv = std::make_unique<ucKelvra>(m_platform.clock, m_platform.clock, m_platform.links);
    }

    sim::SimulatorHost& host() { return m_host; }
    QtPlatform& platform() { return m_platform; }

    // Points the driver at the simulator over `link` and connects.
    void connect(Link link, std::int32_t timeoutMs = 1000) {
        kv->SetTimeout(timeoutMs);
        switch (link) {
        case Link::Udp:
            kv->SetIP(m_host.bindAddress());
            kv->SetUDP_Port(m_host.udpPort());
            kv->SetCommunicationType(2);
            break;
        case Link::Tcp:
            kv->SetIP(m_host.bindAddress());
            kv->SetUDP_Port(m_host.tcpPort());
            kv->SetCommunicationType(3);
            break;
        case Link::Serial:
            kv->SetComport(3);
            kv->SetCommunicationType(6);
            break;
        }
        kv->Connect();
    }

    // The reply data of the last command.
    std::string data() {
        std::string text;
        kv->GetData(text);
        return text;
    }

private:
    static sim::SimulatorOptions withAddress(const std::string& address,
                                             sim::SimulatorOptions options) {
        options.bindAddress = address;
        options.udpPort = 0;
        options.tcpPort = 0;
        options.modulePort = 65535;
        options.serial = true;
        return options;
    }

    sim::SimulatorHost m_host;
    QTemporaryDir m_settings;
    QtPlatform m_platform;

public:
    // Last, so that it goes before the platform it runs on.
    std::unique_ptr<ucKelvra> kv;
};

} // namespace kelvra::test
