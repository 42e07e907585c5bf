#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

class QComboBox;
class QPushButton;

namespace kelvra {

class BellEntries;
class Dialogs;
class WeekDayOptions;
class ucKelvra;

// "Bell Table - Weekly": the terminal's weekly bell schedule and its mode, read and written
// through the driver the opener lends it, for the source ID it is given. It has no link and
// no result box of its own: driver errors are not reported, a value that cannot be converted
// ends the action with the fault trap's message box. The opener shows it modally.
class frmKelvra_BellTable : public QDialog {
public:
    frmKelvra_BellTable(ucKelvra& kv, std::int16_t source, Dialogs& dialogs,
                        QWidget* parent = nullptr);

    // What a click on cmdCtrl(index) runs: 0 "Clear Bell Time Settings", 1 "Set Bell Times",
    // 2 "Get Bell Times", 3 "Set Bell Time Mode", 4 "Get Bell Time Mode". While one press
    // runs, further presses are dropped.
    void PressButton(int index);

private:
    QPushButton* MakeButton(int index, const char* caption);
    void RunAction(int index);

    ucKelvra& m_kv;
    std::int16_t m_iSource;
    Dialogs& m_dialogs;
    bool m_pressRunning = false;

    QComboBox* cboBellTableMode;
    WeekDayOptions* optWeekDay;
    BellEntries* m_entries;
    std::array<QPushButton*, 5> cmdCtrl{};
};

} // namespace kelvra
