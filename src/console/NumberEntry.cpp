#include "console/NumberEntry.h"

#include "driver/LeadingNumber.h"

#include <cmath>
#include <limits>
#include <optional>
#include <stdexcept>

namespace kelvra {

namespace {

constexpr long long kLowestPort = 0;
constexpr long long kHighestPort = 65535;
using enum NumberEntryRefused::Problem;

std::string Describe(const std::string& boxCaption, NumberEntryRefused::Problem problem) {
    return problem == DoesNotFit ? "The number in the box \"" + boxCaption + "\" does not fit."
                                 : "The box \"" + boxCaption + "\" holds no number.";
}

} // namespace

NumberEntryRefused::NumberEntryRefused(const std::string& boxCaption, Problem problem,
                                       long long lowest, long long highest)
    : PressRefused(Describe(boxCaption, problem) + " Enter a number from " +
                   std::to_string(lowest) + " to " + std::to_string(highest) + "."),
      m_boxCaption(boxCaption) {}

std::int16_t ReadNumberEntry(std::string_view text, const std::string& boxCaption) {
    try {
        return ReadInt16(text, NumberForms::DecimalOnly);
    } catch (const std::overflow_error&) {
        throw NumberEntryRefused(boxCaption, DoesNotFit, std::numeric_limits<std::int16_t>::min(),
                                 std::numeric_limits<std::int16_t>::max());
    }
}

std::int32_t ReadPortEntry(std::string_view text, const std::string& boxCaption) {
    std::optional<double> value;
    try {
        value = FindLeadingNumber(text, NumberForms::DecimalOnly);
    } catch (const std::overflow_error&) {
        throw NumberEntryRefused(boxCaption, DoesNotFit, kLowestPort, kHighestPort);
    }
    if (!value) {
        throw NumberEntryRefused(boxCaption, NoNumber, kLowestPort, kHighestPort);
    }
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = std::nearbyint(*value);
    if (!(rounded >= kLowestPort && rounded <= kHighestPort)) {
        throw NumberEntryRefused(boxCaption, DoesNotFit, kLowestPort, kHighestPort);
    }
    return static_cast<std::int32_t>(rounded);
}

} // namespace kelvra
