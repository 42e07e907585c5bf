#include "cli/LinkSetup.h"

#include "cli/CliErrors.h"
#include "driver/LinkKinds.h"
#include "driver/ucKelvra.h"
#include "platform/qt/QtLinkFactory.h"

#include <regex>

namespace kelvra::cli {

namespace {

// "COM3", any case: a port number the per-user settings map to a device.
std::optional<int> NamedPort(const std::string& text) {
    static const std::regex kPortName("[Cc][Oo][Mm]([0-9]{1,2})");
    std::smatch match;
    if (!std::regex_match(text, match, kPortName)) {
        return std::nullopt;
    }
    const int number = std::stoi(match[1].str());
    if (number < 1 || number > 16) {
        throw UsageError("--serial: ports run from COM1 to COM16, not " + text);
    }
    return number;
}

} // namespace

int SerialPortNumber(const std::string& serialOption) {
    return NamedPort(serialOption).value_or(1);
}

SerialDeviceSettings::SerialDeviceSettings(SettingsStore& stored, const std::string& serialOption)
    : m_stored(stored) {
    if (!serialOption.empty() && !NamedPort(serialOption)) {
        m_portKey = "COM" + std::to_string(SerialPortNumber(serialOption));
        m_device = serialOption;
    }
}

std::string SerialDeviceSettings::read(const std::string& title, const std::string& section,
                                       const std::string& key, const std::string& fallback) {
    if (!m_portKey.empty() && section == QtLinkFactory::kSerialPortsSection && key == m_portKey) {
        return m_device;
    }
    return m_stored.read(title, section, key, fallback);
}

void SerialDeviceSettings::write(const std::string& title, const std::string& section,
                                 const std::string& key, const std::string& value) {
    m_stored.write(title, section, key, value);
}

void SerialDeviceSettings::createKey(const std::string& title, const std::string& section) {
    m_stored.createKey(title, section);
}

void ConnectLink(ucKelvra& kv, const GlobalOptions& options) {
    switch (options.link) {
    case LinkKind::None:
        throw UsageError("no link given: use --udp HOST:PORT, --tcp HOST:PORT or --serial DEVICE");
    case LinkKind::Udp:
    case LinkKind::Tcp:
        kv.SetIP(options.endpoint.host);
        kv.SetUDP_Port(options.endpoint.port);
        kv.SetCommunicationType(options.link == LinkKind::Udp ? kDatagramLink : kStreamLink);
        break;
    case LinkKind::Serial:
        kv.SetCommunicationType(options.serialFlowControl ? kSerialRtsCtsLink
                                                          : kSerialNoFlowControlLink);
        kv.SetComport(static_cast<std::int16_t>(SerialPortNumber(options.serialPort)));
        break;
    }
    if (options.timeoutMs) {
        kv.SetTimeout(*options.timeoutMs);
    }
    kv.SetRetries(options.retries);
    kv.SetErrorCount(options.retries); // the login repeats a timed-out attempt itself
    kv.SetErrCode(KV_SUCCESS);
    kv.Connect();
    // A stream connect reports a silent or busy module here; the first command would only
    // say that the connection is not established.
    if (kv.ErrCode() != KV_SUCCESS) {
        throw TerminalFailure(kv.ErrCode(), "connect");
    }
}

} // namespace kelvra::cli
