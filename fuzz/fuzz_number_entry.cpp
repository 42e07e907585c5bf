// What the operator types into a number box: the console takes the leading decimal number,
// rounded half to even, or refuses the press. Each result is checked against a reading of
// the text written out here on its own, so a fault in the one reader cannot hide behind itself.
#include "FuzzCheck.h"
#include "console/NumberEntry.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t digitsFrom(const std::string& text, std::size_t at, std::string& out) {
    std::size_t count = 0;
    for (; at + count < text.size() && isDigit(text[at + count]); ++count) {
        out.push_back(text[at + count]);
    }
    return count;
}

// The leading decimal number as the number entry defines it: blanks (space, TAB, LF) dropped
// wherever they stand, a sign, digits with at most one decimal point (one digit at least),
// then an exponent (E or D, a sign, digits) only when its digits are there. Nothing when the
// text starts with no number; infinity when the value is too large for a double.
std::optional<double> referenceReading(std::string_view typed) {
    std::string text;
    for (char c : typed) {
        if (c != ' ' && c != '\t' && c != '\n') {
            text.push_back(c);
        }
    }
    std::string number;
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number.push_back(text[at++]);
    }
    std::size_t mantissaDigits = digitsFrom(text, at, number);
    at += mantissaDigits;
    if (at < text.size() && text[at] == '.') {
        number.push_back(text[at++]);
        const std::size_t fraction = digitsFrom(text, at, number);
        at += fraction;
        mantissaDigits += fraction;
    }
    if (mantissaDigits == 0) {
        return std::nullopt;
    }
    if (at < text.size() &&
        (text[at] == 'E' || text[at] == 'e' || text[at] == 'D' || text[at] == 'd')) {
        std::string exponent = "e";
        std::size_t next = at + 1;
        if (next < text.size() && (text[next] == '+' || text[next] == '-')) {
            exponent.push_back(text[next++]);
        }
        if (digitsFrom(text, next, exponent) > 0) {
            number += exponent;
        }
    }
    return std::strtod(number.c_str(), nullptr);
}

// The press's outcome: the value, or nothing when it was refused. Any other exception escapes
// and is a finding.
template <typename Read> std::optional<long long> outcome(Read&& read) {
    try {
        return read();
    } catch (const kelvra::NumberEntryRefused& refusal) {
        FUZZ_CHECK(refusal.boxCaption() == "Box");
        FUZZ_CHECK(std::string_view(refusal.what()).find("\"Box\"") != std::string_view::npos);
        return std::nullopt;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> expected = referenceReading(text);
    // nearbyint rounds halves to the even neighbour in the default rounding mode.
    const double rounded = expected ? std::nearbyint(*expected) : 0.0;

    // A 16-bit box: no number reads as 0; a value beyond 16 bits refuses the press.
    const auto entry = outcome([&] { return kelvra::ReadNumberEntry(text, "Box"); });
    const bool fits16 = rounded >= -32768.0 && rounded <= 32767.0;
    FUZZ_CHECK(entry.has_value() == fits16);
    FUZZ_CHECK(!entry || static_cast<double>(*entry) == rounded);

    // A port box: a number from 0 to 65535, and a text without one is refused too.
    const auto port = outcome([&] { return kelvra::ReadPortEntry(text, "Box"); });
    const bool isPort = expected && rounded >= 0.0 && rounded <= 65535.0;
    FUZZ_CHECK(port.has_value() == isPort);
    FUZZ_CHECK(!port || static_cast<double>(*port) == rounded);
    return 0;
}
