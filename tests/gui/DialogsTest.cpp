// The settings helpers and the three small dialogs.
#include "MemorySettings.h"
#include "console/ApplicationInfo.h"
#include "console/Reg.h"
#include "console/frmKelvra_About.h"
#include "console/frmKelvra_LoginPassword.h"
#include "console/frmKelvra_Options.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::MemorySettings;

const std::string kPropertiesKey = "Properties";

std::string Stored(MemorySettings& store, const char* name) {
    const auto found = store.values.find({kApplicationTitle, kPropertiesKey, name});
    return found == store.values.end() ? "<missing>" : found->second;
}

template <class Widget> Widget* Child(QWidget& parent, const char* name) {
    auto* child = parent.findChild<Widget*>(name);
    if (child == nullptr) {
        throw std::runtime_error(std::string("no control ") + name);
    }
    return child;
}

TEST(Reg, ReadsWhatWasWrittenAndItsDefaultOtherwise) {
    MemorySettings store;
    Reg reg(store);
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Login", 0), "0");
    reg.RegWriteString("usKelvra", "Properties", "Login", "1");
    reg.RegWriteString("usKelvra", "Properties", "Empty", "");
    EXPECT_EQ(Stored(store, "Login"), "1");
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Login", 0), "1");
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Empty", "x"), "");
    // The text up to the first NUL.
    store.values[{"usKelvra", kPropertiesKey, "Nul"}] = std::string("ab\0cd", 5);
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Nul", ""), "ab");
}

TEST(Reg, AValueThatDoesNotFitTheReadBufferGivesTheDefault) {
    MemorySettings store;
    Reg reg(store);
    for (const auto& [length, readBack] :
         std::vector<std::pair<std::size_t, bool>>{{1023, true}, {1024, false}}) {
        reg.RegWriteString("usKelvra", "Properties", "Login", std::string(length, '1'));
        EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Login", "0"),
                  readBack ? std::string(length, '1') : "0")
            << length;
    }
}

TEST(Reg, EveryStoreFailureIsSilent) {
    MemorySettings store;
    store.failing = true;
    Reg reg(store);
    EXPECT_NO_THROW(reg.RegWriteString("usKelvra", "Properties", "Login", "1"));
    EXPECT_EQ(reg.RegReadString("usKelvra", "Properties", "Login", 0), "0");
}

TEST(OptionsDialog, NothingStoredOrNoNumberStoredShowsBothUnchecked) {
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored);
        MemorySettings store;
        if (stored) {
            store.values[{"usKelvra", kPropertiesKey, "Login"}] = "";
            store.values[{"usKelvra", kPropertiesKey, "Logout"}] = "yes";
        }
        frmKelvra_Options dialog(store);
        EXPECT_FALSE(Child<QCheckBox>(dialog, "chkLogin")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "chkLogout")->isChecked());
        EXPECT_FALSE(Child<QCheckBox>(dialog, "chkWakeOnReply")->isChecked());
        EXPECT_FALSE(frmKelvra_Options::WakeOnReply(store));
        EXPECT_FALSE(dialog.IsOK());
    }
}

TEST(OptionsDialog, OkWritesOneAndZeroAndCancelWritesNothing) {
    MemorySettings store;
    {
        frmKelvra_Options dialog(store);
        dialog.show();
        QTest::mouseClick(Child<QCheckBox>(dialog, "chkLogin"), Qt::LeftButton);
        QTest::mouseClick(Child<QCheckBox>(dialog, "chkWakeOnReply"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(dialog, "cmdCtrl(0)"), Qt::LeftButton);
        EXPECT_TRUE(dialog.IsOK());
    }
    EXPECT_EQ(Stored(store, "Login"), "1");
    EXPECT_EQ(Stored(store, "Logout"), "0");
    EXPECT_TRUE(frmKelvra_Options::WakeOnReply(store));
    const int writes = store.writes;
    {
        frmKelvra_Options dialog(store);
        dialog.show();
        EXPECT_TRUE(Child<QCheckBox>(dialog, "chkLogin")->isChecked());
        QTest::mouseClick(Child<QCheckBox>(dialog, "chkLogout"), Qt::LeftButton);
        QTest::mouseClick(Child<QPushButton>(dialog, "cmdCtrl(1)"), Qt::LeftButton);
        EXPECT_FALSE(dialog.IsOK());
    }
    EXPECT_EQ(store.writes, writes);
    EXPECT_EQ(Stored(store, "Logout"), "0");
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
