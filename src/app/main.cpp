// kelvra-console: the console window over the Qt platform.
//
// The settings files are the platform's defaults unless KELVRA_SETTINGS_DIR names a folder,
// which then holds both (user.ini and machine.ini): the demo and the tests point it at a
// folder of their own so they never touch an operator's settings.
#include "app/ConsoleProgram.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <cstdio>
#include <string_view>

namespace {

const char* const kUsage = R"(usage: kelvra-console [Qt options]
The console window for Kelvra time-clock terminals: connect to one terminal over a serial
port, UDP or TCP through its Ethernet interface module, and run its commands.
  --help, -h    this text
Qt's own options are taken too, e.g. -platform NAME, -style NAME.
Environment:
  KELVRA_USER_SETTINGS     per-user settings file (default ~/.config/kelvra/kelvra.ini)
  KELVRA_MACHINE_SETTINGS  machine-wide settings file (default /etc/xdg/kelvra/kelvra.ini)
  KELVRA_SETTINGS_DIR      a folder holding both, as user.ini and machine.ini
See kelvra-console(1).
)";

QString SettingsFile(const char* name) {
    const QString folder = qEnvironmentVariable("KELVRA_SETTINGS_DIR");
    return folder.isEmpty() ? QString() : QDir(folder).filePath(name);
}

// Looked for before the application is made, which needs a display.
bool AsksForHelp(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (AsksForHelp(argc, argv)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    QApplication application(argc, argv);
    // Lets the desktop match the window to its entry and icon (kelvra-console.desktop).
    QGuiApplication::setDesktopFileName(QStringLiteral("kelvra-console"));
    kelvra::QtDialogs dialogs;
    kelvra::ConsoleProgram program(dialogs, SettingsFile("user.ini"), SettingsFile("machine.ini"));
    dialogs.setParent(&program.window());
    program.window().show();
    return application.exec();
}
