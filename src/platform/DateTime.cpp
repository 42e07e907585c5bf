#include "platform/DateTime.h"

#include <chrono>

namespace kelvra {

namespace {

using namespace std::chrono;

constexpr sys_days kZeroDay = sys_days{year{1899} / December / 30};
constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t floorDiv(std::int64_t value, std::int64_t divisor) {
    std::int64_t quotient = value / divisor;
    return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

year_month_day dateOf(std::int64_t seconds) {
    return year_month_day{kZeroDay + days{floorDiv(seconds, kSecondsPerDay)}};
}

std::int64_t secondOfDay(std::int64_t seconds) {
    return seconds - floorDiv(seconds, kSecondsPerDay) * kSecondsPerDay;
}

} // namespace

DateTime DateTime::fromParts(int y, int mo, int d, int h, int mi, int s) {
    // The member functions year(), month() and day() hide the calendar types here.
    const sys_days date{std::chrono::year{y} / std::chrono::month{static_cast<unsigned>(mo)} /
                        std::chrono::day{static_cast<unsigned>(d)}};
    const std::int64_t dayCount = (date - kZeroDay).count();
    return fromSecondsSinceZero(dayCount * kSecondsPerDay + h * 3600 + mi * 60 + s);
}

int DateTime::year() const {
    return static_cast<int>(dateOf(m_seconds).year());
}
int DateTime::month() const {
    return static_cast<int>(static_cast<unsigned>(dateOf(m_seconds).month()));
}
int DateTime::day() const {
    return static_cast<int>(static_cast<unsigned>(dateOf(m_seconds).day()));
}
int DateTime::hour() const {
    return static_cast<int>(secondOfDay(m_seconds) / 3600);
}
int DateTime::minute() const {
    return static_cast<int>(secondOfDay(m_seconds) / 60 % 60);
}
int DateTime::second() const {
    return static_cast<int>(secondOfDay(m_seconds) % 60);
}

} // namespace kelvra
