#include "TerminalText.h"

#include <algorithm>
#include <charconv>

namespace kelvra::sim {

std::optional<long> StrictInteger(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    long value = 0;
    const char* first = text.data();
    const auto [end, error] = std::from_chars(first, first + text.size(), value);
    if (error != std::errc{} || end != first + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> HexByte(std::string_view text) {
    int value = 0;
    // from_chars takes a minus sign even in base 16: "-7" would be a slot below the table.
    if (text.size() != 2 || text.front() == '-') {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + 2, value, 16);
    if (error != std::errc{} || end != text.data() + 2) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> TwoDigits(std::string_view text) {
    if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') {
        return std::nullopt;
    }
    return (text[0] - '0') * 10 + (text[1] - '0');
}

namespace {

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

} // namespace

std::optional<TimeOfDay> ParseTime(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const auto h = TwoDigits(text.substr(0, 2));
    const auto m = TwoDigits(text.substr(3, 2));
    const auto s = TwoDigits(text.substr(6, 2));
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) {
        return std::nullopt;
    }
    return TimeOfDay{*h, *m, *s};
}

std::optional<CalendarDate> ParseDate(std::string_view text) {
    if (text.size() != 10 || text[2] != '-' || text[5] != '-') {
        return std::nullopt;
    }
    const auto d = TwoDigits(text.substr(0, 2));
    const auto m = TwoDigits(text.substr(3, 2));
    const auto y = StrictInteger(text.substr(6, 4));
    if (!d || !m || !y || *y < 1900 || *y > 2999 || *m < 1 || *m > 12 || *d < 1 ||
        *d > DaysInMonth(static_cast<int>(*y), *m)) {
        return std::nullopt;
    }
    return CalendarDate{*d, *m, static_cast<int>(*y)};
}

int CaptionCount(const std::string& selection) {
    if (selection.empty()) {
        return 0;
    }
    return static_cast<int>(std::count(selection.begin(), selection.end(), ';')) + 1;
}

std::vector<std::string_view> SplitTabs(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = text.find(TAB);
        fields.push_back(text.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(tab + 1);
    }
}

} // namespace kelvra::sim
