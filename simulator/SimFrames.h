#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::sim {

// The terminal's side of the frame codec. A request has the same layout as a
// reply: STX, address twice, body (command + data), checksum, length, ETX.

enum class RequestCheck {
    Ok,
    Malformed,   // no STX/ETX, too short, or no terminal behind the address: ignored
    BadLength,   // length field is not (n - 4) mod 256: answered with status "C"
    BadChecksum, // checksum field does not match the body exactly: answered with "C"
};

struct Request {
    RequestCheck check = RequestCheck::Malformed;
    std::int16_t terminal = -1; // from the first address character, code - 48
    std::string body;           // command + data (empty for a malformed frame)
};

// Verifies a request frame. Unlike the driver's CheckLength, the length field is compared
// modulo 256: the driver writes only the last two hex digits, so a request body above 251
// characters wraps the field and is still a good request.
Request ParseRequest(std::string_view frame);

// STX, address twice, AppendChecksumAndLength(statusAndData), ETX: a reply or, with
// "XN" + data, a pushed record.
std::string ReplyFrame(std::int16_t terminal, std::string_view statusAndData);

// The same frame with its checksum field made wrong (a hex digit changed), its length left
// right, so the driver's verification fails with the checksum code (-105).
std::string CorruptChecksum(std::string frame);

// Cuts a byte stream (TCP, serial) into frames: a frame runs from an STX up to the next ETX.
// Bytes before an STX are discarded; an STX inside an unfinished frame starts the frame anew
// (garbage ending in STX, then a real frame). A frame that grows beyond `limit` without ETX
// is discarded, so a flood cannot grow the buffer without bound.
class FrameAssembler {
public:
    explicit FrameAssembler(std::size_t limit = 4096) : m_limit(limit) {}

    std::vector<std::string> feed(std::string_view bytes);
    void reset() {
        m_partial.clear();
        m_inFrame = false;
    }

    std::size_t discardedBytes() const { return m_discarded; }
    std::size_t pendingBytes() const { return m_partial.size(); }

private:
    std::size_t m_limit;
    std::string m_partial;
    bool m_inFrame = false;
    std::size_t m_discarded = 0;
};

} // namespace kelvra::sim
