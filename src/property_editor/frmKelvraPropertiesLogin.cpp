// Logging in and out, and the access colours that follow the login state.
#include "driver/ErrorCodes.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvraProperties.h"
#include "widgets/FaultTrap.h"
#include "widgets/ModalDialog.h"
#include "widgets/frmKelvra_LoginPassword.h"

namespace kelvra {

void frmKelvraProperties::LoginTerminal() {
    RunTrapped(m_platform.dialogs, false, [this] {
        ucKelvra& KV = *m_KelvraObj;
        m_IsLogin = false;
        ApplyLinkSettings(false);
        KV.Connect();
        KV.LoginStatus(m_Link.source);
        std::string status;
        KV.GetData(status);
        if (status == "XI") {
            KV.X_LogOff(m_Link.source); // extended mode refuses the login
        }
        KV.Login(m_Link.source, "");
        if (KV.ErrCode() != 0 && KV.ErrCode() != KV_ERR_ACCESS_DENIED) {
            ShowError(KV.ErrMessage());
            m_LoginIsOK = false;
            return;
        }
        // The terminal wants a password: ask until it takes one or the operator gives up.
        while (KV.ErrCode() != 0) {
            frmKelvra_LoginPassword dialog(this);
            ShowDialogModal(m_platform.dialogs, dialog);
            if (!dialog.IsOK()) {
                m_IsLogin = false;
                m_LoginIsOK = false;
                return;
            }
            KV.Login(m_Link.source, dialog.Password());
            if (KV.ErrCode() == 0) {
                m_Password = dialog.Password();
            } else if (KV.ErrCode() == KV_ERR_ACCESS_DENIED) {
                Warn("Invalid password");
            } else {
                ShowError(KV.ErrMessage());
            }
        }
        UpdateAccessColors("I");
        m_IsLogin = true;
        m_LoginIsOK = true;
    });
}

void frmKelvraProperties::LogoutTerminal() {
    RunTrapped(m_platform.dialogs, false, [this] {
        ucKelvra& KV = *m_KelvraObj;
        KV.Logout(m_Link.source);
        if (KV.ErrCode() != 0) {
            ShowError(KV.ErrMessage());
            return;
        }
        UpdateAccessColors("O");
        m_IsLogin = false;
    });
}

// Asked when another window may have changed the login state; a terminal that does not tell
// counts as logged out, which refuses an edit before the terminal would.
void frmKelvraProperties::RefreshLoginState() {
    ucKelvra& KV = *m_KelvraObj;
    KV.LoginStatus(m_Link.source);
    std::string status;
    if (KV.ErrCode() == 0) {
        KV.GetData(status);
    }
    m_IsLogin = status == "I";
    UpdateAccessColors(m_IsLogin ? "I" : "O");
}

void frmKelvraProperties::UpdateAccessColors(std::string_view state) {
    const bool loggedIn = state == "I";
    for (int row = 0; row < grd->rowCount(); ++row) {
        if (RowRead(row)) { // a row not read stays old, whatever its entry says
            grd->SetColour(row, kValueColumn,
                           AccessColour(m_catalogues.items.at(row).Flags, loggedIn));
        }
    }
    grd->SetCurrent(0);
}

} // namespace kelvra
