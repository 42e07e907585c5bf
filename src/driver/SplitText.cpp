#include "driver/SplitText.h"

namespace kelvra {

std::optional<std::vector<std::string_view>> SplitText(std::string_view text, char separator,
                                                       std::size_t limit) {
    std::vector<std::string_view> pieces;
    std::size_t start = 0;
    for (;;) {
        if (pieces.size() == limit) {
            return std::nullopt;
        }
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

} // namespace kelvra
