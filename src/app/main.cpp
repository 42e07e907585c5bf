// kelvra-console: the console window over the Qt platform.
//
// The settings files are the platform's defaults unless KELVRA_SETTINGS_DIR names a folder,
// which then holds both (user.ini and machine.ini): the demo and the tests point it at a
// folder of their own so they never touch an operator's settings.
#include "app/ConsoleProgram.h"
#include "console/QtDialogs.h"

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
    kelvra::QtDialogs dialogs;
    kelvra::ConsoleProgram program(dialogs, SettingsFile("user.ini"), SettingsFile("machine.ini"));
    dialogs.setParent(&program.window());
    program.window().show();
    return application.exec();
}
