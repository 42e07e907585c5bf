// The console over the real Qt platform against the terminal simulator on loopback: UDP, TCP
// through the simulated interface module, and a serial line through a pseudo-terminal mapped
// to COM1. Only 127.0.0.6 is used; every wait is bounded.
#include "FakeDialogs.h"
#include "SimulatorHost.h"
#include "console/frmMainCKelvra.h"
#include "platform/qt/QtPlatform.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
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

struct LoopbackRig {
    QTemporaryDir settingsFolder;
    std::unique_ptr<sim::SimulatorHost> simulator;
    std::unique_ptr<QtPlatform> platform;
    test::FakeDialogs dialogs;
    std::unique_ptr<frmMainCKelvra> window;

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

    template <class Widget> Widget* find(const QString& name) {
        auto* widget = window->findChild<Widget*>(name);
        if (widget == nullptr) {
            throw std::runtime_error("no control " + name.toStdString());
        }
        return widget;
    }
    QTabWidget* tabs() { return find<QTabWidget>("SSTab1"); }
    void setText(const char* name, const QString& text) { find<QLineEdit>(name)->setText(text); }
    void clickOn(QWidget* target) {
        for (int page = 0; page < tabs()->count(); ++page) {
            if (tabs()->widget(page)->isAncestorOf(target)) {
                tabs()->setCurrentIndex(page);
            }
        }
        QTest::mouseClick(target, Qt::LeftButton);
    }
    void click(int index) { clickOn(find<QPushButton>(QString("cmdCtrl(%1)").arg(index))); }

    // Presses the button and returns the lines it added to the log.
    std::string press(int index) {
        const std::string before = window->ResultText();
        click(index);
        return window->ResultText().substr(before.size());
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
                    QString::number(udp ? simulator->udpPort() : simulator->tcpPort()));
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
    }
}

TEST(ConsoleLoopback, ASampleOfEveryPage) {
    LoopbackRig rig;
    rig.connect(LoopbackRig::Link::Udp);
    // General.
    EXPECT_EQ(rig.press(6), "O\n"); // the simulator's "logged out"
    EXPECT_EQ(rig.press(3), "OK!\n");
    EXPECT_EQ(rig.press(6), "I\n");
    // Items.
    rig.setText("txtItemInfo", "4");
    EXPECT_EQ(rig.press(25), "Name: DATEFMT\nID: 104\nType: VAL\nSize: 1\nFlags: 40\n"
                             "Definition: Date Format\nHelp: How the display writes dates\n"
                             "Selection String 0: 0 MM/DD/YYYY\nSelection String 1: 1 DD-MM-YYYY\n"
                             "Selection String 2: 2 YYYY-MM-DD\n\n");
    rig.setText("txtReference", "11");
    rig.setText("txtFieldNum", "2");
    const std::string field = rig.press(30);
    EXPECT_NE(field.find("Type: VAL\nDefinition: Shift\n"), std::string::npos) << field;
    EXPECT_NE(field.find("Selection String 2: 2 Weekend\n\n"), std::string::npos) << field;
    // Extra commands.
    rig.setText("txtBellDuration", "5");
    EXPECT_EQ(rig.press(43), "OK!\n");
    EXPECT_EQ(rig.simulator->withTerminal(1, [](auto& t) { return t.lastBellDuration(); }), 5);
    // Bell table: the set loop, then the get loop reading it back into the boxes.
    rig.clickOn(rig.find<QRadioButton>("optWeekDay(1)"));
    rig.setText("txtBellWeekMode(0)", "07:30:00");
    rig.find<QCheckBox>("chkBellWeekMode(0)")->setChecked(true);
    rig.setText("txtBellWeekMode(31)", "17:45:10");
    EXPECT_EQ(rig.press(53), "OK!\n");
    rig.setText("txtBellWeekMode(0)", "");
    rig.find<QCheckBox>("chkBellWeekMode(0)")->setChecked(false);
    rig.setText("txtBellWeekMode(31)", "");
    EXPECT_EQ(rig.press(54), "OK!\n");
    EXPECT_EQ(rig.find<QLineEdit>("txtBellWeekMode(0)")->text(), "07:30:00");
    EXPECT_TRUE(rig.find<QCheckBox>("chkBellWeekMode(0)")->isChecked());
    EXPECT_EQ(rig.find<QLineEdit>("txtBellWeekMode(31)")->text(), "17:45:10");
    EXPECT_TRUE(rig.dialogs.messageBoxes.empty());
}

TEST(ConsoleLoopback, SetBellTimesStopsAtTheFirstRefusedEntry) {
    LoopbackRig rig;
    rig.connect(LoopbackRig::Link::Udp);
    rig.simulator->clearReceived();
    // Not logged in: the terminal refuses the first entry and nothing more is sent.
    EXPECT_EQ(rig.press(53), "Error Code: -102, KV_ERR_ACCESS_DENIED\n");
    EXPECT_EQ(rig.simulator->receivedFrames().size(), 1u);
}

TEST(ConsoleLoopback, ASilentTerminalTimesOut) {
    LoopbackRig rig;
    rig.connect(LoopbackRig::Link::Udp);
    rig.simulator->applyFaultSpec("silent");
    EXPECT_EQ(rig.press(21), "Error Code: -101, KV_ERR_TIMEOUT\n");
}

TEST(ConsoleLoopback, PushedRecordsAreLoggedAndConfirmedOnlyOnExtraCommands) {
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
    const std::string log = rig.window->ResultText();
    EXPECT_TRUE(std::regex_search(
        log,
        std::regex(R"(\d\d:\d\d:\d\d 127\.0\.0\.6:  1\t[^\n]*\tC1\d+\t[^\n]*, ErrCode: 0\nOK!\n)")))
        << log;
    EXPECT_EQ(rig.find<QLineEdit>("txtID")->text(), "1");
}

TEST(ConsoleLoopback, APushedRecordOnAnotherPageIsNeitherLoggedNorConfirmed) {
    LoopbackRig rig;
    rig.connect(LoopbackRig::Link::Udp);
    rig.find<QCheckBox>("chkAutoConfirm")->setChecked(true);
    rig.click(45);
    rig.tabs()->setCurrentIndex(0);
    const std::string before = rig.window->ResultText();
    ASSERT_TRUE(WaitFor([&] { return rig.simulator->stats().pushesSent >= 1; }));
    WaitFor([] { return false; }, 200); // time for the record to be delivered
    EXPECT_EQ(rig.window->ResultText(), before);
    EXPECT_EQ(rig.simulator->withTerminal(1, [](auto& t) { return t.counters().confirmations; }),
              0);
}

TEST(ConsoleLoopback, TheLastAddressComesBackAfterRestart) {
    LoopbackRig rig;
    EXPECT_EQ(rig.find<QLineEdit>("txtIP")->text(), "192.168.1.201");
    rig.connect(LoopbackRig::Link::Udp);
    rig.window->close();
    rig.openWindow();
    EXPECT_EQ(rig.find<QLineEdit>("txtIP")->text(), kSimulatorAddress);
}

} // namespace
} // namespace kelvra
