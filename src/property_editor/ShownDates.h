#pragma once

#include "platform/DateTime.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace kelvra {

// Dates and times as the editors show and send them. The terminal writes dates DD-MM-YYYY and
// times HH:MM:SS; the date pickers hand back the system's short date.

QDateTime ToQDateTime(const DateTime& value);

QString TerminalDateText(const QDate& date); // 31-12-2027
QString TerminalTimeText(const QTime& time); // 08:00:00
QString SystemDateText(const QDate& date);

// A shown text read back as a date: the terminal's form, the system's short date, or the
// system's short date and time (a two-digit year falls in 1950 to 2049). Nothing otherwise.
std::optional<QDate> ReadShownDate(const QString& text);
// The same for a time of day: HH:MM:SS, H:MM, or the system's time forms.
std::optional<QTime> ReadShownTime(const QString& text);

} // namespace kelvra
