#include "collector/Punch.h"

#include "driver/SplitText.h"

#include <charconv>
#include <vector>

namespace kelvra::collector {

namespace {

template <class Number> std::optional<Number> WholeNumber(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

Punch ReadPunch(const std::string& terminal, const std::string& raw, const QDateTime& receivedAt) {
    Punch punch;
    punch.terminal = terminal;
    punch.raw = raw;
    punch.receivedAt = receivedAt;
    punch.flagged = true;
    const std::vector<std::string_view> fields = *SplitText(raw, '\t');
    if (fields.size() != 6) {
        return punch;
    }
    const QDate date =
        QDate::fromString(QString::fromLatin1(fields[1]), QStringLiteral("dd-MM-yyyy"));
    const QTime time =
        QTime::fromString(QString::fromLatin1(fields[2]), QStringLiteral("HH:mm:ss"));
    punch.number = WholeNumber<long long>(fields[0]);
    punch.card = std::string(fields[3]);
    punch.mode = WholeNumber<int>(fields[4]);
    punch.machine = WholeNumber<int>(fields[5]);
    if (!date.isValid() || !time.isValid() || !punch.number || !punch.mode || !punch.machine ||
        punch.card.empty()) {
        return punch;
    }
    punch.punchedAt = QDateTime(date, time);
    punch.flagged = false;
    return punch;
}

} // namespace kelvra::collector
