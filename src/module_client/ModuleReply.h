#pragma once

#include <cstdint>
#include <string>

namespace kelvra {

// Outcomes of the module commands, as left in CVexa5::ErrCode.
enum : std::int32_t {
    VX_SUCCESS = 0,
    VX_ERR_NO_REPLY = -1,
    VX_ERR_STATUS_C = -2,
    VX_ERR_STATUS_F = -3,
    VX_ERR_STATUS_D = -4,
    VX_ERR_STATUS_OTHER = -5,
    // Sending failed with error 10044 (socket type not supported), after every repetition.
    VX_ERR_SOCKET_TYPE = -6,
    // Sending failed with any other error, after every repetition.
    VX_ERR_SEND_FAILED = -7,
};

// Replies are polled every this many milliseconds.
inline constexpr std::int32_t kReplyPollMs = 10;

// The polls a reply wait makes beyond its first: the time-out divided by the poll length,
// halves to even (3000 gives 300, 5 gives 0, 15 and 25 give 2).
std::int32_t ReplyPolls(std::int32_t timeoutMs);

// The outcome that a reply's status letter (its first character) stands for.
std::int32_t StatusOutcome(char status);

// Stores what a reply carries into the reply data. A reply of 20 characters or more is kept
// whole, status letter included: that is how a discovery list, one line per module, survives.
// A shorter reply loses its status letter; one of fewer than two characters carries no data
// and leaves the reply data as it was.
void StoreReplyData(const std::string& reply, std::string& replyData);

} // namespace kelvra
