// The property view and the record editor from the keyboard, and the view's grid in place.
#include "ScriptedTerminal.h"
#include "property_editor/frmKelvra_EditRecord.h"

#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::AnswerWindow;
using test::Child;

TEST(PropertyViewKeyboard, ArrowsMoveTheHelpEnterEditsEscAsksAndAClickScrollsNoSideways) {
    test::ScriptedTerminal rig;
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
    std::string opened;
    AnswerWindow(rig.dialogs, "frmKelvra_EditItemArray",
                 [&opened](QDialog& editor) { opened = editor.windowTitle().toStdString(); });
    QTest::keyClick(&grid, Qt::Key_Return);
    EXPECT_EQ(opened, "Edit Item - Item 4");
    for (const auto answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        rig.dialogs.messageAnswers.push_back(answer);
        QTest::keyClick(&grid, Qt::Key_Escape);
        EXPECT_EQ(rig.dialogs.messageBoxes.back().text, "Close the property view?");
        EXPECT_EQ(rig.view.isVisible(), answer == MessageAnswer::No);
    }
}

// Enter and Tab move to the next field, typing on the grid replaces the current value, a
// number field takes digits only and a date shows as the terminal writes it.
TEST(PropertyViewKeyboard, TheRecordEditorMovesFieldByFieldAndTakesWhatEachFieldHolds) {
    test::ScriptedTerminal rig;
    Catalogues catalogues;
    catalogues.items.at(0).Size = 3;
    catalogues.fields.Resize(3);
    for (int field = 0; field < 3; ++field) {
        catalogues.fields.at(field).Type = std::vector{"VAL", "STR", "DATE"}[field];
    }
    frmKelvra_EditRecord record(rig.platform, catalogues);
    record.SetRecordData({"7", "ADA", "31-12-2027"});
    record.show();
    auto* text = Child<QLineEdit>(record, "txtFieldData");
    record.ClickRow(0);
    QTest::keyClicks(text, "x9");
    QTest::keyClick(text, Qt::Key_Tab);
    EXPECT_EQ(text->text(), "ADA");
    QTest::keyClick(text, Qt::Key_Return);
    auto* date = Child<QDateEdit>(record, "dtpDateFieldData");
    EXPECT_TRUE(date->isVisible());
    EXPECT_EQ(date->text(), "31-12-2027");
    QTest::keyClick(date, Qt::Key_Return); // the last field: its editor closes
    auto& grid = *Child<FlexGrid>(record, "grd");
    grid.setCurrentCell(1, 1);
    QTest::keyClicks(&grid, "Z");
    QTest::keyClicks(text, "OE");
    for (int enter = 0; enter < 3; ++enter) { // to the date, out of it, then OK
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &record,
                        Qt::Key_Return);
    }
    ASSERT_TRUE(record.IsOK());
    frmKelvra_EditRecord::Fields fields;
    record.GetRecordData(fields);
    EXPECT_EQ(std::vector(fields.begin(), fields.begin() + 3),
              (std::vector<std::string>{"79", "ZOE", "31-12-2027"}));
}

} // namespace
} // namespace kelvra
