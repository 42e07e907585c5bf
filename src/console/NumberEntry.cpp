#include "console/NumberEntry.h"

#include "driver/LeadingNumber.h"

#include <cmath>
#include <limits>

namespace kelvra {

NumberEntryRefused::NumberEntryRefused(const std::string& boxCaption, long long lowest,
                                       long long highest)
    : PressRefused("The number in the box \"" + boxCaption +
                   "\" does not fit. Enter a number from " + std::to_string(lowest) + " to " +
                   std::to_string(highest) + "."),
      m_boxCaption(boxCaption) {}

std::int16_t ReadNumberEntry(std::string_view text, const std::string& boxCaption) {
    try {
        return ReadInt16(text);
    } catch (const std::overflow_error&) {
        throw NumberEntryRefused(boxCaption, std::numeric_limits<std::int16_t>::min(),
                                 std::numeric_limits<std::int16_t>::max());
    }
}

std::int32_t ReadNumberEntry32(std::string_view text, const std::string& boxCaption) {
    double value = 0;
    try {
        value = ReadLeadingNumber(text);
    } catch (const std::overflow_error&) {
        throw NumberEntryRefused(boxCaption, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
    }
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
          rounded <= std::numeric_limits<std::int32_t>::max())) {
        throw NumberEntryRefused(boxCaption, std::numeric_limits<std::int32_t>::min(),
                                 std::numeric_limits<std::int32_t>::max());
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace kelvra
