#include "driver/ArgumentText.h"

#include <cstdio>
#include <stdexcept>

namespace kelvra {

namespace {

std::string lastCharacters(const std::string& text, std::size_t count) {
    return text.size() <= count ? text : text.substr(text.size() - count);
}

std::string twoDigits(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02d", value);
    return text;
}

} // namespace

std::string AtLeastDigits(std::int32_t value, int digits) {
    const std::int64_t wide = value;
    std::string magnitude = std::to_string(wide < 0 ? -wide : wide);
    if (magnitude.size() < static_cast<std::size_t>(digits)) {
        magnitude.insert(0, static_cast<std::size_t>(digits) - magnitude.size(), '0');
    }
    return wide < 0 ? "-" + magnitude : magnitude;
}

std::string PlainDecimal(std::int32_t value) {
    return std::to_string(value);
}

std::string TwoDigitField(std::int16_t value) {
    return lastCharacters("00" + std::to_string(value), 2);
}

std::string FourDigitField(std::int16_t value) {
    return lastCharacters("0000" + std::to_string(value), 4);
}

std::string Hex2(std::int16_t value) {
    constexpr char kHexDigits[] = "0123456789ABCDEF";
    const auto pattern = static_cast<std::uint16_t>(value);
    return {kHexDigits[(pattern >> 4) & 0xF], kHexDigits[pattern & 0xF]};
}

std::int16_t BellSlot(std::int16_t weekdayIndex, std::int16_t bellIndex) {
    // Both steps are 16-bit arithmetic: the day's first slot must fit before the bell is added.
    const std::int32_t dayStart = static_cast<std::int32_t>(weekdayIndex) * 32;
    const std::int32_t slot = dayStart + bellIndex;
    constexpr std::int32_t kMin = INT16_MIN;
    constexpr std::int32_t kMax = INT16_MAX;
    if (dayStart < kMin || dayStart > kMax || slot < kMin || slot > kMax) {
        throw std::overflow_error("Overflow");
    }
    return static_cast<std::int16_t>(slot);
}

std::string TimeText(const DateTime& value) {
    return twoDigits(value.hour()) + ":" + twoDigits(value.minute()) + ":" +
           twoDigits(value.second());
}

std::string DateText(const DateTime& value) {
    char year[16];
    std::snprintf(year, sizeof year, "%04d", value.year());
    return twoDigits(value.day()) + "-" + twoDigits(value.month()) + "-" + year;
}

std::string QuotedItemAddress(std::string_view name) {
    std::string address = "\"";
    address += name;
    address += "\"00";
    return address;
}

} // namespace kelvra
