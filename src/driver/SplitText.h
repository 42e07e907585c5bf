#pragma once

#include <cstddef>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace kelvra {

// The pieces of `text` between separators, read as if one more separator ended it: a trailing
// separator leaves an empty last piece and an empty text is one empty piece. Nothing is
// returned when there would be more than `limit` pieces. The pieces point into `text`.
std::optional<std::vector<std::string_view>>
SplitText(std::string_view text, char separator,
          std::size_t limit = std::numeric_limits<std::size_t>::max());

} // namespace kelvra
