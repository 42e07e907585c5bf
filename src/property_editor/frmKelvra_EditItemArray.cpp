#include "property_editor/frmKelvra_EditItemArray.h"

#include "driver/ItemDescriptor.h"
#include "driver/LeadingNumber.h"
#include "driver/LinkKinds.h"
#include "property_editor/EditorWindows.h"
#include "property_editor/ShownDates.h"
#include "widgets/FaultTrap.h"

#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace kelvra {

namespace {

// What the property view shows for a value it may not or could not read.
constexpr const char* kMasked = "********";
enum Button { Ok = 0, Cancel = 1, Sync = 2, Default = 3 };

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

// A value as the terminal takes it: the text's leading number in plain decimal (12abc gives
// 12); nothing when the text holds no number.
std::optional<std::string> NumberText(const std::string& text) {
    const auto number = FindLeadingNumber(text, NumberForms::DecimalOnly);
    if (!number) {
        return std::nullopt;
    }
    return Latin1(QString::number(*number, 'g', 15));
}

} // namespace

frmKelvra_EditItemArray::frmKelvra_EditItemArray(PropertyViewPlatform platform,
                                                 const ItemCatalogue& items, QWidget* parent)
    : QDialog(parent), m_platform(platform), m_items(items) {
    setObjectName("frmKelvra_EditItemArray");
    setWindowTitle("Edit Item");
    setMinimumWidth(320);

    txtItemData = new QLineEdit(this);
    txtItemData->setObjectName("txtItemData");
    cboItemData = new QComboBox(this);
    cboItemData->setObjectName("cboItemData");
    // The list also shows a value that has no caption, as the property view shows it.
    cboItemData->setEditable(true);
    cboItemData->setInsertPolicy(QComboBox::NoInsert);
    dtpDate = new QDateEdit(this);
    dtpDate->setObjectName("dtpDate");
    dtpDate->setCalendarPopup(true);
    dtpTime = new QTimeEdit(this);
    dtpTime->setObjectName("dtpTime");
    dtpTime->setDisplayFormat("HH:mm:ss");

    static const char* const kCaptions[] = {"OK", "Cancel", "Sync.", "Default"};
    for (int index = 0; index < static_cast<int>(cmdCtrl.size()); ++index) {
        cmdCtrl[index] = new QPushButton(kCaptions[index], this);
        cmdCtrl[index]->setObjectName(QString("cmdCtrl(%1)").arg(index));
    }
    cmdCtrl[Ok]->setDefault(true);
    // Tab: the value, then OK, Cancel and the button beside the value's actions.
    QWidget* const order[] = {txtItemData, cboItemData,     dtpDate,       dtpTime,
                              cmdCtrl[Ok], cmdCtrl[Cancel], cmdCtrl[Sync], cmdCtrl[Default]};
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QWidget::setTabOrder(order[i - 1], order[i]);
    }

    auto* value = new QVBoxLayout;
    value->addWidget(new QLabel("Item Value:", this));
    value->addWidget(txtItemData);
    value->addWidget(cboItemData);
    value->addWidget(dtpDate);
    value->addWidget(dtpTime);
    // "Default" and "Sync." share one place: one of them shows, by the item's type.
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCtrl[Sync]);
    buttons->addWidget(cmdCtrl[Default]);
    buttons->addStretch();
    buttons->addWidget(cmdCtrl[Ok]);
    buttons->addWidget(cmdCtrl[Cancel]);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(value);
    layout->addStretch();
    layout->addLayout(buttons);

    connect(cmdCtrl[Ok], &QPushButton::clicked, this, [this] { OnOk(); });
    connect(cmdCtrl[Cancel], &QPushButton::clicked, this, [this] { OnCancel(); });
    connect(cmdCtrl[Sync], &QPushButton::clicked, this, [this] { OnSync(); });
    connect(cmdCtrl[Default], &QPushButton::clicked, this, [this] { OnDefault(); });
    const auto changed = [this] { m_changed = m_changed || !m_preparing; };
    connect(txtItemData, &QLineEdit::textChanged, this, changed);
    connect(cboItemData, &QComboBox::currentTextChanged, this, changed);
    connect(dtpDate, &QDateEdit::dateChanged, this, changed);
    connect(dtpTime, &QTimeEdit::timeChanged, this, changed);

    m_IsOK = false;
    ShowValueControl(ValueControl::None);
    cmdCtrl[Sync]->hide();
    Timer1.setSingleShot(true);
    connect(&Timer1, &QTimer::timeout, this, [this] { Prepare(); });
    Timer1.start(kDeferredStartMs);
}

void frmKelvra_EditItemArray::SetItemIdx(std::int16_t value) {
    m_ItemIdx = value;
    setWindowTitle(EditorCaption("Edit Item", m_items.at(value).Definition));
}

void frmKelvra_EditItemArray::ShowValueControl(ValueControl control) {
    m_shown = control;
    txtItemData->setVisible(control == ValueControl::Text);
    cboItemData->setVisible(control == ValueControl::List);
    dtpDate->setVisible(control == ValueControl::Date);
    dtpTime->setVisible(control == ValueControl::Time);
}

void frmKelvra_EditItemArray::Prepare() {
    Timer1.stop();
    m_preparing = true;
    RunTrapped(m_platform.dialogs, false, [this] {
        // The driver's own settings, handed over by the property view: no reconnect.
        ucKelvra& KV = *m_KelvraObj;
        KV.SetTimeout(kCommandTimeout);
        KV.SetCommunicationType(m_Link.kind);
        if (EditorsSetAddress(m_Link.kind)) {
            KV.SetIP(m_Link.address);
        } else {
            KV.SetComport(m_Link.serialPort);
        }

        const ItemDescriptor& item = m_items.at(m_ItemIdx);
        const QString shown = QString::fromLatin1(m_ItemData);
        const QDateTime now = ToQDateTime(m_platform.clock.now());
        const bool picker = item.Type == "DATE" || item.Type == "TIME";
        cmdCtrl[Default]->setVisible(!picker);
        cmdCtrl[Sync]->setVisible(picker);
        if (item.Type == "DATE") {
            // The shown date when it reads as one: starting at today's would overwrite it.
            dtpDate->setDate(ReadShownDate(shown).value_or(now.date()));
            ShowValueControl(ValueControl::Date);
        } else if (item.Type == "TIME") {
            dtpTime->setTime(ReadShownTime(shown).value_or(now.time()));
            ShowValueControl(ValueControl::Time);
        } else if (item.Type == "VAL" && !item.Selection[0].empty()) {
            cboItemData->clear();
            for (const std::string& caption : item.Selection) {
                if (caption.empty()) {
                    break;
                }
                cboItemData->addItem(QString::fromLatin1(caption));
            }
            cboItemData->setEditText(shown);
            ShowValueControl(ValueControl::List);
        } else if (item.Type == "VAL" || item.Type == "STR") {
            txtItemData->setText(shown);
            ShowValueControl(ValueControl::Text);
            txtItemData->setFocus();
            txtItemData->selectAll();
        } else if (item.Type == "TAB") {
            reject(); // a table item has its own editor
        }
    });
    m_preparing = false;
}

void frmKelvra_EditItemArray::RunCommand(const std::function<void()>& command) {
    if (RunOnePress(m_platform.dialogs, m_commandRunning, command)) {
        ShowStatus(""); // the command is over
    }
}

void frmKelvra_EditItemArray::reject() {
    if (!m_commandRunning) {
        QDialog::reject();
    }
}

std::string frmKelvra_EditItemArray::QuotedName() const {
    return "\"" + m_items.at(m_ItemIdx).Definition + "\"";
}

// The text to write from the value control, and for the list the caption the view then shows;
// nothing, once the operator was told why, when the control holds no value the item takes.
std::optional<std::string> frmKelvra_EditItemArray::TextToWrite(std::string& caption) {
    const ItemDescriptor& item = m_items.at(m_ItemIdx);
    switch (m_shown) {
    case ValueControl::Text: {
        const std::string typed = Latin1(txtItemData->text());
        if (item.Type != "VAL") {
            return typed;
        }
        if (auto number = NumberText(typed)) {
            return number;
        }
        Refuse(QuotedName() + " takes a number; \"" + typed + "\" is none.");
        return std::nullopt;
    }
    case ValueControl::List: {
        caption = Latin1(cboItemData->currentText());
        if (auto number = NumberText(caption)) {
            return number;
        }
        // A caption without a number stands for its position, as the view reads it.
        if (const int position = cboItemData->findText(QString::fromLatin1(caption));
            position >= 0) {
            return std::to_string(position);
        }
        Refuse(QuotedName() + " takes one of its values or a number; \"" + caption +
               "\" is neither.");
        return std::nullopt;
    }
    case ValueControl::Date:
        return Latin1(TerminalDateText(dtpDate->date()));
    case ValueControl::Time:
        return Latin1(TerminalTimeText(dtpTime->time()));
    case ValueControl::None:
        break;
    }
    Refuse(Timer1.isActive() ? QuotedName() + " shows no value yet: press OK once it shows."
                             : QuotedName() + " is of type \"" + item.Type +
                                   "\", which this editor cannot write.");
    return std::nullopt;
}

// Writes member 0 with up to four attempts, then the item update the item asks for, whatever
// came of the write. True when the terminal took the value; nothing when there was no value to
// write.
std::optional<bool> frmKelvra_EditItemArray::Save() {
    ucKelvra& KV = *m_KelvraObj;
    std::string caption;
    const auto text = TextToWrite(caption);
    if (!text) {
        return std::nullopt;
    }
    ShowStatus("Writing " + QuotedName() + "...");
    KV.SetTimeout(kCommandTimeout);
    bool written = false;
    for (int attempt = 1;; ++attempt) {
        KV.SetItem(m_Link.source, m_ItemIdx, 0, *text);
        if (KV.ErrCode() == 0) {
            m_ItemData = caption.empty() ? *text : caption;
            written = true;
            break;
        }
        if (attempt >= kAttempts) {
            ShowError(KV.ErrMessage());
            break;
        }
    }
    if ((m_items.at(m_ItemIdx).Flags & ItemDescriptor::kFlagNeedsUpdate) != 0) {
        KV.ItemUpdate(m_Link.source);
    }
    return written;
}

// A date or time left as prepared shows what the load read, by now in the past: writing it
// would set the terminal's clock back. A value shown masked (the password, or an item the
// terminal would not read out) is no value either: writing it would replace the real one.
bool frmKelvra_EditItemArray::LeftAsPrepared() const {
    const bool picker = m_shown == ValueControl::Date || m_shown == ValueControl::Time;
    return !m_changed && (picker || m_ItemData == kMasked);
}

void frmKelvra_EditItemArray::OnOk() {
    RunCommand([this] {
        if (LeftAsPrepared()) {
            m_IsOK = false;
            QDialog::reject();
            return;
        }
        if (Save()) {
            m_IsOK = true;
            accept();
        }
    });
}

void frmKelvra_EditItemArray::OnCancel() {
    RunCommand([this] {
        m_IsOK = false;
        QDialog::reject();
    });
}

void frmKelvra_EditItemArray::OnSync() {
    RunCommand([this] {
        const QDateTime now = ToQDateTime(m_platform.clock.now());
        dtpDate->setDate(now.date());
        dtpTime->setTime(now.time());
        // A write the terminal refused leaves the shown value as it was.
        if (Save().value_or(false)) {
            m_ItemData = Latin1(m_shown == ValueControl::Time ? TerminalTimeText(now.time())
                                                              : SystemDateText(now.date()));
        }
        m_IsOK = true;
        accept();
    });
}

void frmKelvra_EditItemArray::OnDefault() {
    RunCommand([this] {
        ucKelvra& KV = *m_KelvraObj;
        ShowStatus("Reading the default of " + QuotedName() + "...");
        KV.SetTimeout(kCommandTimeout);
        for (int attempt = 1;; ++attempt) {
            KV.GetItemDefault(m_Link.source, m_ItemIdx, 0);
            if (KV.ErrCode() == 0) {
                break;
            }
            if (attempt >= kAttempts) {
                ShowError(KV.ErrMessage());
                return;
            }
        }
        std::string reply;
        KV.GetData(reply);
        const QString value = QString::fromLatin1(reply);
        if (m_shown == ValueControl::Text) {
            txtItemData->setText(value);
            return;
        }
        // The list: a single caption stands for 0; with one caption or none the value is shown
        // as it came; otherwise it chooses the caption at its position, when there is one.
        const int captions = cboItemData->count();
        if (captions == 1 && reply == "0") {
            cboItemData->setCurrentIndex(0);
        } else if (captions < 2) {
            cboItemData->setEditText(value);
        } else if (const std::int16_t position = ReadInt16(reply, NumberForms::DecimalOnly);
                   position >= 0 && position < captions) {
            cboItemData->setCurrentIndex(position);
        } else {
            cboItemData->setEditText(value);
        }
    });
}

void frmKelvra_EditItemArray::ShowStatus(const std::string& text) {
    if (m_showStatus) {
        m_showStatus(text);
    }
}

void frmKelvra_EditItemArray::Refuse(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Warning, "");
}

void frmKelvra_EditItemArray::ShowError(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Critical, "");
}

} // namespace kelvra
