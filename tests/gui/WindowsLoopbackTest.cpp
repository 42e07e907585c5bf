// The card reading window on the Qt platform against the simulator over loopback UDP, as the
// property view opens it: with its driver and the source ID.
#include "FakeDialogs.h"
#include "LoopbackAddresses.h"
#include "PropertyViewRig.h"
#include "SimFrames.h"
#include "SimulatedTerminal.h"
#include "Waiting.h"
#include "widgets/frmKelvra_ReadCard.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <tuple>

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
// logoff, after any logon: the terminal is never left pushing records to no one. A refused
// logout is shown, and no logon follows it.
TEST(ReadCardWindow, ClosingEarlyNeverLeavesTheTerminalInExtendedMode) {
    const std::vector<std::tuple<int, std::string, std::string>> cases = {
        {0, "XF ", ""},            // before the 500 ms start: the start never runs
        {650, "LO XO XF ", ""},    // during the logout's wait: the close waits for the logon
        {1500, "LO XF ", "D:LO"}}; // the logout refused
    for (const auto& [closeAfterMs, commands, refused] : cases) {
        SCOPED_TRACE(closeAfterMs);
        SimulatedTerminal terminal(kAddress, WithoutStoredRecords());
        terminal.host().applyFaultList("delay=300" + (refused.empty() ? "" : ",refuse=" + refused));
        terminal.connect(Link::Udp);
        terminal.host().clearReceived();
        FakeDialogs dialogs;
        frmKelvra_ReadCard window(*terminal.kv, kSource, dialogs, terminal.platform().clock);
        window.show();
        QTimer::singleShot(closeAfterMs, &window, [&window] { window.close(); });
        ASSERT_TRUE(WaitUntil([&] { return !window.isVisible(); }, 5000));
        PumpFor(frmKelvra_ReadCard::kStartDelayMs + 100);
        EXPECT_EQ(Commands(terminal.host()), commands);
        EXPECT_EQ(dialogs.messageBoxes.empty() ? "" : dialogs.messageBoxes[0].text,
                  refused.empty() ? "" : "KV_ERR_ACCESS_DENIED");
        EXPECT_FALSE(
            terminal.host().withTerminal(kSource, [](auto& t) { return t.extendedMode(); }));
    }
}

} // namespace
} // namespace kelvra::test
