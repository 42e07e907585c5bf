#include "widgets/frmKelvra_BellTable.h"

#include "driver/LeadingNumber.h"
#include "driver/ucKelvra.h"
#include "widgets/BellTableControls.h"
#include "widgets/CommandButton.h"
#include "widgets/FaultTrap.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvra {

namespace {

enum Button { Clear = 0, SetTimes = 1, GetTimes = 2, SetMode = 3, GetMode = 4 };

} // namespace

frmKelvra_BellTable::frmKelvra_BellTable(ucKelvra& kv, std::int16_t source, Dialogs& dialogs,
                                         QWidget* parent)
    : QDialog(parent), m_kv(kv), m_iSource(source), m_dialogs(dialogs) {
    setObjectName("frmKelvra_BellTable");
    setWindowTitle("Bell Table - Weekly");

    cboBellTableMode = new QComboBox;
    FillBellTableModes(cboBellTableMode);
    auto* modeFrame = new QGroupBox("Bell Table Mode");
    auto* mode = new QHBoxLayout(modeFrame);
    mode->addWidget(MakeButton(GetMode, "Get Bell Time Mode"));
    mode->addWidget(cboBellTableMode);
    mode->addWidget(MakeButton(SetMode, "Set Bell Time Mode"));
    mode->addStretch();

    optWeekDay = new WeekDayOptions;
    m_entries = new BellEntries;
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(MakeButton(GetTimes, "Get Bell Times"));
    buttons->addWidget(MakeButton(SetTimes, "Set Bell Times"));
    buttons->addWidget(MakeButton(Clear, "Clear Bell Time Settings"));
    buttons->addStretch();
    auto* weeklyFrame = new QGroupBox("Bell Table - Weekly Mode");
    auto* weekly = new QVBoxLayout(weeklyFrame);
    weekly->addWidget(optWeekDay);
    weekly->addWidget(m_entries);
    weekly->addLayout(buttons);

    auto* close = new QPushButton("Close");
    close->setObjectName("cmdClose");
    SizeCommandButton(close);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(
        new QLabel("Select a weekday to read settings from device or update settings to device."),
        1);
    bottom->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(modeFrame);
    layout->addWidget(weeklyFrame);
    layout->addLayout(bottom);
}

QPushButton* frmKelvra_BellTable::MakeButton(int index, const char* caption) {
    auto* button = new QPushButton(caption);
    button->setObjectName(QString("cmdCtrl(%1)").arg(index));
    SizeCommandButton(button);
    // A press runs to its end before the window reacts to Enter again.
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, index] { PressButton(index); });
    cmdCtrl.at(static_cast<std::size_t>(index)) = button;
    return button;
}

void frmKelvra_BellTable::PressButton(int index) {
    RunOnePress(m_dialogs, m_pressRunning, [this, index] { RunAction(index); });
}

// Driver errors stay unreported here: the entries and the list show what was read.
void frmKelvra_BellTable::RunAction(int index) {
    switch (index) {
    case Clear:
        m_kv.ClearBellTimeSettings(m_iSource);
        break;
    case SetTimes:
        if (const auto stop = SendBellTimes(m_kv, m_iSource, optWeekDay->WeekDay(), *m_entries);
            stop && !stop->refused) {
            throw OperationFault(FaultNumber::TypeMismatch,
                                 "Bell entry " + std::to_string(stop->entry + 1) + ": " +
                                     m_entries->NoTimeOfDay(stop->entry) +
                                     ". Nothing was sent for this entry or the ones after it.");
        }
        break;
    case GetTimes:
        ReadBellTimes(m_kv, m_iSource, optWeekDay->WeekDay(), *m_entries);
        break;
    case SetMode:
        m_kv.SetBellTimeMode(m_iSource,
                             static_cast<std::int16_t>(cboBellTableMode->currentIndex()));
        break;
    case GetMode: {
        m_kv.GetBellTimeMode(m_iSource);
        if (m_kv.ErrCode() != 0) {
            break;
        }
        // A reply without a number is no mode either: taken as 0 it would choose "Everyday".
        std::string reply;
        m_kv.GetData(reply);
        const auto number = FindLeadingNumber(reply, NumberForms::DecimalOnly);
        const int mode = number ? RoundToInt16(*number) : -1;
        if (mode < 0 || mode >= cboBellTableMode->count()) {
            throw OperationFault(FaultNumber::InvalidValue,
                                 "The terminal reports bell table mode \"" + reply +
                                     "\", which the list does not offer.");
        }
        cboBellTableMode->setCurrentIndex(mode);
        break;
    }
    default:
        break;
    }
}

} // namespace kelvra
