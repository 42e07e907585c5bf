#include "platform/qt/QtLinkFactory.h"

#include "platform/qt/QtSocket.h"

namespace kelvra {

QtLinkFactory::QtLinkFactory(SettingsStore& userSettings, std::string title,
                             std::string socketBindAddress)
    : m_userSettings(userSettings), m_title(std::move(title)),
      m_socketBindAddress(std::move(socketBindAddress)) {}

SerialPortPathResolver QtLinkFactory::portPathResolver() const {
    return [store = &m_userSettings, title = m_title](int portNumber) {
        const std::string fallback = DefaultSerialPortPath(portNumber);
        try {
            return store->read(title, kSerialPortsSection, "COM" + std::to_string(portNumber),
                               fallback);
        } catch (const std::exception&) {
            return fallback; // a store that cannot be read leaves the default device
        }
    };
}

std::unique_ptr<SerialPort> QtLinkFactory::createSerialPort() {
    return std::make_unique<QtSerialPort>(portPathResolver());
}

std::unique_ptr<Socket> QtLinkFactory::createSocket() {
    return std::make_unique<QtSocket>(m_socketBindAddress);
}

} // namespace kelvra
