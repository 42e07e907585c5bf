#include "property_editor/ShownDates.h"

#include <QLocale>

namespace kelvra {

namespace {

constexpr int kEarliestTwoDigitYear = 1950;

// Qt reads a two-digit year into the 1900s.
QDate IntoCentury(QDate date, const QString& format) {
    if (date.isValid() && !format.contains("yyyy") && date.year() < kEarliestTwoDigitYear) {
        return date.addYears(100);
    }
    return date;
}

} // namespace

QDateTime ToQDateTime(const DateTime& value) {
    return QDateTime(QDate(value.year(), value.month(), value.day()),
                     QTime(value.hour(), value.minute(), value.second()));
}

QString TerminalDateText(const QDate& date) {
    return date.toString("dd-MM-yyyy");
}

QString TerminalTimeText(const QTime& time) {
    return time.toString("HH:mm:ss");
}

QString SystemDateText(const QDate& date) {
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

std::optional<QDate> ReadShownDate(const QString& text) {
    const QString trimmed = text.trimmed();
    const QLocale locale = QLocale::system();
    const QString shortDate = locale.dateFormat(QLocale::ShortFormat);
    const QString shortDateTime = locale.dateTimeFormat(QLocale::ShortFormat);
    const QDate candidates[] = {
        QDate::fromString(trimmed, "dd-MM-yyyy"),
        IntoCentury(locale.toDate(trimmed, shortDate), shortDate),
        IntoCentury(locale.toDateTime(trimmed, shortDateTime).date(), shortDateTime),
    };
    for (const QDate& date : candidates) {
        if (date.isValid()) {
            return date;
        }
    }
    return std::nullopt;
}

std::optional<QTime> ReadShownTime(const QString& text) {
    const QString trimmed = text.trimmed();
    const QLocale locale = QLocale::system();
    const QTime candidates[] = {
        QTime::fromString(trimmed, "H:mm:ss"),
        QTime::fromString(trimmed, "H:mm"),
        locale.toTime(trimmed, QLocale::LongFormat),
        locale.toTime(trimmed, QLocale::ShortFormat),
    };
    for (const QTime& time : candidates) {
        if (time.isValid()) {
            return time;
        }
    }
    return std::nullopt;
}

} // namespace kelvra
