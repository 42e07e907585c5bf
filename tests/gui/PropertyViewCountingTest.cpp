// The counting rules of the property view and its editors, against a scripted terminal behind a
// fake datagram link in virtual time: how many times each command is sent when the terminal
// fails, and what the record editor keeps.
#include "FakeLinks.h"
#include "MemorySettings.h"
#include "PropertyViewRig.h"
#include "VirtualTime.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/ShownDates.h"
#include "property_editor/frmKelvraProperties.h"
#include "property_editor/frmKelvra_EditItemTable.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;

// A driver on a fake datagram link whose terminal answers by `answer` (status letter and data;
// an empty text sends nothing), and the platform of the windows.
struct ScriptedTerminal {
    test::VirtualTime time;
    test::FakeLinkFactory links{time};
    ucKelvra KV{time, time, links};
    test::FakeDialogs dialogs;
    test::MemorySettings machineWide;
    PropertyViewPlatform platform{time, time, machineWide, dialogs};
    std::vector<std::string> requests; // command letters and data
    std::function<std::string(const std::string&)> answer;

    ScriptedTerminal() {
        KV.SetCommunicationType(2);
        KV.SetIP("127.0.0.1");
        KV.Connect();
        links.sockets[0]->peer = [this](const std::string& frame) {
            requests.push_back(frame.substr(3, frame.size() - 8));
            const std::string reply = answer(requests.back());
            if (!reply.empty()) {
                links.sockets[0]->arrive(test::TerminalReply(1, reply), 10);
            }
        };
    }
    int sent(const std::string& start) const {
        return static_cast<int>(std::count_if(requests.begin(), requests.end(),
                                              [&](const auto& r) { return r.starts_with(start); }));
    }
    // The answer to the n-th time (from 1) a command starting so is sent.
    int nth(const std::string& body, const std::string& start) const {
        return body.starts_with(start) ? sent(start) : 0;
    }
};

struct LoadedView : ScriptedTerminal {
    frmKelvraProperties view{platform};

    void load() {
        view.SetKelvraObj(KV);
        view.SetCommunicationType(2);
        view.SetIP("127.0.0.1");
        view.SetSource(1);
        view.SetRetries(3);
        view.LoadItems();
    }
    std::string shown(int row) { return Child<FlexGrid>(view, "grd")->Text(row, 1).toStdString(); }
};

TEST(PropertyViewCounting, TheStatusCheckAndTheItemCountShareOneRetryCounter) {
    struct Row {
        int statusFailures, countFailures;
        int statusSent, countSent;
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
        LoadedView rig;
        rig.answer = [&](const std::string& body) -> std::string {
            if (const int n = rig.nth(body, "LS")) {
                return n > row.statusFailures ? "AO" : "F";
            }
            if (const int n = rig.nth(body, "IC")) {
                return n > row.countFailures ? "A0" : "F";
            }
            return "A00";
        };
        rig.load();
        EXPECT_EQ(rig.sent("LS"), row.statusSent);
        EXPECT_EQ(rig.sent("IC"), row.countSent);
        EXPECT_EQ(rig.view.StatusText(1), row.panel);
        // A reconnect after every failed status query.
        EXPECT_EQ(std::count(rig.links.journal.begin(), rig.links.journal.end(), "close socket 0"),
                  std::min(row.statusFailures, row.statusSent));
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
    LoadedView rig;
    // Item: descriptor, then each member's answers in the order asked.
    const std::map<std::string, std::pair<std::string, std::vector<std::string>>> items = {
        {"00", {"SIZE3\t100\tVAL\t3\t4\tThree\t\t", {"A10", "A11", "A12"}}},
        {"01", {"LOGINPWD\t101\tSTR\t1\t8\tPassword\t\t", {"Asecret"}}},
        {"02", {"FAILS\t102\tVAL\t2\t4\tFailing\t\t", {}}},
        {"03", {"HIDDEN\t103\tSTR\t1\t8\tHidden\t\t", {"D"}}},
    };
    rig.answer = [&](const std::string& body) -> std::string {
        const std::string letters = body.substr(0, 2);
        if (letters == "LS") {
            return "AO";
        }
        if (letters == "IC") {
            return "A4";
        }
        if (letters == "I?") {
            return "A" + items.at(body.substr(2, 2)).first;
        }
        if (letters == "IG") {
            const auto& answers = items.at(body.substr(2, 2)).second;
            const auto n = static_cast<std::size_t>(rig.sent(body.substr(0, 4)) - 1);
            return n < answers.size() ? answers[n] : "F";
        }
        return "A00";
    };
    rig.load();
    EXPECT_EQ(rig.sent("IG00"), 3);
    EXPECT_EQ(rig.shown(0), "12"); // the members share the cell; the last one read stays
    EXPECT_EQ(rig.shown(1), "********");
    EXPECT_EQ(rig.sent("IG02"), 5); // 4 attempts for member 0 spend the budget of 3 retries
    EXPECT_EQ(rig.shown(2), "");
    EXPECT_EQ(rig.shown(3), "********");
    EXPECT_EQ(rig.view.PasswordRow(), 3);
    EXPECT_EQ(rig.view.StatusText(1), "On-Line");
}

TEST(PropertyViewCounting, TableChangesAndTheirItemUpdateShareOneAttemptCounter) {
    struct Row {
        int addFailures, updateFailures;
        int addSent, updateSent, errorBoxes;
    };
    const std::vector<Row> rows = {
        {0, 0, 1, 1, 0},  {3, 0, 4, 1, 0},
        {3, 99, 4, 2, 1}, // the update gets only the attempts the add left
        {99, 0, 5, 1, 1}, {99, 99, 5, 1, 2},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.addFailures * 100 + row.updateFailures);
        ScriptedTerminal rig;
        Catalogues catalogues;
        catalogues.items.at(0).Type = "TAB";
        catalogues.items.at(0).Size = 1;
        catalogues.fields.Resize(1);
        catalogues.fields.at(0).Type = "STR";
        rig.answer = [&](const std::string& body) -> std::string {
            if (const int n = rig.nth(body, "IA")) {
                return n > row.addFailures ? "A" : "F";
            }
            return rig.nth(body, "IU") > row.updateFailures ? "A" : "F";
        };
        frmKelvra_EditItemTable table(rig.platform, catalogues);
        table.SetKelvraObj(rig.KV);
        AnswerWindow(rig.dialogs, "frmKelvra_EditRecord",
                     [](QDialog& record) { Child<QPushButton>(record, "cmdCtrl(0)")->click(); });
        table.AddRecord();
        EXPECT_EQ(rig.sent("IA"), row.addSent);
        EXPECT_EQ(rig.sent("IU"), row.updateSent);
        EXPECT_EQ(static_cast<int>(rig.dialogs.messageBoxes.size()), row.errorBoxes);
    }
}

TEST(PropertyViewCounting, TheRecordEditorCommitsOnlyWhatItShouldKeep) {
    struct Row {
        std::vector<std::string> steps; // "c<row>" click, "t<text>" type, "bg" background
        std::string name;               // field 0 after OK
    };
    const std::vector<Row> rows = {
        {{"c0", "t"}, "ADA"}, // an empty value is never written back
        {{"c0", "tBOB", "c0"}, "BOB"},
        {{"c0", "tBOB", "c1"}, "BOB"},
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
        record.SetItemIdx(0);
        record.SetRecordData({"ADA", "31-12-2027"});
        record.show();
        auto& grid = *Child<QTableWidget>(record, "grd");
        for (const std::string& step : row.steps) {
            if (step == "bg") {
                QTest::mouseClick(&record, Qt::LeftButton, {}, QPoint(1, 1));
            } else if (step[0] == 'c') {
                const int field = step[1] - '0';
                QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                                  grid.visualRect(grid.model()->index(field, 1)).center());
            } else {
                Child<QLineEdit>(record, "txtFieldData")
                    ->setText(QString::fromStdString(step.substr(1)));
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
