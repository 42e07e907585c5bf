// The load: connect, check the terminal answers, read its item count, then each item's
// descriptor and members into the grid, and the punch error times last.
#include "driver/ErrorCodes.h"
#include "driver/ItemDescriptor.h"
#include "driver/LeadingNumber.h"
#include "driver/LinkKinds.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvraProperties.h"
#include "widgets/FaultTrap.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <optional>
#include <stdexcept>

namespace kelvra {

namespace {

constexpr std::int16_t kShortestTimeout = 100;
constexpr int kItemCountRetryLimit = 4;
constexpr int kPauseMs = 10;
constexpr const char* kMasked = "********";
constexpr const char* kNotRead = "(not read)";
constexpr const char* kPasswordItem = "LOGINPWD";
constexpr const char* kPunchErrorTimesHelp =
    "Under Extended Mode, if the terminal doesn't get any echo from server after specified "
    "punched, then the terminal will switch to normal mode automatically. (0=Disabled)";

bool IsArrayType(const std::string& type) {
    return type == "VAL" || type == "STR" || type == "TIME" || type == "DATE";
}

// The caption of a "VAL" value: the caption its number stands for, when there is one. A
// number outside the captions (or none that fits) shows the value itself: taken as a fault,
// one odd value would end the load and leave every later row unread.
std::optional<std::string> CaptionOf(const ItemDescriptor& item, const std::string& value) {
    try {
        const std::int16_t index = ReadInt16(value, NumberForms::DecimalOnly);
        if (index >= 0 && static_cast<std::size_t>(index) < item.Selection.size() &&
            !item.Selection[static_cast<std::size_t>(index)].empty()) {
            return item.Selection[static_cast<std::size_t>(index)];
        }
    } catch (const std::overflow_error&) {
    }
    return std::nullopt;
}

std::string Retry(int count) {
    return "Retry... " + std::to_string(count);
}

} // namespace

// Every value shown so far is old until this load reads it again.
void frmKelvraProperties::BeginLoad() {
    if (m_loadDepth++ == 0) {
        m_platform.dialogs.setBusy(true);
        m_stopLoad = false;
        m_rowRead.assign(static_cast<std::size_t>(grd->rowCount()), false);
        for (int row = 0; row < grd->rowCount(); ++row) {
            grd->SetOld(row, kValueColumn, true);
        }
        cmdStop->show();
    }
}

void frmKelvraProperties::EndLoad() {
    if (--m_loadDepth == 0) {
        sbProgress->hide();
        sbProgressText->clear();
        cmdStop->hide();
        m_platform.dialogs.setBusy(false);
    }
}

void frmKelvraProperties::MarkRowRead(int row) {
    m_rowRead.at(static_cast<std::size_t>(row)) = true;
    grd->SetOld(row, kValueColumn, false);
}

bool frmKelvraProperties::RowRead(int row) const {
    return row >= 0 && static_cast<std::size_t>(row) < m_rowRead.size() &&
           m_rowRead[static_cast<std::size_t>(row)];
}

void frmKelvraProperties::LoadItems() {
    if (Loading()) {
        return; // one load at a time: a second would run inside the first one's waits
    }
    BeginLoad();
    RunTrapped(m_platform.dialogs, false, [&] {
        ucKelvra& KV = *m_KelvraObj;
        if (m_Link.timeoutMs < kShortestTimeout) {
            m_Link.timeoutMs = kDefaultTimeout;
        }
        KV.SetTimeout(m_Link.timeoutMs);
        ApplyLinkSettings(true);
        KV.Connect();
        SetPanel1("Connecting...");

        int retries = 0;
        if (!CheckLoginStatus(retries)) {
            return;
        }
        std::string status;
        KV.GetData(status);
        m_IsLogin = status == "I";

        SetPanel1("Get Item Information...");
        if (!ReadItemCount(retries)) {
            if (!m_stopLoad) {
                ShowError(KV.ErrMessage());
            }
            m_LoginIsOK = false;
            SetPanel1("Connect Failed.");
            return;
        }
        m_LoginIsOK = true; // the link answers again after an earlier failure
        SetPanel1("On-Line");
        std::string countText;
        KV.GetData(countText);
        const int count = ReadInt16(countText, NumberForms::DecimalOnly);
        // The catalogue's last entry is the punch-error-times row's.
        if (count < 0 || count >= ItemCatalogue::kEntries) {
            throw std::out_of_range("Subscript out of range");
        }
        grd->setRowCount(count + 1);
        m_rowRead.resize(static_cast<std::size_t>(count + 1), false);
        grd->ApplyColumnLayout();
        KV.SetTimeout(m_Link.timeoutMs);

        if (ReadItems(count)) {
            ShowPunchErrorTimes(count);
            SetPanel1("On-Line");
        }
    });
    if (grd->currentRow() > 0) {
        grd->SetCurrent(0);
    }
    EndLoad();
    if (m_closeAfterLoad) {
        m_closeAfterLoad = false;
        reject(); // the load is over, so the close goes through
    }
}

// A stopped load keeps what it read; the rows it did not reach say so.
void frmKelvraProperties::ShowStopped() {
    int read = 0;
    for (int row = 0; row < grd->rowCount(); ++row) {
        if (RowRead(row)) {
            ++read;
        } else {
            grd->SetText(row, kValueColumn, kNotRead);
            grd->SetOld(row, kValueColumn, true);
        }
    }
    SetPanel1("Stopped: " + std::to_string(read) + " of " + std::to_string(grd->rowCount()) +
              " rows read.");
}

void frmKelvraProperties::ApplyLinkSettings(bool unknownTypeUsesPort) {
    ucKelvra& KV = *m_KelvraObj;
    KV.SetCommunicationType(m_Link.kind);
    if (IsNetworkLink(m_Link.kind)) {
        // The console hands its address over only for the links it offers: on any other the
        // driver keeps the address it has rather than being left with none.
        if (!m_Link.address.empty()) {
            KV.SetIP(m_Link.address);
        }
    } else if (IsSerialLink(m_Link.kind)) {
        KV.SetComport(m_Link.serialPort);
    } else if (unknownTypeUsesPort) {
        Warn("Unknow Type - Kelvra");
        KV.SetComport(m_Link.serialPort);
    }
}

// Retries+1 attempts, reconnecting after every failed one. On failure the terminal's answer
// is shown and the window closes after the load.
bool frmKelvraProperties::CheckLoginStatus(int& retries) {
    ucKelvra& KV = *m_KelvraObj;
    for (;;) {
        KV.LoginStatus(m_Link.source);
        if (KV.ErrCode() == 0) {
            return true;
        }
        // The reconnect below leaves the outcome of the status query alone on most links, but
        // not on every one: the message shown is the query's.
        const bool silent = KV.ErrCode() == KV_ERR_TIMEOUT;
        const std::string message = KV.ErrMessage();
        ++retries;
        SetPanel1(Retry(retries));
        KV.CloseConnection();
        KV.Connect();
        if (m_stopLoad) {
            m_LoginIsOK = false;
            SetPanel1("Stopped.");
            return false;
        }
        // The view stays open for another Refresh.
        if (retries > m_Retries) {
            ShowError(silent ? "The terminal did not answer (" + message + ", " +
                                   std::to_string(retries) +
                                   " tries). Check the link and the terminal, then press Refresh."
                             : message);
            m_LoginIsOK = false;
            return false;
        }
    }
}

// The count shares the status check's retry counter, so it has fewer attempts when the check
// needed retries.
bool frmKelvraProperties::ReadItemCount(int& retries) {
    ucKelvra& KV = *m_KelvraObj;
    for (;;) {
        m_platform.pump.processEvents();
        KV.GetItemCount(m_Link.source);
        m_platform.clock.sleep(kPauseMs);
        m_platform.pump.processEvents();
        if (KV.ErrCode() == 0) {
            return true;
        }
        if (++retries > kItemCountRetryLimit || m_stopLoad) {
            return false;
        }
        SetPanel1(Retry(retries));
    }
}

// False when the load was stopped; a descriptor that cannot be read ends the loop early too,
// and the punch error times are read all the same.
bool frmKelvraProperties::ReadItems(int count) {
    ucKelvra& KV = *m_KelvraObj;
    sbProgress->setRange(0, count);
    sbProgress->setValue(0);
    sbProgress->show();
    const auto showProgress = [this, count](int read) {
        sbProgress->setValue(read);
        sbProgressText->setText(QString("%1 of %2 items").arg(read).arg(count));
    };
    showProgress(0);
    int failures = 0;
    for (int row = 0; row < count;) {
        if (m_stopLoad) {
            ShowStopped();
            return false;
        }
        m_platform.clock.sleep(kPauseMs);
        m_platform.pump.processEvents();
        KV.GetItemInfo(m_Link.source, static_cast<std::int16_t>(row));
        if (KV.ErrCode() != 0) {
            ++failures;
            if (failures >= m_Retries) {
                ShowError(KV.ErrMessage());
                SetPanel1("Failed Tries " + std::to_string(failures));
                return true;
            }
            SetPanel1(Retry(failures));
            continue;
        }
        ItemDescriptor& item = m_catalogues.items.at(row);
        KV.GetData_ItemInfo(item.Name, item.ID, item.Type, item.Size, item.Flags, item.Definition,
                            item.Help, item.Selection);
        grd->SetCaption(row, QString::fromLatin1(item.Definition), WindowTextColour());
        grd->SetColour(row, kValueColumn, AccessColour(item.Flags, m_IsLogin));
        if (item.Type == "TAB") {
            // Shown as reachable whatever its flags until the colours are next updated.
            grd->SetCell(row, kValueColumn, "<Table>", WindowTextColour());
        } else if (IsArrayType(item.Type) && !ReadMembers(row, item)) {
            continue; // stopped amid the members: the row counts as not read
        }
        MarkRowRead(row);
        failures = 0;
        KV.SetTimeout(m_Link.timeoutMs);
        showProgress(++row);
    }
    return true;
}

// The members share one cell, which ends with the last one read, and one retry budget. False
// when the load was stopped before the last member.
bool frmKelvraProperties::ReadMembers(int row, const ItemDescriptor& item) {
    ucKelvra& KV = *m_KelvraObj;
    int failures = 0;
    for (int member = 0; member < item.Size; ++member) {
        if (member > 0 && m_stopLoad) {
            return false;
        }
        for (;;) {
            KV.GetItem(m_Link.source, static_cast<std::int16_t>(row),
                       static_cast<std::int16_t>(member));
            if (KV.ErrCode() == 0) {
                std::string value;
                KV.GetData(value);
                ShowReadValue(row, item, value);
                break;
            }
            if (KV.ErrCode() == KV_ERR_ACCESS_DENIED) {
                grd->SetText(row, kValueColumn, kMasked);
                m_PasswordRow = static_cast<std::int16_t>(row);
                break;
            }
            if (++failures > m_Retries) {
                break;
            }
            KV.SetTimeout(m_Link.timeoutMs);
        }
        KV.SetTimeout(m_Link.timeoutMs);
    }
    return true;
}

void frmKelvraProperties::ShowReadValue(int row, const ItemDescriptor& item,
                                        const std::string& value) {
    std::string shown = value;
    if (item.Name == kPasswordItem) {
        shown = kMasked; // the password itself is never shown
        m_PasswordRow = static_cast<std::int16_t>(row);
    } else if (item.Type == "VAL" && !item.Selection[0].empty()) {
        shown = CaptionOf(item, value).value_or(value);
    }
    grd->SetText(row, kValueColumn, QString::fromLatin1(shown));
}

void frmKelvraProperties::ShowPunchErrorTimes(int row) {
    ucKelvra& KV = *m_KelvraObj;
    MarkRowRead(row);
    if (IsMultiTerminalLink(KV.CommunicationType())) {
        return;
    }
    ItemDescriptor& entry = m_catalogues.items.at(row);
    entry.Name = kPunchErrorTimes;
    entry.Type = "VAL";
    entry.Flags = ItemDescriptor::kAvailableAfterLogin;
    entry.Help = kPunchErrorTimesHelp;
    grd->SetCaption(row, kPunchErrorTimes, WindowTextColour());
    KV.X_PunchTimesGet(m_Link.source);
    if (KV.ErrCode() != 0) {
        grd->SetCell(row, kValueColumn, "(N/A)", kGray);
        entry.Flags = ItemDescriptor::kNotSupported;
        return;
    }
    std::string reply;
    KV.GetData(reply);
    grd->SetCell(row, kValueColumn,
                 QString::number(ReadLeadingNumber(reply, NumberForms::DecimalOnly), 'g', 15),
                 WindowTextColour());
    entry.Flags = ItemDescriptor::kAvailableWithoutLogin;
}

} // namespace kelvra
