#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::sim {

// What a simulated terminal reads from a request's data and how it answers: whole numbers,
// times and dates in the one form it takes each in, and the status letters of its replies.

inline constexpr char TAB = '\t';

// A whole text as a signed decimal integer, nothing else around it.
std::optional<long> StrictInteger(std::string_view text);
// Exactly two hexadecimal digits.
std::optional<int> HexByte(std::string_view text);
// Exactly two decimal digits.
std::optional<int> TwoDigits(std::string_view text);

struct TimeOfDay {
    int hour, minute, second;
};
struct CalendarDate {
    int day, month, year;
};
// HH:MM:SS exactly.
std::optional<TimeOfDay> ParseTime(std::string_view text);
// DD-MM-YYYY exactly, a day the calendar has.
std::optional<CalendarDate> ParseDate(std::string_view text);

// The number of captions in a ";"-separated selection list.
int CaptionCount(const std::string& selection);
std::vector<std::string_view> SplitTabs(std::string_view text);

// Reply bodies: "A" with the data, or the status letter of a refusal.
inline std::string Ok(std::string_view data = {}) {
    return "A" + std::string(data);
}
inline const std::string kFail = "F";
inline const std::string kNotApplicable = "N";
inline const std::string kDenied = "D";
inline const std::string kEnd = "E";

} // namespace kelvra::sim
