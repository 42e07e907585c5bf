// console_startup_bench: starts the console as kelvra-console does, and once its window is
// shown prints the wall-clock time (nanoseconds since the epoch) and the resident memory, then
// quits. bench/console_startup.sh turns that into start-up figures.
#include "console/frmMainCKelvra.h"
#include "platform/qt/QtPlatform.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QTemporaryDir settings; // never the operator's settings
    kelvra::QtPlatform platform(QDir(settings.path()).filePath("user.ini"),
                                QDir(settings.path()).filePath("machine.ini"));
    kelvra::QtDialogs dialogs;
    kelvra::frmMainCKelvra window(kelvra::ConsolePlatform{
        platform.clock, platform.clock, platform.links, platform.userSettings, dialogs});
    window.show();
    if (!QTest::qWaitForWindowExposed(&window, 5000)) {
        std::fprintf(stderr, "the window was not shown\n");
        return 1;
    }
    const auto shown = std::chrono::duration_cast<std::chrono::nanoseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    std::printf("shown_ns %lld\nrss_kb %ld\n", static_cast<long long>(shown.count()),
                ResidentKilobytes());
    return 0;
}
