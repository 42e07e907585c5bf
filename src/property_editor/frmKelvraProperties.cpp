#include "property_editor/frmKelvraProperties.h"

#include "driver/ItemDescriptor.h"
#include "driver/LeadingNumber.h"
#include "driver/LinkKinds.h"
#include "property_editor/EditorWindows.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvra_EditItemArray.h"
#include "property_editor/frmKelvra_EditItemTable.h"
#include "widgets/ApplicationInfo.h"
#include "widgets/ConsoleSettings.h"
#include "widgets/FaultTrap.h"
#include "widgets/ModalDialog.h"
#include "widgets/Reg.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace kelvra {

namespace {

constexpr const char* kNotSupported = "(N/A)";
constexpr const char* kMachineNumberItem = "MACHNO";
constexpr const char* kMachineNameItem = "MACHNAME";
constexpr const char* kPasswordItem = "LOGINPWD";

// The definition column takes 13/20 of the grid's width, the value column 7/20.
void LayOutColumns(FlexGrid& grid, int width) {
    grid.setColumnWidth(0, width * 13 / 20);
    grid.setColumnWidth(1, width * 7 / 20);
}

} // namespace

frmKelvraProperties::frmKelvraProperties(PropertyViewPlatform platform, QWidget* parent)
    : QDialog(parent), m_platform(platform) {
    setObjectName("frmKelvraProperties");
    setWindowTitle("Kelvra Properties");
    resize(560, 620);

    auto* menuBar = new QMenuBar(this);
    BuildMenus(menuBar);
    auto* Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName("Toolbar1");
    BuildToolbar(Toolbar1);

    // No header row; the fixed column 0 holds the definitions, column 1 the values. A click
    // anywhere on a row makes its value the current cell.
    grd = new FlexGrid(this);
    grd->setObjectName("grd");
    grd->setColumnCount(2);
    grd->horizontalHeader()->hide();
    grd->horizontalHeader()->setStretchLastSection(true);
    grd->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grd->SetColumnLayout(LayOutColumns);
    connect(grd, &QTableWidget::cellClicked, this, [this](int row) {
        grd->SetCurrent(row, kValueColumn);
        ShowHelpOfCurrentRow();
    });
    connect(grd, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        grd->SetCurrent(row, kValueColumn);
        EditCurrentRow();
    });
    // The help follows the current row also when the arrow keys move it.
    connect(grd, &QTableWidget::currentCellChanged, this, [this] { ShowHelpOfCurrentRow(); });
    grd->installEventFilter(this);

    txtHelp = new QPlainTextEdit(this);
    txtHelp->setObjectName("txtHelp");
    txtHelp->setReadOnly(true);
    txtHelp->setFixedHeight(txtHelp->fontMetrics().lineSpacing() * 4);

    auto* sb = new QStatusBar(this);
    sb->setObjectName("sb");
    sb->setSizeGripEnabled(false);
    sbPanel1 = new QLabel(sb);
    sbPanel1->setObjectName("sbPanel1");
    // The count beside the bar, not on it, so that the bar never covers it.
    sbProgress = new QProgressBar(sb);
    sbProgress->setObjectName("sbProgress");
    sbProgress->setTextVisible(false);
    sbProgress->setMaximumWidth(120);
    sbProgress->hide();
    sbProgressText = new QLabel(sb);
    sbProgressText->setObjectName("sbProgressText");
    sbProgressText->setMinimumWidth(
        sbProgressText->fontMetrics().horizontalAdvance("100 of 100 items") + 4);
    cmdStop = new QPushButton("Stop", sb);
    cmdStop->setObjectName("cmdStop");
    cmdStop->setAutoDefault(false);
    cmdStop->hide();
    connect(cmdStop, &QPushButton::clicked, this, [this] { m_stopLoad = true; });
    sbPanel2 = new QLabel(sb);
    sbPanel2->setObjectName("sbPanel2");
    sb->addWidget(sbPanel1, 1);
    sb->addPermanentWidget(sbProgress);
    sb->addPermanentWidget(sbProgressText);
    sb->addPermanentWidget(cmdStop);
    sb->addPermanentWidget(sbPanel2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->setMenuBar(menuBar);
    layout->addWidget(Toolbar1);
    layout->addWidget(grd, 1);
    layout->addWidget(txtHelp);
    layout->addWidget(sb);

    Timer1.setObjectName("Timer1");
    Timer1.setSingleShot(true);
    Timer1.setInterval(kDeferredStartMs);
    connect(&Timer1, &QTimer::timeout, this, [this] { DeferredStart(); });
}

frmKelvraProperties::~frmKelvraProperties() = default;

void frmKelvraProperties::ShowConnectionStatus() {
    SetPanel1(IsNetworkLink(m_Link.kind)
                  ? "Device is connected to: IP " + m_Link.address
                  : "Device is connected to: COMM" + std::to_string(m_Link.serialPort));
    sbPanel2->setText(QString::fromLatin1("Source: " + std::to_string(m_Link.source)));
}

std::string frmKelvraProperties::StatusText(int panel) const {
    return (panel == 1 ? sbPanel1 : sbPanel2)->text().toLatin1().toStdString();
}

void frmKelvraProperties::SetPanel1(const std::string& text) {
    sbPanel1->setText(QString::fromLatin1(text));
}

void frmKelvraProperties::ShowModal() {
    Opening();
    ShowDialogModal(m_platform.dialogs, *this);
}

void frmKelvraProperties::Opening() {
    m_PasswordRow = -1;
    const bool autoLogin = ReadOption(kAutoLogin.name);
    if (m_Retries == 0) {
        m_Retries = kDefaultRetries;
    }
    // Each opening starts from an empty grid, as a window loaded afresh does.
    grd->setRowCount(0);
    txtHelp->clear();
    if (autoLogin) {
        m_LoginIsOK = false;
        LoginTerminal();
    } else {
        m_LoginIsOK = true;
    }
    const bool bellTable = !IsMultiTerminalLink(m_KelvraObj->CommunicationType());
    mnuTools.at(7)->setVisible(bellTable);
    mnuTools.at(8)->setVisible(bellTable);
    Timer1.start();
}

void frmKelvraProperties::DeferredStart() {
    Timer1.stop();
    if (!m_LoginIsOK) {
        reject();
        return;
    }
    LoadItems();
}

void frmKelvraProperties::reject() {
    if (Loading()) {
        // The load would go on against a closed window: it stops after the command in flight
        // and then closes it.
        m_stopLoad = true;
        m_closeAfterLoad = true;
        return;
    }
    Timer1.stop();
    if (m_LoginIsOK) {
        RunTrapped(m_platform.dialogs, false, [this] { Closing(); });
    }
    QDialog::reject();
}

void frmKelvraProperties::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && grd->rowCount() > 0 &&
        m_platform.dialogs.messageBox("Close the property view?", MessageButtons::YesNo,
                                      MessageIcon::Question, "") != MessageAnswer::Yes) {
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmKelvraProperties::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grd && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_F2) {
            EditCurrentRow();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmKelvraProperties::Closing() {
    if (ReadOption(kAutoLogout.name)) {
        LogoutTerminal();
    }
    // Only what this load read: a row not read holds an earlier terminal's entry.
    for (int row = 0; row < grd->rowCount(); ++row) {
        if (!RowRead(row)) {
            continue;
        }
        const std::string& name = m_catalogues.items.at(row).Name;
        const std::string value = grd->Text(row, kValueColumn).toLatin1().toStdString();
        if (name == kMachineNumberItem) {
            m_MachNo = ReadInt16(value, NumberForms::DecimalOnly);
        } else if (name == kMachineNameItem) {
            m_MachName = value;
        }
    }
}

bool frmKelvraProperties::ReadOption(const char* name) {
    Reg reg(m_platform.machineWide);
    return reg.RegReadOption(kApplicationTitle, kAutoLogin.section, name);
}

void frmKelvraProperties::ShowHelpOfCurrentRow() {
    const int row = grd->currentRow();
    if (row >= 0 && row < ItemCatalogue::kEntries) {
        txtHelp->setPlainText(QString::fromLatin1(m_catalogues.items.at(row).Help));
    }
}

void frmKelvraProperties::EditCurrentRow() {
    RunTrapped(m_platform.dialogs, false, [this] {
        const int row = grd->currentRow();
        if (row < 0 || Loading()) {
            return; // nothing loaded, or an editor would run inside the load's wait
        }
        if (!RowRead(row)) {
            Warn("This item has not been read from the terminal. Press Refresh to read it.");
            return;
        }
        if (row == grd->rowCount() - 1) {
            EditPunchErrorTimes();
            return;
        }
        const ItemDescriptor& item = m_catalogues.items.at(row);
        if (grd->Colour(row, kValueColumn) != WindowTextColour()) {
            Warn((item.Flags & ItemDescriptor::kAvailableAfterLogin) != 0
                     ? "You are not logged in. Login first, then try anain."
                     : "This item is read-only by nature");
            return;
        }
        if (item.Type == "TAB") {
            EditTableItem(row);
        } else {
            EditArrayItem(row);
        }
    });
}

void frmKelvraProperties::EditArrayItem(int row) {
    ucKelvra& KV = *m_KelvraObj;
    frmKelvra_EditItemArray editor(m_platform, m_catalogues.items, this);
    editor.SetKelvraObj(KV);
    editor.SetItemIdx(static_cast<std::int16_t>(row));
    editor.SetLink({KV.CommunicationType(), KV.IP(), KV.Comport(), m_Link.source});
    editor.SetItemData(grd->Text(row, kValueColumn).toLatin1().toStdString());
    editor.SetShowStatus([this, panel = StatusText(1)](const std::string& text) {
        SetPanel1(text.empty() ? panel : text);
    });
    ShowEditor(editor, row);
    if (!editor.IsOK()) {
        return;
    }
    // The password item stays masked after an edit also when an item the terminal would not
    // read out has taken the password row since.
    if (row == m_PasswordRow || m_catalogues.items.at(row).Name == kPasswordItem) {
        grd->SetText(row, kValueColumn, "********");
        m_Password = editor.ItemData();
    } else {
        grd->SetText(row, kValueColumn, QString::fromLatin1(editor.ItemData()));
    }
}

void frmKelvraProperties::EditTableItem(int row) {
    ucKelvra& KV = *m_KelvraObj;
    frmKelvra_EditItemTable editor(m_platform, m_catalogues, this);
    editor.SetKelvraObj(KV);
    editor.SetItemIdx(static_cast<std::int16_t>(row));
    editor.SetLink({KV.CommunicationType(), KV.IP(), KV.Comport(), m_Link.source});
    editor.SetIsLogin(m_IsLogin);
    editor.SetShowStatus([this, panel = StatusText(1)](const std::string& text) {
        SetPanel1(text.empty() ? panel : text);
    });
    ShowEditor(editor, row);
}

// An editor opens beside its row, not over it; what it says while its commands wait shows in
// panel 1, and the panel's own text comes back when they end.
void frmKelvraProperties::ShowEditor(QDialog& editor, int row) {
    const std::string panel = StatusText(1);
    const QRect cells = grd->visualRect(grd->model()->index(row, 0))
                            .united(grd->visualRect(grd->model()->index(row, kValueColumn)));
    if (!editor.testAttribute(Qt::WA_Resized)) {
        editor.adjustSize(); // the size it shows at, unless it chose one
    }
    PlaceBeside(editor, QRect(grd->viewport()->mapToGlobal(cells.topLeft()), cells.size()));
    ShowDialogModal(m_platform.dialogs, editor);
    SetPanel1(panel);
}

void frmKelvraProperties::EditPunchErrorTimes() {
    RunTrapped(m_platform.dialogs, false, [this] {
        const int row = grd->rowCount() - 1;
        const std::string shown = grd->Text(row, kValueColumn).toLatin1().toStdString();
        if (shown == kNotSupported) {
            Warn("Select property is not supported on this terminal.");
            return;
        }
        // An answer that is no number is asked again, with what was typed.
        std::string typed = std::to_string(ReadInt16(shown, NumberForms::DecimalOnly));
        for (;;) {
            const auto answer = m_platform.dialogs.inputBox(
                "Please enter the Punch Error Times (0-10, 0=Disabled). This value is used to "
                "switch Extended Mode to Normal Mode automatically while terminal is "
                "disconnected to the server PC.",
                "Punch Error Times", typed);
            if (!answer || answer->empty()) {
                return;
            }
            typed = *answer;
            if (FindLeadingNumber(typed, NumberForms::DecimalOnly)) {
                break;
            }
            Warn("\"Punch Error Times\" takes a number (0-10, 0=Disabled); \"" + typed +
                 "\" is none.");
        }
        const std::int16_t times = ReadInt16(typed, NumberForms::DecimalOnly);
        m_KelvraObj->X_PunchTimesSet(m_Link.source, times);
        if (m_KelvraObj->ErrCode() != 0) {
            Warn(m_KelvraObj->ErrMessage());
            return;
        }
        grd->SetText(row, kValueColumn, QString::number(times));
    });
}

void frmKelvraProperties::Warn(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Warning, "");
}

void frmKelvraProperties::ShowError(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Critical, "");
}

void frmKelvraProperties::Inform(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Information, "");
}

} // namespace kelvra
