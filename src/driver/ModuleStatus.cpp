#include "driver/ModuleStatus.h"

#include <vector>

namespace kelvra {

namespace {

std::vector<std::string_view> splitFields(std::string_view text, char separator) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        if (end == std::string_view::npos) {
            fields.push_back(text.substr(start));
            return fields;
        }
        fields.push_back(text.substr(start, end - start));
        start = end + 1;
    }
}

// One character by its position from 1; nothing when the text is shorter.
std::string_view characterAt(std::string_view text, std::size_t position) {
    return position <= text.size() ? text.substr(position - 1, 1) : std::string_view{};
}

} // namespace

std::string ModuleFreeMarker(std::string_view reply) {
    const std::vector<std::string_view> fields = splitFields(reply, '/');
    if (fields.size() < 4) {
        return {};
    }
    std::string marker;
    marker += characterAt(fields[2], 2);
    marker += characterAt(fields[2], 3);
    marker += characterAt(fields[2], 5);
    marker += fields[3];
    return marker;
}

bool ModuleIsFree(std::string_view reply) {
    return ModuleFreeMarker(reply) == "*****";
}

} // namespace kelvra
