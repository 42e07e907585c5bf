// The property view's menus and toolbar: thin handlers over the window's own operations and a
// few driver commands.
#include "driver/LeadingNumber.h"
#include "driver/LinkKinds.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvraProperties.h"
#include "widgets/FaultTrap.h"
#include "widgets/ModalDialog.h"
#include "widgets/frmKelvra_About.h"
#include "widgets/frmKelvra_BellTable.h"
#include "widgets/frmKelvra_Options.h"
#include "widgets/frmKelvra_ReadCard.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <span>

namespace kelvra {

namespace {

// The toolbar's Refresh reads the machine number from the first row once a catalogue is loaded.
constexpr int kRowsBeforeMachineNumberIsRead = 10;
constexpr std::int16_t kPollingSource = 1;

using Handler = void (*)(frmKelvraProperties&);

// One menu entry: its caption ("-" a separator) and what choosing it runs.
struct MenuEntry {
    const char* caption;
    Handler run = nullptr;
};

} // namespace

QAction* frmKelvraProperties::AddMenuEntry(QMenu* menu, const char* name, int index,
                                           const char* caption) {
    QAction* action =
        std::string_view(caption) == "-" ? menu->addSeparator() : menu->addAction(QString(caption));
    action->setObjectName(QString("%1(%2)").arg(name).arg(index));
    return action;
}

void frmKelvraProperties::BuildMenus(QMenuBar* bar) {
    using W = frmKelvraProperties;
    static const MenuEntry files[] = {
        {"&Refresh", [](W& w) { w.LoadItems(); }},
        {"-"},
        {"&Exit", [](W& w) { w.ExitIfIdle(); }},
    };
    static const MenuEntry tools[] = {
        {"Log&in", [](W& w) { w.MenuLogin(); }},
        {"Log&out", [](W& w) { w.MenuLogout(); }},
        {"-"},
        {"&Reset Old Data",
         [](W& w) { w.RunDatabaseCommand(&ucKelvra::ResetOldRecords, "Reset Old Data OK."); }},
        {"&Delete Old Data",
         [](W& w) { w.RunDatabaseCommand(&ucKelvra::DeleteOldRecords, "Delete Old Data OK."); }},
        {"I&nitialize Database",
         [](W& w) {
             w.RunDatabaseCommand(&ucKelvra::InitializeDatabase, "Initialize Database OK.");
         }},
        {"Recor&ver Database",
         [](W& w) { w.RunDatabaseCommand(&ucKelvra::RecorverDatabase, "Recover Database OK."); }},
        {"-"}, // hidden with the next entry on multi-terminal links
        {"Bell Tables - Weekly...", [](W& w) { w.OpenBellTable(); }},
        {"-"},
        {"Read Card", [](W& w) { w.OpenReadCard(); }},
        {"-"},
        {"O&ptions", [](W& w) { w.OpenOptions(); }},
    };
    static const MenuEntry helps[] = {
        {"&About", [](W& w) { w.OpenAbout(); }},
    };
    const auto addMenu = [&](const char* title, const char* name,
                             std::span<const MenuEntry> entries, std::vector<QAction*>& actions) {
        QMenu* menu = bar->addMenu(title);
        menu->setObjectName(name);
        for (const MenuEntry& entry : entries) {
            QAction* action =
                AddMenuEntry(menu, name, static_cast<int>(actions.size()), entry.caption);
            if (entry.run != nullptr) {
                connect(
                    action, &QAction::triggered, this,
                    [this, run = entry.run, closes = entry.caption == std::string_view("&Exit")] {
                        RunUnlessLoading(run, closes);
                    });
            }
            actions.push_back(action);
        }
    };
    addMenu("&File", "mnuFiles", files, mnuFiles);
    addMenu("&Tools", "mnuTools", tools, mnuTools);
    addMenu("&Help", "mnuHelps", helps, mnuHelps);
}

void frmKelvraProperties::BuildToolbar(QToolBar* bar) {
    struct Button {
        const char* key;
        QStyle::StandardPixmap icon;
        Handler run;
    };
    using W = frmKelvraProperties;
    static const Button buttons[] = {
        {"Edit", QStyle::SP_FileDialogDetailedView, [](W& w) { w.EditCurrentRow(); }},
        {"Login", QStyle::SP_DialogYesButton, [](W& w) { w.MenuLogin(); }},
        {"Logout", QStyle::SP_DialogNoButton, [](W& w) { w.MenuLogout(); }},
        {"Refresh", QStyle::SP_BrowserReload, [](W& w) { w.RefreshWithPolling(); }},
        {nullptr, QStyle::SP_CustomBase, nullptr},
        {"Options", QStyle::SP_FileDialogContentsView, [](W& w) { w.OpenOptions(); }},
    };
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    for (const Button& button : buttons) {
        if (button.key == nullptr) {
            bar->addSeparator();
            continue;
        }
        QAction* action = bar->addAction(style()->standardIcon(button.icon), button.key);
        action->setObjectName(button.key);
        connect(action, &QAction::triggered, this,
                [this, run = button.run] { RunUnlessLoading(run, false); });
    }
}

// A command chosen during a load would run inside the load's wait and take its reply: it is
// dropped, as the console drops a press during a wait. A close goes through; it stops the load.
void frmKelvraProperties::RunUnlessLoading(void (*run)(frmKelvraProperties&), bool closes) {
    if (!Loading() || closes) {
        run(*this);
    }
}

void frmKelvraProperties::MenuLogin() {
    if (m_IsLogin) {
        Inform("You are logged in already");
    } else {
        LoginTerminal();
    }
}

void frmKelvraProperties::MenuLogout() {
    if (!m_IsLogin) {
        Inform("You are logged out already");
    } else {
        LogoutTerminal();
    }
}

// Sent at once, without a question: the menu entry is the confirmation.
void frmKelvraProperties::RunDatabaseCommand(void (ucKelvra::*command)(std::int16_t),
                                             const char* successText) {
    ucKelvra& KV = *m_KelvraObj;
    (KV.*command)(m_Link.source);
    if (KV.ErrCode() == 0) {
        Inform(successText);
    } else {
        Warn(KV.ErrMessage());
    }
}

void frmKelvraProperties::RefreshWithPolling() {
    bool polled = false;
    RunTrapped(m_platform.dialogs, false, [this, &polled] {
        ucKelvra& KV = *m_KelvraObj;
        if (!IsMultiTerminalLink(KV.CommunicationType())) {
            polled = true; // nothing to select
            return;
        }
        // A multi-terminal link first selects the terminal: by the machine number of the
        // first row once a catalogue is loaded, else by the one the last closing captured.
        grd->SetCurrent(0, kValueColumn);
        std::int16_t machine = m_MachNo;
        std::string shown = std::to_string(m_MachNo);
        if (grd->rowCount() > kRowsBeforeMachineNumberIsRead) {
            shown = grd->Text(0, kValueColumn).toLatin1().toStdString();
            machine = ReadInt16(shown, NumberForms::DecimalOnly);
        }
        SetPanel1("Polling Machine Number - " + shown);
        KV.Polling(kPollingSource, machine);
        SetPanel1(KV.ErrCode() == 0 ? "Polling OK." : "Polling Failed.");
        polled = true;
    });
    if (polled) {
        LoadItems(); // whether or not the polling succeeded
    }
}

void frmKelvraProperties::OpenOptions() {
    frmKelvra_Options options(m_platform.machineWide, this);
    ShowDialogModal(m_platform.dialogs, options);
    m_KelvraObj->SetWakeOnReply(frmKelvra_Options::WakeOnReply(m_platform.machineWide));
}

// The bell table and card windows talk to the terminal over the property view's driver, for
// its source ID.
void frmKelvraProperties::OpenBellTable() {
    frmKelvra_BellTable bellTable(*m_KelvraObj, m_Link.source, m_platform.dialogs, this);
    ShowDialogModal(m_platform.dialogs, bellTable);
}

void frmKelvraProperties::OpenReadCard() {
    {
        frmKelvra_ReadCard readCard(*m_KelvraObj, m_Link.source, m_platform.dialogs,
                                    m_platform.pump, this);
        ShowDialogModal(m_platform.dialogs, readCard);
    }
    // The card window logs the terminal out of normal mode: the rows follow the state it left.
    RunTrapped(m_platform.dialogs, false, [this] { RefreshLoginState(); });
}

void frmKelvraProperties::OpenAbout() {
    frmKelvra_About about(this);
    ShowDialogModal(m_platform.dialogs, about);
}

// During a load as any close does: the load stops after the command in flight, then the window
// closes.
void frmKelvraProperties::ExitIfIdle() {
    reject();
}

} // namespace kelvra
