// The bell table and card reading windows on the Qt platform against the simulator over
// loopback UDP, as the property view opens them: with its driver and the source ID.
#include "FakeDialogs.h"
#include "LoopbackAddresses.h"
#include "PropertyViewRig.h"
#include "SimFrames.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"
#include "console/frmKelvra_BellTable.h"
#include "console/frmKelvra_ReadCard.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace kelvra::test {
namespace {

const std::string kAddress = LoopbackAddress(103);
constexpr std::int16_t kSource = 1;

// The command letters the terminal received, in order.
std::string Commands(sim::SimulatorHost& host) {
    std::string commands;
    for (const sim::ReceivedFrame& frame : host.receivedFrames()) {
        commands += sim::ParseRequest(frame.frame).body.substr(0, 2) + " ";
    }
    return commands;
}

TEST(BellTableWindow, ReadsChangesAndWritesTheTerminalsBells) {
    SimulatedTerminal terminal(kAddress);
    terminal.connect(Link::Udp);
    ucKelvra& kv = *terminal.kv;
    kv.Login(kSource, "1234"); // the property view logs in before the bell table is opened
    kv.SetBellTime(kSource, 2, 3, DateTime::fromParts(2000, 1, 1, 7, 30, 0), 1);
    kv.SetBellTimeMode(kSource, 1);
    FakeDialogs dialogs;
    frmKelvra_BellTable window(kv, kSource, dialogs);
    window.show();
    auto click = [&](const QString& name) {
        QTest::mouseClick(Child<QAbstractButton>(window, name), Qt::LeftButton);
    };
    auto bell = [&](int slot) {
        return terminal.host().withTerminal(kSource, [slot](auto& t) { return t.bell(slot); });
    };

    click("optWeekDay(2)");
    click("cmdCtrl(2)"); // "Get Bell Times"
    EXPECT_EQ(Child<QLineEdit>(window, "txtBellWeekMode(3)")->text(), "07:30:00");
    EXPECT_TRUE(Child<QCheckBox>(window, "chkBellWeekMode(3)")->isChecked());
    click("cmdCtrl(4)"); // "Get Bell Time Mode"
    EXPECT_EQ(Child<QComboBox>(window, "cboBellTableMode")->currentText(), "Week");

    Child<QLineEdit>(window, "txtBellWeekMode(31)")->setText("18:45:00");
    click("chkBellWeekMode(31)");
    click("chkBellWeekMode(3)");
    click("cmdCtrl(1)"); // "Set Bell Times"
    EXPECT_EQ(bell(2 * 32 + 31).time, "18:45:00");
    EXPECT_EQ(bell(2 * 32 + 31).enabled, 1);
    EXPECT_EQ(bell(2 * 32 + 3).enabled, 0);
    Child<QComboBox>(window, "cboBellTableMode")->setCurrentIndex(0);
    click("cmdCtrl(3)"); // "Set Bell Time Mode"
    EXPECT_EQ(terminal.host().withTerminal(kSource, [](auto& t) { return t.bellMode(); }), 0);
    click("cmdCtrl(0)"); // "Clear Bell Time Settings"
    EXPECT_EQ(bell(2 * 32 + 31).time, "00:00:00");
    EXPECT_TRUE(dialogs.messageBoxes.empty());

    // A click while a press waits is dropped: its command would take the waiting reply.
    terminal.host().applyFaultSpec("delay=300");
    terminal.host().clearReceived();
    QTimer::singleShot(100, &window, [&] { click("cmdCtrl(0)"); });
    click("cmdCtrl(4)");
    EXPECT_EQ(Commands(terminal.host()), "WS ");
    terminal.host().applyFaultSpec("none");

    // A mode the list does not offer ends the action with the fault trap's box.
    kv.SetBellTimeMode(kSource, 7);
    click("cmdCtrl(4)");
    ASSERT_EQ(dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(dialogs.messageBoxes[0].title, "380");
    EXPECT_EQ(Child<QComboBox>(window, "cboBellTableMode")->currentIndex(), 0);
}

sim::SimulatorOptions WithoutStoredRecords() {
    sim::SimulatorOptions options;
    options.terminal.initialRecords = 0;
    return options;
}

TEST(ReadCardWindow, APresentedCardFillsTheCodeBoxAndClosingLeavesExtendedMode) {
    SimulatedTerminal terminal(kAddress, WithoutStoredRecords());
    terminal.connect(Link::Udp);
    FakeDialogs dialogs;
    frmKelvra_ReadCard window(*terminal.kv, kSource, dialogs, terminal.platform().clock);
    window.show();
    auto extended = [&] {
        return terminal.host().withTerminal(kSource, [](auto& t) { return t.extendedMode(); });
    };
    ASSERT_TRUE(WaitUntil(extended));
    auto* code = Child<QLineEdit>(window, "txtCardCode");
    terminal.host().addPunchRecord(kSource, "87654321");
    ASSERT_TRUE(WaitUntil([&] { return code->text() == "87654321"; }));
    QTest::mouseDClick(code, Qt::LeftButton);
    EXPECT_EQ(code->text(), "");

    // A record without a card field (field 3) leaves the box as it is and says why.
    code->setText("before");
    terminal.kv->KelvraDataArival.raise("COM1", kSource, "a\tb\tc", 0);
    EXPECT_EQ(code->text(), "before");
    ASSERT_EQ(dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(dialogs.messageBoxes[0].title, "9");

    QTest::mouseClick(Child<QPushButton>(window, "Command1"), Qt::LeftButton);
    EXPECT_FALSE(extended());
    EXPECT_FALSE(window.isVisible());
}

// A close before the start, or while the start waits for the terminal, still ends with the
// logoff, after any logon: the terminal is never left pushing records to no one.
TEST(ReadCardWindow, ClosingEarlyNeverLeavesTheTerminalInExtendedMode) {
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "XF "},          // before the 500 ms start: the start never runs
        {650, "LO XO XF "}}; // during the logout's wait: the close waits for the logon
    for (const auto& [closeAfterMs, commands] : cases) {
        SCOPED_TRACE(closeAfterMs);
        SimulatedTerminal terminal(kAddress, WithoutStoredRecords());
        terminal.host().applyFaultSpec("delay=300");
        terminal.connect(Link::Udp);
        terminal.host().clearReceived();
        FakeDialogs dialogs;
        frmKelvra_ReadCard window(*terminal.kv, kSource, dialogs, terminal.platform().clock);
        window.show();
        QTimer::singleShot(closeAfterMs, &window, [&window] { window.close(); });
        ASSERT_TRUE(WaitUntil([&] { return !window.isVisible(); }, 5000));
        PumpFor(frmKelvra_ReadCard::kStartDelayMs + 100);
        EXPECT_EQ(Commands(terminal.host()), commands);
        EXPECT_FALSE(
            terminal.host().withTerminal(kSource, [](auto& t) { return t.extendedMode(); }));
    }
}

} // namespace
} // namespace kelvra::test
