#pragma once

#include "platform/DateTime.h"

#include <optional>
#include <string_view>

namespace kelvra {

// A time of day typed as hours and minutes, with or without seconds ("7:30", "07:30:00"),
// blanks around it allowed; hours 0 to 23, minutes and seconds 0 to 59. The value carries the
// zero date. Anything else gives nothing.
std::optional<DateTime> ParseTimeOfDay(std::string_view text);

} // namespace kelvra
