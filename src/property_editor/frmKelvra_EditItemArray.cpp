#include "property_editor/frmKelvra_EditItemArray.h"

#include "console/FaultTrap.h"
#include "driver/LeadingNumber.h"
#include "property_editor/ShownDates.h"

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

constexpr std::int16_t kNeedsItemUpdate = 32;
// What the property view shows for a value it may not or could not read.
constexpr const char* kMasked = "********";
enum Button { Ok = 0, Cancel = 1, Sync = 2, Default = 3 };

std::string Latin1(const QString& text) {
    return text.toLatin1().toStdString();
}

// A value as the terminal takes it: the text's leading number in plain decimal (12abc gives
// 12, no number gives 0).
std::string NumberText(const std::string& text) {
    return Latin1(QString::number(ReadLeadingNumber(text, NumberForms::DecimalOnly), 'g', 15));
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
        KV.SetCommunicationType(m_CommunicationType);
        if (m_CommunicationType == 2) {
            KV.SetIP(m_IP);
        } else {
            KV.SetComport(m_Comport);
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

// Writes member 0 with up to four attempts, then the item update the item asks for, whatever
// came of the write. True when the terminal took the value.
bool frmKelvra_EditItemArray::Save() {
    ucKelvra& KV = *m_KelvraObj;
    std::string caption;
    std::string text;
    switch (m_shown) {
    case ValueControl::Text:
        text = Latin1(txtItemData->text());
        if (m_items.at(m_ItemIdx).Type == "VAL") {
            text = NumberText(text);
        }
        break;
    case ValueControl::List:
        caption = Latin1(cboItemData->currentText());
        text = NumberText(caption);
        break;
    case ValueControl::Date:
        text = Latin1(TerminalDateText(dtpDate->date()));
        break;
    case ValueControl::Time:
        text = Latin1(TerminalTimeText(dtpTime->time()));
        break;
    case ValueControl::None:
        break;
    }
    KV.SetTimeout(kCommandTimeout);
    bool written = false;
    for (int attempt = 1;; ++attempt) {
        KV.SetItem(m_Source, m_ItemIdx, 0, text);
        if (KV.ErrCode() == 0) {
            m_ItemData = caption.empty() ? text : caption;
            written = true;
            break;
        }
        if (attempt >= kAttempts) {
            ShowError(KV.ErrMessage());
            break;
        }
    }
    if ((m_items.at(m_ItemIdx).Flags & kNeedsItemUpdate) != 0) {
        KV.ItemUpdate(m_Source);
    }
    return written;
}

// A value shown masked (the password, or an item the terminal would not read out) that the
// operator left as it was is not a value: writing it would replace the real one with the mask.
bool frmKelvra_EditItemArray::LeftMasked() const {
    return m_ItemData == kMasked && !m_changed;
}

void frmKelvra_EditItemArray::OnOk() {
    if (LeftMasked()) {
        OnCancel();
        return;
    }
    RunTrapped(m_platform.dialogs, false, [this] {
        Save();
        m_IsOK = true;
        accept();
    });
}

void frmKelvra_EditItemArray::OnCancel() {
    m_IsOK = false;
    reject();
}

void frmKelvra_EditItemArray::OnSync() {
    RunTrapped(m_platform.dialogs, false, [this] {
        const QDateTime now = ToQDateTime(m_platform.clock.now());
        dtpDate->setDate(now.date());
        dtpTime->setTime(now.time());
        // A write the terminal refused leaves the shown value as it was.
        if (Save()) {
            m_ItemData = Latin1(m_shown == ValueControl::Time ? TerminalTimeText(now.time())
                                                              : SystemDateText(now.date()));
        }
        m_IsOK = true;
        accept();
    });
}

void frmKelvra_EditItemArray::OnDefault() {
    RunTrapped(m_platform.dialogs, false, [this] {
        ucKelvra& KV = *m_KelvraObj;
        KV.SetTimeout(kCommandTimeout);
        for (int attempt = 1;; ++attempt) {
            KV.GetItemDefault(m_Source, m_ItemIdx, 0);
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

void frmKelvra_EditItemArray::ShowError(const std::string& text) {
    m_platform.dialogs.messageBox(text, MessageButtons::Ok, MessageIcon::Critical, "");
}

} // namespace kelvra
