#pragma once

#include "driver/LinkTraffic.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

// Turns the chunks a link carries into lines an integrator can read, one per frame:
//
//   08:00:00 > udp 127.0.0.1:1001 #1 IG ["TIME"] checksum ok, length ok
//   08:00:00 < udp 127.0.0.1:1001 #1 A [08:00:00] checksum ok, length ok, reply in 50 ms
//
// time, direction (">" sent, "<" received), link, terminal number, command or status letters,
// data, the verdicts of the driver's own checksum and length checks and, for a reply, the time
// since its request. Frames split over chunks are put together; several in one chunk give a
// line each. A received "XN" frame is a pushed record unless it answers a resend request.
// Bytes outside any frame show as "stray", a frame cut short by a newer one (or by the next
// request) as "unended"; the interface module's plain datagrams as "text". Control characters
// read <STX>, <ETX>, <TAB>, <CR>, <LF>; other bytes outside printable ASCII, and the backslash,
// read \xNN.
class TrafficDecoder {
public:
    // The lines for what this chunk completes, in order.
    std::vector<std::string> decode(const LinkChunk& chunk);
    // Forgets unfinished frames and unanswered requests.
    void clear() { m_links.clear(); }

    // An unfinished frame longer than this is shown as it stands and dropped.
    static constexpr std::size_t kHeldLimit = 64 * 1024;

private:
    struct Request {
        std::uint32_t tick = 0;
        bool resend = false; // its reply is an "XN" frame
    };
    struct LinkState {
        std::string heldSent;
        std::string heldReceived;
        std::optional<Request> request;
    };

    void frameLine(const LinkChunk& chunk, LinkState& state, std::string_view frame,
                   std::vector<std::string>& lines);

    std::map<std::string, LinkState, std::less<>> m_links;
};

} // namespace kelvra
