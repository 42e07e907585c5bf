// property_view_screenshots FOLDER: pictures of the property view loaded from a simulated
// terminal and of its three editors, taken offscreen in virtual time. The README's picture is
// property-view.png.
#include "ConsoleRig.h"
#include "PropertyViewRig.h"
#include "TerminalModel.h"
#include "property_editor/PropertyViewButton.h"
#include "property_editor/frmKelvraProperties.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QTableWidget>
#include <QTest>
#include <cstdio>

namespace {

using kelvra::test::AnswerWindow;
using kelvra::test::Child;

bool Save(QWidget& widget, const QDir& folder, const QString& name) {
    QTest::qWait(100); // the windows read the terminal 50 ms after they open
    const QString path = folder.filePath(name + ".png");
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

void ClickCell(QTableWidget& grid, int row, int column) {
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {},
                      grid.visualRect(grid.model()->index(row, column)).center());
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    QDir folder(argv[1]);
    if (!folder.mkpath(".")) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }

    // The console on a fake link, answered by the simulator's terminal model.
    kelvra::test::MemorySettings settings;
    kelvra::test::ConsoleRig rig(settings);
    kelvra::sim::TerminalModel terminal;
    rig.answer = [&terminal](const kelvra::test::Request& request) {
        return terminal.handleCommand(request.body, kelvra::sim::SteadyClock::now()).value_or("");
    };
    kelvra::AttachPropertyView(*rig.window, {rig.time, rig.time, settings, rig.dialogs});
    rig.connectUdp();

    bool saved = true;
    kelvra::frmKelvraProperties* view = nullptr;
    AnswerWindow(rig.dialogs, "frmKelvraProperties",
                 [&](QDialog& shown) { view = static_cast<kelvra::frmKelvraProperties*>(&shown); });
    rig.click(37);
    AnswerWindow(rig.dialogs, "frmKelvra_LoginPassword", [](QDialog& login) {
        QTest::keyClicks(Child<QLineEdit>(login, "txtPassword"), "1234");
        QTest::mouseClick(Child<QPushButton>(login, "cmdCtrl(0)"), Qt::LeftButton);
    });
    QTest::qWait(100);
    Child<QAction>(*view, "mnuTools(0)")->trigger(); // "Log&in"
    auto& grid = *Child<QTableWidget>(*view, "grd");
    ClickCell(grid, 4, 1);
    saved &= Save(*view, folder, "property-view");

    AnswerWindow(rig.dialogs, "frmKelvra_EditItemArray", [&](QDialog& editor) {
        saved &= Save(editor, folder, "edit-item-array");
        editor.reject();
    });
    grid.setCurrentCell(4, 1);
    Child<QAction>(*view, "Edit")->trigger();

    AnswerWindow(rig.dialogs, "frmKelvra_EditItemTable", [&](QDialog& table) {
        saved &= Save(table, folder, "edit-item-table");
        AnswerWindow(rig.dialogs, "frmKelvra_EditRecord", [&](QDialog& record) {
            ClickCell(*Child<QTableWidget>(record, "grd"), 2, 1);
            saved &= Save(record, folder, "edit-record");
            record.reject();
        });
        auto& records = *Child<QTableWidget>(table, "grd");
        records.setCurrentCell(1, 1);
        Child<QAction>(table, "Edit")->trigger();
        table.reject();
    });
    grid.setCurrentCell(11, 1);
    Child<QAction>(*view, "Edit")->trigger();
    view->reject();
    return saved ? 0 : 1;
}
