#pragma once

#include "property_editor/Catalogues.h"
#include "property_editor/PropertyViewPlatform.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <string>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;
class QTimeEdit;
class QValidator;

namespace kelvra {

class FlexGrid;

// The field values of one table record, edited in place: a row per field, and one editor at a
// time laid over the value cell of the row clicked, chosen by the field's type. It talks to no
// terminal. The caller sets the caption and ItemIdx, hands over the field texts, shows it
// modally and, when IsOK, takes the texts back.
class frmKelvra_EditRecord : public QDialog {
public:
    static constexpr int kFields = 11;
    using Fields = std::array<std::string, kFields>;

    frmKelvra_EditRecord(PropertyViewPlatform platform, const Catalogues& catalogues,
                         QWidget* parent = nullptr);

    std::int16_t ItemIdx() const { return m_ItemIdx; }
    void SetItemIdx(std::int16_t value) { m_ItemIdx = value; }
    bool IsOK() const { return m_IsOK; }
    // Field k is at index k; fields beyond the table's count are left alone.
    void SetRecordData(const Fields& fields);
    void GetRecordData(Fields& fields) const;

    // What a click on row `row` of the grid does (also a click on its caption).
    void ClickRow(int row);

protected:
    // A click on the dialog's background drops the open editor's value.
    void mousePressEvent(QMouseEvent* event) override;
    // Tab and Enter in an open editor commit it and move to the next field; typing on the
    // grid replaces the current row's value.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int FieldCount() const;
    void Commit();
    void HideEditors();
    void EditRow(int row);
    void OpenEditor(int row);
    bool MoveToNextField();
    void OnOk();

    PropertyViewPlatform m_platform;
    const Catalogues& m_catalogues;
    std::int16_t m_ItemIdx = 0;
    bool m_IsOK = false;
    Fields m_fields;
    bool m_editing = false;
    int m_editRow = -1;
    QWidget* m_openEditor = nullptr;
    QValidator* m_digitsOnly;

    FlexGrid* grd;
    QLineEdit* txtFieldData;
    QComboBox* cboFieldData;
    QDateEdit* dtpDateFieldData;
    QTimeEdit* dtpTimeFieldData;
    std::array<QPushButton*, 2> cmdCtrl{};
};

} // namespace kelvra
