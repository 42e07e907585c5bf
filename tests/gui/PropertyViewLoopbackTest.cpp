// The property view opened from the "Property View" button of the console program as it starts,
// against the terminal simulator over loopback UDP: the load, the login, the table editor
// writing the terminal, the punch error times and the menus.
#include "LoopbackAddresses.h"
#include "ProgramRig.h"
#include "PropertyViewRig.h"
#include "Waiting.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvraProperties.h"

#include <QAction>
#include <QComboBox>
#include <gtest/gtest.h>
#include <regex>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;
using test::WaitUntil;

// The simulator's catalogue, one row per item, and the punch-error-times row after it.
enum Row { kTime, kDate, kMachNo, kMachName, kDateFormat, kPassword };
constexpr int kFirmware = 10, kEmployees = 11, kPunchTimesRow = 12;

void ClickCell(QTableWidget& grid, int row, int column, bool twice = false) {
    const QPoint at = grid.visualRect(grid.model()->index(row, column)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
    if (twice) {
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
    }
}

void ClickButton(QWidget& window, const char* name) {
    QTest::mouseClick(Child<QPushButton>(window, name), Qt::LeftButton);
}

struct PropertyViewLoopback : test::ProgramRig {
    frmKelvraProperties* view = nullptr;
    bool loaded = false;

    PropertyViewLoopback() : ProgramRig(options()) {
        EXPECT_EQ(connect("UDP"), "OK!\n");
        // Button 37, and the load that follows 50 ms later.
        AnswerWindow(dialogs, "frmKelvraProperties",
                     [this](QDialog& shown) { view = static_cast<frmKelvraProperties*>(&shown); });
        click(37);
        loaded = view != nullptr &&
                 WaitUntil([this] { return view->StatusText(1) == "On-Line" && !view->Loading(); },
                           10000);
    }
    static sim::SimulatorOptions options() {
        sim::SimulatorOptions options;
        options.bindAddress = test::LoopbackAddress(10);
        options.tcp = false;
        options.module = false;
        return options;
    }
    FlexGrid& grid() { return *Child<FlexGrid>(*view, "grd"); }
    std::string shown(int row) { return grid().Text(row, 1).toStdString(); }
    bool reachable(int row) { return grid().Colour(row, 1) == WindowTextColour(); }
    void choose(const char* action) { Child<QAction>(*view, action)->trigger(); }
    // The toolbar's Edit on a row, with `act` working the editor that opens.
    void edit(int row, const char* editor, std::function<void(QDialog&)> act) {
        AnswerWindow(dialogs, editor, std::move(act));
        grid().setCurrentCell(row, 1);
        choose("Edit");
    }
    void login() {
        int asked = 0;
        AnswerWindow(dialogs, "frmKelvra_LoginPassword", [&asked](QDialog& dialog) {
            QTest::keyClicks(Child<QLineEdit>(dialog, "txtPassword"),
                             ++asked == 1 ? "0000" : "1234");
            ClickButton(dialog, "cmdCtrl(0)");
        });
        choose("mnuTools(0)"); // "Log&in"
        EXPECT_EQ(asked, 2);
        EXPECT_EQ(dialogs.messageBoxes.back().text, "Invalid password");
    }
};

TEST(PropertyViewLoopback, LoadsLogsInAndRunsTheMenus) {
    PropertyViewLoopback rig;
    ASSERT_TRUE(rig.loaded);
    ASSERT_EQ(rig.grid().rowCount(), kPunchTimesRow + 1);
    EXPECT_TRUE(std::regex_match(rig.shown(kTime), std::regex(R"(\d\d:\d\d:\d\d)")));
    EXPECT_EQ(rig.shown(kMachName), "KELVRA-SIM");
    EXPECT_EQ(rig.shown(kDateFormat), "1 DD-MM-YYYY"); // the caption of the value 1
    EXPECT_EQ(rig.shown(kPassword), "********");
    EXPECT_EQ(rig.view->PasswordRow(), kPassword);
    EXPECT_EQ(rig.shown(kEmployees), "<Table>");
    EXPECT_EQ(rig.view->StatusText(2), "Source: 1");
    // Logged out, only what the terminal offers without login is reachable.
    EXPECT_TRUE(rig.reachable(kTime));
    EXPECT_FALSE(rig.reachable(kMachName));
    rig.dialogs.inputAnswers = {"7"};
    ClickCell(rig.grid(), kPunchTimesRow, 1, true);
    EXPECT_EQ(rig.simulator->withTerminal(1, [](auto& t) { return t.punchTimes(); }), 7);
    EXPECT_EQ(rig.shown(kPunchTimesRow), "7");
    // The terminal refuses before login: the refusal is shown, not the success text.
    rig.choose("mnuTools(4)"); // "&Delete Old Data"
    EXPECT_EQ(rig.dialogs.messageBoxes.back(),
              (test::FakeDialogs::MessageBoxCall{"KV_ERR_ACCESS_DENIED", MessageButtons::Ok,
                                                 MessageIcon::Warning, ""}));

    rig.login();
    EXPECT_TRUE(rig.reachable(kMachName));
    EXPECT_FALSE(rig.reachable(kFirmware));
    rig.grid().setCurrentCell(kFirmware, 1);
    rig.choose("Edit");
    EXPECT_EQ(rig.dialogs.messageBoxes.back().text, "This item is read-only by nature");

    for (const auto& [entry, command, success] :
         std::vector<std::tuple<const char*, const char*, const char*>>{
             {"mnuTools(3)", "RR", "Reset Old Data OK."},
             {"mnuTools(4)", "RO", "Delete Old Data OK."},
             {"mnuTools(5)", "RI", "Initialize Database OK."},
             {"mnuTools(6)", "RM", "Recover Database OK."}}) {
        rig.choose(entry);
        EXPECT_EQ(rig.simulator->receivedFrames().back().frame.substr(3, 2), command);
        EXPECT_EQ(rig.dialogs.messageBoxes.back().text, success);
    }
    EXPECT_TRUE(rig.simulator->withTerminal(1, [](auto& t) { return t.newRecords().empty(); }));

    AnswerWindow(rig.dialogs, "frmKelvra_BellTable", [](QDialog& bellTable) {
        Child<QComboBox>(bellTable, "cboBellTableMode")->setCurrentIndex(1);
        ClickButton(bellTable, "cmdCtrl(3)"); // "Set Bell Time Mode", after login only
        bellTable.reject();
    });
    rig.choose("mnuTools(8)");
    EXPECT_EQ(rig.simulator->withTerminal(1, [](auto& t) { return t.bellMode(); }), 1);
}

// The records of the simulator's table item, as "IF" gives them.
std::vector<std::string> SimulatorTable(sim::SimulatorHost& simulator) {
    std::vector<std::string> records;
    simulator.withTerminal(1, [&records](sim::TerminalModel& terminal) {
        const auto now = sim::SteadyClock::now();
        terminal.handleCommand("IT11", now);
        for (std::string reply;
             records.size() < 20 &&
             (reply = terminal.handleCommand("IF11", now).value_or("E"))[0] == 'A';
             terminal.handleCommand("IH11", now)) {
            records.push_back(reply.substr(1));
        }
    });
    return records;
}

TEST(PropertyViewLoopback, TheTableItemEditorAddsEditsAndRemovesRecords) {
    PropertyViewLoopback rig;
    ASSERT_TRUE(rig.loaded);
    rig.login();
    // The record editor: a click on a row opens its editor, the next click commits it.
    const auto typeInto = [](QDialog& record, std::vector<std::pair<int, const char*>> entries) {
        auto& grid = *Child<QTableWidget>(record, "grd");
        for (const auto& [row, text] : entries) {
            ClickCell(grid, row, 1);
            Child<QLineEdit>(record, "txtFieldData")->setText(text);
        }
        ClickButton(record, "cmdCtrl(0)");
    };
    rig.edit(kEmployees, "frmKelvra_EditItemTable", [&](QDialog& table) {
        auto& grid = *Child<QTableWidget>(table, "grd");
        auto* add = Child<QAction>(table, "Add");
        ASSERT_TRUE(WaitUntil([&] { return add->isEnabled(); })); // once the records are read
        ASSERT_EQ(grid.rowCount(), 2);
        EXPECT_EQ(grid.item(1, 3)->text(), "1 Night"); // the shift's caption
        AnswerWindow(rig.dialogs, "frmKelvra_EditRecord", [&](QDialog& record) {
            typeInto(record, {{0, "7"}, {1, "CLIO"}});
        });
        add->trigger();
        grid.setCurrentCell(0, 2);
        AnswerWindow(rig.dialogs, "frmKelvra_EditRecord", [&](QDialog& record) {
            typeInto(record, {{1, "ADELE"}});
        });
        Child<QAction>(table, "Edit")->trigger();
        grid.setCurrentCell(1, 2);
        Child<QAction>(table, "Remove")->trigger();
        EXPECT_EQ(grid.rowCount(), 2);
        table.reject();
    });
    const std::vector<std::string> records = SimulatorTable(*rig.simulator);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0], "1\t1\tADELE\t0\t31-12-2027\t08:00:00");
    EXPECT_TRUE(
        std::regex_match(records[1], std::regex(R"(3\t7\tCLIO\t0\t\d\d-\d\d-\d{4}\t00:00:00)")))
        << records[1];
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 2u) << rig.dialogs.messageBoxes.back();
    EXPECT_EQ(rig.dialogs.messageBoxes[1].text,
              "Remove record 2 (2, BOB, 1 Night, 30-06-2026, 22:00:00) from \"Employees\"?");
}

} // namespace
} // namespace kelvra
