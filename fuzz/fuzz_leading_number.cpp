// The one reader of numbers in text. An overflow is an expected outcome; anything else that
// escapes, or a blank that changes the value, is a finding.
#include "FuzzCheck.h"
#include "driver/LeadingNumber.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

std::optional<double> leadingNumber(const std::string& text) {
    try {
        return kelvra::ReadLeadingNumber(text);
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
}

std::optional<std::int16_t> int16(const std::string& text) {
    try {
        return kelvra::ReadInt16(text);
    } catch (const std::overflow_error&) {
        return std::nullopt;
    }
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto value = leadingNumber(text);
    if (value) {
        FUZZ_CHECK(std::isfinite(*value));
    }

    // Blanks never take part in a number, wherever they stand.
    if (size > 0) {
        std::string spaced = text;
        spaced.insert(data[0] % (size + 1), 1, " \t\n"[data[0] % 3]);
        const auto spacedValue = leadingNumber(spaced);
        FUZZ_CHECK(spacedValue.has_value() == value.has_value());
        FUZZ_CHECK(!value || *spacedValue == *value);
    }

    // The 16-bit reading is the leading number rounded and range-checked, nothing else.
    const auto small = int16(text);
    if (!value) {
        FUZZ_CHECK(!small);
    } else {
        const double rounded = std::nearbyint(*value);
        const bool fits = rounded >= -32768.0 && rounded <= 32767.0;
        FUZZ_CHECK(small.has_value() == fits);
        FUZZ_CHECK(!small || *small == rounded);
    }

    // Up to four hexadecimal digits after &H are a 16-bit pattern (&HFFFF is -1).
    if (size >= 3 && text[0] == '&' && (text[1] == 'H' || text[1] == 'h')) {
        std::size_t digits = 0;
        while (2 + digits < size && isHexDigit(text[2 + digits])) {
            ++digits;
        }
        const bool blankFollows =
            2 + digits < size &&
            (text[2 + digits] == ' ' || text[2 + digits] == '\t' || text[2 + digits] == '\n');
        if (digits >= 1 && digits <= 4 && !blankFollows) {
            const auto pattern =
                static_cast<std::uint16_t>(std::stoul(text.substr(2, digits), nullptr, 16));
            FUZZ_CHECK(value && *value == static_cast<std::int16_t>(pattern));
        }
    }
    return 0;
}
