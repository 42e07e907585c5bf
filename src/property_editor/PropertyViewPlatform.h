#pragma once

#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/SettingsStore.h"

namespace kelvra {

// What the property view and its editors need of the world besides the console's driver: the
// clock for their short waits and the present date, the event pump that keeps them responsive
// while loading, the machine-wide store of the auto-login and auto-logout options, and the
// dialogs.
struct PropertyViewPlatform {
    Clock& clock;
    EventPump& pump;
    SettingsStore& machineWide;
    Dialogs& dialogs;
};

} // namespace kelvra
