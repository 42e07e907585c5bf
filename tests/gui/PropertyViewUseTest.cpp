// The property view against a scripted terminal in virtual time: the retry counts, a load that
// stops after the command in flight, values shown old until read again; the record editor.
#include "PropertyViewRig.h"
#include "driver/LinkKinds.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <sstream>

namespace kelvra {
namespace {

using test::Child;
using test::Fails;
using test::ScriptedTerminal;

// A failed check leaves the view open for another Refresh; a silent terminal is named so.
TEST(PropertyViewUse, TheStatusCheckAndTheItemCountShareOneRetryCounter) {
    struct Row {
        int statusFailures, countFailures;
        std::size_t statusSent, countSent;
        std::string panel;
        std::string message = "KV_ERR_COMMAND_EXECUTION_FAILED\n";
        const char* failure = "F";
    };
    const std::vector<Row> rows = {
        {0, 0, 1, 1, "On-Line", ""},
        {3, 99, 4, 2, "Connect Failed."}, // counter at 3: the count gets attempts 4 and 5
        {0, 99, 1, 5, "Connect Failed."},
        {99, 0, 4, 0, "Retry... 4"}, // Retries+1 status attempts
        {99, 0, 4, 0, "Retry... 4",
         "The terminal did not answer (KV_ERR_TIMEOUT, 4 tries). Check the link and the "
         "terminal, then press Refresh.\n",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.panel + row.failure);
        ScriptedTerminal rig;
        rig.script = {{"LS", std::vector<std::string>(row.statusFailures, row.failure)},
                      {"IC", Fails(row.countFailures, "A0")}};
        rig.script["LS"].push_back("AO");
        rig.view.show();
        rig.load();
        EXPECT_EQ(rig.sent("LS"), row.statusSent);
        EXPECT_EQ(rig.sent("IC"), row.countSent);
        EXPECT_EQ(rig.view.StatusText(1), row.panel);
        // A reconnect after every failed status query.
        EXPECT_EQ(std::count(rig.links.journal.begin(), rig.links.journal.end(), "close socket 0"),
                  std::min<long>(row.statusFailures, static_cast<long>(row.statusSent)));
        EXPECT_EQ(rig.view.LoginIsOK(), row.message.empty());
        EXPECT_EQ(rig.boxes(), row.message);
        EXPECT_TRUE(rig.view.isVisible());
        rig.script = {{"LS", {"AO"}}, {"IC", {"A0"}}};
        Child<QAction>(rig.view, "mnuFiles(0)")->trigger(); // "&Refresh"
        EXPECT_EQ(rig.view.StatusText(1), "On-Line");
        EXPECT_EQ(rig.grid().rowCount(), 1); // no items: the punch row
        EXPECT_TRUE(rig.view.LoginIsOK());
    }
    // Handed no address, the view leaves the driver its own.
    ScriptedTerminal rig;
    rig.script = {{"LS", {"AO"}}, {"IC", {"A0"}}};
    rig.load();
    rig.view.SetLink({7, "", 1, 1});
    Child<QAction>(rig.view, "mnuFiles(0)")->trigger();
    EXPECT_EQ(rig.KV.IP(), "127.0.0.1");
}

// On a link that carries several terminals Refresh first selects the terminal by polling it;
// on any other it only loads.
TEST(PropertyViewUse, RefreshPollsFirstOnlyOnALinkOfSeveralTerminals) {
    for (const auto& [kind, first] : {std::pair{kDatagramLink, "LS "}, std::pair{7, "BW LS "}}) {
        ScriptedTerminal rig;
        rig.script = {{"LS", {"AO"}}, {"IC", {"A0"}}};
        rig.load();
        rig.view.SetLink({kind, "127.0.0.1", 1, 1});
        rig.KV.SetCommunicationType(kind);
        const std::size_t before = rig.requests.size();
        Child<QAction>(rig.view, "Refresh")->trigger();
        EXPECT_EQ(rig.wire(before).substr(0, std::strlen(first)), first) << kind;
        EXPECT_EQ(rig.requests.at(before).substr(0, 6), kind == 7 ? "BW0000" : "LS");
    }
}

TEST(PropertyViewUse, DescriptorsTakeRetriesAttemptsMembersShareOneAndMaskedValuesMarkPasswords) {
    ScriptedTerminal rig;
    rig.script = {
        {"LS", {"AO"}},
        {"IC", {"A5"}},
        {"I?00", {"ASIZE3\t100\tVAL\t3\t4\tThree\t\t"}},
        {"IG00", {"A10", "A11", "A12"}},
        {"I?01", {"ALOGINPWD\t101\tSTR\t1\t8\tPassword\t\t"}},
        {"IG01", {"Asecret"}},
        {"I?02", {"AFAILS\t102\tVAL\t2\t4\tFailing\t\t"}},
        {"IG02", {"F"}},
        {"I?03", {"AHIDDEN\t103\tSTR\t1\t8\tHidden\t\t"}},
        {"IG03", {"D"}},
        {"I?04", {"F"}},
    };
    rig.load();
    EXPECT_EQ(rig.sent("IG00"), 3u);
    EXPECT_EQ(rig.shown(0), "12"); // the members share the cell; the last one read stays
    EXPECT_EQ(rig.shown(1), "********");
    EXPECT_EQ(rig.sent("IG02"), 5u); // 4 attempts for member 0 spend the budget of 3 retries
    EXPECT_EQ(rig.shown(2), "");
    EXPECT_EQ(rig.shown(3), "********");
    EXPECT_EQ(rig.view.PasswordRow(), 3);
    EXPECT_EQ(rig.sent("I?04"), 3u); // Retries attempts at a descriptor, then the load goes on
}

// Stop, a close and Exit during a Refresh, at item 1's descriptor: the first load's values show
// old until read again, and the rows not reached say so.
TEST(PropertyViewUse, ALoadStopsAfterTheCommandInFlightKeepingWhatItRead) {
    for (const std::string action : {"cmdStop", "close", "mnuFiles(2)"}) {
        ScriptedTerminal rig;
        rig.script = {{"LS", {"AO"}},
                      {"IC", {"A3"}},
                      {"IG", {"A5", "A5", "A5", "A6"}},
                      {"I?0", {"AN\t1\tVAL\t1\t4\tItem"}}};
        rig.view.show();
        rig.load();
        rig.onRequest = [&](const std::string& body) {
            if (body == "I?01") {
                EXPECT_TRUE(rig.grid().item(2, 1)->font().italic() && !rig.reachable(2));
                Child<QAction>(rig.view, "Login")->trigger(); // dropped: it would run inside
                action == "close"     ? void(rig.view.close())
                : action == "cmdStop" ? Child<QPushButton>(rig.view, "cmdStop")->click()
                                      : Child<QAction>(rig.view, action.c_str())->trigger();
            }
        };
        rig.load();
        EXPECT_EQ(rig.sent("I?02") + rig.sent("XU") + rig.sent("LI"), 2u) << action;
        EXPECT_EQ(rig.view.isVisible(), action == "cmdStop");
        EXPECT_EQ(rig.shown(1) + rig.shown(2), "6(not read)");
        EXPECT_FALSE(rig.grid().item(1, 1)->font().italic());
        rig.grid().setCurrentCell(2, 1);
        Child<QAction>(rig.view, "Edit")->trigger();
        EXPECT_EQ(rig.boxes(), "This item has not been read from the terminal. Press Refresh to "
                               "read it.\n");
    }
}

// What the record editor keeps of each step: c<row> a click, t<text> the text field set, k<text>
// typed, g<row><text> typed on the grid, Tab, Ret, bg a click on the background.
TEST(PropertyViewUse, TheRecordEditorKeepsWhatEachFieldTakesAndMovesFieldByField) {
    const std::vector<std::pair<std::string, std::string>> rows = {
        {"c1 t", "7 ADA 31-12-2027"}, // an empty value is never written back
        {"c1 tBOB c1", "7 BOB 31-12-2027"},
        {"c1 tBOB bg", "7 ADA 31-12-2027"},
        // After the background click the row still counts as edited: the next click only ends
        // the edit, and what is typed then goes nowhere.
        {"c1 tBOB bg c1 tCY", "7 ADA 31-12-2027"},
        {"c2 c2", "7 ADA 31-12-2027"},       // the picker starts at the shown date, and shows it so
        {"c0 kx9 Tab", "79 ADA 31-12-2027"}, // a number field takes digits only
        {"c0 Tab kZ Ret Ret", "7 ADAZ 31-12-2027"},
        {"g1Z kOE Ret", "7 ZOE 31-12-2027"}, // typing replaces the value
    };
    for (const auto& [steps, kept] : rows) {
        ScriptedTerminal rig;
        Catalogues catalogues;
        catalogues.items.at(0).Size = 3;
        catalogues.fields.Resize(3);
        for (int field = 0; field < 3; ++field) {
            catalogues.fields.at(field).Type = std::vector{"VAL", "STR", "DATE"}[field];
        }
        frmKelvra_EditRecord record(rig.platform, catalogues);
        record.SetRecordData({"7", "ADA", "31-12-2027"});
        record.show();
        auto& grid = *Child<FlexGrid>(record, "grd");
        std::istringstream words(steps);
        for (std::string step; words >> step;) {
            QWidget* focus = record.focusWidget() ? record.focusWidget() : &record;
            if (step == "bg" || step[0] == 'c') {
                const QPoint cell = grid.visualRect(grid.model()->index(step[1] - '0', 1)).center();
                QTest::mouseClick(step == "bg" ? &record : grid.viewport(), Qt::LeftButton, {},
                                  step == "bg" ? QPoint(1, 1) : cell);
            } else if (step[0] == 't') {
                Child<QLineEdit>(record, "txtFieldData")->setText(step.substr(1).c_str());
            } else if (step[0] == 'g') {
                grid.setCurrentCell(step[1] - '0', 1);
                QTest::keyClicks(&grid, step.substr(2).c_str());
            } else if (step[0] == 'k') {
                QTest::keyClicks(focus, step.substr(1).c_str());
            } else {
                QTest::keyClick(focus, step == "Tab" ? Qt::Key_Tab : Qt::Key_Return);
            }
        }
        Child<QPushButton>(record, "cmdCtrl(0)")->click();
        frmKelvra_EditRecord::Fields fields;
        record.GetRecordData(fields);
        EXPECT_EQ(fields[0] + " " + fields[1] + " " + fields[2], kept) << steps;
    }
}

} // namespace
} // namespace kelvra
