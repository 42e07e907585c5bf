// The console over the real Qt platform against the terminal simulator on loopback: UDP, TCP
// through the simulated interface module, and a serial line through a pseudo-terminal mapped
// to COM1. Only 127.0.0.6 is used; every wait is bounded.
#include "ConsoleRig.h"
#include "FakeDialogs.h"
#include "SimulatorHost.h"
#include "platform/qt/QtPlatform.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <regex>

namespace kelvra {
namespace {

constexpr const char* kSimulatorAddress = "127.0.0.6";

// Waits, pumping events, until the condition holds or `ms` have passed.
bool WaitFor(const std::function<bool()>& condition, int ms = 3000) {
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QApplication::processEvents();
        QThread::msleep(5);
    }
    return true;
}

struct LoopbackRig : test::WindowDriver {
    QTemporaryDir settingsFolder;
    std::unique_ptr<sim::SimulatorHost> simulator;
    std::unique_ptr<QtPlatform> platform;
    test::FakeDialogs dialogs;

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
        // The pseudo-terminal stands behind COM1.
        platform->userSettings.write("usKelvra", "SerialPorts", "COM1", simulator->serialPath());
    }
    ~LoopbackRig() {
        window.reset();
        simulator->stop();
    }

    void openWindow() {
        window.reset();
        platform = std::make_unique<QtPlatform>(settingsFolder.filePath("user.ini"),
                                                settingsFolder.filePath("machine.ini"));
        window = std::make_unique<frmMainCKelvra>(ConsolePlatform{
            platform->clock, platform->clock, platform->links, platform->userSettings, dialogs});
        window->show();
    }

    enum class Link { Udp, Tcp, Serial };
    void connect(Link link) {
        setText("txtIP", kSimulatorAddress);
        if (link == Link::Serial) {
            clickOn(find<QRadioButton>("optType(1)"));
            find<QComboBox>("cboComport")->setCurrentIndex(0);
        } else {
            clickOn(find<QRadioButton>("optType(0)"));
            const bool udp = link == Link::Udp;
            find<QComboBox>("cboType")->setCurrentIndex(udp ? 0 : 1);
            setText("txtUDP_Port",
                    std::to_string(udp ? simulator->udpPort() : simulator->tcpPort()));
        }
        EXPECT_EQ(press(0), "OK!\n");
    }
};

TEST(ConsoleLoopback, ConnectsByUdpTcpAndSerialAndRunsCommands) {
    const std::vector<std::pair<const char*, LoopbackRig::Link>> links = {
        {"UDP", LoopbackRig::Link::Udp},
        {"TCP", LoopbackRig::Link::Tcp},
        {"serial", LoopbackRig::Link::Serial},
    };
    for (const auto& [name, link] : links) {
        SCOPED_TRACE(name);
        LoopbackRig rig;
        rig.connect(link);
        EXPECT_EQ(rig.press(38), "KELVRA-SIM\n"); // "Get Mach. Name"
        rig.setText("txtSend(0)", "123");
        EXPECT_EQ(rig.press(1), "123\n"); // echo
        EXPECT_TRUE(std::regex_match(rig.press(17), std::regex(R"(\d\d:\d\d:\d\d\n)")));
        EXPECT_TRUE(rig.dialogs.messageBoxes.empty());
    }
}

TEST(ConsoleLoopback, PushedRecordsAreLoggedAndConfirmedOnExtraCommands) {
    LoopbackRig rig;
    rig.connect(LoopbackRig::Link::Udp);
    rig.find<QCheckBox>("chkAutoConfirm")->setChecked(true);

    // "Log on Extra Mode" is on page 2, and the push arrives while it shows.
    EXPECT_EQ(rig.press(45), "OK!\n");
    rig.setText("txtID", "7"); // the confirmation goes to the record's source instead
    ASSERT_TRUE(WaitFor([&] { return rig.simulator->stats().pushesSent >= 1; }));
    ASSERT_TRUE(WaitFor([&] {
        return rig.simulator->withTerminal(1, [](auto& t) { return t.counters().confirmations; }) >=
               1;
    }));
    EXPECT_TRUE(std::regex_search(
        rig.log(),
        std::regex(R"(\d\d:\d\d:\d\d 127\.0\.0\.6:  1\t[^\n]*\tC1\d+\t[^\n]*, ErrCode: 0\nOK!\n)")))
        << rig.log();
    EXPECT_EQ(rig.box("txtID")->text(), "1");
}

TEST(ConsoleLoopback, TheLastAddressComesBackAfterRestart) {
    LoopbackRig rig;
    rig.connect(LoopbackRig::Link::Udp);
    rig.window->close();
    rig.openWindow();
    EXPECT_EQ(rig.box("txtIP")->text(), kSimulatorAddress);
}

} // namespace
} // namespace kelvra
