// The console program as it starts (Qt platform, module client, window) against the terminal
// simulator on loopback: UDP, TCP through the simulated interface module, and a serial line
// through a pseudo-terminal mapped to COM1. Only this process's own loopback address is
// used; every wait is bounded.
#include "LoopbackAddresses.h"
#include "ProgramRig.h"
#include "module_client/CVexa5.h"

#include <gtest/gtest.h>
#include <regex>

namespace kelvra {
namespace {

// The simulator with its serial line; the pseudo-terminal stands behind COM1, and COM2 names
// a device that does not exist.
struct LoopbackRig : test::ProgramRig {
    LoopbackRig() : ProgramRig(options()) {
        SettingsStore& settings = program->platform().userSettings;
        settings.write("usKelvra", "SerialPorts", "COM1", simulator->serialPath());
        settings.write("usKelvra", "SerialPorts", "COM2",
                       settingsFolder.filePath("no-such-tty").toStdString());
    }
    static sim::SimulatorOptions options() {
        sim::SimulatorOptions options;
        options.bindAddress = test::LoopbackAddress(6);
        options.serial = true;
        options.terminal.password = ""; // the console always logs in with an empty password
        return options;
    }
};

TEST(ConsoleLoopback, ConnectsByUdpTcpAndSerialRunsCommandsAndStartsTheModuleClient) {
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
    // The module client works in the program as it starts, over the program's platform.
    LoopbackRig rig;
    CVexa5 module;
    module.SetTimeout(1000);
    module.G_DeviceName(rig.simulator->bindAddress());
    std::string name;
    module.GetData(name);
    EXPECT_EQ(module.ErrCode(), VX_SUCCESS);
    EXPECT_EQ(name, "KELVRA-SIM");
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

} // namespace
} // namespace kelvra
