#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace kelvra {

// Replies are polled in passes of this length.
inline constexpr int kReplyPassMs = 50;

// STX, two address characters, status, checksum, length, ETX: anything shorter is no reply.
inline constexpr std::size_t kShortestReply = 9;

// The passes a command waits beyond its first, for a time-out in milliseconds: the time-out
// divided by the pass length, halves to even (3000 gives 60, 75 and 125 give 2, 25 gives 0).
inline std::int64_t ReplyPassBudget(std::int32_t timeoutMs) {
    return static_cast<std::int64_t>(std::nearbyint(timeoutMs / static_cast<double>(kReplyPassMs)));
}

} // namespace kelvra
