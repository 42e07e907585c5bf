#include "driver/TrafficDecoder.h"

#include "driver/ErrorCodes.h"
#include "driver/FrameCodec.h"

#include <algorithm>
#include <cstdio>

namespace kelvra {

namespace {

// Frames shorter than this have no room for address, status letter, checksum and length.
constexpr std::size_t kShortestFrame = 9;

const char* ControlName(unsigned char byte) {
    switch (byte) {
    case 2:
        return "<STX>";
    case 3:
        return "<ETX>";
    case 9:
        return "<TAB>";
    case 10:
        return "<LF>";
    case 13:
        return "<CR>";
    default:
        return nullptr;
    }
}

std::string Shown(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size());
    for (const char character : bytes) {
        const auto byte = static_cast<unsigned char>(character);
        if (const char* name = ControlName(byte)) {
            text += name;
        } else if (byte < 0x20 || byte >= 0x7f || byte == '\\') {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += character;
        }
    }
    return text;
}

std::string Prefix(const LinkChunk& chunk, LinkDirection direction) {
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", chunk.time.hour(), chunk.time.minute(),
                  chunk.time.second());
    std::string prefix = time;
    prefix += direction == LinkDirection::Sent ? " > " : " < ";
    prefix += chunk.link;
    return prefix;
}

// The command of a request: "E" for the echo (no two-letter command starts with E), else the
// first two characters, which for raw data may be anything. A reply's status letter, or "XN".
std::string_view Letters(std::string_view body, LinkDirection direction) {
    if (direction == LinkDirection::Received) {
        return body.substr(0, body.starts_with("XN") ? 2 : 1);
    }
    return body.substr(0, body.starts_with('E') ? 1 : 2);
}

} // namespace

std::vector<std::string> TrafficDecoder::decode(const LinkChunk& chunk) {
    std::vector<std::string> lines;
    auto found = m_links.find(chunk.link);
    if (found == m_links.end()) {
        found = m_links.emplace(std::string(chunk.link), LinkState{}).first;
    }
    LinkState& state = found->second;
    if (!chunk.framed) {
        lines.push_back(Prefix(chunk, chunk.direction) + " text [" + Shown(chunk.bytes) + "]");
        return lines;
    }
    const bool sent = chunk.direction == LinkDirection::Sent;
    auto unended = [&](LinkDirection direction, std::string& held) {
        lines.push_back(Prefix(chunk, direction) + " unended [" + Shown(held) + "]");
        held.clear();
    };
    // A new request: whatever part of a reply came before it will not be finished.
    if (sent && !state.heldReceived.empty()) {
        unended(LinkDirection::Received, state.heldReceived);
    }

    std::string& held = sent ? state.heldSent : state.heldReceived;
    std::string_view rest = chunk.bytes;
    while (!rest.empty()) {
        if (held.empty()) {
            const std::size_t start = std::min(rest.find(STX), rest.size());
            if (start > 0) {
                lines.push_back(Prefix(chunk, chunk.direction) + " stray [" +
                                Shown(rest.substr(0, start)) + "]");
                rest.remove_prefix(start);
                continue;
            }
            held += STX;
            rest.remove_prefix(1);
            continue;
        }
        const std::size_t stop = rest.find_first_of(std::string_view("\x02\x03", 2));
        if (stop == std::string_view::npos) {
            held += rest;
            if (held.size() > kHeldLimit) {
                unended(chunk.direction, held);
            }
            break;
        }
        held += rest.substr(0, rest[stop] == ETX ? stop + 1 : stop);
        rest.remove_prefix(rest[stop] == ETX ? stop + 1 : stop);
        if (held.back() != ETX) {
            unended(chunk.direction, held); // a newer frame begins
            continue;
        }
        frameLine(chunk, state, held, lines);
        held.clear();
    }
    return lines;
}

void TrafficDecoder::frameLine(const LinkChunk& chunk, LinkState& state, std::string_view frame,
                               std::vector<std::string>& lines) {
    std::string line = Prefix(chunk, chunk.direction);
    const std::size_t n = frame.size();
    if (n < kShortestFrame) {
        lines.push_back(line + " short [" + Shown(frame) + "]");
        return;
    }
    const std::string_view body = frame.substr(3, n - 8);
    const std::string_view letters = Letters(body, chunk.direction);
    line += " #" + std::to_string(TerminalOfAddress(frame[2])) + " " + Shown(letters);
    const bool sent = chunk.direction == LinkDirection::Sent;
    if (!sent) {
        if (const std::int32_t code = StatusLetterCode(letters.front()); code != KV_SUCCESS) {
            line += " (" + ErrorMessageText(code) + ")";
        }
    }
    line += " [" + Shown(body.substr(letters.size())) + "] checksum ";
    if (CheckChecksum(frame)) {
        line += "ok";
    } else {
        const std::string expected = AppendChecksumAndLength(body).substr(body.size(), 2);
        line += "BAD (" + Shown(frame.substr(n - 5, 2)) + ", expected " + expected + ")";
    }
    line += ", length ";
    if (CheckLength(frame)) {
        line += "ok";
    } else {
        char expected[24];
        std::snprintf(expected, sizeof expected, "%02zX", n - 4);
        line += "BAD (" + Shown(frame.substr(n - 3, 2)) + ", expected " + expected + ")";
    }

    if (sent) {
        state.request = Request{chunk.tick, letters == "XR"};
    } else {
        const bool record = letters == "XN";
        if (state.request && (!record || state.request->resend)) {
            line += ", reply in " + std::to_string(chunk.tick - state.request->tick) + " ms";
            state.request.reset();
        } else if (record) {
            line += ", pushed record";
        }
    }
    lines.push_back(std::move(line));
}

} // namespace kelvra
