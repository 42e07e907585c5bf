#pragma once

#include "driver/ucKelvra.h"
#include "property_editor/Catalogues.h"
#include "property_editor/LinkSettings.h"
#include "property_editor/PropertyViewPlatform.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QColor>
#include <QDialog>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

class QAction;
class QPlainTextEdit;

namespace kelvra {

class FlexGrid;

// The records of one table item: read 50 ms after opening (the field descriptors into the
// shared field catalogue, then the records by walking the terminal's cursor), one per row, and
// added, edited and removed one at a time, each change followed by an item update. The grid
// is never read again while the window is open: a change the terminal took is made to it
// locally, one it refused leaves it as it was. A record added here has no index until the table
// is read again, so it cannot be edited or removed before that.
class frmKelvra_EditItemTable : public QDialog {
public:
    static constexpr int kDeferredStartMs = 50;

    frmKelvra_EditItemTable(PropertyViewPlatform platform, Catalogues& catalogues,
                            QWidget* parent = nullptr);

    void SetLink(const LinkSettings& link) { m_Link = link; }
    std::int16_t ItemIdx() const { return m_ItemIdx; }
    // Also names the table in the caption: "Edit Item - Employees".
    void SetItemIdx(std::int16_t value);
    void SetIsLogin(bool value) { m_IsLogin = value; }
    void SetKelvraObj(ucKelvra& driver) { m_KelvraObj = &driver; }
    // Where the window says what its commands are doing while they wait; an empty text once
    // they are over.
    void SetShowStatus(std::function<void(const std::string&)> show) {
        m_showStatus = std::move(show);
    }

    // Closing during the load stops it after the command in flight, then closes; while a
    // change waits for its reply, Esc and the close go nowhere.
    void reject() override;

    // The toolbar's buttons and the grid's double-click (and Enter, Insert and Delete on the
    // grid). A press while a change waits for its reply is dropped.
    void EditRecord();
    void AddRecord();
    void RemoveRecord();
    void SortRecords(bool ascending);

private:
    // The load, step by step; a step that fails for good closes the window.
    void Load();
    bool ReadFields(int count);
    void LayOutGrid(int count);
    bool FetchRecords();
    void ShowRecord(int row, const std::string& text);
    void ShowFieldHelp();
    bool eventFilter(QObject* watched, QEvent* event) override;

    int FieldCount() const;
    // A press's command, one at a time (RunOnePress); then the status panel says nothing more.
    void RunCommand(const std::function<void()>& command);
    bool RunRecordEditor(const char* caption, frmKelvra_EditRecord::Fields& fields);
    void ShowFields(int row, const frmKelvra_EditRecord::Fields& fields);
    std::optional<std::int16_t> RecordIndex(int row);
    void ShowStatus(const std::string& text);
    // The attempt rule of every change: up to five attempts while `attempts` stays at 3 or
    // below, counting on from where the caller's counter stands.
    bool Attempt(int& attempts, const std::function<void()>& command);
    void ShowError(const std::string& text);

    PropertyViewPlatform m_platform;
    Catalogues& m_catalogues;
    ucKelvra* m_KelvraObj = nullptr;
    LinkSettings m_Link;
    std::int16_t m_ItemIdx = 0;
    bool m_IsLogin = false;
    QColor m_cellColour;
    bool m_loading = false;
    bool m_stopLoad = false;
    bool m_commandRunning = false;
    std::function<void(const std::string&)> m_showStatus;
    std::map<std::string, QAction*> m_actions;

    FlexGrid* grd;
    QPlainTextEdit* txtFieldInfo;
    QTimer Timer1;
};

} // namespace kelvra
