#pragma once

#include "ConsoleRig.h"
#include "FakeDialogs.h"
#include "SimulatorHost.h"
#include "app/ConsoleProgram.h"

#include <QTemporaryDir>
#include <memory>
#include <string>

namespace kelvra::test {

// The console program as main() builds it, with its settings in a folder of its own, against
// the simulator on `options.bindAddress` (UDP and TCP on free ports); the module client asks
// the simulator's module.
struct ProgramRig : WindowDriver {
    QTemporaryDir settingsFolder;
    std::unique_ptr<sim::SimulatorHost> simulator;
    FakeDialogs dialogs;
    std::unique_ptr<ConsoleProgram> program;

    explicit ProgramRig(sim::SimulatorOptions options) {
        options.udpPort = options.tcpPort = 0; // tests of other parts may hold 1001
        simulator = std::make_unique<sim::SimulatorHost>(std::move(options));
        simulator->start();
        openWindow();
    }
    ~ProgramRig() {
        program.reset();
        simulator->stop();
    }
    ProgramRig(const ProgramRig&) = delete;
    ProgramRig& operator=(const ProgramRig&) = delete;

    // A new start of the program on the same settings.
    void openWindow() {
        program.reset();
        program = std::make_unique<ConsoleProgram>(
            dialogs, settingsFolder.filePath("user.ini"), settingsFolder.filePath("machine.ini"),
            Vexa5Endpoints{simulator->bindAddress(), simulator->modulePort()});
        window = &program->window();
        window->show();
    }

    // Presses "Establish Connection" for `link`: "UDP", "TCP" or a serial port caption such
    // as "COM1"; returns what the log shows.
    std::string connect(const std::string& link, const std::string& address) {
        const bool serial = link.starts_with("COM");
        setText("txtIP", address);
        setText(serial ? "optType(1)" : "optType(0)", "1");
        setText(serial ? "cboComport" : "cboType", link);
        const int port = link == "UDP" ? simulator->udpPort() : simulator->tcpPort();
        setText("txtUDP_Port", std::to_string(port));
        return press(0);
    }
    std::string connect(const std::string& link) { return connect(link, simulator->bindAddress()); }
};

} // namespace kelvra::test
