#include "property_editor/PropertyViewButton.h"

#include "console/frmMainCKelvra.h"
#include "driver/LinkKinds.h"
#include "property_editor/frmKelvraProperties.h"

#include <QPointer>

namespace kelvra {

void AttachPropertyView(frmMainCKelvra& console, PropertyViewPlatform platform) {
    // The window belongs to the console and lives as long as it does.
    console.SetPropertyViewOpener(
        [platform, view = QPointer<frmKelvraProperties>()](frmMainCKelvra& window) mutable {
            if (view.isNull()) {
                view = new frmKelvraProperties(platform, &window);
            }
            ucKelvra& KV = window.KV();
            view->SetKelvraObj(KV);
            view->SetCommunicationType(KV.CommunicationType());
            if (PropertyViewTakesAddress(KV.CommunicationType())) {
                view->SetIP(KV.IP());
            } else {
                view->SetComport(KV.Comport());
            }
            view->SetSource(window.NumberEntry("txtID"));
            view->ShowConnectionStatus();
            view->ShowModal();
        });
}

} // namespace kelvra
