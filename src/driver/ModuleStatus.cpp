#include "driver/ModuleStatus.h"

#include "driver/SplitText.h"

namespace kelvra {

namespace {

// One character by its position from 1; nothing when the text is shorter.
std::string_view characterAt(std::string_view text, std::size_t position) {
    return position <= text.size() ? text.substr(position - 1, 1) : std::string_view{};
}

} // namespace

std::string ModuleFreeMarker(std::string_view reply) {
    const std::vector<std::string_view> fields = *SplitText(reply, '/');
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
