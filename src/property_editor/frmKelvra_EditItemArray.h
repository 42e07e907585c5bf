#pragma once

#include "driver/ucKelvra.h"
#include "property_editor/Catalogues.h"
#include "property_editor/LinkSettings.h"
#include "property_editor/PropertyViewPlatform.h"

#include <QDialog>
#include <QTimer>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;

namespace kelvra {

// Changes member 0 of one array item ("VAL", "STR", "DATE" or "TIME") on the terminal. The
// property view hands it the driver, the item's number and the text it shows for the item; after
// OK or Sync. IsOK is true and ItemData holds the text to show. The editor control follows the
// item's type in the catalogue, 50 ms after the dialog opens. It writes once per press, and only
// a value the operator meant: a date or time left as prepared, or the mask of a value not read
// out, is no value; a text that is no number is refused for a number item.
class frmKelvra_EditItemArray : public QDialog {
public:
    static constexpr int kDeferredStartMs = 50;
    static constexpr std::int32_t kCommandTimeout = 3000;
    static constexpr int kAttempts = 4;

    frmKelvra_EditItemArray(PropertyViewPlatform platform, const ItemCatalogue& items,
                            QWidget* parent = nullptr);

    void SetLink(const LinkSettings& link) { m_Link = link; }
    std::int16_t ItemIdx() const { return m_ItemIdx; }
    // Also names the item in the caption: "Edit Item - Bell Volume".
    void SetItemIdx(std::int16_t value);
    const std::string& ItemData() const { return m_ItemData; }
    void SetItemData(const std::string& value) { m_ItemData = value; }
    bool IsOK() const { return m_IsOK; }
    void SetKelvraObj(ucKelvra& driver) { m_KelvraObj = &driver; }
    // Where the editor says what its command is doing while it waits (the property view's
    // status panel); an empty text once it is over.
    void SetShowStatus(std::function<void(const std::string&)> show) {
        m_showStatus = std::move(show);
    }

    // Esc and the window's close go nowhere while a command waits for its reply.
    void reject() override;

private:
    enum class ValueControl { None, Text, List, Date, Time };

    void Prepare();
    std::optional<bool> Save();
    void OnOk();
    void OnCancel();
    void OnSync();
    void OnDefault();
    void ShowValueControl(ValueControl control);
    // A press's command, one at a time (RunOnePress); then the status panel says nothing more.
    void RunCommand(const std::function<void()>& command);
    std::optional<std::string> TextToWrite(std::string& caption);
    bool LeftAsPrepared() const;
    std::string QuotedName() const;
    void ShowStatus(const std::string& text);
    void Refuse(const std::string& text);
    void ShowError(const std::string& text);

    PropertyViewPlatform m_platform;
    const ItemCatalogue& m_items;
    ucKelvra* m_KelvraObj = nullptr;
    LinkSettings m_Link;
    std::int16_t m_ItemIdx = 0;
    std::string m_ItemData;
    bool m_IsOK = false;
    ValueControl m_shown = ValueControl::None;
    bool m_preparing = false;
    bool m_changed = false; // the operator changed the value after it was prepared
    bool m_commandRunning = false;
    std::function<void(const std::string&)> m_showStatus;

    QLineEdit* txtItemData;
    QComboBox* cboItemData;
    QDateEdit* dtpDate;
    QTimeEdit* dtpTime;
    std::array<QPushButton*, 4> cmdCtrl{};
    QTimer Timer1;
};

} // namespace kelvra
