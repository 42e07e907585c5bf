// The counting rules of the property view and its editors, against a scripted terminal behind a
// fake datagram link in virtual time: how many times each command is sent when the terminal
// fails, and what the record editor keeps.
#include "ScriptedTerminal.h"
#include "property_editor/ShownDates.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::Child;
using test::Fails;
using test::ScriptedTerminal;

TEST(PropertyViewCounting, TheStatusCheckAndTheItemCountShareOneRetryCounter) {
    struct Row {
        int statusFailures, countFailures;
        std::size_t statusSent, countSent;
        std::string panel;
    };
    const std::vector<Row> rows = {
        {0, 0, 1, 1, "On-Line"},
        {3, 99, 4, 2, "Connect Failed."}, // counter at 3: the count gets attempts 4 and 5
        {0, 99, 1, 5, "Connect Failed."},
        {99, 0, 4, 0, "Retry... 4"}, // Retries+1 status attempts, then the window closes
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.statusFailures * 100 + row.countFailures);
        ScriptedTerminal rig;
        rig.script = {{"LS", Fails(row.statusFailures, "AO")},
                      {"IC", Fails(row.countFailures, "A0")}};
        rig.load();
        EXPECT_EQ(rig.sent("LS"), row.statusSent);
        EXPECT_EQ(rig.sent("IC"), row.countSent);
        EXPECT_EQ(rig.view.StatusText(1), row.panel);
        // A reconnect after every failed status query.
        EXPECT_EQ(std::count(rig.links.journal.begin(), rig.links.journal.end(), "close socket 0"),
                  std::min<long>(row.statusFailures, static_cast<long>(row.statusSent)));
        const bool failed = row.panel != "On-Line";
        EXPECT_EQ(rig.view.LoginIsOK(), !failed);
        if (failed) {
            EXPECT_EQ(rig.dialogs.messageBoxes.back().text, "KV_ERR_COMMAND_EXECUTION_FAILED");
        } else {
            EXPECT_EQ(Child<FlexGrid>(rig.view, "grd")->rowCount(), 1); // no items: the punch row
        }
    }
}

TEST(PropertyViewCounting, MembersShareOneRetryBudgetAndMaskedValuesMarkThePasswordRow) {
    ScriptedTerminal rig;
    rig.script = {
        {"LS", {"AO"}},
        {"IC", {"A4"}},
        {"I?00", {"ASIZE3\t100\tVAL\t3\t4\tThree\t\t"}},
        {"IG00", {"A10", "A11", "A12"}},
        {"I?01", {"ALOGINPWD\t101\tSTR\t1\t8\tPassword\t\t"}},
        {"IG01", {"Asecret"}},
        {"I?02", {"AFAILS\t102\tVAL\t2\t4\tFailing\t\t"}},
        {"IG02", {"F"}},
        {"I?03", {"AHIDDEN\t103\tSTR\t1\t8\tHidden\t\t"}},
        {"IG03", {"D"}},
    };
    rig.load();
    EXPECT_EQ(rig.sent("IG00"), 3u);
    EXPECT_EQ(rig.shown(0), "12"); // the members share the cell; the last one read stays
    EXPECT_EQ(rig.shown(1), "********");
    EXPECT_EQ(rig.sent("IG02"), 5u); // 4 attempts for member 0 spend the budget of 3 retries
    EXPECT_EQ(rig.shown(2), "");
    EXPECT_EQ(rig.shown(3), "********");
    EXPECT_EQ(rig.view.PasswordRow(), 3);
}

TEST(PropertyViewCounting, TheRecordEditorCommitsOnlyWhatItShouldKeep) {
    struct Row {
        std::vector<std::string> steps; // "c<row>" click, "t<text>" type, "bg" background
        std::string name;               // field 0 after OK
    };
    const std::vector<Row> rows = {
        {{"c0", "t"}, "ADA"}, // an empty value is never written back
        {{"c0", "tBOB", "c0"}, "BOB"},
        {{"c0", "tBOB", "bg"}, "ADA"},
        // After the background click the row still counts as edited: the next click only ends
        // the edit, and what is typed then goes nowhere.
        {{"c0", "tBOB", "bg", "c0", "tCY"}, "ADA"},
        {{"c1"}, "ADA"},
    };
    for (const Row& row : rows) {
        ScriptedTerminal rig;
        Catalogues catalogues;
        catalogues.items.at(0).Size = 2;
        catalogues.fields.Resize(2);
        catalogues.fields.at(0).Type = "STR";
        catalogues.fields.at(1).Type = "DATE";
        frmKelvra_EditRecord record(rig.platform, catalogues);
        record.SetRecordData({"ADA", "31-12-2027"});
        record.show();
        auto& grid = *Child<QTableWidget>(record, "grd");
        for (const std::string& step : row.steps) {
            const QPoint cell = grid.visualRect(grid.model()->index(step[1] - '0', 1)).center();
            if (step == "bg") {
                QTest::mouseClick(&record, Qt::LeftButton, {}, QPoint(1, 1));
            } else if (step[0] == 'c') {
                QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell);
            } else {
                Child<QLineEdit>(record, "txtFieldData")->setText(step.substr(1).c_str());
            }
        }
        Child<QPushButton>(record, "cmdCtrl(0)")->click();
        frmKelvra_EditRecord::Fields fields;
        record.GetRecordData(fields);
        EXPECT_EQ(fields[0], row.name) << testing::PrintToString(row.steps);
        // A date opened in its picker keeps its day: the picker starts at the shown date.
        EXPECT_EQ(ReadShownDate(QString::fromStdString(fields[1])), QDate(2027, 12, 31));
    }
}

} // namespace
} // namespace kelvra
