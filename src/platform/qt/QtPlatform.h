#pragma once

#include "platform/qt/QtClock.h"
#include "platform/qt/QtLinkFactory.h"
#include "platform/qt/QtSettingsStore.h"

#include <QString>

namespace kelvra {

// The whole Qt platform of one program: clock and event pump, both settings stores, and the
// link factory that maps serial ports through the per-user store. Empty paths take the
// stores' default files (QtSettingsStore::defaultPath). Needs a QCoreApplication.
struct QtPlatform {
    explicit QtPlatform(const QString& userSettingsPath = {},
                        const QString& machineSettingsPath = {})
        : userSettings(QtSettingsStore::Scope::PerUser, userSettingsPath),
          machineSettings(QtSettingsStore::Scope::MachineWide, machineSettingsPath),
          links(userSettings) {}

    QtClock clock; // also the event pump
    QtSettingsStore userSettings;
    QtSettingsStore machineSettings;
    QtLinkFactory links;
};

} // namespace kelvra
