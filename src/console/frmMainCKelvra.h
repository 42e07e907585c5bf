#pragma once

#include "console/ConsoleButtons.h"
#include "driver/ucKelvra.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

#include <QWidget>
#include <array>
#include <functional>
#include <map>
#include <string>

class QComboBox;
class QGridLayout;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QVBoxLayout;

namespace kelvra {

class BellEntries;
class TrafficPanel;
class WeekDayOptions;

// What the console needs of the world: time and event pumping for its driver, the links, the
// per-user settings store and the dialogs.
struct ConsolePlatform {
    Clock& clock;
    EventPump& pump;
    LinkFactory& links;
    SettingsStore& perUser;
    Dialogs& dialogs;
};

// The console: one driver, four pages of command buttons with the boxes that feed them, the
// connection panel and the shared result log. Every press runs one driver operation and
// appends its outcome to the log; records that the terminal pushes are logged while the
// "Extra commands" page shows.
class frmMainCKelvra : public QWidget {
public:
    static constexpr int kReplyTimeout = 3000;

    explicit frmMainCKelvra(ConsolePlatform platform, QWidget* parent = nullptr);
    ~frmMainCKelvra() override;

    ucKelvra& KV() { return m_KV; }

    // The button frame around the action of `index`: what a click on cmdCtrl(index) runs.
    // While one press runs, further presses are dropped.
    void PressButton(int index);

    // The property view is attached by its own module; until then its button is disabled.
    void SetPropertyViewOpener(std::function<void(frmMainCKelvra&)> opener);

    // What the actions of the button table use.
    std::int16_t NumberEntry(BoxName box) const;
    std::string BoxText(BoxName box) const;
    void AppendResult(const std::string& text);
    // The line of a failed command: "Error Code: ", its code and its message.
    std::string ErrorLine() const;
    void ClearResult();
    void ShowMessage(const std::string& text);
    DateTime Now() { return m_clock.now(); }
    void EstablishConnection();
    void OpenPropertyView();
    std::int16_t CommType() const { return m_iCommType; }
    std::int16_t WeekDay() const;
    std::int16_t BellTableMode() const;
    void SelectBellTableMode(int mode);
    BellEntries& Bells() { return *m_bellEntries; }

    // The log as it reads, one line per outcome.
    std::string ResultText() const;
    // The panel of the link's traffic beside the log, closed until the operator opens it.
    TrafficPanel& Traffic() { return *m_trafficPanel; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct BoxControl {
        QWidget* widget;
        std::string refusalName; // how a refused number entry names the box
    };

    // Building the window.
    void BuildPages();
    QWidget* BuildGroup(const ConsoleGroup& group);
    void FillTableGroup(const ConsoleGroup& group, QVBoxLayout* layout);
    void FillConnectionPanel(QVBoxLayout* layout);
    void FillBellControls(QVBoxLayout* layout);
    void FillBellEntries(QVBoxLayout* layout);
    QWidget* MakeBox(const ConsoleBox& box);
    QPushButton* MakeButton(int index);

    // Running.
    void Load();
    void CommonResultStep(const ConsoleButton* button);
    void OnKelvraDataArival(const std::string& address, std::int16_t source,
                            const std::string& data, std::int32_t errCode);

    Clock& m_clock;
    SettingsStore& m_perUser;
    Dialogs& m_dialogs;
    ucKelvra m_KV;
    Subscription m_dataArival;
    std::function<void(frmMainCKelvra&)> m_propertyViewOpener;

    std::int16_t m_iCommType = 0;
    bool m_pressRunning = false;

    QTabWidget* SSTab1 = nullptr;
    QPlainTextEdit* txtGetData = nullptr;
    QLineEdit* txtIP = nullptr;
    QComboBox* cboType = nullptr;
    QLineEdit* txtUDP_Port = nullptr;
    QComboBox* cboComport = nullptr;
    std::array<QRadioButton*, 2> optType{};
    QComboBox* cboBellTableMode = nullptr;
    WeekDayOptions* optWeekDay = nullptr;
    BellEntries* m_bellEntries = nullptr;
    TrafficPanel* m_trafficPanel = nullptr;
    std::map<int, QPushButton*> cmdCtrl;
    std::map<std::string, BoxControl, std::less<>> m_boxes;
};

} // namespace kelvra
