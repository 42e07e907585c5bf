#include "app/PropertyViewButton.h"

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
            LinkSettings link;
            link.kind = KV.CommunicationType();
            if (PropertyViewTakesAddress(link.kind)) {
                link.address = KV.IP();
            } else {
                link.serialPort = KV.Comport();
            }
            link.source = window.NumberEntry("txtID");
            view->SetLink(link);
            view->ShowConnectionStatus();
            view->ShowModal();
        });
}

} // namespace kelvra
