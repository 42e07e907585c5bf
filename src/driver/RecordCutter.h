#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra {

// In extended mode a terminal pushes records on its own, so what a link receives is a byte
// stream in which "XN" frames may stand before, after or between the bytes of the reply that
// a command waits for, in one chunk or split over several. The cutter takes that stream apart
// at its frame ends and says what each frame is:
//
// - a frame ends at ETX and begins at the last STX before it (a frame whose STX was lost
//   begins right after the previous frame); a carriage return also ends a frame, as it ends
//   the wait for a reply, but never an "XN" frame, whose data may hold one;
// - a frame whose fourth and fifth characters are "XN" is a pushed record, unless records
//   are not expected (the reply to a resend request is an "XN" frame of its own);
// - everything else is handed on in order, for the command that waits;
// - text before an STX that belongs to no frame (noise, or the start of a frame that never
//   ended) is dropped, so it spoils neither the record nor the reply behind it;
// - text after the last frame end is held until its frame ends.
class RecordCutter {
public:
    struct Piece {
        bool pushedRecord = false;
        std::string text;

        bool operator==(const Piece&) const = default;
    };

    // An unfinished frame longer than this is no frame at all: it is dropped.
    static constexpr std::size_t kHeldLimit = 64 * 1024;

    std::vector<Piece> cut(std::string_view chunk, bool recordsExpected);

    // The unfinished frame, waiting for the rest of it.
    const std::string& held() const { return m_held; }

private:
    std::string m_held;
};

} // namespace kelvra
