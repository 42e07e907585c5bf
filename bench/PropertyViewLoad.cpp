// property_view_load_bench: the console's "Property View" button against the simulator with a
// catalogue of 100 items over loopback UDP, timed from the press to "On-Line". The figure is the
// measured time over its lower bound: every command the load sends waits at least one whole
// 50 ms pass for its reply, and the load pauses 10 ms before the item count's check and before
// each item. Also prints the resident memory once the grid is full.
#include "SimulatorHost.h"
#include "app/ConsoleProgram.h"
#include "property_editor/frmKelvraProperties.h"
#include "widgets/QtDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <fstream>
#include <string>

namespace {

constexpr const char* kAddress = "127.0.0.40";
constexpr int kItems = 100;
constexpr double kReplyPassMs = 50;
constexpr double kPauseMs = 10;

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
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;

    kelvra::sim::SimulatorOptions options;
    options.bindAddress = kAddress;
    options.udpPort = 0;
    options.tcp = false;
    options.module = false;
    options.terminal.items = kItems;
    kelvra::sim::SimulatorHost simulator(options);
    simulator.start();

    // The program as kelvra-console starts it, its settings in a folder of its own.
    QTemporaryDir settings;
    kelvra::QtDialogs dialogs;
    kelvra::ConsoleProgram program(dialogs, settings.filePath("user.ini"),
                                   settings.filePath("machine.ini"),
                                   kelvra::Vexa5Endpoints{kAddress, 0});
    kelvra::frmMainCKelvra& console = program.window();
    dialogs.setParent(&console);
    console.show();
    console.findChild<QLineEdit*>("txtIP")->setText(kAddress);
    console.findChild<QComboBox*>("cboType")->setCurrentIndex(0);
    console.findChild<QLineEdit*>("txtUDP_Port")->setText(QString::number(simulator.udpPort()));
    console.PressButton(0);

    std::printf("property view load, %d items over loopback UDP (platform: %s)\n", kItems,
                qPrintable(QApplication::platformName()));
    bool ok = true;
    for (int run = 1; run <= runs; ++run) {
        const std::uint64_t framesBefore = simulator.stats().framesReceived;
        QElapsedTimer clock;
        qint64 loadedNs = -1;
        int rows = 0;
        long residentKb = -1;
        // The window is modal: the press returns once it is closed, which this does as soon as
        // the load is over.
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            auto* view = console.findChild<kelvra::frmKelvraProperties*>();
            if (view == nullptr || !view->isVisible() || view->Loading() ||
                view->StatusText(1) != "On-Line") {
                return;
            }
            loadedNs = clock.nsecsElapsed();
            rows = view->findChild<QTableWidget*>("grd")->rowCount();
            residentKb = ResidentKilobytes();
            watch.stop();
            view->reject();
        });
        watch.start(20);
        clock.start();
        QTest::mouseClick(console.findChild<QPushButton*>("cmdCtrl(37)"), Qt::LeftButton);
        const auto commands = static_cast<double>(simulator.stats().framesReceived - framesBefore);
        const double pauses = 1 + (rows - 1); // the item count's, and one before each item
        const double boundMs = commands * kReplyPassMs + pauses * kPauseMs;
        const double measuredMs = static_cast<double>(loadedNs) / 1e6;
        if (loadedNs < 0 || rows != kItems + 1) {
            std::printf("run %d: the load did not finish (%d rows)\n", run, rows);
            ok = false;
            continue;
        }
        std::printf("run %d: %.0f commands, %.0f pauses: measured %.1f ms, lower bound %.1f ms, "
                    "ratio %.4f (target <= 1.05); resident memory %.1f MB\n",
                    run, commands, pauses, measuredMs, boundMs, measuredMs / boundMs,
                    static_cast<double>(residentKb) / 1024);
    }
    simulator.stop();
    return ok ? 0 : 1;
}
