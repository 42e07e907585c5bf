// Waiting the operator can see and end: the property view's load stopped or closed after the
// command in flight, old values marked until read again, a silent terminal reported once, and
// the editors' busy pointer and status text.
#include "ScriptedTerminal.h"
#include "property_editor/frmKelvra_EditItemArray.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;
using test::ScriptedTerminal;

TEST(PropertyViewWaiting, ALoadStopsAfterTheCommandInFlightKeepingWhatItRead) {
    struct Row {
        bool refresh;       // a load before, whose values are old during this one
        const char* action; // at the request of item 1's descriptor
        bool closes;
    };
    const std::vector<Row> rows = {{false, "cmdStop", false},
                                   {true, "cmdStop", false},
                                   {true, "close", true},
                                   {false, "mnuFiles(2)", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.action) + (row.refresh ? " refresh" : ""));
        ScriptedTerminal rig;
        rig.describeItems(3);
        rig.view.show();
        if (row.refresh) {
            rig.load();
            rig.script["IG"] = {"A6"};
        }
        bool oldDuringLoad = false;
        rig.onRequest = [&](const std::string& body) {
            if (body == "I?01") {
                const QTableWidgetItem* cell = rig.grid().item(2, 1);
                oldDuringLoad =
                    cell != nullptr && cell->font().italic() && cell->foreground().color() == kGray;
                row.action == std::string("close") ? void(rig.view.close())
                : row.action == std::string("cmdStop")
                    ? Child<QPushButton>(rig.view, "cmdStop")->click()
                    : Child<QAction>(rig.view, row.action)->trigger();
            }
        };
        rig.load();
        EXPECT_EQ(oldDuringLoad, row.refresh);
        EXPECT_EQ(rig.sent("I?02"), row.refresh ? 1u : 0u);
        EXPECT_EQ(rig.sent("XU"), row.refresh ? 1u : 0u);
        EXPECT_EQ(rig.view.isVisible(), !row.closes);
        EXPECT_EQ(rig.shown(1), row.refresh ? "6" : "5");
        EXPECT_FALSE(rig.grid().item(1, 1)->font().italic());
        EXPECT_EQ(rig.shown(2), "(not read)");
        if (!row.closes) {
            EXPECT_EQ(rig.view.StatusText(1), "Stopped: 2 of 4 rows read.");
            rig.grid().setCurrentCell(2, 1);
            Child<QAction>(rig.view, "Edit")->trigger();
            EXPECT_EQ(rig.dialogs.messageBoxes.back().text,
                      "This item has not been read from the terminal. Press Refresh to read it.");
        }
    }
}

TEST(PropertyViewWaiting, ASilentTerminalIsReportedOnceAndTheViewWaitsForAnotherRefresh) {
    ScriptedTerminal rig;
    rig.describeItems(3);
    rig.script["LS"] = {""};
    rig.view.show();
    rig.load();
    EXPECT_EQ(rig.sent("LS"), 4u);
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_TRUE(rig.dialogs.messageBoxes[0].text.starts_with("The terminal did not answer"));
    EXPECT_TRUE(rig.view.isVisible());
    EXPECT_FALSE(rig.view.LoginIsOK());
    rig.script["LS"] = {"AO"};
    Child<QAction>(rig.view, "mnuFiles(0)")->trigger(); // "&Refresh"
    EXPECT_EQ(rig.view.StatusText(1), "On-Line");
    EXPECT_EQ(rig.shown(2), "5");
    EXPECT_TRUE(rig.view.LoginIsOK());
}

// While the editor's write waits, the pointer is busy and the status panel names the item.
TEST(PropertyViewWaiting, AnEditorWritesUnderTheBusyPointerSayingWhatItWrites) {
    ScriptedTerminal rig;
    rig.describeItems(3);
    rig.load();
    std::string panel;
    std::vector<bool> busy;
    rig.onRequest = [&](const std::string&) {
        panel = rig.view.StatusText(1);
        busy = rig.dialogs.busyChanges;
    };
    AnswerWindow(rig.dialogs, "frmKelvra_EditItemArray", [&](QDialog& editor) {
        EXPECT_EQ(editor.windowTitle().toStdString(), "Edit Item - Item 1");
        auto* value = Child<QLineEdit>(editor, "txtItemData");
        ASSERT_TRUE(QTest::qWaitFor([value] { return value->isVisible(); }, 1000));
        value->setText("8");
        rig.dialogs.busyChanges.clear();
        Child<QPushButton>(editor, "cmdCtrl(0)")->click();
    });
    rig.grid().setCurrentCell(1, 1);
    QTest::keyClick(&rig.grid(), Qt::Key_F2);
    EXPECT_EQ(rig.requests.back(), "IS01008");
    EXPECT_EQ(panel, "Writing \"Item 1\"...");
    EXPECT_EQ(busy, std::vector<bool>{true});
    EXPECT_EQ(rig.dialogs.busyChanges, (std::vector<bool>{true, false}));
    EXPECT_EQ(rig.view.StatusText(1), "On-Line");
    EXPECT_EQ(rig.shown(1), "8");
}

} // namespace
} // namespace kelvra
