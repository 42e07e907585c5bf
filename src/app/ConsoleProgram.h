#pragma once

#include "console/frmMainCKelvra.h"
#include "module_client/Vexa5Environment.h"
#include "platform/qt/QtPlatform.h"

#include <QString>
#include <memory>

namespace kelvra {

// What kelvra-console sets up at start, in the order the parts need each other, and takes
// down in reverse: the Qt platform, the module client's environment and the console window
// with its property view.
// The module client sends discovery and address assignment to the real broadcast address
// unless `moduleEndpoints` names others (tests name loopback ones). Needs a QApplication; one
// program at a time, since the module client's environment is process-wide.
class ConsoleProgram {
public:
    ConsoleProgram(Dialogs& dialogs, const QString& userSettingsPath,
                   const QString& machineSettingsPath, Vexa5Endpoints moduleEndpoints = {});
    ~ConsoleProgram();
    ConsoleProgram(const ConsoleProgram&) = delete;
    ConsoleProgram& operator=(const ConsoleProgram&) = delete;

    QtPlatform& platform() { return m_platform; }
    frmMainCKelvra& window() { return *m_window; }

private:
    QtPlatform m_platform;
    std::unique_ptr<frmMainCKelvra> m_window;
};

} // namespace kelvra
