#pragma once

#include "platform/DateTime.h"

#include <QWidget>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

namespace kelvra {

class ucKelvra;

// The weekly bell table as the console's "Bell Table" page and the bell table window both
// show it: the mode list, the weekday options and one day's 32 bell entries, and the loops
// that read and write a day. The windows differ only in how they report an outcome.

inline constexpr int kBellEntries = 32;
inline constexpr int kWeekDays = 7;

// Fills the mode list cboBellTableMode: "Everyday" (mode 0) and "Week" (mode 1), "Everyday"
// selected.
void FillBellTableModes(QComboBox* list);

// One day's bells. Entry i is the check box chkBellWeekMode(i), its enabled flag, captioned
// with the bell's number and standing beside its time box txtBellWeekMode(i); the boxes start
// unchecked and at "00:00:00". Four columns of eight: column c holds entries 8c to 8c+7 from
// top to bottom.
class BellEntries : public QWidget {
public:
    explicit BellEntries(QWidget* parent = nullptr);

    // The entry's box read as a time of day, or nothing when it holds none.
    std::optional<DateTime> Time(int entry) const;
    // Why the entry's box gives no time: what it holds, which is not a time of day.
    std::string NoTimeOfDay(int entry) const;
    bool Enabled(int entry) const;
    void SetEntry(int entry, const std::string& time, bool enabled);

private:
    std::array<QCheckBox*, kBellEntries> chkBellWeekMode{};
    std::array<QLineEdit*, kBellEntries> txtBellWeekMode{};
};

// The weekday options optWeekDay(0) "Sun" to optWeekDay(6) "Sat" in one row, "Sun" selected
// at first. Choosing a day reads nothing from the terminal: the entries keep what they show.
class WeekDayOptions : public QWidget {
public:
    explicit WeekDayOptions(QWidget* parent = nullptr);

    // 0 (Sunday) to 6 (Saturday).
    std::int16_t WeekDay() const;

private:
    QButtonGroup* m_days;
};

// Where "Set Bell Times" stopped: the entry (0 to 31) that the terminal refused, ErrCode
// telling why, or the entry whose box holds no time, which was then not sent.
struct BellTimesStop {
    int entry;
    bool refused;
};

// "Set Bell Times": sends the 32 entries of the day in order, stopping at the first that the
// terminal refuses or whose box holds no time. The entries before the stop were sent, the
// ones after it were not.
std::optional<BellTimesStop> SendBellTimes(ucKelvra& kv, std::int16_t source, std::int16_t weekDay,
                                           const BellEntries& entries);

// "Get Bell Times": reads the 32 entries of the day. An entry whose read fails keeps what it
// shows and the loop goes on; ErrCode is then the outcome of the last entry. A reply too short
// to hold the enabled flag throws OperationFault, leaving that entry and the later ones.
void ReadBellTimes(ucKelvra& kv, std::int16_t source, std::int16_t weekDay, BellEntries& entries);

// The mode the terminal reports, or nothing when the command fails. A reply beyond 16 bits
// throws std::overflow_error.
std::optional<std::int16_t> ReadBellTableMode(ucKelvra& kv, std::int16_t source);

} // namespace kelvra
