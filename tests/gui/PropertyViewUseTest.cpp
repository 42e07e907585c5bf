// The property view as an operator uses it: a load stopped or closed after the command in
// flight with old values marked until read again, the keyboard in the view and the record
// editor, and the view's grid in place.
#include "ScriptedTerminal.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QAction>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>
#include <sstream>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;
using test::ScriptedTerminal;

TEST(PropertyViewUse, ALoadStopsAfterTheCommandInFlightKeepingWhatItRead) {
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
                oldDuringLoad = cell && cell->font().italic() && cell->foreground() == kGray;
                const std::string action = row.action;
                action == "close"     ? void(rig.view.close())
                : action == "cmdStop" ? Child<QPushButton>(rig.view, "cmdStop")->click()
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

TEST(PropertyViewUse, ArrowsMoveTheHelpEnterEditsEscAsksAndAClickScrollsNoSideways) {
    ScriptedTerminal rig;
    rig.describeItems(40);
    rig.view.resize(420, 360); // a vertical scroll bar narrows the cells
    rig.view.show();
    rig.load();
    QApplication::processEvents(); // the scroll bars follow the rows on the event loop
    FlexGrid& grid = rig.grid();
    const QPoint cell = grid.visualRect(grid.model()->index(3, 0)).center(); // a caption
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell);
    EXPECT_EQ(grid.horizontalScrollBar()->value(), 0); // the captions keep their first letters
    QTest::keyClick(&grid, Qt::Key_Down);
    EXPECT_EQ(Child<QPlainTextEdit>(rig.view, "txtHelp")->toPlainText(), "Help 4");
    for (const auto key : {Qt::Key_Return, Qt::Key_F2}) {
        std::string opened;
        AnswerWindow(rig.dialogs, "frmKelvra_EditItemArray",
                     [&opened](QDialog& editor) { opened = editor.windowTitle().toStdString(); });
        QTest::keyClick(&grid, key);
        EXPECT_EQ(opened, "Edit Item - Item 4");
    }
    for (const auto answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        rig.dialogs.messageAnswers.push_back(answer);
        QTest::keyClick(&grid, Qt::Key_Escape);
        EXPECT_EQ(rig.dialogs.messageBoxes.back().text, "Close the property view?");
        EXPECT_EQ(rig.view.isVisible(), answer == MessageAnswer::No);
    }
}

// What the record editor keeps of each step: c<row> a click, t<text> the text field set,
// k<text> typed into the open editor, g<row><text> typed on the grid, Tab, Ret, bg a click on
// the background.
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
