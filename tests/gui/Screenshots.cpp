// console_screenshots FOLDER: pictures of the console's four pages and of each dialog, taken
// offscreen against a scripted terminal in virtual time. The README's picture is main-0.png.
#include "ConsoleRig.h"
#include "console/frmKelvra_About.h"
#include "console/frmKelvra_LoginPassword.h"
#include "console/frmKelvra_Options.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
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
        if (request.body.starts_with("IG\"TIME\"")) {
            return "A08:00:00";
        }
        if (request.body.starts_with("IG\"MACHNAME\"")) {
            return "AGate 2";
        }
        return "A";
    };
    rig.window->resize(rig.window->sizeHint());
    rig.connectUdp();
    rig.click(3);
    rig.click(17);
    rig.click(38);
    rig.answer = [](const kelvra::test::Request&) { return ""; };
    rig.click(6);

    bool saved = true;
    for (int page = 0; page < rig.tabs()->count(); ++page) {
        rig.tabs()->setCurrentIndex(page);
        saved &= Save(*rig.window, folder, QString("main-%1").arg(page));
    }
    kelvra::frmKelvra_Options options(settings);
    saved &= Save(options, folder, "options");
    kelvra::frmKelvra_LoginPassword password;
    QTest::keyClicks(password.findChild<QLineEdit*>("txtPassword"), "4711");
    saved &= Save(password, folder, "login-password");
    kelvra::frmKelvra_About about;
    saved &= Save(about, folder, "about");
    return saved ? 0 : 1;
}
