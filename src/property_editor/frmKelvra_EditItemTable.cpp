#include "property_editor/frmKelvra_EditItemTable.h"

#include "driver/ErrorCodes.h"
#include "driver/ItemDescriptor.h"
#include "driver/LeadingNumber.h"
#include "driver/LinkKinds.h"
#include "property_editor/EditorWindows.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/ShownDates.h"
#include "property_editor/TableRecords.h"
#include "widgets/BusyPointer.h"
#include "widgets/FaultTrap.h"
#include "widgets/ModalDialog.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScopedValueRollback>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>
#include <optional>
#include <stdexcept>
#include <vector>

namespace kelvra {

namespace {

constexpr int kLastRetry = 3;
constexpr int kIndexColumn = 0;
constexpr int kIndexColumnWidth = 1; // the record's index is kept, practically unseen
constexpr int kWidthBesideFields = 150;
// Record indices have four digits: a walk that goes on past that many records is a terminal
// that does not advance its cursor.
constexpr int kMostRecords = 10000;

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

} // namespace

frmKelvra_EditItemTable::frmKelvra_EditItemTable(PropertyViewPlatform platform,
                                                 Catalogues& catalogues, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_catalogues(catalogues) {
    setObjectName("frmKelvra_EditItemTable");
    setWindowTitle("Edit Item");
    resize(640, 420);

    auto* Toolbar1 = new QToolBar(this);
    Toolbar1->setObjectName("Toolbar1");
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    struct Button {
        const char* key;
        QStyle::StandardPixmap icon;
        std::function<void()> run;
    };
    const Button buttons[] = {
        {"Add", QStyle::SP_FileDialogNewFolder, [this] { AddRecord(); }},
        {"Remove", QStyle::SP_TrashIcon, [this] { RemoveRecord(); }},
        {"Edit", QStyle::SP_FileDialogDetailedView, [this] { EditRecord(); }},
        {"Ascending", QStyle::SP_ArrowUp, [this] { SortRecords(true); }},
        {"Descending", QStyle::SP_ArrowDown, [this] { SortRecords(false); }},
    };
    for (const Button& button : buttons) {
        QAction* action = Toolbar1->addAction(style()->standardIcon(button.icon), button.key);
        action->setObjectName(button.key);
        connect(action, &QAction::triggered, this, button.run);
        m_actions[button.key] = action;
    }
    // The changes wait for the records: a record added before them would be shown among them
    // without an index, and edited or removed by none.
    for (const char* key : {"Add", "Remove", "Edit"}) {
        m_actions[key]->setEnabled(false);
    }

    // One fixed header row of field captions; the rows below are the records.
    grd = new FlexGrid(this);
    grd->setObjectName("grd");
    grd->verticalHeader()->hide();
    connect(grd, &QTableWidget::cellClicked, this, [this] { ShowFieldHelp(); });
    connect(grd, &QTableWidget::cellDoubleClicked, this, [this] { m_actions["Edit"]->trigger(); });
    grd->installEventFilter(this);

    txtFieldInfo = new QPlainTextEdit(this);
    txtFieldInfo->setObjectName("txtFieldInfo");
    txtFieldInfo->setReadOnly(true);
    txtFieldInfo->setFixedHeight(txtFieldInfo->fontMetrics().lineSpacing() * 3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Toolbar1);
    layout->addWidget(grd, 1);
    layout->addWidget(txtFieldInfo);

    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, [this] { Load(); });
    Timer1.start(kDeferredStartMs);
}

void frmKelvra_EditItemTable::SetItemIdx(std::int16_t value) {
    m_ItemIdx = value;
    setWindowTitle(EditorCaption("Edit Item", m_catalogues.items.at(value).Definition));
}

// On the grid: Enter edits the current record, Insert adds one, Delete removes it.
bool frmKelvra_EditItemTable::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grd && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const char* action = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter ? "Edit"
                             : key->key() == Qt::Key_Insert                              ? "Add"
                             : key->key() == Qt::Key_Delete                              ? "Remove"
                                                                                         : nullptr;
        if (action != nullptr) {
            m_actions[action]->trigger();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmKelvra_EditItemTable::reject() {
    if (m_loading) {
        m_stopLoad = true; // the load closes the window once the command in flight is over
    } else if (!m_commandRunning) {
        QDialog::reject();
    }
}

void frmKelvra_EditItemTable::ShowStatus(const std::string& text) {
    if (m_showStatus) {
        m_showStatus(text);
    }
}

int frmKelvra_EditItemTable::FieldCount() const {
    return m_catalogues.items.at(m_ItemIdx).Size;
}

// A fault in one step is reported and the load goes on with the next.
void frmKelvra_EditItemTable::Load() {
    Timer1.stop();
    bool closeWindow = false;
    const QScopedValueRollback<bool> loading(m_loading, true);
    std::optional<BusyPointer> busy(m_platform.dialogs);
    ShowStatus("Reading the records of \"" + m_catalogues.items.at(m_ItemIdx).Definition + "\"...");
    int count = 0;
    const auto step = [&](auto&& run) {
        if (!closeWindow) {
            RunTrapped(m_platform.dialogs, false, run);
        }
    };
    step([&] {
        count = FieldCount();
        m_catalogues.fields.Resize(count);
    });
    step([&] {
        ucKelvra& KV = *m_KelvraObj;
        KV.SetCommunicationType(m_Link.kind);
        if (EditorsSetAddress(m_Link.kind)) {
            KV.SetIP(m_Link.address);
        } else {
            KV.SetComport(m_Link.serialPort);
        }
    });
    step([&] { closeWindow = !ReadFields(count); });
    step([&] {
        const bool needsLogin =
            (m_catalogues.items.at(m_ItemIdx).Flags & ItemDescriptor::kAvailableAfterLogin) != 0;
        m_cellColour = m_IsLogin ? QColor(0, 0, 0) : needsLogin ? kGray : WindowTextColour();
    });
    step([&] { LayOutGrid(count); });
    step([&] { closeWindow = !FetchRecords(); });
    step([&] {
        // The first record, on its first field: the index column is practically unseen.
        if (grd->rowCount() > 0) {
            grd->SetCurrent(0, std::max(grd->currentColumn(), 1));
        }
        ShowFieldHelp();
    });
    busy.reset();
    ShowStatus("");
    if (closeWindow || m_stopLoad) {
        QDialog::reject();
        return;
    }
    for (const char* key : {"Add", "Remove", "Edit"}) {
        m_actions[key]->setEnabled(true);
    }
}

bool frmKelvra_EditItemTable::ReadFields(int count) {
    ucKelvra& KV = *m_KelvraObj;
    int failures = 0;
    for (int index = 0; index < count;) {
        KV.GetItemTab_FieldInfo(m_Link.source, m_ItemIdx, static_cast<std::int16_t>(index));
        if (m_stopLoad) {
            return false;
        }
        if (KV.ErrCode() != 0) {
            if (failures > kLastRetry) {
                ShowError(KV.ErrMessage());
                return false;
            }
            ++failures;
            continue;
        }
        FieldDescriptor& field = m_catalogues.fields.at(index);
        KV.GetData_FieldInfo(field.ID, field.Type, field.Definition, field.Help, field.Selection);
        failures = 0;
        ++index;
    }
    return true;
}

void frmKelvra_EditItemTable::LayOutGrid(int count) {
    grd->setColumnCount(count + 1);
    QStringList captions{"Index"};
    for (int field = 0; field < count; ++field) {
        captions << QString::fromLatin1(m_catalogues.fields.at(field).Definition);
    }
    grd->setHorizontalHeaderLabels(captions);
    grd->SetColumnLayout([count](FlexGrid& grid, int width) {
        grid.setColumnWidth(kIndexColumn, kIndexColumnWidth);
        for (int column = 1; column <= count; ++column) {
            grid.setColumnWidth(
                column, static_cast<int>(std::lround(double(width - kWidthBesideFields) / count)));
        }
    });
}

bool frmKelvra_EditItemTable::FetchRecords() {
    ucKelvra& KV = *m_KelvraObj;
    KV.SetItemTab_ItemTop(m_Link.source, m_ItemIdx);
    int failures = 0;
    for (int row = 0; row < kMostRecords;) {
        KV.GetItemTab_ItemFetch(m_Link.source, m_ItemIdx);
        if (m_stopLoad) {
            return false;
        }
        if (KV.ErrCode() == KV_ERR_END) {
            break;
        }
        if (KV.ErrCode() != 0) {
            if (failures > kLastRetry) {
                ShowError(KV.ErrMessage());
                return false;
            }
            ++failures;
            continue;
        }
        std::string record;
        KV.GetData(record);
        grd->setRowCount(row + 1);
        grd->SetCurrent(row);
        ShowRecord(row, record);
        KV.SetItemTab_ItemConfirm(m_Link.source, m_ItemIdx);
        failures = 0;
        ++row;
    }
    return true;
}

void frmKelvra_EditItemTable::ShowRecord(int row, const std::string& text) {
    const std::vector<std::string> tokens = SplitRecord(text);
    for (int column = 0; column < static_cast<int>(tokens.size()); ++column) {
        const std::string& token = tokens[static_cast<std::size_t>(column)];
        const QString shown = column >= 1 && column <= m_catalogues.fields.Count()
                                  ? ShownFieldValue(m_catalogues.fields.at(column - 1), token)
                                  : QString::fromLatin1(token);
        grd->SetCell(row, column, shown, m_cellColour);
    }
}

void frmKelvra_EditItemTable::ShowFieldHelp() {
    const int column = grd->currentColumn();
    if (column >= 1 && column <= m_catalogues.fields.Count()) {
        txtFieldInfo->setPlainText(QString::fromLatin1(m_catalogues.fields.at(column - 1).Help));
    }
}

bool frmKelvra_EditItemTable::RunRecordEditor(const char* caption,
                                              frmKelvra_EditRecord::Fields& fields) {
    // The record editor exchanges eleven fields; a wider table cannot be changed here.
    if (FieldCount() > frmKelvra_EditRecord::kFields) {
        throw std::out_of_range("Subscript out of range");
    }
    frmKelvra_EditRecord editor(m_platform, m_catalogues, this);
    editor.setWindowTitle(EditorCaption(caption, m_catalogues.items.at(m_ItemIdx).Definition));
    editor.SetItemIdx(m_ItemIdx);
    editor.SetRecordData(fields);
    ShowDialogModal(m_platform.dialogs, editor);
    if (!editor.IsOK()) {
        return false;
    }
    editor.GetRecordData(fields);
    return true;
}

void frmKelvra_EditItemTable::ShowFields(int row, const frmKelvra_EditRecord::Fields& fields) {
    const int count = FieldCount();
    for (int field = 0; field < count; ++field) {
        grd->SetCell(row, field + 1, QString::fromLatin1(fields.at(field)), m_cellColour);
    }
}

// The index the terminal gave the record; nothing, once the operator was told why, for a record
// added in this window, whose index was never read back.
std::optional<std::int16_t> frmKelvra_EditItemTable::RecordIndex(int row) {
    const std::string shown = Latin1(grd->Text(row, kIndexColumn));
    if (FindLeadingNumber(shown, NumberForms::DecimalOnly)) {
        return ReadInt16(shown, NumberForms::DecimalOnly);
    }
    m_platform.dialogs.messageBox(
        "This record was added here and has no index yet: close the table and open it again to "
        "edit or remove it.",
        MessageButtons::Ok, MessageIcon::Warning, "");
    return std::nullopt;
}

bool frmKelvra_EditItemTable::Attempt(int& attempts, const std::function<void()>& command) {
    for (;;) {
        command();
        if (m_KelvraObj->ErrCode() == 0) {
            return true;
        }
        if (attempts > kLastRetry) {
            ShowError(m_KelvraObj->ErrMessage());
            return false;
        }
        ++attempts;
    }
}

void frmKelvra_EditItemTable::RunCommand(const std::function<void()>& command) {
    if (RunOnePress(m_platform.dialogs, m_commandRunning, command)) {
        ShowStatus(""); // the command is over
    }
}

void frmKelvra_EditItemTable::EditRecord() {
    RunCommand([this] {
        const int row = grd->currentRow();
        if (row < 0) {
            return;
        }
        if (grd->Colour(row, std::max(grd->currentColumn(), 0)) == kGray) {
            const bool needsLogin = (m_catalogues.items.at(m_ItemIdx).Flags &
                                     ItemDescriptor::kAvailableAfterLogin) != 0;
            m_platform.dialogs.messageBox(
                needsLogin ? "You are not logged in. Login first, then try anain."
                           : "This item is read-only by nature",
                MessageButtons::Ok, MessageIcon::Warning, "");
            return;
        }
        const auto index = RecordIndex(row);
        if (!index) {
            return;
        }
        frmKelvra_EditRecord::Fields fields;
        for (int column = 1; column < grd->columnCount(); ++column) {
            fields.at(column - 1) = Latin1(grd->Text(row, column));
        }
        if (!RunRecordEditor("Edit Record", fields)) {
            return;
        }
        const std::string record = RecordText(m_catalogues.fields, fields);
        ucKelvra& KV = *m_KelvraObj;
        ShowStatus("Changing record " + std::to_string(*index) + "...");
        int attempts = 0;
        if (Attempt(attempts,
                    [&] { KV.SetItemTab_ItemEdit(m_Link.source, m_ItemIdx, *index, record); })) {
            ShowFields(row, fields);
        }
        Attempt(attempts, [&] { KV.ItemUpdate(m_Link.source); });
    });
}

void frmKelvra_EditItemTable::AddRecord() {
    RunCommand([this] {
        const QDateTime now = ToQDateTime(m_platform.clock.now());
        frmKelvra_EditRecord::Fields fields;
        for (int field = 0; field < std::min(FieldCount(), frmKelvra_EditRecord::kFields);
             ++field) {
            const FieldDescriptor& descriptor = m_catalogues.fields.at(field);
            if (descriptor.Type == "DATE") {
                fields[field] = Latin1(TerminalDateText(now.date()));
            } else if (descriptor.Type == "TIME") {
                fields[field] = "00:00:00";
            } else if (descriptor.Type == "VAL") {
                fields[field] = descriptor.Selection[0].empty() ? "0" : descriptor.Selection[0];
            }
        }
        if (!RunRecordEditor("Add Record", fields)) {
            return;
        }
        const std::string record = RecordText(m_catalogues.fields, fields);
        ucKelvra& KV = *m_KelvraObj;
        ShowStatus("Adding a record...");
        int attempts = 0;
        if (Attempt(attempts, [&] { KV.SetItemTab_ItemAdd(m_Link.source, m_ItemIdx, record); })) {
            // The new record's index is not read back: its row shows none until the table is
            // opened again.
            const int row = grd->rowCount();
            grd->setRowCount(row + 1);
            grd->SetCurrent(row);
            grd->SetCell(row, kIndexColumn, QString(), m_cellColour);
            ShowFields(row, fields);
        }
        Attempt(attempts, [&] { KV.ItemUpdate(m_Link.source); });
    });
}

void frmKelvra_EditItemTable::RemoveRecord() {
    RunCommand([this] {
        const int row = grd->currentRow();
        if (grd->rowCount() == 0 || row < 0) {
            return;
        }
        const auto index = RecordIndex(row);
        if (!index) {
            return;
        }
        QStringList fields;
        for (int column = 1; column < grd->columnCount(); ++column) {
            fields << grd->Text(row, column);
        }
        const std::string question = "Remove record " + std::to_string(*index) + " (" +
                                     Latin1(fields.join(", ")) + ") from \"" +
                                     m_catalogues.items.at(m_ItemIdx).Definition + "\"?";
        if (m_platform.dialogs.messageBox(question, MessageButtons::YesNo, MessageIcon::Question,
                                          "") != MessageAnswer::Yes) {
            return;
        }
        ucKelvra& KV = *m_KelvraObj;
        ShowStatus("Removing record " + std::to_string(*index) + "...");
        int attempts = 0;
        if (Attempt(attempts,
                    [&] { KV.SetItemTab_ItemRemove(m_Link.source, m_ItemIdx, *index); })) {
            grd->removeRow(row);
        }
        Attempt(attempts, [&] { KV.ItemUpdate(m_Link.source); });
    });
}

// By the current column's text, ignoring case: 10 sorts before 9.
void frmKelvra_EditItemTable::SortRecords(bool ascending) {
    const int key = grd->currentColumn();
    if (key < 0 || grd->rowCount() < 2) {
        return;
    }
    struct Row {
        std::vector<QString> texts;
        std::vector<QColor> colours;
    };
    std::vector<Row> rows(static_cast<std::size_t>(grd->rowCount()));
    for (int row = 0; row < grd->rowCount(); ++row) {
        for (int column = 0; column < grd->columnCount(); ++column) {
            rows[row].texts.push_back(grd->Text(row, column));
            rows[row].colours.push_back(grd->Colour(row, column));
        }
    }
    std::stable_sort(rows.begin(), rows.end(), [key, ascending](const Row& a, const Row& b) {
        const int order = a.texts[key].compare(b.texts[key], Qt::CaseInsensitive);
        return ascending ? order < 0 : order > 0;
    });
    for (int row = 0; row < grd->rowCount(); ++row) {
        for (int column = 0; column < grd->columnCount(); ++column) {
            grd->SetCell(row, column, rows[row].texts[column], rows[row].colours[column]);
        }
    }
}

void frmKelvra_EditItemTable::ShowError(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Critical, "");
}

} // namespace kelvra
