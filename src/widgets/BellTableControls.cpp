#include "widgets/BellTableControls.h"

#include "driver/LeadingNumber.h"
#include "driver/ucKelvra.h"
#include "widgets/FaultTrap.h"
#include "widgets/TimeOfDay.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>

namespace kelvra {

namespace {

constexpr int kEntriesPerColumn = 8;
constexpr int kEntryColumns = kBellEntries / kEntriesPerColumn;
constexpr int kEntrySpacing = 4; // between a check box and its time box
constexpr int kColumnGap = 12;   // and more between one column's time boxes and the next
constexpr std::array<const char*, kWeekDays> kWeekDayCaptions = {"Sun", "Mon", "Tue", "Wed",
                                                                 "Thu", "Fri", "Sat"};

QString Indexed(const char* name, int index) {
    return QString("%1(%2)").arg(name).arg(index);
}

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

} // namespace

void FillBellTableModes(QComboBox* list) {
    list->setObjectName("cboBellTableMode");
    list->clear();
    list->addItems({"Everyday", "Week"});
    list->setCurrentIndex(0);
}

BellEntries::BellEntries(QWidget* parent) : QWidget(parent) {
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(kEntrySpacing);
    const int timeWidth = fontMetrics().horizontalAdvance("00:00:00") + 16;
    for (int entry = 0; entry < kBellEntries; ++entry) {
        chkBellWeekMode[entry] = new QCheckBox(QString::number(entry + 1));
        chkBellWeekMode[entry]->setObjectName(Indexed("chkBellWeekMode", entry));
        // The bell's number before its check box, so that every check box stands right
        // beside its time box, whatever the number's width.
        chkBellWeekMode[entry]->setLayoutDirection(Qt::RightToLeft);
        txtBellWeekMode[entry] = new QLineEdit("00:00:00");
        txtBellWeekMode[entry]->setObjectName(Indexed("txtBellWeekMode", entry));
        txtBellWeekMode[entry]->setFixedWidth(timeWidth);
        // Each column is a check box, its time box and a gap before the next column.
        const int row = entry % kEntriesPerColumn;
        const int column = entry / kEntriesPerColumn * 3;
        grid->addWidget(chkBellWeekMode[entry], row, column);
        grid->addWidget(txtBellWeekMode[entry], row, column + 1);
    }
    for (int column = 0; column + 1 < kEntryColumns; ++column) {
        grid->setColumnMinimumWidth(column * 3 + 2, kColumnGap);
    }
    grid->setColumnStretch(kEntryColumns * 3 - 1, 1);
}

std::optional<DateTime> BellEntries::Time(int entry) const {
    return ParseTimeOfDay(Latin1(txtBellWeekMode.at(entry)->text()));
}

std::string BellEntries::NoTimeOfDay(int entry) const {
    return "\"" + Latin1(txtBellWeekMode.at(entry)->text()) + "\" is not a time of day (hh:mm:ss)";
}

bool BellEntries::Enabled(int entry) const {
    return chkBellWeekMode.at(entry)->isChecked();
}

void BellEntries::SetEntry(int entry, const std::string& time, bool enabled) {
    txtBellWeekMode.at(entry)->setText(QString::fromLatin1(time));
    chkBellWeekMode.at(entry)->setChecked(enabled);
}

WeekDayOptions::WeekDayOptions(QWidget* parent) : QWidget(parent), m_days(new QButtonGroup(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    for (int day = 0; day < kWeekDays; ++day) {
        auto* option = new QRadioButton(kWeekDayCaptions[day]);
        option->setObjectName(Indexed("optWeekDay", day));
        m_days->addButton(option, day);
        row->addWidget(option);
    }
    row->addStretch();
    m_days->button(0)->setChecked(true);
}

std::int16_t WeekDayOptions::WeekDay() const {
    return static_cast<std::int16_t>(m_days->checkedId());
}

std::optional<BellTimesStop> SendBellTimes(ucKelvra& kv, std::int16_t source, std::int16_t weekDay,
                                           const BellEntries& entries) {
    for (int i = 0; i < kBellEntries; ++i) {
        const auto time = entries.Time(i);
        if (!time) {
            return BellTimesStop{i, false};
        }
        kv.SetBellTime(source, weekDay, static_cast<std::int16_t>(i), *time,
                       entries.Enabled(i) ? 1 : 0);
        if (kv.ErrCode() != 0) {
            return BellTimesStop{i, true};
        }
    }
    return std::nullopt;
}

void ReadBellTimes(ucKelvra& kv, std::int16_t source, std::int16_t weekDay, BellEntries& entries) {
    for (int i = 0; i < kBellEntries; ++i) {
        kv.GetBellTime(source, weekDay, static_cast<std::int16_t>(i));
        if (kv.ErrCode() != 0) {
            continue;
        }
        std::string reply;
        kv.GetData(reply);
        // The time, then the enabled flag in the last two characters.
        if (reply.size() < 2) {
            throw OperationFault(FaultNumber::InvalidArgument,
                                 "The terminal answered \"" + reply + "\" for bell entry " +
                                     std::to_string(i + 1) +
                                     ", which holds no enabled flag. The entries from this one "
                                     "on were not read.");
        }
        const std::size_t split = reply.size() - 2;
        const bool enabled =
            ReadLeadingNumber(std::string_view(reply).substr(split), NumberForms::DecimalOnly) != 0;
        entries.SetEntry(i, reply.substr(0, split), enabled);
    }
}

std::optional<std::int16_t> ReadBellTableMode(ucKelvra& kv, std::int16_t source) {
    kv.GetBellTimeMode(source);
    if (kv.ErrCode() != 0) {
        return std::nullopt;
    }
    std::string reply;
    kv.GetData(reply);
    return ReadInt16(reply, NumberForms::DecimalOnly);
}

} // namespace kelvra
