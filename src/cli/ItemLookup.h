#pragma once

#include "driver/ItemDescriptor.h"

#include <cstdint>
#include <string>

namespace kelvra::cli {

class Session;

// An item named on the command line: a number 0 to 99 as it stands, a name looked up on the
// terminal (the terminal refuses a name it does not know).
std::int16_t ResolveItem(Session& session, const std::string& nameOrNumber);

// The catalogue entry of an item and the descriptor of a table field. A descriptor the
// terminal sends malformed throws ReplyFailure.
ItemDescriptor ReadDescriptor(Session& session, std::int16_t reference);
FieldDescriptor ReadFieldDescriptor(Session& session, std::int16_t reference, std::int16_t field);

// A count or a number in a reply: its leading number, which must be 0 or more and fit 16 bits.
std::int16_t ReadCount(const std::string& reply, const std::string& what);

} // namespace kelvra::cli
