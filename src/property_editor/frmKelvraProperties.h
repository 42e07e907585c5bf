#pragma once

#include "driver/ucKelvra.h"
#include "property_editor/Catalogues.h"
#include "property_editor/LinkSettings.h"
#include "property_editor/PropertyViewPlatform.h"

#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QToolBar;

namespace kelvra {

class FlexGrid;

// The configuration of one terminal in one grid: a row per item of the terminal's own
// catalogue with its present value, and a last row for the punch error times of extended mode.
// The window borrows the console's driver and link settings; it connects, reads the catalogue
// 50 ms after opening, and opens the editors for a row. It lives as long as the console, so
// what opening does not reset (retries, time-out, machine number and name, password, the
// catalogues) is kept from one opening to the next. A load can be stopped (Stop, or closing the
// window) after the command in flight; values from an earlier load show old until read again.
class frmKelvraProperties : public QDialog {
public:
    static constexpr std::int16_t kDefaultRetries = 3;
    static constexpr std::int16_t kDefaultTimeout = 3000;
    static constexpr int kDeferredStartMs = 50;
    static constexpr const char* kPunchErrorTimes = "Punch Error Times - Mode Switch (0-10)";
    // The grid's value column; the definitions stand in the fixed column 0.
    static constexpr int kValueColumn = 1;

    explicit frmKelvraProperties(PropertyViewPlatform platform, QWidget* parent = nullptr);
    ~frmKelvraProperties() override;

    // Set by the opener in this order: KelvraObj, Link; then ShowConnectionStatus and
    // ShowModal. Retries may be left unset.
    void SetRetries(std::int16_t value) { m_Retries = value; }
    void SetLink(const LinkSettings& link) { m_Link = link; }
    void ShowConnectionStatus();
    bool LoginIsOK() const { return m_LoginIsOK; }
    void SetLoginIsOK(bool value) { m_LoginIsOK = value; }
    std::int16_t MachNo() const { return m_MachNo; }
    void SetMachNo(std::int16_t value) { m_MachNo = value; }
    const std::string& MachName() const { return m_MachName; }
    void SetMachName(const std::string& value) { m_MachName = value; }
    const std::string& Password() const { return m_Password; }
    void SetPassword(const std::string& value) { m_Password = value; }
    void SetKelvraObj(ucKelvra& driver) { m_KelvraObj = &driver; }

    // Opens the window (auto-login when the option is on) and shows it modally; returns once
    // it has closed.
    void ShowModal();

    // What the menus, the toolbar and the grid run.
    void LoadItems();
    void LoginTerminal();
    void LogoutTerminal();
    void UpdateAccessColors(std::string_view state); // "I" logged in, "O" logged out
    void EditCurrentRow();                           // a double-click, or the toolbar's Edit
    void EditPunchErrorTimes();
    void RefreshWithPolling(); // the toolbar's Refresh

    // What the window shows and knows, for its menus and for tests.
    bool IsLogin() const { return m_IsLogin; }
    std::int16_t PasswordRow() const { return m_PasswordRow; }
    bool Loading() const { return m_loadDepth > 0; }
    std::string StatusText(int panel) const; // panel 1 or 2
    const Catalogues& catalogues() const { return m_catalogues; }

    // Every way of closing the window comes here: during a load it stops the load after the
    // command in flight, and the window closes then.
    void reject() override;

protected:
    // Esc asks before it closes a loaded view.
    void keyPressEvent(QKeyEvent* event) override;
    // Enter and F2 on the grid open the editor of the current row.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building the window.
    void BuildMenus(QMenuBar* bar);
    void BuildToolbar(QToolBar* bar);
    QAction* AddMenuEntry(QMenu* menu, const char* name, int index, const char* caption);
    void RunUnlessLoading(void (*run)(frmKelvraProperties&), bool closes);

    // Opening, the deferred start and closing.
    void Opening();
    void DeferredStart();
    void Closing();

    // The load, step by step.
    void ApplyLinkSettings(bool warnUnknownType);
    bool CheckLoginStatus(int& retries);
    bool ReadItemCount(int& retries);
    bool ReadItems(int count);
    bool ReadMembers(int row, const ItemDescriptor& item);
    void ShowStopped();
    void ShowReadValue(int row, const ItemDescriptor& item, const std::string& value);
    void ShowPunchErrorTimes(int row);
    void BeginLoad();
    void EndLoad();
    void MarkRowRead(int row);
    bool RowRead(int row) const;

    // Menu and toolbar handlers.
    void MenuLogin();
    void MenuLogout();
    void RunDatabaseCommand(void (ucKelvra::*command)(std::int16_t), const char* successText);
    void OpenOptions();
    void OpenAbout();
    void OpenBellTable();
    void OpenReadCard();
    void ExitIfIdle();

    void EditArrayItem(int row);
    void EditTableItem(int row);
    void ShowEditor(QDialog& editor, int row);
    void RefreshLoginState();
    void ShowHelpOfCurrentRow();
    void SetPanel1(const std::string& text);
    bool ReadOption(const char* name);
    void Warn(const std::string& text);
    void ShowError(const std::string& text);
    void Inform(const std::string& text);

    PropertyViewPlatform m_platform;
    Catalogues m_catalogues;
    ucKelvra* m_KelvraObj = nullptr;

    LinkSettings m_Link;
    std::int16_t m_Retries = 0;
    bool m_LoginIsOK = true;
    bool m_IsLogin = false;
    std::int16_t m_PasswordRow = -1;
    std::string m_Password;
    std::int16_t m_MachNo = 0;
    std::string m_MachName;
    int m_loadDepth = 0; // loads running, a reload started during a load included
    bool m_stopLoad = false;
    bool m_closeAfterLoad = false;
    std::vector<bool> m_rowRead; // by the load running or the last one

    FlexGrid* grd = nullptr;
    QPlainTextEdit* txtHelp = nullptr;
    QLabel* sbPanel1 = nullptr;
    QLabel* sbPanel2 = nullptr;
    QProgressBar* sbProgress = nullptr;
    QLabel* sbProgressText = nullptr;
    QPushButton* cmdStop = nullptr;
    std::vector<QAction*> mnuFiles;
    std::vector<QAction*> mnuTools;
    std::vector<QAction*> mnuHelps;
    QTimer Timer1;
};

} // namespace kelvra
