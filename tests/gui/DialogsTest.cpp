// The settings helpers and the three small dialogs.
#include "MemorySettings.h"
#include "PropertyViewRig.h"
#include "widgets/ApplicationInfo.h"
#include "widgets/Reg.h"
#include "widgets/frmKelvra_About.h"
#include "widgets/frmKelvra_LoginPassword.h"
#include "widgets/frmKelvra_Options.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::Child;
using test::MemorySettings;

std::string Stored(MemorySettings& store, const char* name) {
    const auto found = store.values.find({kApplicationTitle, "Properties", name});
    return found == store.values.end() ? "<missing>" : found->second;
}

TEST(Reg, ReadsTheStoredTextUpToItsNulOrTheDefaultSilently) {
    MemorySettings store;
    Reg reg(store);
    const std::string atLimit(Reg::kReadBufferSize - 1, '1');
    reg.RegWriteString("usKelvra", "Properties", "Login", "1");
    reg.RegWriteString("usKelvra", "Properties", "Empty", "");
    reg.RegWriteString("usKelvra", "Properties", "Fits", atLimit);
    reg.RegWriteString("usKelvra", "Properties", "TooLong", atLimit + "1");
    store.values[{"usKelvra", "Properties", "Nul"}] = std::string("ab\0cd", 5);
    const std::pair<const char*, std::string> rows[] = {{"Login", "1"},    {"Empty", ""},
                                                        {"Fits", atLimit}, {"TooLong", "x"},
                                                        {"Nul", "ab"},     {"Missing", "x"}};
    for (const auto& [name, read] : rows) {
        EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", name, "x"), read) << name;
    }
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Missing", 0), "0");
    store.failing = true;
    EXPECT_NO_THROW(reg.RegWriteString("usKelvra", "Properties", "Login", "0"));
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Login", 0), "0");
}

// Fresh or unreadable, the store opens the dialog unchecked, leaving the empty key behind; OK
// then writes one and zero, Cancel nothing.
TEST(OptionsDialog, OpensUncheckedOnAFreshOrUnreadableStoreAndOkWritesOneAndZero) {
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored);
        MemorySettings store;
        if (stored) {
            store.values[{"usKelvra", "Properties", "Login"}] = "";
            store.values[{"usKelvra", "Properties", "Logout"}] = "&H1";
        }
        frmKelvra_Options dialog(store);
        for (const char* box : {"chkLogin", "chkLogout", "chkWakeOnReply"}) {
            EXPECT_FALSE(Child<QCheckBox>(dialog, box)->isChecked()) << box;
        }
        EXPECT_FALSE(frmKelvra_Options::WakeOnReply(store));
        EXPECT_FALSE(dialog.IsOK());
        EXPECT_TRUE(store.keys.contains({"usKelvra", "Properties"}));
        EXPECT_EQ(store.writes, 0);
    }
    MemorySettings store;
    for (const bool ok : {true, false}) {
        frmKelvra_Options dialog(store);
        dialog.show();
        EXPECT_EQ(Child<QCheckBox>(dialog, "chkLogin")->isChecked(), !ok);
        QTest::mouseClick(Child<QCheckBox>(dialog, ok ? "chkLogin" : "chkLogout"), Qt::LeftButton);
        QTest::mouseClick(Child<QCheckBox>(dialog, "chkWakeOnReply"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(dialog, ok ? "cmdCtrl(0)" : "cmdCtrl(1)"),
                          Qt::LeftButton);
        EXPECT_EQ(dialog.IsOK(), ok);
        EXPECT_EQ(Stored(store, "Login"), "1");
        EXPECT_EQ(Stored(store, "Logout"), "0");
        EXPECT_TRUE(frmKelvra_Options::WakeOnReply(store));
        EXPECT_EQ(store.writes, 3);
    }
}

TEST(LoginPasswordDialog, OkHandsOverTheTypedTextAndCancelLeavesItUnset) {
    for (const bool ok : {true, false}) {
        SCOPED_TRACE(ok);
        frmKelvra_LoginPassword dialog;
        dialog.show();
        auto* box = Child<QLineEdit>(dialog, "txtPassword");
        EXPECT_EQ(box->echoMode(), QLineEdit::Password);
        QTest::keyClicks(box, "4711");
        QTest::mouseClick(Child<QPushButton>(dialog, ok ? "cmdCtrl(0)" : "cmdCtrl(1)"),
                          Qt::LeftButton);
        EXPECT_EQ(dialog.IsOK(), ok);
        EXPECT_EQ(dialog.Password(), ok ? "4711" : "");
    }
}

TEST(AboutDialog, ShowsTheVersionAndClosesOnEscape) {
    frmKelvra_About dialog;
    dialog.show();
    EXPECT_EQ(Child<QLabel>(dialog, "lblVersion")->text().toStdString(),
              AboutVersionText(CurrentVersion()));
    EXPECT_EQ(AboutVersionText({1, 0, 1}), " V1.0 R1");
    QTest::keyClick(Child<QPushButton>(dialog, "CmdAbout"), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

} // namespace
} // namespace kelvra
