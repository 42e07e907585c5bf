// console_screenshots FOLDER: pictures of the console's four pages, as it opens and at its
// smallest, with the traffic panel open, of each dialog and window, and of the property view
// and its editors, taken offscreen against a scripted terminal in virtual time. The README's
// pictures are main-0.png, main-traffic.png and property-view.png.
#include "ConsoleRig.h"
#include "PropertyViewRig.h"
#include "TerminalModel.h"
#include "app/PropertyViewButton.h"
#include "console/TrafficPanel.h"
#include "widgets/frmKelvra_About.h"
#include "widgets/frmKelvra_BellTable.h"
#include "widgets/frmKelvra_LoginPassword.h"
#include "widgets/frmKelvra_Options.h"
#include "widgets/frmKelvra_ReadCard.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <cstdio>

namespace {

bool Save(QWidget& widget, const QDir& folder, const QString& name) {
    widget.show();
    QApplication::processEvents();
    const QString path = folder.filePath(name + ".png");
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

// The property view on the simulator's catalogue, and an editor of each kind over it; the
// windows read the terminal 50 ms after they open.
bool SavePropertyView(kelvra::test::ConsoleRig& rig, kelvra::test::MemorySettings& settings,
                      const QDir& folder) {
    using kelvra::test::AnswerWindow;
    using kelvra::test::Child;
    kelvra::sim::TerminalModel terminal;
    rig.answer = [&terminal](const kelvra::test::Request& request) {
        return terminal.handleCommand(request.body, kelvra::sim::SteadyClock::now()).value_or("");
    };
    kelvra::AttachPropertyView(*rig.window, {rig.time, rig.time, settings, rig.dialogs});
    QDialog* view = nullptr;
    AnswerWindow(rig.dialogs, "frmKelvraProperties", [&view](QDialog& shown) { view = &shown; });
    rig.click(37);
    QTest::qWait(100);
    auto& grid = *Child<QTableWidget>(*view, "grd");
    const auto edit = [&](int row) {
        grid.setCurrentCell(row, 1);
        Child<QAction>(*view, "Edit")->trigger();
    };
    bool saved = Save(*view, folder, "property-view");
    AnswerWindow(rig.dialogs, "frmKelvra_EditItemArray", [&](QDialog& editor) {
        QTest::qWait(100);
        saved &= Save(editor, folder, "edit-item-array");
    });
    edit(6); // "Language", a value with captions
    AnswerWindow(rig.dialogs, "frmKelvra_EditItemTable", [&](QDialog& table) {
        QTest::qWait(100);
        saved &= Save(table, folder, "edit-item-table");
        AnswerWindow(rig.dialogs, "frmKelvra_EditRecord",
                     [&](QDialog& record) { saved &= Save(record, folder, "edit-record"); });
        Child<QAction>(table, "Add")->trigger();
    });
    edit(11); // "Employees"
    view->reject();
    return saved;
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

    kelvra::test::MemorySettings settings;
    kelvra::test::ConsoleRig rig(settings);
    rig.answer = [](const kelvra::test::Request& request) -> std::string {
        const std::string& body = request.body;
        return body.starts_with("IG\"TIME\"")       ? "A08:00:00"
               : body.starts_with("IG\"MACHNAME\"") ? "AGate 2"
                                                    : "A";
    };
    rig.connectUdp();
    auto* traffic = rig.find<QAbstractButton>("cmdTraffic");
    rig.clickOn(traffic);
    rig.click(3);
    rig.click(17);
    rig.click(38);
    rig.answer = [](const kelvra::test::Request&) { return ""; };
    rig.click(6);
    // A record pushed, noise on the line, and a reply spoilt on the way.
    kelvra::test::FakeSocket& socket = *rig.links.sockets.at(0);
    socket.arrive(kelvra::test::TerminalReply(1, "XN7\t07-12-2026\t08:01:12\tC20461187"), 10);
    socket.arrive("#~", 20);
    rig.deliver();
    rig.setText("txtSend(0)", "12");
    rig.answer = [&socket](const kelvra::test::Request&) {
        socket.arrive("\x02"
                      "11A12A507\x03",
                      10);
        return "";
    };
    rig.click(1);
    rig.window->Traffic().Lines(); // shown at once, not after the panel's refresh

    // The window with the traffic panel open beside the log; then closed again, as it opens.
    bool saved = Save(*rig.window, folder, "main-traffic");
    rig.clickOn(traffic);
    // The pages as the window opens, and at its smallest.
    for (const char* size : {"", "-smallest"}) {
        for (int page = 0; page < rig.tabs()->count(); ++page) {
            rig.tabs()->setCurrentIndex(page);
            saved &= Save(*rig.window, folder, QString("main-%1%2").arg(page).arg(size));
        }
        rig.window->resize(rig.window->minimumSize());
    }
    kelvra::frmKelvra_Options options(settings);
    saved &= Save(options, folder, "options");
    kelvra::frmKelvra_LoginPassword password;
    QTest::keyClicks(password.findChild<QLineEdit*>("txtPassword"), "4711");
    saved &= Save(password, folder, "login-password");
    kelvra::frmKelvra_About about;
    saved &= Save(about, folder, "about");

    // Monday's bells as a terminal might hold them: every other one rings, from 07:00 on.
    rig.answer = [](const kelvra::test::Request& request) -> std::string {
        if (request.body.starts_with("WG")) {
            const int bell = std::stoi(request.body.substr(2), nullptr, 16) % 32;
            char reply[16];
            std::snprintf(reply, sizeof reply, "A%02d:%02d:00%02d", 7 + bell / 2, bell % 2 * 30,
                          bell % 2 == 0 ? 1 : 0);
            return reply;
        }
        return request.body == "WS" ? "A1" : "A";
    };
    kelvra::frmKelvra_BellTable bells(rig.window->KV(), 1, rig.dialogs);
    bells.show();
    QTest::mouseClick(bells.findChild<QAbstractButton*>("optWeekDay(1)"), Qt::LeftButton);
    bells.PressButton(2);
    bells.PressButton(4);
    saved &= Save(bells, folder, "bell-table");

    kelvra::frmKelvra_ReadCard card(rig.window->KV(), 1, rig.dialogs, rig.time);
    rig.window->KV().KelvraDataArival.raise("127.0.0.1", 1, "7\t07-12-2026\t08:01:12\tC20461187",
                                            0);
    saved &= Save(card, folder, "read-card");
    saved &= SavePropertyView(rig, settings, folder);
    return saved ? 0 : 1;
}
