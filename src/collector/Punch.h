#pragma once

#include <QDateTime>
#include <optional>
#include <string>

namespace kelvra::collector {

// One punch record as it goes into the database: the terminal's section name, the record's
// data exactly as the terminal sent it (link text, one byte a character), and the fields read
// from it. A record whose fields do not read is kept all the same, flagged, with its raw text.
struct Punch {
    std::string terminal;
    std::string raw;
    bool flagged = false;
    std::optional<long long> number;
    QDateTime punchedAt; // invalid when flagged
    std::string card;
    std::optional<int> mode;
    std::optional<int> machine;
    QDateTime receivedAt;
};

// Reads "NUMBER<TAB>DD-MM-YYYY<TAB>HH:MM:SS<TAB>CARD<TAB>MODE<TAB>MACHINE". Anything else
// (fewer fields, a date that is no date, a number that is no number) is flagged.
Punch ReadPunch(const std::string& terminal, const std::string& raw, const QDateTime& receivedAt);

} // namespace kelvra::collector
