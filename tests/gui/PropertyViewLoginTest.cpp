// Login and logout as the property view runs them: on opening when the option asks for it, from
// the menu, and on closing, with what closing keeps of the terminal; and the view's keys.
#include "PropertyViewRig.h"
#include "driver/LinkKinds.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;
using test::ScriptedTerminal;

// Auto-login leaves the extended mode a terminal is in first, then tries the empty password and
// asks for another while the terminal refuses it; a cancel, or another refusal, leaves the view
// unusable, so it closes at its deferred start instead of loading.
TEST(PropertyViewLogin, AutoLoginOnOpeningAsksUntilTheTerminalTakesAPassword) {
    struct Row {
        std::string status;                            // the status the terminal reports
        std::vector<std::string> logins;               // its answers to the logins in turn
        std::vector<std::optional<std::string>> typed; // the passwords typed; nullopt: Cancel
        std::string wire;
        bool usable;
        std::string boxes = "";
    };
    const Row rows[] = {
        {"AXI", {"A"}, {}, "LS XF LI ", true},
        {"AO", {"D", "D", "A"}, {"0000", "1234"}, "LS LI LI LI ", true, "Invalid password\n"},
        {"AO", {"D"}, {std::nullopt}, "LS LI ", false},
        {"AO", {"F"}, {}, "LS LI ", false, "KV_ERR_COMMAND_EXECUTION_FAILED\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.wire);
        ScriptedTerminal rig;
        rig.machineWide.values[{"usKelvra", "Properties", "Login"}] = "1";
        rig.script = {{"LS", {row.status}}, {"LI", row.logins}};
        std::size_t asked = 0;
        AnswerWindow(rig.dialogs, "frmKelvra_LoginPassword", [&](QDialog& dialog) {
            const auto& typed = row.typed.at(asked++);
            if (typed) {
                QTest::keyClicks(Child<QLineEdit>(dialog, "txtPassword"), typed->c_str());
            }
            QTest::mouseClick(Child<QPushButton>(dialog, typed ? "cmdCtrl(0)" : "cmdCtrl(1)"),
                              Qt::LeftButton);
        });
        std::string opening;
        AnswerWindow(rig.dialogs, "frmKelvraProperties", [&](QDialog&) { opening = rig.wire(); });
        rig.view.SetKelvraObj(rig.KV);
        rig.view.SetLink({kDatagramLink, "127.0.0.1", 1, 1});
        rig.view.ShowModal();
        EXPECT_EQ(opening, row.wire);
        EXPECT_EQ(asked, row.typed.size());
        EXPECT_EQ(rig.view.LoginIsOK(), row.usable);
        EXPECT_EQ(rig.boxes(), row.boxes);
        EXPECT_EQ(rig.view.Password(), row.usable && !row.typed.empty() ? "1234" : "");
    }
}

// The menu says when there is nothing to do; closing logs out when the option asks for it and
// keeps the machine number and name the load read.
TEST(PropertyViewLogin, TheMenuNotesWhatIsDoneAlreadyAndClosingKeepsTheMachine) {
    ScriptedTerminal rig;
    rig.machineWide.values[{"usKelvra", "Properties", "Logout"}] = "1";
    rig.script = {{"LS", {"AI"}},
                  {"IC", {"A2"}},
                  {"I?00", {"AMACHNO\t102\tVAL\t1\t40\tMachine Number"}},
                  {"I?01", {"AMACHNAME\t103\tSTR\t1\t40\tMachine Name"}},
                  {"IG00", {"A7"}},
                  {"IG01", {"AGATE 7"}},
                  {"LO", {"F", "A"}}};
    rig.view.show();
    rig.load();
    Child<QAction>(rig.view, "mnuTools(0)")->trigger(); // "Log&in"
    Child<QAction>(rig.view, "mnuTools(1)")->trigger(); // "Log&out", refused: still logged in
    Child<QAction>(rig.view, "mnuTools(1)")->trigger();
    Child<QAction>(rig.view, "mnuTools(1)")->trigger();
    EXPECT_EQ(rig.boxes(), "You are logged in already\nKV_ERR_COMMAND_EXECUTION_FAILED\n"
                           "You are logged out already\n");
    const std::size_t before = rig.requests.size();
    rig.view.close();
    EXPECT_EQ(rig.wire(before), "LO ");
    EXPECT_EQ(rig.view.MachNo(), 7);
    EXPECT_EQ(rig.view.MachName(), "GATE 7");
}

// Logged out, an item writable after login is refused with the reason, a read-only one with
// its own; a descriptor that keeps failing ends the item loop with the tries counted.
TEST(PropertyViewLogin, LoggedOutTheViewRefusesWhatNeedsALogin) {
    ScriptedTerminal rig;
    rig.script = {{"LS", {"AO"}},
                  {"IC", {"A3"}},
                  {"I?00", {"AAFTER\t100\tVAL\t1\t8\tAfter login"}},
                  {"I?01", {"AFIXED\t101\tVAL\t1\t0\tRead-only"}},
                  {"I?02", {"F"}}};
    std::string panel;
    rig.onRequest = [&](const std::string& body) {
        panel = body == "XU" ? rig.view.StatusText(1) : panel;
    };
    rig.view.show();
    rig.load();
    EXPECT_EQ(panel, "Failed Tries 3");
    for (const int row : {0, 1}) {
        rig.grid().setCurrentCell(row, 1);
        Child<QAction>(rig.view, "Edit")->trigger();
    }
    EXPECT_EQ(rig.boxes(), "KV_ERR_COMMAND_EXECUTION_FAILED\nYou are not logged in. Login first, "
                           "then try anain.\nThis item is read-only by nature\n");
}

// From the keyboard: the help follows the arrow keys, Enter and F2 open the editor of the
// selected row, and Esc asks before it closes a loaded view.
TEST(PropertyViewLogin, TheKeyboardMovesEditsAndClosesOnlyWhenAsked) {
    ScriptedTerminal rig;
    rig.script = {{"LS", {"AO"}},
                  {"IC", {"A2"}},
                  {"I?00", {"AONE\t100\tVAL\t1\t4\tOne\tFirst help"}},
                  {"I?01", {"ATWO\t101\tVAL\t1\t4\tTwo\tSecond help"}}};
    rig.view.show();
    rig.load();
    std::vector<std::string> edited;
    AnswerWindow(rig.dialogs, "frmKelvra_EditItemArray",
                 [&](QDialog& editor) { edited.push_back(editor.windowTitle().toStdString()); });
    auto& grid = rig.grid();
    grid.setFocus();
    grid.setCurrentCell(0, 1);
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(Child<QPlainTextEdit>(rig.view, "txtHelp")->toPlainText(), "Second help");
    QTest::keyClick(&grid, Qt::Key_F2);
    QTest::keyClick(&grid, Qt::Key_Up);
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(edited, (std::vector<std::string>{"Edit Item - Two", "Edit Item - One"}));
    rig.dialogs.messageAnswers = {MessageAnswer::No, MessageAnswer::Yes};
    QTest::keyClick(&rig.view, Qt::Key_Escape);
    EXPECT_TRUE(rig.view.isVisible());
    QTest::keyClick(&rig.view, Qt::Key_Escape);
    EXPECT_FALSE(rig.view.isVisible());
    EXPECT_EQ(rig.boxes(), "Close the property view?\nClose the property view?\n");
}

} // namespace
} // namespace kelvra
