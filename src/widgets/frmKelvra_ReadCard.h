#pragma once

#include "driver/Event.h"

#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace kelvra {

class Dialogs;
class EventPump;
class ucKelvra;

// "Read Card": shows the code of each card presented at the terminal. Shortly after it opens
// it logs the terminal out of normal mode and into extended mode, in which the terminal pushes
// each punch as a record; closing logs extended mode off again. It uses the driver the opener
// lends it, for the source ID it is given, and handles the driver's pushed records while it is
// open. The opener shows it modally.
class frmKelvra_ReadCard : public QDialog {
public:
    // The pause between opening and entering extended mode.
    static constexpr int kStartDelayMs = 500;

    frmKelvra_ReadCard(ucKelvra& kv, std::int16_t source, Dialogs& dialogs, EventPump& pump,
                       QWidget* parent = nullptr);
    ~frmKelvra_ReadCard() override;

    // Closing ends extended mode, whichever way the window is closed.
    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void StartExtendedMode();
    void EndExtendedMode();
    void OnKelvraDataArival(const std::string& data);

    ucKelvra& m_kv;
    std::int16_t m_iSource;
    Dialogs& m_dialogs;
    EventPump& m_pump;
    Subscription m_dataArival;
    // A close asked for while extended mode is being entered waits for that to finish, so the
    // logoff goes after the logon and the terminal is never left in extended mode.
    bool m_starting = false;
    bool m_closeWaiting = false;
    int m_closeResult = 0;
    bool m_closing = false;

    QLabel* Label1;
    QLineEdit* txtCardCode;
    QPushButton* Command1;
    QTimer* Timer1;
};

} // namespace kelvra
