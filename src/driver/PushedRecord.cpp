#include "driver/PushedRecord.h"

#include "driver/SplitText.h"

namespace kelvra {

std::optional<std::string_view> CardField(std::string_view record) {
    constexpr std::size_t kCardField = 3;
    const auto fields = SplitText(record, '\t');
    if (!fields || fields->size() <= kCardField) {
        return std::nullopt;
    }
    return (*fields)[kCardField];
}

} // namespace kelvra
