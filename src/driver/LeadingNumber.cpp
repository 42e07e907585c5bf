#include "driver/LeadingNumber.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace kelvra {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n';
}

// The text without its blanks, which never take part in a number.
std::string withoutBlanks(std::string_view text) {
    std::string compact;
    compact.reserve(text.size());
    for (char c : text) {
        if (!isBlank(c)) {
            compact.push_back(c);
        }
    }
    return compact;
}

std::optional<double> readRadix(std::string_view digits, int radix) {
    constexpr std::uint64_t kLimit = 0xFFFFFFFFull;
    std::uint64_t value = 0;
    bool anyDigit = false;
    for (char c : digits) {
        const int digit = HexDigitValue(c);
        if (digit < 0 || digit >= radix) {
            break;
        }
        anyDigit = true;
        value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
        if (value > kLimit) {
            throw std::overflow_error("Overflow");
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    // The bit pattern is read as a signed number of the smallest width that holds it.
    if (value <= 0xFFFF) {
        return static_cast<double>(static_cast<std::int16_t>(static_cast<std::uint16_t>(value)));
    }
    return static_cast<double>(static_cast<std::int32_t>(static_cast<std::uint32_t>(value)));
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Compared one by one: a lookup in "EeDd" with strchr would also find the NUL that ends it.
bool isExponentLetter(char c) {
    return c == 'E' || c == 'e' || c == 'D' || c == 'd';
}

std::optional<double> readDecimal(std::string_view text) {
    std::string number;
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.push_back(text[at++]);
    }
    bool anyDigit = false;
    while (at < text.size() && isDigit(text[at])) {
        number.push_back(text[at++]);
        anyDigit = true;
    }
    if (at < text.size() && text[at] == '.') {
        number.push_back(text[at++]);
        while (at < text.size() && isDigit(text[at])) {
            number.push_back(text[at++]);
            anyDigit = true;
        }
    }
    if (!anyDigit) {
        return std::nullopt;
    }
    if (at < text.size() && isExponentLetter(text[at])) {
        std::size_t exponentAt = at + 1;
        std::string exponent = "e";
        if (exponentAt < text.size() && (text[exponentAt] == '+' || text[exponentAt] == '-')) {
            exponent.push_back(text[exponentAt++]);
        }
        bool exponentDigit = false;
        while (exponentAt < text.size() && isDigit(text[exponentAt])) {
            exponent.push_back(text[exponentAt++]);
            exponentDigit = true;
        }
        if (exponentDigit) {
            number += exponent;
        }
    }
    const double value = std::strtod(number.c_str(), nullptr);
    if (!std::isfinite(value)) {
        throw std::overflow_error("Overflow");
    }
    return value;
}

} // namespace

std::optional<double> FindLeadingNumber(std::string_view text, NumberForms forms) {
    const std::string compact = withoutBlanks(text);
    const std::string_view view = compact;
    if (forms == NumberForms::WithHexAndOctal && view.size() >= 2 && view[0] == '&') {
        const char prefix = static_cast<char>(std::toupper(static_cast<unsigned char>(view[1])));
        if (prefix == 'H') {
            return readRadix(view.substr(2), 16);
        }
        if (prefix == 'O') {
            return readRadix(view.substr(2), 8);
        }
        return std::nullopt;
    }
    return readDecimal(view);
}

double ReadLeadingNumber(std::string_view text, NumberForms forms) {
    return FindLeadingNumber(text, forms).value_or(0.0);
}

std::int16_t RoundToInt16(double value) {
    // nearbyint rounds in the default mode, to nearest with halves to even.
    const double rounded = std::nearbyint(value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0)) {
        throw std::overflow_error("Overflow");
    }
    return static_cast<std::int16_t>(rounded);
}

std::int16_t ReadInt16(std::string_view text, NumberForms forms) {
    return RoundToInt16(ReadLeadingNumber(text, forms));
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

} // namespace kelvra
