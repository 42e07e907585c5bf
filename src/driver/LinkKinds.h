#pragma once

#include "platform/SerialPort.h"

#include <array>
#include <cstdint>
#include <string>

namespace kelvra {

// What each CommunicationType means. Every question about a link kind is answered here; the
// numbers themselves appear nowhere else.
enum class LinkTransport { Serial, Datagram, Stream };

struct LinkKind {
    std::int32_t type;
    LinkTransport transport;
    FlowControl flowControl;    // serial links only
    bool multiTerminal;         // several terminals share the line or the module
    bool toleratesSilentModule; // a module that does not answer the free check is no failure
    const char* trafficName;    // how the traffic inspector names the link
};

inline constexpr std::array<LinkKind, 8> kLinkKinds{{
    // type transport            flow control         multi  silent module  traffic
    {0, LinkTransport::Serial, FlowControl::RtsCts, false, false, "serial"},
    {1, LinkTransport::Serial, FlowControl::RtsCts, false, false, "serial"},
    {2, LinkTransport::Datagram, FlowControl::None, false, false, "udp"},
    {3, LinkTransport::Stream, FlowControl::None, false, false, "tcp"},
    {4, LinkTransport::Stream, FlowControl::None, false, false, "tcp"},
    {5, LinkTransport::Stream, FlowControl::None, false, false, "tcp"},
    {6, LinkTransport::Serial, FlowControl::None, true, false, "serial"},
    {7, LinkTransport::Stream, FlowControl::None, true, true, "tcp"},
}};

// The row of a CommunicationType; nullptr for a value that names no link (nothing is sent).
constexpr const LinkKind* FindLinkKind(std::int32_t type) {
    return type >= 0 && type < static_cast<std::int32_t>(kLinkKinds.size())
               ? &kLinkKinds[static_cast<std::size_t>(type)]
               : nullptr;
}

constexpr bool IsLinkOf(std::int32_t type, LinkTransport transport) {
    const LinkKind* kind = FindLinkKind(type);
    return kind != nullptr && kind->transport == transport;
}
constexpr bool IsSerialLink(std::int32_t type) {
    return IsLinkOf(type, LinkTransport::Serial);
}
constexpr bool IsDatagramLink(std::int32_t type) {
    return IsLinkOf(type, LinkTransport::Datagram);
}
constexpr bool IsStreamLink(std::int32_t type) {
    return IsLinkOf(type, LinkTransport::Stream);
}
// Reached by the terminal's address and port rather than a serial port.
constexpr bool IsNetworkLink(std::int32_t type) {
    return IsDatagramLink(type) || IsStreamLink(type);
}
constexpr bool IsMultiTerminalLink(std::int32_t type) {
    const LinkKind* kind = FindLinkKind(type);
    return kind != nullptr && kind->multiTerminal;
}
constexpr bool ToleratesSilentModule(std::int32_t type) {
    const LinkKind* kind = FindLinkKind(type);
    return kind != nullptr && kind->toleratesSilentModule;
}

// The link as the traffic inspector names it: "udp 127.0.0.1:1001", "tcp 127.0.0.1:1001",
// "serial COM3".
inline std::string TrafficLinkName(std::int32_t type, const std::string& address, int port,
                                   int serialPort) {
    const LinkKind* kind = FindLinkKind(type);
    if (kind == nullptr) {
        return "link " + address + ":" + std::to_string(port); // sends nothing, may still hear
    }
    if (kind->transport == LinkTransport::Serial) {
        return std::string(kind->trafficName) + " COM" + std::to_string(serialPort);
    }
    return std::string(kind->trafficName) + " " + address + ":" + std::to_string(port);
}

// Two windows have rules of their own about the address. The console's "Property View" hands
// its address to the property view only for the datagram and stream links it offers, and the
// item and table editors set the driver's address only on a datagram link (on every other link
// they set its serial port).
constexpr bool PropertyViewTakesAddress(std::int32_t type) {
    return type == 2 || type == 3;
}
constexpr bool EditorsSetAddress(std::int32_t type) {
    return type == 2;
}

// The CommunicationType values a program picks for the links it offers.
inline constexpr std::int32_t kSerialRtsCtsLink = 0;
inline constexpr std::int32_t kDatagramLink = 2;
inline constexpr std::int32_t kStreamLink = 3;
inline constexpr std::int32_t kSerialNoFlowControlLink = 6;

} // namespace kelvra
