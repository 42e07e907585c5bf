#pragma once

#include "platform/DateTime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

// How the command set writes its arguments. The terminal reads fixed-width fields, and the
// widths are cut here, not checked: a number too wide for its field loses its leading
// characters and is sent all the same.

// Decimal, zero-filled to at least `digits` digits; wider numbers keep all of theirs, and a
// minus sign stands before the zeros (7 gives 0007 for four digits, -5 gives -05 for two).
std::string AtLeastDigits(std::int32_t value, int digits);
inline std::string AtLeast4(std::int16_t value) {
    return AtLeastDigits(value, 4);
}
inline std::string AtLeast2(std::int16_t value) {
    return AtLeastDigits(value, 2);
}

// Decimal without leading zeros.
std::string PlainDecimal(std::int32_t value);

// An item reference or member number: the last two characters of "00" + decimal, so the
// terminal drops the hundreds (123 gives 23) and a small negative keeps its sign (-1 gives -1).
std::string TwoDigitField(std::int16_t value);

// A record number: the last four characters of "0000" + decimal (-5 gives 00-5).
std::string FourDigitField(std::int16_t value);

// The last two upper-case hexadecimal digits of the number's 16-bit pattern (300 gives 2C).
std::string Hex2(std::int16_t value);

// The slot of bell `bellIndex` on weekday `weekdayIndex`: 32 bells a day, as a 16-bit number.
// A slot beyond 16 bits throws std::overflow_error.
std::int16_t BellSlot(std::int16_t weekdayIndex, std::int16_t bellIndex);

// hh:mm:ss of the time of day; the date part is not sent.
std::string TimeText(const DateTime& value);

// dd-mm-yyyy of the date; the time part is not sent.
std::string DateText(const DateTime& value);

// An item addressed by name in place of its reference number: the name in double quotes,
// then member "00".
std::string QuotedItemAddress(std::string_view name);

} // namespace kelvra
