// What the property view, its editors and its Tools windows write to a scripted terminal in
// virtual time: once per press, only a value the operator changed or typed, never a record by
// an index it does not have, and a grid that shows what the terminal kept.
#include "ScriptedTerminal.h"
#include "property_editor/frmKelvra_EditItemArray.h"
#include "property_editor/frmKelvra_EditItemTable.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimeEdit>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;
using test::ScriptedTerminal;

// Item 0 of `items` as the terminal describes it: "Level", of `type`, with `;`-separated
// captions.
void Describe(ItemCatalogue& items, const std::string& type, const std::string& captions = "",
              std::int16_t flags = 4) {
    ItemDescriptor& item = items.at(0);
    item = {};
    item.Name = "LEVEL";
    item.Type = type;
    item.Size = 1;
    item.Flags = flags;
    item.Definition = "Level";
    for (std::size_t k = 0, start = 0; start < captions.size(); ++k) {
        const std::size_t end = std::min(captions.find(';', start), captions.size());
        item.Selection[k] = captions.substr(start, end - start);
        start = end + 1;
    }
}

struct ArrayEditorRig : ScriptedTerminal {
    ItemCatalogue items;
    std::unique_ptr<frmKelvra_EditItemArray> editor;

    // The editor open on item 0 showing `shown`; with `prepared` once its value control shows.
    frmKelvra_EditItemArray& open(const std::string& shown, bool prepared = true) {
        editor = std::make_unique<frmKelvra_EditItemArray>(platform, items);
        editor->SetKelvraObj(KV);
        editor->SetItemIdx(0);
        editor->SetItemData(shown);
        editor->show();
        if (prepared) {
            QTest::qWait(frmKelvra_EditItemArray::kDeferredStartMs + 30);
        }
        return *editor;
    }
    void press(const std::string& key) {
        if (key == "return" || key == "esc") {
            QTest::keyClick(editor.get(), key == "esc" ? Qt::Key_Escape : Qt::Key_Return);
            return;
        }
        const char* names[] = {"ok", "cancel", "sync", "default"};
        const int index = static_cast<int>(std::find(names, names + 4, key) - names);
        Child<QPushButton>(*editor, QString("cmdCtrl(%1)").arg(index))->click();
    }
};

// A press during the wait would run inside it: a second write, a reply taken by the wrong
// command and a false error.
TEST(PropertyViewWrites, APressWhileAnEditorCommandWaitsIsDropped) {
    struct Row {
        const char* type;
        const char* first;
        const char* during;
        std::size_t writes, defaults;
    };
    const std::vector<Row> rows = {
        {"VAL", "ok", "return", 1, 0},    {"VAL", "ok", "ok", 1, 0},
        {"VAL", "ok", "esc", 1, 0},       {"VAL", "ok", "cancel", 1, 0},
        {"VAL", "default", "ok", 0, 1},   {"VAL", "default", "default", 0, 1},
        {"DATE", "sync", "return", 1, 0}, {"TIME", "sync", "sync", 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.type) + " " + row.first + " then " + row.during);
        ArrayEditorRig rig;
        Describe(rig.items, row.type);
        rig.script = {{"IS", {"A"}}, {"ID", {"A3"}}};
        rig.open("5");
        rig.time.at(20, [&] { rig.press(row.during); });
        rig.press(row.first);
        EXPECT_EQ(rig.sent("IS"), row.writes);
        EXPECT_EQ(rig.sent("ID"), row.defaults);
        EXPECT_TRUE(rig.dialogs.messageBoxes.empty()) << rig.dialogs.messageBoxes.front();
        EXPECT_EQ(rig.editor->isVisible(), row.defaults == 1);
    }
}

TEST(PropertyViewWrites, OkWritesOnlyAValueTheOperatorChangedAndRefusesOneThatIsNone) {
    struct Row {
        const char* type;
        const char* captions;
        const char* shown;
        const char* typed; // nullptr: left as prepared
        const char* sent;  // "": nothing
        const char* refusal = "";
        bool prepared = true;
    };
    const char* kNumber = "\"Level\" takes a number";
    const std::vector<Row> rows = {
        {"TIME", "", "08:00:00", nullptr, ""}, // the clock is not set back to the load's time
        {"TIME", "", "08:00:00", "10:11:12", "IS000010:11:12"},
        {"DATE", "", "06-12-2026", nullptr, ""},
        {"DATE", "", "06-12-2026", "24-12-2030", "IS000024-12-2030"},
        {"VAL", "", "5", "abc", "", kNumber},
        {"VAL", "", "5", "", "", kNumber},
        {"VAL", "", "5", " 7 ", "IS00007"},
        {"VAL", "0 Off;1 On", "0 Off", "1 On", "IS00001"},
        {"VAL", "Off;On", "Off", "On", "IS00001"}, // a caption without a number: its position
        {"VAL", "Off;On", "Off", "xyz", "", "\"Level\" takes one of its values or a number"},
        {"STR", "", "********", nullptr, ""}, // the mask is not a value
        {"STR", "", "GATE", "", "IS0000"},
        {"FOO", "", "x", nullptr, "", "\"Level\" is of type \"FOO\""},
        {"STR", "", "GATE", nullptr, "", "\"Level\" shows no value yet", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.type) + " " + row.shown + " " + (row.typed ? row.typed : "-"));
        ArrayEditorRig rig;
        Describe(rig.items, row.type, row.captions);
        rig.script = {{"IS", {"A"}}};
        auto& editor = rig.open(row.shown, row.prepared);
        if (row.typed != nullptr) {
            const QString typed = row.typed;
            if (auto* time = Child<QTimeEdit>(editor, "dtpTime"); time->isVisible()) {
                time->setTime(QTime::fromString(typed, "HH:mm:ss"));
            } else if (auto* date = Child<QDateEdit>(editor, "dtpDate"); date->isVisible()) {
                date->setDate(QDate::fromString(typed, "dd-MM-yyyy"));
            } else if (auto* list = Child<QComboBox>(editor, "cboItemData"); list->isVisible()) {
                list->setEditText(typed);
            } else {
                Child<QLineEdit>(editor, "txtItemData")->setText(typed);
            }
        }
        rig.press("ok");
        EXPECT_EQ(rig.sent("IS") == 0 ? "" : rig.requests.back(), row.sent);
        const std::string refusal = row.refusal;
        ASSERT_EQ(rig.dialogs.messageBoxes.size(), refusal.empty() ? 0u : 1u);
        if (!refusal.empty()) {
            EXPECT_NE(rig.dialogs.messageBoxes[0].text.find(refusal), std::string::npos)
                << rig.dialogs.messageBoxes[0].text;
        }
        // Refused, the editor stays open with what was typed; otherwise it has closed.
        EXPECT_EQ(editor.isVisible(), !refusal.empty());
        EXPECT_EQ(editor.IsOK(), *row.sent != '\0');
    }
}

ScriptedTerminal& LoadedView(ScriptedTerminal& rig, const std::string& flags = "8") {
    rig.script["LS"] = {"AI"};
    rig.script["IC"] = {"A1"};
    rig.script["I?00"] = {"AMODE\t1\tVAL\t1\t" + flags + "\tMode\t\t"};
    rig.script["IG00"] = {"A1"};
    rig.script["XU"] = {"A3"};
    rig.load();
    return rig;
}

TEST(PropertyViewWrites, ThePunchTimesInputRefusesAnAnswerThatIsNoNumberAndAsksAgain) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{"abc", "7"}, "XP07"}, {{"abc"}, ""}, {{""}, ""}, {{"4"}, "XP04"}};
    for (const auto& [answers, sent] : rows) {
        ScriptedTerminal rig;
        LoadedView(rig);
        rig.dialogs.inputAnswers.assign(answers.begin(), answers.end());
        rig.view.EditPunchErrorTimes();
        EXPECT_EQ(rig.sent("XP") == 0 ? "" : rig.requests.back(), sent);
        const bool refused = answers[0] == "abc";
        ASSERT_EQ(rig.dialogs.messageBoxes.size(), refused ? 1u : 0u);
        if (refused) {
            EXPECT_NE(rig.dialogs.messageBoxes[0].text.find("\"Punch Error Times\" takes a number"),
                      std::string::npos);
        }
    }
}

// The table "Employees" with one record read, index 3, and the record editor answered by
// typing `name` into field 1 (empty: OK as it stands).
struct TableRig : ScriptedTerminal {
    Catalogues catalogues;
    std::unique_ptr<frmKelvra_EditItemTable> table;
    std::string name;

    TableRig() {
        catalogues.items.at(0) = {"EMP", 1, "TAB", 2, 4, "Employees", "", {}};
        script = {{"I*0000", {"A1\tVAL\tNo.\t"}},
                  {"I*0001", {"A2\tSTR\tName\t"}},
                  {"IF", {"A3\t7\tADA", "E"}}};
        AnswerWindow(dialogs, "frmKelvra_EditRecord", [this](QDialog& record) {
            if (!name.empty()) {
                static_cast<frmKelvra_EditRecord&>(record).ClickRow(1);
                Child<QLineEdit>(record, "txtFieldData")->setText(name.c_str());
            }
            Child<QPushButton>(record, "cmdCtrl(0)")->click();
        });
    }
    void open() {
        table = std::make_unique<frmKelvra_EditItemTable>(platform, catalogues);
        table->SetKelvraObj(KV);
        table->show();
        auto* add = Child<QAction>(*table, "Add");
        EXPECT_TRUE(QTest::qWaitFor([&] { return add->isEnabled() || !table->isVisible(); }, 1000));
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
        const char* steps; // A add, E edit, R remove the current row; N: the next box says No
        int failures, updateFailures; // of the first change, then of the item updates
        const char* wire;             // the changes and updates sent
        const char* last;             // the last change sent
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
        SCOPED_TRACE(std::string(row.steps) + " " +
                     std::to_string(row.failures * 100 + row.updateFailures));
        TableRig rig;
        rig.script[std::string("I") + row.steps[std::strlen(row.steps) - 1]] =
            test::Fails(row.failures, "A");
        rig.script["IU"] = test::Fails(row.updateFailures, "A");
        rig.name = "ZED";
        rig.open();
        ASSERT_EQ(rig.rows(), "3:ADA ");
        const std::size_t before = rig.requests.size();
        for (const char step : std::string(row.steps)) {
            if (step == 'N') {
                rig.dialogs.messageAnswers.push_back(MessageAnswer::No);
            }
            step == 'A'   ? rig.table->AddRecord()
            : step == 'E' ? rig.table->EditRecord()
            : step == 'R' ? rig.table->RemoveRecord()
                          : void();
        }
        std::string wire, last;
        for (std::size_t i = before; i < rig.requests.size(); ++i) {
            wire += rig.requests[i].substr(0, 2) + " ";
            last = rig.requests[i].starts_with("IU") ? last : rig.requests[i];
        }
        EXPECT_EQ(wire, row.wire);
        EXPECT_EQ(last, row.last);
        EXPECT_EQ(rig.rows(), row.rows);
        ASSERT_EQ(rig.dialogs.messageBoxes.size(), row.boxes);
        if (row.boxes > 0) {
            EXPECT_NE(rig.dialogs.messageBoxes.back().text.find(row.message), std::string::npos)
                << rig.dialogs.messageBoxes.back();
        }
    }
}

// A record added before the records are read would show among them without an index.
TEST(PropertyViewWrites, TheTableEditorAddsOnlyOnceItsRecordsAreReadAndClosingStopsTheReads) {
    for (const bool close : {false, true}) {
        TableRig rig;
        rig.script["IF"] = {"A3\t7\tADA", "A4\t8\tBOB", "E"};
        bool addEnabled = true;
        rig.onRequest = [&](const std::string& body) {
            if (body.starts_with("IF") && rig.sent("IF") == 1) {
                addEnabled = Child<QAction>(*rig.table, "Add")->isEnabled();
                close ? void(rig.table->close()) : void();
            }
        };
        rig.open();
        EXPECT_FALSE(addEnabled);
        EXPECT_EQ(rig.sent("IF"), close ? 1u : 3u);
        EXPECT_EQ(rig.table->isVisible(), !close);
        EXPECT_EQ(Child<QAction>(*rig.table, "Add")->isEnabled(), !close);
    }
}

// The card window logs the terminal out: the view asks the login state again once it closes.
TEST(PropertyViewWrites, AfterTheCardWindowTheViewColoursItsRowsByTheLoginStateAgain) {
    for (const auto& [state, loggedIn] : {std::pair{"AO", false}, std::pair{"AI", true}}) {
        ScriptedTerminal rig;
        LoadedView(rig);
        ASSERT_TRUE(rig.reachable(0));
        rig.script["LS"] = {state};
        AnswerWindow(rig.dialogs, "frmKelvra_ReadCard", [](QDialog& card) { card.reject(); });
        Child<QAction>(rig.view, "mnuTools(10)")->trigger();
        EXPECT_EQ(rig.sent("LS"), 2u);
        EXPECT_EQ(rig.reachable(0), loggedIn);
        EXPECT_EQ(rig.view.IsLogin(), loggedIn);
    }
}

} // namespace
} // namespace kelvra
