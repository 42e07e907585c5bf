#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace kelvra {

// Which numbers a text may carry. Descriptors and the punch-times reply may write "&H" and
// "&O"; what the operator types into a window, and what the console reads back, is decimal.
enum class NumberForms { WithHexAndOctal, DecimalOnly };

// Reads the number at the start of a text the way every number on this system is read:
// blanks (space, TAB, LF) are ignored wherever they stand; reading stops at the first
// character that cannot continue a number (digits, one decimal point, an exponent letter E or
// D with its sign and digits); with WithHexAndOctal, "&H" reads hexadecimal and "&O" octal
// digits, whose value is taken as a 16-bit signed number when it fits 16 bits (&HFFFF is -1)
// and as a 32-bit signed one otherwise; DecimalOnly reads "&H1F" as no number. A text without
// a number gives 0. A value that cannot be represented throws std::overflow_error.
double ReadLeadingNumber(std::string_view text, NumberForms forms = NumberForms::WithHexAndOctal);

// The same reading, telling a text without a number (nothing) from one that starts with 0.
std::optional<double> FindLeadingNumber(std::string_view text,
                                        NumberForms forms = NumberForms::WithHexAndOctal);

// Rounds to the nearest integer, halves to the even one (2.5 gives 2, 3.5 gives 4), and
// checks the 16-bit signed range; outside it std::overflow_error is thrown.
std::int16_t RoundToInt16(double value);

// The leading number of a text as a 16-bit signed integer: the two steps above.
std::int16_t ReadInt16(std::string_view text, NumberForms forms = NumberForms::WithHexAndOctal);

// The value of one hexadecimal digit, upper or lower case; -1 for any other character.
int HexDigitValue(char c);

} // namespace kelvra
