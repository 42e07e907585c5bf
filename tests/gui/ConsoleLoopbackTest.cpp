// The console program as it starts (Qt platform, module client, window) against the terminal
// simulator on loopback: UDP, TCP through the simulated interface module, and a serial line
// through a pseudo-terminal mapped to COM1. Only this process's own loopback address is
// used; every wait is bounded.
#include "ConsoleRig.h"
#include "FakeDialogs.h"
#include "LoopbackAddresses.h"
#include "SimulatorHost.h"
#include "app/ConsoleProgram.h"
#include "module_client/CVexa5.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <regex>

namespace kelvra {
namespace {

const std::string kSimulatorAddress = test::LoopbackAddress(6);

struct LoopbackRig : test::WindowDriver {
    QTemporaryDir settingsFolder;
    std::unique_ptr<sim::SimulatorHost> simulator;
    test::FakeDialogs dialogs;
    std::unique_ptr<ConsoleProgram> program;

    LoopbackRig() {
        sim::SimulatorOptions options;
        options.bindAddress = kSimulatorAddress;
        options.udpPort = 0; // any free port: tests of other parts may hold 1001
        options.tcpPort = 0;
        options.serial = true;
        options.terminal.password = ""; // the console always logs in with an empty password
        simulator = std::make_unique<sim::SimulatorHost>(options);
        simulator->start();
        openWindow();
        // The pseudo-terminal stands behind COM1; COM2 names a device that does not exist.
        program->platform().userSettings.write("usKelvra", "SerialPorts", "COM1",
                                               simulator->serialPath());
        program->platform().userSettings.write(
            "usKelvra", "SerialPorts", "COM2",
            settingsFolder.filePath("no-such-tty").toStdString());
    }
    ~LoopbackRig() {
        program.reset();
        simulator->stop();
    }

    // The program as main() builds it, but with the module client pointed at the simulator.
    void openWindow() {
        program.reset();
        program = std::make_unique<ConsoleProgram>(
            dialogs, settingsFolder.filePath("user.ini"), settingsFolder.filePath("machine.ini"),
            Vexa5Endpoints{kSimulatorAddress, simulator->modulePort()});
        window = &program->window();
        window->show();
    }

    // `link`: "UDP", "TCP" or a serial port caption such as "COM1".
    std::string connect(const std::string& link, const std::string& address = kSimulatorAddress) {
        const bool serial = link.starts_with("COM");
        setText("txtIP", address);
        setText(serial ? "optType(1)" : "optType(0)", "1");
        setText(serial ? "cboComport" : "cboType", link);
        const int port = link == "UDP" ? simulator->udpPort() : simulator->tcpPort();
        setText("txtUDP_Port", std::to_string(port));
        return press(0);
    }
};

TEST(ConsoleLoopback, ConnectsByUdpTcpAndSerialAndRunsCommands) {
    for (const char* link : {"UDP", "TCP", "COM1"}) {
        SCOPED_TRACE(link);
        LoopbackRig rig;
        EXPECT_EQ(rig.connect(link), "OK!\n");
        EXPECT_EQ(rig.press(38), "KELVRA-SIM\n"); // "Get Mach. Name"
        rig.setText("txtSend(0)", "123");
        EXPECT_EQ(rig.press(1), "123\n"); // echo
        EXPECT_TRUE(std::regex_match(rig.press(17), std::regex(R"(\d\d:\d\d:\d\d\n)")));
        EXPECT_TRUE(rig.dialogs.messageBoxes.empty());
    }
}

TEST(ConsoleLoopback, ALinkThatCannotBeSetUpIsNoSuccess) {
    LoopbackRig rig;
    EXPECT_EQ(rig.connect("UDP", "999.1.1.1"),
              "No connection: \"999.1.1.1\" is no address or known host name.\n");
    EXPECT_EQ(rig.connect("UDP", "not an address"),
              "No connection: \"not an address\" is no address or known host name.\n");
    EXPECT_EQ(rig.connect("UDP", ""), "No connection: the address box is empty.\n");
    EXPECT_EQ(rig.connect("COM2"), "No connection: COM2 cannot be opened.\n");
    // Each failure shows at once, and the next command fails as the link it is.
    EXPECT_EQ(rig.press(38), "Error Code: -115, KV_ERR_WINSOCK_ERROR\n");
    EXPECT_EQ(rig.connect("UDP"), "OK!\n");
    EXPECT_EQ(rig.press(38), "KELVRA-SIM\n");
}

TEST(ConsoleLoopback, TheProgramKeepsTheAddressAndStartsTheModuleClient) {
    LoopbackRig rig;
    rig.connect("UDP");
    rig.openWindow();
    EXPECT_EQ(rig.box("txtIP")->text().toStdString(), kSimulatorAddress);
    // The module client works in the program as it starts, over the program's platform.
    CVexa5 module;
    module.SetTimeout(1000);
    module.G_DeviceName(kSimulatorAddress);
    std::string name;
    module.GetData(name);
    EXPECT_EQ(module.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(name, "KELVRA-SIM");
}

} // namespace
} // namespace kelvra
