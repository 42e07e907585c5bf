// What the property view and its editors write to a scripted terminal in virtual time: once per
// press, only what the operator meant, never a record by an index it lacks, and what it kept.
#include "PropertyViewRig.h"
#include "property_editor/frmKelvra_EditItemArray.h"
#include "property_editor/frmKelvra_EditItemTable.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QAction>
#include <QLineEdit>
#include <QMetaProperty>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <tuple>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;
using test::ScriptedTerminal;

// The editor open on item "Level" of `type` with `;`-separated captions, showing `shown`; with
// `prepared` once its value control shows.
struct ArrayEditorRig : ScriptedTerminal {
    ItemCatalogue items;
    std::unique_ptr<frmKelvra_EditItemArray> editor;
    std::string status; // what the editor says, and whether the pointer is busy, as it sends
    bool busyAsSent = false;

    void open(const std::string& type, const std::string& captions, const std::string& shown,
              bool prepared, int flags = ItemDescriptor::kAvailableWithoutLogin) {
        items.at(0) = *ParseItemDescriptor("L\t1\t" + type + "\t1\t" + std::to_string(flags) +
                                           "\tLevel\t\t" + captions);
        editor = std::make_unique<frmKelvra_EditItemArray>(platform, items);
        editor->SetKelvraObj(KV);
        editor->SetItemIdx(0);
        editor->SetItemData(shown);
        editor->SetShowStatus([this](const std::string& text) { status += text; });
        onRequest = [this](const std::string&) { busyAsSent = dialogs.busyChanges.size() == 1; };
        editor->show();
        if (prepared) {
            QTest::qWait(frmKelvra_EditItemArray::kDeferredStartMs + 30);
        }
    }
    // Into the value control shown, as its own kind of value (a date as 2030-12-24).
    void type(const QString& typed) {
        for (const char* name : {"dtpTime", "dtpDate", "cboItemData", "txtItemData"}) {
            if (auto* control = Child<QWidget>(*editor, name); control->isVisible()) {
                control->setProperty(control->metaObject()->userProperty().name(), typed);
            }
        }
    }
    void press(const std::string& key) {
        const std::vector<std::string> buttons = {"ok", "cancel", "sync", "default"};
        const auto index = std::ranges::find(buttons, key) - buttons.begin();
        if (index == 4) {
            QTest::keyClick(editor.get(), key == "esc" ? Qt::Key_Escape : Qt::Key_Return);
        } else {
            Child<QPushButton>(*editor, QString("cmdCtrl(%1)").arg(index))->click();
        }
    }
};

// What OK writes: once, and only a value the operator meant. A press during the editor's wait
// would run inside it: a second write, a reply taken by the wrong command and a false error.
TEST(PropertyViewWrites, AnEditorWritesOncePerPressOnlyAValueTheOperatorMeant) {
    struct Row {
        const char* type;
        const char* captions;
        const char* shown;
        const char* typed; // nullptr: left as prepared
        const char* press; // the press, and "/" the one while its command waits
        const char* sent;  // the one command sent, or ""
        const char* refusal = "";
        bool prepared = true;
    };
    const char* kNumber = "\"Level\" takes a number";
    const std::vector<Row> rows = {
        {"VAL", "", "5", nullptr, "ok/return", "IS00005"},
        {"VAL", "", "5", nullptr, "ok/ok", "IS00005"},
        {"VAL", "", "5", nullptr, "ok/esc", "IS00005"},
        {"VAL", "", "5", nullptr, "default/ok", "ID0000"},
        {"VAL", "", "5", nullptr, "default/default", "ID0000"},
        {"DATE", "", "5", nullptr, "sync/return", "IS000006-12-2026"},
        {"TIME", "", "5", nullptr, "sync/sync", "IS000008:00:00"},
        {"TIME", "", "07:00:00", nullptr, "ok", ""}, // the clock is not set back
        {"TIME", "", "07:00:00", "10:11:12", "ok", "IS000010:11:12"},
        {"DATE", "", "06-12-2026", nullptr, "ok", ""},
        {"DATE", "", "06-12-2026", "2030-12-24", "ok", "IS000024-12-2030"},
        {"VAL", "", "5", "abc", "ok", "", kNumber},
        {"VAL", "", "5", "", "ok", "", kNumber},
        {"VAL", "", "5", " 7 ", "ok", "IS00007"},
        {"VAL", "0 Off;1 On", "0 Off", "1 On", "ok", "IS00001"},
        {"VAL", "Off;On", "Off", "On", "ok", "IS00001"}, // a caption without a number
        {"VAL", "Off;On", "Off", "xyz", "ok", "", "\"Level\" takes one of its values"},
        {"STR", "", "********", nullptr, "ok", ""}, // the mask is not a value
        {"STR", "", "GATE", "", "ok", "IS0000"},
        {"FOO", "", "x", nullptr, "ok", "", "\"Level\" is of type \"FOO\""},
        {"STR", "", "GATE", nullptr, "ok", "", "\"Level\" shows no value yet", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.type) + " " + row.shown + " " + (row.typed ? row.typed : "-") +
                     " " + row.press);
        ArrayEditorRig rig;
        rig.script = {{"IS", {"A"}}, {"ID", {"A3"}}};
        rig.open(row.type, row.captions, row.shown, row.prepared);
        if (row.typed != nullptr) {
            rig.type(row.typed);
        }
        const std::string press = row.press;
        if (const auto slash = press.find('/'); slash != std::string::npos) {
            rig.time.at(20, [&rig, during = press.substr(slash + 1)] { rig.press(during); });
        }
        rig.press(press.substr(0, press.find('/')));
        EXPECT_EQ(rig.requests.size(), *row.sent ? 1u : 0u);
        EXPECT_EQ(rig.requests.empty() ? "" : rig.requests.back(), row.sent);
        EXPECT_EQ(rig.status, rig.wire() == "IS "   ? "Writing \"Level\"..."
                              : rig.wire() == "ID " ? "Reading the default of \"Level\"..."
                                                    : "");
        EXPECT_EQ(rig.busyAsSent, !rig.requests.empty());
        // What the view then shows: the chosen caption, else the value written.
        if (std::string_view(row.sent).starts_with("IS") && press == "ok") {
            EXPECT_EQ(rig.editor->ItemData(), *row.captions ? row.typed : row.sent + 6);
        }
        const bool refused = *row.refusal != '\0';
        EXPECT_EQ(rig.dialogs.messageBoxes.size(), refused ? 1u : 0u);
        EXPECT_NE(rig.boxes().find(row.refusal), std::string::npos) << rig.boxes();
        // Refused, the editor stays open with what was typed; after Default too.
        EXPECT_EQ(rig.editor->isVisible(), refused || press.starts_with("default"));
        EXPECT_EQ(rig.editor->IsOK(), *row.sent != '\0' && !press.starts_with("default"));
    }
}

// A write is tried four times, and an item whose flags ask for it is then brought into effect.
TEST(PropertyViewWrites, AWriteIsTriedFourTimesThenTheItemUpdatedWhenItAsks) {
    const std::tuple<int, int, std::string, std::string> rows[] = {
        {3, ItemDescriptor::kAvailableWithoutLogin, "IS IS IS IS ", ""},
        {4, ItemDescriptor::kAvailableWithoutLogin, "IS IS IS IS ",
         "KV_ERR_COMMAND_EXECUTION_FAILED\n"},
        {0, ItemDescriptor::kAvailableWithoutLogin | ItemDescriptor::kFlagNeedsUpdate, "IS IU ",
         ""}};
    for (const auto& [failures, flags, wire, boxes] : rows) {
        SCOPED_TRACE(wire + boxes);
        ArrayEditorRig rig;
        rig.script = {{"IS", test::Fails(failures, "A")}, {"IU", {"A"}}};
        rig.open("VAL", "", "5", true, flags);
        rig.type("6");
        rig.press("ok");
        EXPECT_EQ(rig.wire(), wire);
        EXPECT_EQ(rig.boxes(), boxes);
    }
}

// The table "Employees" with one record read, index 3, and the record editor answered by
// typing ZED into field 1.
struct TableRig : ScriptedTerminal {
    Catalogues catalogues;
    std::unique_ptr<frmKelvra_EditItemTable> table;
    std::string recordTitle;

    TableRig() {
        catalogues.items.at(0) = *ParseItemDescriptor("EMP\t1\tTAB\t2\t4\tEmployees");
        script = {{"I*0000", {"A1\tVAL"}}, {"I*0001", {"A2\tSTR"}}, {"IF", {"A3\t7\tADA", "E"}}};
        AnswerWindow(dialogs, "frmKelvra_EditRecord", [this](QDialog& record) {
            recordTitle = record.windowTitle().toStdString();
            static_cast<frmKelvra_EditRecord&>(record).ClickRow(1);
            Child<QLineEdit>(record, "txtFieldData")->setText("ZED");
            Child<QPushButton>(record, "cmdCtrl(0)")->click();
        });
    }
    void open() {
        table = std::make_unique<frmKelvra_EditItemTable>(platform, catalogues);
        table->SetKelvraObj(KV);
        table->SetItemIdx(0);
        table->show();
        auto* add = Child<QAction>(*table, "Add");
        EXPECT_FALSE(add->isEnabled()); // until the records are read
        EXPECT_TRUE(QTest::qWaitFor([&] { return add->isEnabled() || !table->isVisible(); }, 1000));
        EXPECT_EQ(table->windowTitle().toStdString(), "Edit Item - Employees");
    }
    std::string rows() {
        auto& grid = *Child<FlexGrid>(*table, "grd");
        std::string shown;
        for (int row = 0; row < grid.rowCount(); ++row) {
            shown += (grid.Text(row, 0) + ":" + grid.Text(row, 2) + " ").toStdString();
        }
        return shown;
    }
};

TEST(PropertyViewWrites, TableChangesNameTheirRecordCountTheirAttemptsAndShowWhatTheTerminalKept) {
    struct Row {
        const char* steps;            // Insert, Enter, Delete on the grid; N: the next box says No
        int failures, updateFailures; // of the first change, then of the item updates
        const char* wire;             // the changes and updates sent
        const char* last;             // the change sent
        const char* rows;             // index:name of each row afterwards
        std::size_t boxes;
        const char* message = ""; // in the last box
    };
    const char* kFailed = "KV_ERR_COMMAND_EXECUTION_FAILED";
    const char* kAsked = "Remove record 3 (7, ADA) from \"Employees\"?";
    const std::vector<Row> rows = {
        {"E", 0, 0, "IE IU ", "IE0000037\tZED", "3:ZED ", 0},
        {"E", 99, 0, "IE IE IE IE IE IU ", "IE0000037\tZED", "3:ADA ", 1, kFailed},
        {"A", 0, 0, "IA IU ", "IA000\tZED", "3:ADA :ZED ", 0},
        {"A", 3, 0, "IA IA IA IA IU ", "IA000\tZED", "3:ADA :ZED ", 0},
        // The update gets only the attempts the change left.
        {"A", 3, 99, "IA IA IA IA IU IU ", "IA000\tZED", "3:ADA :ZED ", 1, kFailed},
        {"A", 99, 0, "IA IA IA IA IA IU ", "IA000\tZED", "3:ADA ", 1, kFailed},
        {"A", 99, 99, "IA IA IA IA IA IU ", "IA000\tZED", "3:ADA ", 2, kFailed},
        // A record added here has no index until the table is read again: never record 0.
        {"AE", 0, 0, "IA IU ", "IA000\tZED", "3:ADA :ZED ", 1, "no index"},
        {"AR", 0, 0, "IA IU ", "IA000\tZED", "3:ADA :ZED ", 1, "no index"},
        {"R", 0, 0, "IR IU ", "IR000003", "", 1, kAsked},
        {"NR", 0, 0, "", "", "3:ADA ", 1, kAsked},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.steps + std::to_string(row.failures * 100 + row.updateFailures));
        TableRig rig;
        rig.script[std::string("I") + row.steps[std::strlen(row.steps) - 1]] =
            test::Fails(row.failures, "A");
        rig.script["IU"] = test::Fails(row.updateFailures, "A");
        rig.open();
        ASSERT_EQ(rig.rows(), "3:ADA ");
        const std::size_t before = rig.requests.size();
        for (const char step : std::string(row.steps)) {
            const Qt::Key key = step == 'A'   ? Qt::Key_Insert
                                : step == 'E' ? Qt::Key_Return
                                              : Qt::Key_Delete;
            step == 'N' ? rig.dialogs.messageAnswers.push_back(MessageAnswer::No)
                        : QTest::keyClick(Child<FlexGrid>(*rig.table, "grd"), key);
        }
        EXPECT_EQ(rig.wire(before), row.wire);
        EXPECT_TRUE(rig.recordTitle.empty() || rig.recordTitle.ends_with(" Record - Employees"));
        // Its retries are the same: the first change sent is the last.
        EXPECT_EQ(rig.requests.size() > before ? rig.requests[before] : "", row.last);
        EXPECT_EQ(rig.rows(), row.rows);
        EXPECT_EQ(rig.dialogs.messageBoxes.size(), row.boxes);
        EXPECT_NE(rig.boxes().find(row.message), std::string::npos) << rig.boxes();
    }
}

// An empty table shows no record and Remove sends nothing; sorting compares the current
// column's text, so record 10 comes before record 9.
TEST(PropertyViewWrites, AnEmptyTableRemovesNothingAndSortingComparesText) {
    TableRig empty;
    empty.script["IF"] = {"E"};
    empty.open();
    const std::size_t before = empty.requests.size();
    QTest::keyClick(Child<FlexGrid>(*empty.table, "grd"), Qt::Key_Delete);
    EXPECT_EQ(empty.rows() + empty.wire(before) + empty.boxes(), "");

    TableRig rig;
    rig.script["IF"] = {"A9\t7\tADA", "A10\t8\tBOB", "A2\t9\tCY", "E"};
    rig.open();
    Child<FlexGrid>(*rig.table, "grd")->setCurrentCell(0, 0);
    Child<QAction>(*rig.table, "Ascending")->trigger();
    EXPECT_EQ(rig.rows(), "10:BOB 2:CY 9:ADA ");
    Child<QAction>(*rig.table, "Descending")->trigger();
    EXPECT_EQ(rig.rows(), "9:ADA 2:CY 10:BOB ");
}

// The punch-times box asks again for an answer that is no number, and a terminal without the
// setting is told so, asking nothing; after the card window, which logs the terminal out, the
// view asks the login state again and colours its rows by it. The bell table has no place on a
// link that carries several terminals.
TEST(PropertyViewWrites, ThePunchTimesBoxTakesOnlyANumberAndTheToolsMenuFitsTheLinkAndTheLogin) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"abc", "7"}, "XP07"}, {{"abc"}, ""}, {{""}, ""}, {{"4"}, "XP04"}, {{}, ""}};
    for (const auto& [answers, sent] : rows) {
        ScriptedTerminal rig; // logged in, one item that needs the login
        rig.script = {{"LS", {"AI"}}, {"IC", {"A1"}}, {"I?00", {"AM\t1\tVAL\t1\t8\tMode"}}};
        rig.script["XU"] = {answers.empty() ? "F" : "A00"}; // no answers: no such setting
        rig.load();
        rig.dialogs.inputAnswers.assign(answers.begin(), answers.end());
        rig.view.EditPunchErrorTimes();
        EXPECT_EQ(rig.sent("XP") == 0 ? "" : rig.requests.back(), sent);
        EXPECT_EQ(rig.boxes(), answers.empty()
                                   ? "Select property is not supported on this terminal.\n"
                               : answers[0] != "abc"
                                   ? ""
                                   : "\"Punch Error Times\" takes a number (0-10, 0=Disabled); "
                                     "\"abc\" is none.\n");
        ASSERT_TRUE(rig.reachable(0));
        const bool loggedIn = sent == "XP04";
        rig.script["LS"] = {loggedIn ? "AI" : "AO"};
        AnswerWindow(rig.dialogs, "frmKelvra_ReadCard", [](QDialog& card) { card.reject(); });
        Child<QAction>(rig.view, "mnuTools(10)")->trigger();
        EXPECT_EQ(rig.sent("LS"), 2u);
        EXPECT_EQ(rig.reachable(0) && rig.view.IsLogin(), loggedIn);
    }
    for (const std::int32_t type : {2, 6, 7}) {
        ScriptedTerminal rig;
        rig.KV.SetCommunicationType(type);
        rig.view.SetKelvraObj(rig.KV);
        rig.view.ShowModal();
        EXPECT_EQ(Child<QAction>(rig.view, "mnuTools(8)")->isVisible(), type == 2) << type;
    }
}

} // namespace
} // namespace kelvra
