// The console window on fake links in virtual time: what each press sends, what it shows,
// and the window's own rules (number entry, pushed records, the saved address).
#include "ConsoleRig.h"
#include "console/ApplicationInfo.h"
#include "console/ConsoleSettings.h"

#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::ConsoleRig;
using test::MemorySettings;
using test::Request;

// A console window connected over UDP, its log and the requests so far cleared.
class ConnectedWindow : public ::testing::Test {
protected:
    ConnectedWindow() {
        rig.connectUdp();
        rig.window->ClearResult();
        rig.requests.clear();
    }
    MemorySettings settings;
    ConsoleRig rig{settings};
};

struct PressRow {
    int index;
    std::vector<std::pair<const char*, std::string>> boxes; // set before the press
    std::string body;                                       // what the terminal receives
    std::string reply;                                      // status letter and data
    std::string line;                                       // what the log then shows
};

// clang-format off
const std::vector<PressRow> kPressRows = {
    {1,  {{"txtSend(0)", "123"}},                       "E123",            "A123",        "123"},
    {3,  {},                                            "LI",              "A",           "OK!"},
    {4,  {},                                            "LO",              "F",           "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED"},
    {6,  {},                                            "LS",              "A1",          "1"},
    {8,  {},                                            "RN",              "A42",         "42"},
    {13, {},                                            "RO",              "D",           "Error Code: -102, KV_ERR_ACCESS_DENIED"},
    {16, {},                                            "RM",              "A",           "OK!"},
    {17, {},                                            "IG\"TIME\"00",    "A08:00:00",   "08:00:00"},
    {19, {},                                            "IS\"TIME\"0008:00:00", "A",      "OK!"},
    {20, {},                                            "IS\"DATE\"0006-12-2026", "A",    "OK!"},
    {22, {{"txtMachineID", "7"}},                       "IS\"MACHNO\"007", "A",           "OK!"},
    {21, {},                                            "IG\"MACHNO\"00",  "",            "Error Code: -101, KV_ERR_TIMEOUT"},
    {39, {{"txtSend(1)", "Gate 2"}},                    "IS\"MACHNAME\"00Gate 2", "A",    "OK!"},
    {50, {{"txtPollID", "25"}},                         "BW0025",          "A",           "OK!"},
    {23, {},                                            "IC",              "A12",         "12"},
    {24, {{"txtItemName", "TIME"}},                     "ILTIME",          "A0",          "0"},
    {27, {{"txtReference", "12"}, {"txtMember", "1"}, {"txtItemData", "A<T>B<t>C"}},
                                                        "IS1201A\tB<t>C",  "A",           "OK!"},
    {28, {{"txtReference", "3"}, {"txtMember", "0"}},   "IG0300",          "A17",         "17"},
    {34, {{"txtReference", "9"}, {"txtItemData", "1<T>Ann"}}, "IA091\tAnn", "K",          "Error Code: -108, KV_ERR_KEY_VIOLATION"},
    {35, {{"txtReference", "12"}, {"txtRecorderNum", "3"}, {"txtItemData", "X"}}, "IE120003X", "A", "OK!"},
    {36, {{"txtReference", "9"}, {"txtRecorderNum", "15"}}, "IR090015",    "A",           "OK!"},
    {42, {{"txtDisplayDuration", "5"}, {"txtDisplay", "HELLO"}}, "XT05HELLO", "A",        "OK!"},
    {43, {{"txtBellDuration", "120"}},                  "XB120",           "A",           "OK!"},
    {44, {{"txtLockDuration", "5"}},                    "XL05",            "B",           "Error Code: -109, KV_ERR_BUSY"},
    {48, {{"txtPunchTimes", "10"}},                     "XP0A",            "A",           "OK!"},
    {52, {},                                            "WE00",            "A",           "OK!"},
    {57, {},                                            "WC",              "A",           "OK!"},
};
// clang-format on

TEST(ConsoleWindow, EachButtonSendsItsCommandAndLogsOneLine) {
    for (const PressRow& row : kPressRows) {
        SCOPED_TRACE("button " + std::to_string(row.index) + " " + row.body);
        MemorySettings settings;
        ConsoleRig rig(settings);
        rig.connectUdp();
        rig.window->ClearResult();
        rig.requests.clear();
        for (const auto& [box, text] : row.boxes) {
            rig.setText(box, text);
        }
        rig.answer = [&row](const Request&) { return row.reply; };
        rig.click(row.index);
        ASSERT_EQ(rig.requests.size(), 1u);
        EXPECT_EQ(rig.requests[0].terminal, 1);
        EXPECT_EQ(rig.requests[0].body, row.body);
        EXPECT_EQ(rig.log(), row.line + "\n");
        EXPECT_TRUE(rig.dialogs.messageBoxes.empty());
    }
}

TEST(ConsoleWindow, StartsWithTheVersionInTheCaptionAndEveryButtonOnce) {
    MemorySettings settings;
    ConsoleRig rig(settings);
    EXPECT_EQ(rig.window->windowTitle().toStdString(),
              "KelvraA-B Commands (Communication Protocal) Test Program" +
                  CaptionVersionSuffix(CurrentVersion()));
    EXPECT_EQ(CaptionVersionSuffix({1, 0, 1}), " v1.0R1");
    EXPECT_EQ(rig.find<QComboBox>("cboComport")->currentText(), "COM1");
    EXPECT_EQ(rig.box("txtUDP_Port")->text(), "1001");
    // Every index from 0 to 57 but 55 and 56 has its button, each in one place.
    for (int index = 0; index <= 57; ++index) {
        const bool expected = index != 55 && index != 56;
        EXPECT_EQ(rig.window->findChildren<QPushButton*>(QString("cmdCtrl(%1)").arg(index)).size(),
                  expected ? 1 : 0)
            << index;
    }
    // No press sent anything by itself.
    EXPECT_TRUE(rig.requests.empty());
}

TEST(ConsoleWindow, EveryPressRunsUnderTheBusyPointer) {
    MemorySettings settings;
    ConsoleRig rig(settings);
    rig.connectUdp();
    rig.click(17);
    rig.setText("txtMachineID", "40000"); // refused
    rig.click(22);
    EXPECT_EQ(rig.dialogs.busyChanges, (std::vector<bool>{true, false, true, false, true, false}));
}

TEST_F(ConnectedWindow, EmptySourceSendsToTerminalZeroAndTheSourceFollowsTheBox) {
    rig.setText("txtID", "");
    rig.click(3);
    rig.setText("txtID", "12");
    rig.click(4);
    ASSERT_EQ(rig.requests.size(), 2u);
    EXPECT_EQ(rig.requests[0].terminal, 0);
    EXPECT_EQ(rig.requests[1].terminal, 12);
}

TEST_F(ConnectedWindow, GetShowsWhatWaitsAndClearRepeatsTheLastOutcome) {
    // The raw data row sends without waiting; the late answer waits in the driver's buffer.
    rig.setText("txtSend(1)", "LS");
    rig.answer = [](const Request&) { return "A1"; };
    rig.click(5);
    EXPECT_EQ(rig.log(), "OK!\n");
    rig.deliver();
    // No transaction took the late frame apart: "Get" shows it as it arrived.
    const std::string lateFrame = test::TerminalReply(1, "A1");
    rig.click(2);
    EXPECT_EQ(rig.log(), "OK!\n" + lateFrame + "OK!\n");
    rig.click(2);
    EXPECT_EQ(rig.log(), "OK!\n" + lateFrame + "OK!\nOK!\n");
    rig.answer = [](const Request&) { return "F"; };
    rig.click(17);
    rig.click(7);
    EXPECT_EQ(rig.log(), "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED\n");
}

TEST_F(ConnectedWindow, ItemInfoShowsItsBlockUpToTheFirstEmptyCaption) {
    rig.setText("txtItemInfo", "5");
    rig.answer = [](const Request&) { return "AMODE\t5\tVAL\t1\t8\tMode\tThe mode\tOff;On;Auto"; };
    rig.click(25);
    EXPECT_EQ(rig.lastBody(), "I?05");
    EXPECT_EQ(rig.log(), "Name: MODE\nID: 5\nType: VAL\nSize: 1\nFlags: 8\nDefinition: Mode\n"
                         "Help: The mode\nSelection String 0: Off\nSelection String 1: On\n"
                         "Selection String 2: Auto\n\n");

    // A failure is a message box with the code, and nothing in the log.
    rig.window->ClearResult();
    rig.answer = [](const Request&) { return "N"; };
    rig.click(25);
    EXPECT_EQ(rig.log(), "");
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.messageBoxes[0].text, "-107");
    EXPECT_EQ(rig.dialogs.messageBoxes[0].buttons, MessageButtons::Ok);
}

TEST_F(ConnectedWindow, FieldInfoShowsItsBlockOrTheErrorMessage) {
    rig.setText("txtReference", "9");
    rig.setText("txtFieldNum", "2");
    rig.answer = [](const Request&) { return "A2\tSTR\tName\tThe name"; };
    rig.click(30);
    EXPECT_EQ(rig.lastBody(), "I*0902");
    EXPECT_EQ(rig.log(), "ID: 2\nType: STR\nDefinition: Name\nHelp: The name\n\n");

    rig.answer = [](const Request&) { return "I"; };
    rig.click(30);
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.messageBoxes[0].text, "KV_ERR_INVALID_COMMAND");
}

TEST_F(ConnectedWindow, PunchTimesGetWritesTheNumberBack) {
    rig.answer = [](const Request&) { return "A0A"; };
    rig.click(47);
    EXPECT_EQ(rig.lastBody(), "XU");
    EXPECT_EQ(rig.log(), "10\n");
    EXPECT_EQ(rig.box("txtPunchTimes")->text(), "10");
    // The driver reads an empty reply as 0.
    rig.answer = [](const Request&) { return "A"; };
    rig.click(47);
    EXPECT_EQ(rig.log(), "10\n0\n");
    EXPECT_EQ(rig.box("txtPunchTimes")->text(), "0");
    // A failure leaves the box as it was.
    rig.setText("txtPunchTimes", "3");
    rig.answer = [](const Request&) { return "F"; };
    rig.click(47);
    EXPECT_EQ(rig.box("txtPunchTimes")->text(), "3");
}

TEST_F(ConnectedWindow, BellTableModeReplySelectsTheList) {
    auto* mode = rig.find<QComboBox>("cboBellTableMode");
    for (const auto& [reply, selected] : std::vector<std::pair<std::string, std::string>>{
             {"A1", "Week"}, {"A7", "Week"}, {"A0", "Everyday"}, {"Azz", "Everyday"}}) {
        rig.answer = [reply](const Request&) { return reply; };
        rig.click(51);
        EXPECT_EQ(mode->currentText().toStdString(), selected) << reply;
    }
    EXPECT_EQ(rig.log(), "OK!\nOK!\nOK!\nOK!\n");
    mode->setCurrentIndex(1);
    rig.click(52);
    EXPECT_EQ(rig.lastBody(), "WE01");
}

TEST_F(ConnectedWindow, SetBellTimesSendsAllEntriesOfTheWeekdayAndStopsAtTheFirstRefusal) {
    rig.clickOn(rig.find<QRadioButton>("optWeekDay(2)"));
    rig.setText("txtBellWeekMode(3)", "07:30:00");
    rig.find<QCheckBox>("chkBellWeekMode(3)")->setChecked(true);
    rig.click(53);
    ASSERT_EQ(rig.requests.size(), 32u);
    EXPECT_EQ(rig.requests[0].body, "WT4000:00:0000");
    EXPECT_EQ(rig.requests[3].body, "WT4307:30:0001");
    EXPECT_EQ(rig.requests[31].body, "WT5F00:00:0000");
    EXPECT_EQ(rig.log(), "OK!\n");

    rig.requests.clear();
    rig.answer = [](const Request& request) {
        return request.body.starts_with("WT45") ? "F" : "A";
    };
    rig.click(53);
    EXPECT_EQ(rig.requests.size(), 6u);
    EXPECT_EQ(rig.log(), "OK!\nError Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED\n");
}

TEST_F(ConnectedWindow, SetBellTimesStopsAtATimeThatIsNoTimeAndNamesTheEntry) {
    rig.setText("txtBellWeekMode(4)", "25:00");
    rig.click(53);
    EXPECT_EQ(rig.requests.size(), 4u); // entries 0 to 3 went, entry 4 and later did not
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_NE(rig.dialogs.messageBoxes[0].text.find("Bell entry 5"), std::string::npos);
    EXPECT_NE(rig.dialogs.messageBoxes[0].text.find("25:00"), std::string::npos);
    EXPECT_EQ(rig.log(), "");
}

TEST_F(ConnectedWindow, GetBellTimesFillsTheEntriesAndSkipsTheFailedOnes) {
    rig.setText("txtBellWeekMode(1)", "untouched");
    rig.answer = [](const Request& request) -> std::string {
        if (request.body == "WG00") {
            return "A07:30:0001";
        }
        if (request.body == "WG01") {
            return "F";
        }
        return "A12:00:0000";
    };
    rig.click(54);
    EXPECT_EQ(rig.requests.back().body, "WG1F");
    EXPECT_EQ(rig.box("txtBellWeekMode(0)")->text(), "07:30:00");
    EXPECT_TRUE(rig.find<QCheckBox>("chkBellWeekMode(0)")->isChecked());
    EXPECT_EQ(rig.box("txtBellWeekMode(1)")->text(), "untouched");
    EXPECT_EQ(rig.box("txtBellWeekMode(2)")->text(), "12:00:00");
    EXPECT_FALSE(rig.find<QCheckBox>("chkBellWeekMode(2)")->isChecked());
    EXPECT_EQ(rig.log(), "OK!\n"); // the outcome of entry 31

    rig.answer = [](const Request& request) {
        return request.body == "WG1F" ? "F" : "A00:00:0000";
    };
    rig.click(54);
    EXPECT_EQ(rig.log(), "OK!\nError Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED\n");
}

TEST(ConsoleWindow, ANumberThatDoesNotFitRefusesThePressAndNamesTheBox) {
    struct Row {
        int index;
        const char* box;
        std::string text;
        std::string named;
    };
    const std::vector<Row> rows = {
        {22, "txtMachineID", "40000", "\"ID\""},
        {50, "txtPollID", "1e9", "\"Machine ID\""},
        {3, "txtID", "32768", "\"Source\""},
        {25, "txtItemInfo", "99999", "\"Item Info\""},
        {43, "txtBellDuration", "-40000", "\"Bell Duration\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.box);
        MemorySettings settings;
        ConsoleRig rig(settings);
        rig.connectUdp();
        rig.window->ClearResult();
        rig.requests.clear();
        rig.setText(row.box, row.text);
        rig.click(row.index);
        EXPECT_TRUE(rig.requests.empty());
        EXPECT_EQ(rig.log(), "");
        ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
        EXPECT_NE(rig.dialogs.messageBoxes[0].text.find(row.named), std::string::npos)
            << rig.dialogs.messageBoxes[0].text;
        // The window goes on working.
        rig.setText(row.box, "1");
        rig.click(row.index);
        EXPECT_EQ(rig.requests.size(), 1u);
    }
}

struct PushedRecordRig : ConsoleRig {
    using ConsoleRig::ConsoleRig;
    void enterExtendedMode() {
        connectUdp();
        click(45); // "Log on Extra Mode"
        window->ClearResult();
        requests.clear();
    }
    void push(std::int16_t source, const std::string& data) {
        links.sockets.at(0)->arrive(test::TerminalReply(source, "XN" + data), 0);
        deliver();
    }
};

TEST(ConsoleWindow, APushedRecordIsLoggedOnlyWhileExtraCommandsShows) {
    for (int page = 0; page < 4; ++page) {
        SCOPED_TRACE(page);
        MemorySettings settings;
        PushedRecordRig rig(settings);
        rig.enterExtendedMode();
        rig.find<QCheckBox>("chkAutoConfirm")->setChecked(true);
        rig.tabs()->setCurrentIndex(page);
        const std::string before = rig.log();
        rig.push(1, "1\tC12345678");
        if (page == 2) {
            // 08:00:00 and 20 ms of waiting in virtual time.
            EXPECT_EQ(rig.log(), "08:00:00 127.0.0.1:  1\tC12345678, ErrCode: 0\nOK!\n");
            ASSERT_EQ(rig.requests.size(), 1u);
            EXPECT_EQ(rig.requests[0].body, "XA");
        } else {
            EXPECT_EQ(rig.log(), before);
            EXPECT_TRUE(rig.requests.empty());
        }
    }
}

TEST(ConsoleWindow, AutoConfirmAnswersTheSourceOfTheRecordAndKeepsIt) {
    MemorySettings settings;
    PushedRecordRig rig(settings);
    rig.enterExtendedMode();
    rig.tabs()->setCurrentIndex(2);
    rig.push(12, "7\tC1");
    EXPECT_EQ(rig.log(), "08:00:00 127.0.0.1:  7\tC1, ErrCode: 0\n"); // not confirmed
    EXPECT_TRUE(rig.requests.empty());

    rig.find<QCheckBox>("chkAutoConfirm")->setChecked(true);
    rig.push(12, "8\tC2");
    ASSERT_EQ(rig.requests.size(), 1u);
    EXPECT_EQ(rig.requests[0].terminal, 12);
    EXPECT_EQ(rig.requests[0].body, "XA");
    EXPECT_EQ(rig.box("txtID")->text(), "12");
    rig.click(46);
    EXPECT_EQ(rig.requests.back().terminal, 12);
}

TEST(ConsoleWindow, TheLastAddressIsSavedOnConnectAndShownAfterRestart) {
    MemorySettings settings;
    QString shownFirst;
    {
        ConsoleRig first(settings);
        shownFirst = first.box("txtIP")->text();
        EXPECT_EQ(shownFirst.toStdString(), kDefaultTerminalAddress); // nothing saved yet
        first.setText("txtIP", "127.0.0.9");
        // A serial connection on COM16 still saves the address box.
        first.clickOn(first.find<QRadioButton>("optType(1)"));
        first.find<QComboBox>("cboComport")->setCurrentIndex(15);
        first.click(0);
        EXPECT_EQ(first.window->KV().CommunicationType(), 0);
        EXPECT_EQ(first.links.serialPorts.at(0)->portNumber(), 16);
        first.window->close();
    }
    {
        ConsoleRig second(settings);
        EXPECT_EQ(second.box("txtIP")->text(), "127.0.0.9");
        EXPECT_EQ(settings.values.at({kApplicationTitle, "Connection", "IP"}), "127.0.0.9");
        second.window->close();
    }
    // A store that cannot be read shows the first-run text, and the console connects anyway.
    settings.failing = true;
    ConsoleRig third(settings);
    EXPECT_EQ(third.box("txtIP")->text(), shownFirst);
    third.connectUdp();
    EXPECT_EQ(third.log(), "OK!\n");
}

TEST(ConsoleWindow, EthernetConnectionTakesAddressPortAndType) {
    MemorySettings settings;
    ConsoleRig rig(settings);
    rig.setText("txtIP", "127.0.0.1");
    rig.setText("txtUDP_Port", "1002.5");
    rig.click(0);
    EXPECT_EQ(rig.window->KV().CommunicationType(), 3); // "TCP" is the initial type
    EXPECT_EQ(rig.window->KV().UDP_Port(), 1002);
    EXPECT_EQ(rig.window->KV().IP(), "127.0.0.1");
    EXPECT_EQ(rig.window->KV().Timeout(), 3000);
}

} // namespace
} // namespace kelvra
