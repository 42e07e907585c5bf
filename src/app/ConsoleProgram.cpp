#include "app/ConsoleProgram.h"

#include "app/PropertyViewButton.h"
#include "widgets/frmKelvra_Options.h"

#include <cstdio>
#include <stdexcept>

namespace kelvra {

ConsoleProgram::ConsoleProgram(Dialogs& dialogs, const QString& userSettingsPath,
                               const QString& machineSettingsPath, Vexa5Endpoints moduleEndpoints)
    : m_platform(userSettingsPath, machineSettingsPath) {
    Vexa5Environment::install(m_platform.clock, m_platform.clock, m_platform.links, dialogs,
                              std::move(moduleEndpoints));
    m_window = std::make_unique<frmMainCKelvra>(ConsolePlatform{
        m_platform.clock, m_platform.clock, m_platform.links, m_platform.userSettings, dialogs});
    m_window->KV().SetWakeOnReply(frmKelvra_Options::WakeOnReply(m_platform.machineSettings));
    AttachPropertyView(*m_window,
                       {m_platform.clock, m_platform.clock, m_platform.machineSettings, dialogs});
}

ConsoleProgram::~ConsoleProgram() {
    m_window.reset();
    try {
        // The module client's socket goes while the platform it was made by still stands.
        Vexa5Environment::reset();
    } catch (const std::logic_error& misuse) {
        std::fprintf(stderr, "kelvra-console: %s\n", misuse.what());
    }
}

} // namespace kelvra
