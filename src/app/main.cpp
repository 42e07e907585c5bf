// kelvra-console: the console window, with its property view, over the Qt platform.
//
// The settings files are the platform's defaults unless KELVRA_SETTINGS_DIR names a folder,
// which then holds both (user.ini and machine.ini): the demo and the tests point it at a
// folder of their own so they never touch an operator's settings.
#include "console/QtDialogs.h"
#include "console/frmMainCKelvra.h"
#include "platform/qt/QtPlatform.h"
#include "property_editor/PropertyViewButton.h"

#include <QApplication>
#include <QDir>

namespace {

QString SettingsFile(const char* name) {
    const QString folder = qEnvironmentVariable("KELVRA_SETTINGS_DIR");
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kelvra::QtPlatform platform(SettingsFile("user.ini"), SettingsFile("machine.ini"));
    kelvra::QtDialogs dialogs;
    kelvra::frmMainCKelvra window(kelvra::ConsolePlatform{
        platform.clock, platform.clock, platform.links, platform.userSettings, dialogs});
    dialogs.setParent(&window);
    kelvra::AttachPropertyView(window,
                               kelvra::PropertyViewPlatform{platform.clock, platform.clock,
                                                            platform.machineSettings, dialogs});
    window.show();
    return application.exec();
}
