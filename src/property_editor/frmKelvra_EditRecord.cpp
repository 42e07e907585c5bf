#include "property_editor/frmKelvra_EditRecord.h"

#include "property_editor/FlexGrid.h"
#include "property_editor/ShownDates.h"
#include "widgets/FaultTrap.h"
#include "widgets/OkCancelRow.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>

namespace kelvra {

namespace {

constexpr int kValueColumn = 1; // the definitions stand in the fixed column 0

// Both columns take 9/20 of the grid's width.
void LayOutColumns(FlexGrid& grid, int width) {
    grid.setColumnWidth(0, width * 9 / 20);
    grid.setColumnWidth(kValueColumn, width * 9 / 20);
}

QString TextOf(const std::string& text) {
    return QString::fromLatin1(text);
}

} // namespace

frmKelvra_EditRecord::frmKelvra_EditRecord(PropertyViewPlatform platform,
                                           const Catalogues& catalogues, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_catalogues(catalogues) {
    setObjectName("frmKelvra_EditRecord");
    resize(420, 360);

    grd = new FlexGrid(this);
    grd->setObjectName("grd");
    grd->setColumnCount(2);
    grd->horizontalHeader()->hide();
    grd->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grd->SetColumnLayout(LayOutColumns);
    connect(grd, &QTableWidget::cellClicked, this, [this](int row) { ClickRow(row); });
    grd->installEventFilter(this);

    // The editors live over the grid's cells, hidden until a row is clicked.
    QWidget* cells = grd->viewport();
    txtFieldData = new QLineEdit(cells);
    txtFieldData->setObjectName("txtFieldData");
    // A number field takes digits only.
    m_digitsOnly = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), this);
    cboFieldData = new QComboBox(cells);
    cboFieldData->setObjectName("cboFieldData");
    cboFieldData->setEditable(true);
    cboFieldData->setInsertPolicy(QComboBox::NoInsert);
    dtpDateFieldData = new QDateEdit(cells);
    dtpDateFieldData->setObjectName("dtpDateFieldData");
    dtpDateFieldData->setCalendarPopup(true);
    dtpDateFieldData->setDisplayFormat("dd-MM-yyyy"); // as the terminal's dates show
    dtpTimeFieldData = new QTimeEdit(cells);
    dtpTimeFieldData->setObjectName("dtpTimeFieldData");
    dtpTimeFieldData->setDisplayFormat("HH:mm:ss");
    // Every row is as tall as the drop-down list, so that any editor fits over a cell.
    grd->verticalHeader()->setDefaultSectionSize(cboFieldData->sizeHint().height());
    for (QWidget* editor : std::initializer_list<QWidget*>{txtFieldData, cboFieldData,
                                                           dtpDateFieldData, dtpTimeFieldData}) {
        editor->installEventFilter(this);
        for (QWidget* part : editor->findChildren<QWidget*>()) {
            part->installEventFilter(this);
        }
    }

    const auto [buttons, ok, cancel] = MakeOkCancelRow();
    cmdCtrl = {ok, cancel};
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grd, 1);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_IsOK = false;
        reject();
    });

    m_IsOK = false;
    m_editing = false;
    m_editRow = -1;
    HideEditors();
}

int frmKelvra_EditRecord::FieldCount() const {
    return m_catalogues.items.at(m_ItemIdx).Size;
}

void frmKelvra_EditRecord::SetRecordData(const Fields& fields) {
    m_fields = fields;
    const int count = FieldCount();
    grd->setRowCount(std::max(count, 0));
    grd->ApplyColumnLayout();
    for (int field = 0; field < count; ++field) {
        grd->SetCaption(field, TextOf(m_catalogues.fields.at(field).Definition),
                        WindowTextColour());
        grd->SetText(field, kValueColumn, field < kFields ? TextOf(m_fields[field]) : QString());
    }
    grd->SetCurrent(0, kValueColumn);
}

void frmKelvra_EditRecord::GetRecordData(Fields& fields) const {
    std::copy_n(m_fields.begin(), std::clamp(FieldCount(), 0, kFields), fields.begin());
}

void frmKelvra_EditRecord::HideEditors() {
    txtFieldData->hide();
    cboFieldData->hide();
    dtpDateFieldData->hide();
    dtpTimeFieldData->hide();
    m_openEditor = nullptr;
}

// The open editor's value goes into its row; an empty value leaves the row as it was.
void frmKelvra_EditRecord::Commit() {
    if (m_editRow < 0) {
        return;
    }
    QString value;
    if (m_openEditor == dtpDateFieldData) {
        value = TerminalDateText(dtpDateFieldData->date());
    } else if (m_openEditor == dtpTimeFieldData) {
        value = TerminalTimeText(dtpTimeFieldData->time());
    } else if (m_openEditor == cboFieldData) {
        value = cboFieldData->currentText();
    } else if (m_openEditor == txtFieldData) {
        value = txtFieldData->text();
    }
    if (!value.isEmpty()) {
        grd->SetText(m_editRow, kValueColumn, value);
    }
}

void frmKelvra_EditRecord::ClickRow(int row) {
    Commit();
    HideEditors();
    if (m_editing && m_editRow == row) {
        m_editing = false; // a second click on the edited row closes its editor
        m_editRow = -1;
        return;
    }
    EditRow(row);
}

void frmKelvra_EditRecord::EditRow(int row) {
    m_editRow = row;
    m_editing = true;
    RunTrapped(m_platform.dialogs, false, [this, row] { OpenEditor(row); });
}

// Commits the open editor and opens the next field's; false after the last field, whose editor
// is then closed.
bool frmKelvra_EditRecord::MoveToNextField() {
    Commit();
    HideEditors();
    if (m_editRow + 1 < grd->rowCount()) {
        grd->SetCurrent(m_editRow + 1, kValueColumn);
        EditRow(m_editRow + 1);
        return true;
    }
    m_editing = false;
    m_editRow = -1;
    return false;
}

// Tab and Enter in the open editor (or a part of it) commit it and move to the next field; at
// the last field they close it, and the next Enter presses OK. Seen here, before the grid
// would take Tab for a move of its own.
bool frmKelvra_EditRecord::eventFilter(QObject* watched, QEvent* event) {
    const int key = event->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(event)->key() : 0;
    if ((key == Qt::Key_Tab || key == Qt::Key_Return || key == Qt::Key_Enter) &&
        m_openEditor != nullptr && watched != grd) {
        if (!MoveToNextField()) {
            cmdCtrl[0]->setFocus();
        }
        return true;
    }
    if (watched == grd && event->type() == QEvent::KeyPress && m_openEditor == nullptr) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        const int row = grd->currentRow();
        if (row >= 0 && !typed.isEmpty() && typed.at(0).isPrint()) {
            EditRow(row);
            if (m_openEditor == txtFieldData) {
                txtFieldData->clear();
                txtFieldData->insert(typed); // through the validator of a number field
            } else if (m_openEditor == cboFieldData) {
                cboFieldData->setEditText(typed);
            }
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmKelvra_EditRecord::OpenEditor(int row) {
    const FieldDescriptor& field = m_catalogues.fields.at(row);
    const QString shown = grd->Text(row, kValueColumn);
    const QDateTime now = ToQDateTime(m_platform.clock.now());
    QWidget* editor = nullptr;
    if (field.Type == "DATE") {
        // The shown date when it reads as one: starting at today's would overwrite it.
        dtpDateFieldData->setDate(ReadShownDate(shown).value_or(now.date()));
        editor = dtpDateFieldData;
    } else if (field.Type == "TIME") {
        dtpTimeFieldData->setTime(ReadShownTime(shown).value_or(now.time()));
        editor = dtpTimeFieldData;
    } else if (field.Type == "VAL" && !field.Selection[0].empty()) {
        cboFieldData->clear();
        for (const std::string& caption : field.Selection) {
            if (caption.empty()) {
                break;
            }
            cboFieldData->addItem(TextOf(caption));
        }
        cboFieldData->setEditText(shown);
        editor = cboFieldData;
    } else if (field.Type == "VAL" || field.Type == "STR") {
        txtFieldData->setValidator(field.Type == "VAL" ? m_digitsOnly : nullptr);
        txtFieldData->setText(shown);
        editor = txtFieldData;
    }
    if (editor == nullptr) {
        return;
    }
    const QRect cell = grd->visualRect(grd->model()->index(row, kValueColumn));
    const int height = editor == txtFieldData ? cell.height() : editor->sizeHint().height();
    editor->setGeometry(cell.left(), cell.top(), cell.width(), height);
    editor->show();
    editor->setFocus();
    m_openEditor = editor;
}

void frmKelvra_EditRecord::mousePressEvent(QMouseEvent* event) {
    HideEditors(); // the row still counts as edited
    QDialog::mousePressEvent(event);
}

void frmKelvra_EditRecord::OnOk() {
    RunTrapped(m_platform.dialogs, false, [this] {
        Commit();
        const int count = std::min(FieldCount(), kFields);
        for (int field = 0; field < count; ++field) {
            m_fields[field] = grd->Text(field, kValueColumn).toLatin1().toStdString();
        }
        grd->SetCurrent(0, kValueColumn);
        m_IsOK = true;
        accept();
    });
}

} // namespace kelvra
