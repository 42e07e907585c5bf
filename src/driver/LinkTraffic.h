#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <string_view>

namespace kelvra {

enum class LinkDirection { Sent, Received };

// One chunk of bytes exactly as it crossed a link, reported in the order the driver sent or
// read it, for whoever wants to look at the traffic (the console's traffic panel, kelvractl's
// trace). The views are valid only while the report is being delivered.
struct LinkChunk {
    LinkDirection direction = LinkDirection::Sent;
    // "udp 127.0.0.1:1001", "tcp 127.0.0.1:1001", "serial COM1", or "module 127.0.0.1:65535"
    // for the interface module's own datagrams.
    std::string_view link;
    // Terminal frames travel on every link but the module's, whose datagrams are plain text.
    bool framed = true;
    DateTime time;
    // The millisecond tick count, for the time between a request and its reply.
    std::uint32_t tick = 0;
    std::string_view bytes;
};

} // namespace kelvra
