#pragma once

#include <optional>
#include <string_view>

namespace kelvra {

// Field 3 of a punch record, its card field: a one-letter prefix and the card code ("C" and
// eight digits from the terminals we know). The fields are TAB-separated and counted from 0;
// what the others hold is the terminal's. Nothing when the record has fewer than four fields.
std::optional<std::string_view> CardField(std::string_view record);

} // namespace kelvra
