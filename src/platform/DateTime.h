#pragma once

#include <compare>
#include <cstdint>

namespace kelvra {

// A calendar date with a time of day, to the second, in local wall-clock time. The value 0
// is the zero date-time, 1899-12-30 00:00:00, which is what an unset date reads as.
class DateTime {
public:
    constexpr DateTime() = default;

    static DateTime fromParts(int year, int month, int day, int hour = 0, int minute = 0,
                              int second = 0);
    static constexpr DateTime fromSecondsSinceZero(std::int64_t seconds) {
        DateTime value;
        value.m_seconds = seconds;
        return value;
    }

    constexpr std::int64_t secondsSinceZero() const { return m_seconds; }

    int year() const;
    int month() const;
    int day() const;
    int hour() const;
    int minute() const;
    int second() const;

    constexpr DateTime plusSeconds(std::int64_t seconds) const {
        return fromSecondsSinceZero(m_seconds + seconds);
    }

    constexpr auto operator<=>(const DateTime&) const = default;

private:
    std::int64_t m_seconds = 0;
};

// Second boundaries crossed between two readings, as a date difference counted in seconds.
constexpr std::int64_t SecondsBetween(DateTime from, DateTime to) {
    return to.secondsSinceZero() - from.secondsSinceZero();
}

} // namespace kelvra
