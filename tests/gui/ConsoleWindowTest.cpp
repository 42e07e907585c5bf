// The console window on fake links in virtual time: what each press sends, what it shows,
// and the window's own rules (number entry, pushed records, the saved address, closing).
#include "ConsoleRig.h"
#include "console/TrafficPanel.h"
#include "widgets/ApplicationInfo.h"
#include "widgets/ConsoleSettings.h"
#include "widgets/TimeOfDay.h"
#include "widgets/frmKelvra_BellTable.h"

#include <QFile>
#include <QListView>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <algorithm>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::ConsoleRig;
using test::MemorySettings;
using test::Request;
using Boxes = std::vector<std::pair<const char*, std::string>>;

// Every box a value of its own: a button that reads the wrong box sends something else.
// clang-format off
const Boxes kOwnValues = {
    {"txtMachineID", "11"}, {"txtPollID", "12"}, {"txtItemInfo", "13"}, {"txtReference", "14"},
    {"txtMember", "15"}, {"txtFieldNum", "16"}, {"txtRecorderNum", "17"},
    {"txtDisplayDuration", "18"}, {"txtBellDuration", "19"}, {"txtLockDuration", "21"},
    {"txtPunchTimes", "10"}, {"txtSend(0)", "echo"}, {"txtSend(1)", "raw"},
    {"txtItemName", "TIME"}, {"txtDisplay", "HELLO"}, {"txtItemData", "A<T>B<t>C"}};
// clang-format on

// A console connected over UDP with its own values in the boxes, log and requests cleared.
struct ConnectedRig : ConsoleRig {
    explicit ConnectedRig(MemorySettings& settings) : ConsoleRig(settings) {
        connectUdp();
        for (const auto& [box, text] : kOwnValues) {
            setText(box, text);
        }
        window->ClearResult();
        requests.clear();
        dialogs.busyChanges.clear();
    }
};

struct PressRow {
    int index;
    std::string body;         // what the terminal receives last; empty: nothing
    std::string reply;        // status letter and data to every request; empty: no answer
    std::string line;         // what the log then shows
    std::string message = {}; // what a message box then says
    Boxes boxes = {};         // set before the press
    Boxes after = {};         // what the controls show afterwards
    int terminal = 1;
    std::size_t sent = 1; // requests, when something is sent
};

const std::string kItemBlock = "Name: MODE\nID: 5\nType: VAL\nSize: 1\nFlags: 8\nDefinition: Mode\n"
                               "Help: The mode\nSelection String 0: Off\nSelection String 1: On\n"
                               "Selection String 2: Auto\n";
const std::string kSourceRefused =
    "The number in the box \"Source\" does not fit. Enter a number from -32768 to 32767.";
const std::string kPortRefused = "Enter a number from 0 to 65535.";

// clang-format off
const std::vector<PressRow> kPressRows = {
    {1, "Eecho", "Aecho", "echo"},
    {3,  "LI",                     "A",           "OK!", "", {{"txtID", ""}}, {}, 0},
    {4,  "LO",                     "F",           "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED", "", {{"txtID", "12"}}, {}, 12},
    {5, "raw", "", "OK!"}, {6, "LS", "A1", "1"}, {8, "RN", "A42", "42"},
    {9, "RG", "A1\tC9", "1\tC9"}, {10, "RH", "A", "OK!"}, {11, "RA", "A", "OK!"},
    {12, "RC", "A", "OK!"}, {13, "RO", "D", "Error Code: -102, KV_ERR_ACCESS_DENIED"}, {14, "RR", "A", "OK!"},
    {15, "RI", "A", "OK!"}, {16, "RM", "A", "OK!"},
    {17, "IG\"TIME\"00",           "A08:00:00",   "08:00:00"},
    {18, "IG\"DATE\"00",           "A06-12-2026", "06-12-2026"},
    {19, "IS\"TIME\"0008:00:00",   "A",           "OK!"},
    {20, "IS\"DATE\"0006-12-2026", "A",           "OK!"},
    {21, "IG\"MACHNO\"00",         "",            "Error Code: -101, KV_ERR_TIMEOUT"},
    {22, "IS\"MACHNO\"0011",       "A",           "OK!"},
    {22, "IS\"MACHNO\"000",        "A",           "OK!", "", {{"txtMachineID", "&H1F"}}},
    {23, "IC", "A12", "12"}, {24, "ILTIME", "A0", "0"},
    {25, "I?13",                   "AMODE\t5\tVAL\t1\t8\tMode\tThe mode\tOff;On;Auto", kItemBlock},
    {25, "I?13",                   "N",           "", "-107"},
    {26, "IU", "A", "OK!"}, {27, "IS1415A\tB<t>C", "A", "OK!"}, {28, "IG1415", "A17", "17"},
    {29, "ID1415", "A3", "3"}, {30, "I*1416", "A2\tSTR\tName\tThe name", "ID: 2\nType: STR\nDefinition: Name\nHelp: The name\n"},
    {30, "I*1416",                 "I",           "", "KV_ERR_INVALID_COMMAND"},
    {31, "IT14", "A", "OK!"}, {32, "IF14", "A1\tAnn", "1\tAnn"}, {33, "IH14", "A", "OK!"},
    {34, "IA14A\tB<t>C", "K", "Error Code: -108, KV_ERR_KEY_VIOLATION"}, {35, "IE140017A\tB<t>C", "A", "OK!"}, {36, "IR140017", "A", "OK!"},
    {38, "IG\"MACHNAME\"00",       "AGate 2",     "Gate 2"},
    {39, "IS\"MACHNAME\"00raw",    "A",           "OK!"},
    {40, "XR", "A", "OK!"}, {41, "XA", "", "OK!"}, {42, "XT18HELLO", "A", "OK!"},
    {43, "XB19", "A", "OK!"}, {44, "XL21", "B", "Error Code: -109, KV_ERR_BUSY"}, {45, "XO", "A", "OK!"},
    {46, "XF", "A", "OK!"},
    {47, "XU",                     "A0B",         "11",  "", {}, {{"txtPunchTimes", "11"}}},
    {47, "XU",                     "A",           "0",   "", {}, {{"txtPunchTimes", "0"}}},
    {47, "XU",                     "F",           "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED", "", {}, {{"txtPunchTimes", "10"}}},
    {48, "XP0A", "A", "OK!"},
    {48, "XP00",                   "A",           "OK!", "", {{"txtPunchTimes", "&HA"}}},
    {49, "IG0400", "A2", "OK!"}, {50, "BW0012", "A", "OK!"},
    {51, "WS",                     "A1",          "OK!", "", {}, {{"cboBellTableMode", "Week"}}},
    {51, "WS",                     "A7",          "OK!", "", {{"cboBellTableMode", "Week"}}, {{"cboBellTableMode", "Week"}}},
    {51, "WS",                     "A&H1",        "OK!", "", {{"cboBellTableMode", "Week"}}, {{"cboBellTableMode", "Everyday"}}},
    {52, "WE01",                   "A",           "OK!", "", {{"cboBellTableMode", "Week"}}},
    {57, "WC", "A", "OK!"},
    // The bell table: weekday 2 is slots 40 to 5F; a time with its two-digit enabled flag.
    {53, "WT5F07:30:0001",         "A",           "OK!", "", {{"optWeekDay(2)", "1"}, {"txtBellWeekMode(31)", "07:30:00"}, {"chkBellWeekMode(31)", "1"}}, {}, 1, 32},
    // A stop names the entry: the ones before it were sent.
    {53, "WT0000:00:0000",         "F",           "Set Bell Times stopped at entry 1: Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED", "", {}, {}, 1, 1},
    {53, "WT0300:00:0000",         "A",           "Set Bell Times stopped at entry 5: \"25:00\" is not a time of day (hh:mm:ss)", "", {{"txtBellWeekMode(4)", "25:00"}}, {}, 1, 4},
    {54, "WG3F",                   "A07:30:0001", "OK!", "", {{"optWeekDay(1)", "1"}}, {{"txtBellWeekMode(0)", "07:30:00"}, {"chkBellWeekMode(0)", "1"}, {"txtBellWeekMode(31)", "07:30:00"}}, 1, 32},
    {54, "WG1F",                   "A12:00:0000", "OK!", "", {{"chkBellWeekMode(5)", "1"}}, {{"chkBellWeekMode(5)", "0"}, {"txtBellWeekMode(5)", "12:00:00"}}, 1, 32},
    {54, "WG1F",                   "F",           "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED", "", {{"txtBellWeekMode(0)", "kept"}}, {{"txtBellWeekMode(0)", "kept"}}, 1, 32},
    // A number that does not fit refuses the press that reads it, and only that one.
    {22, "", "", "", "The number in the box \"ID\" does not fit. Enter a number from -32768 to 32767.", {{"txtMachineID", "40000"}}},
    {50, "", "", "", "\"Machine ID\"",    {{"txtPollID", "1e9"}}},
    {25, "", "", "", "\"Item Info\"",     {{"txtItemInfo", "99999"}}},
    {43, "", "", "", "\"Bell Duration\"", {{"txtBellDuration", "-40000"}}},
    {3,  "", "", "", kSourceRefused,      {{"txtID", "99999"}}},
    {7,  "", "", "OK!", "",               {{"txtID", "99999"}}},
    {2,  "", "", "OK!", "",               {{"txtID", "99999"}}},
    {0,  "", "", "OK!", "",               {{"txtID", "99999"}}},
    {0,  "", "", "OK!", "",               {{"txtUDP_Port", "65535"}}},
    {0,  "", "", "OK!", "",               {{"txtUDP_Port", "0"}}},
    {0,  "", "", "", "The number in the box \"Port\" does not fit. " + kPortRefused, {{"txtUDP_Port", "65536"}}},
    {0,  "", "", "", kPortRefused,        {{"txtUDP_Port", "-1"}}},
    {0,  "", "", "", "The box \"Port\" holds no number. " + kPortRefused, {{"txtUDP_Port", "abc"}}},
    {0,  "", "", "No connection: the address box is empty.", "", {{"txtIP", ""}, {"cboType", "TCP"}}},
};
// clang-format on

TEST(ConsoleWindow, EachPressSendsFromItsOwnBoxesAndShowsOneOutcomeUnderTheBusyPointer) {
    for (const PressRow& row : kPressRows) {
        SCOPED_TRACE("button " + std::to_string(row.index) + " " + row.body + row.message);
        MemorySettings settings;
        ConnectedRig rig(settings);
        for (const auto& [box, text] : row.boxes) {
            rig.setText(box, text);
        }
        rig.answer = [&row](const Request&) { return row.reply; };
        rig.click(row.index);
        ASSERT_EQ(rig.requests.size(), row.body.empty() ? 0u : row.sent);
        if (!row.body.empty()) {
            EXPECT_EQ(rig.requests.back().terminal, row.terminal);
            EXPECT_EQ(rig.requests.back().body, row.body);
        }
        EXPECT_EQ(rig.log(), row.line.empty() ? "" : row.line + "\n");
        ASSERT_EQ(rig.dialogs.messageBoxes.size(), row.message.empty() ? 0u : 1u);
        if (!row.message.empty()) {
            EXPECT_NE(rig.dialogs.messageBoxes[0].text.find(row.message), std::string::npos)
                << rig.dialogs.messageBoxes[0].text;
        }
        for (const auto& [box, shown] : row.after) {
            EXPECT_EQ(rig.text(box), shown) << box;
        }
        EXPECT_EQ(rig.dialogs.busyChanges, (std::vector<bool>{true, false}));
    }
}

TEST(ConsoleWindow, StartsWithItsCaptionListsBoxesAndSpinnerLimitsOnALaptopScreen) {
    MemorySettings settings;
    ConsoleRig rig(settings);
    EXPECT_EQ(rig.window->windowTitle().toStdString(),
              "KelvraA-B Commands (Communication Protocal) Test Program" +
                  CaptionVersionSuffix(CurrentVersion()));
    EXPECT_EQ(CaptionVersionSuffix({1, 0, 1}), " v1.0R1");
    // Every index from 0 to 57 but 55 and 56 has its button, each in one place.
    for (int index = 0; index <= 57; ++index) {
        EXPECT_EQ(rig.window->findChildren<QPushButton*>(QString("cmdCtrl(%1)").arg(index)).size(),
                  index == 55 || index == 56 ? 0 : 1)
            << index;
    }
    auto captions = [&](const QString& name, const QString& prefix = {}) {
        QString shown;
        for (QAbstractButton* option : rig.window->findChildren<QAbstractButton*>(
                 QRegularExpression("^" + QRegularExpression::escape(prefix) + "\\("))) {
            shown += (option->isChecked() ? "*" : "") + option->text() + " ";
        }
        if (auto* list = rig.window->findChild<QComboBox*>(name)) {
            for (int i = 0; i < list->count(); ++i) {
                shown += (i == list->currentIndex() ? "*" : "") + list->itemText(i) + " ";
            }
        }
        return shown.toStdString();
    };
    EXPECT_EQ(captions("cboType"), "UDP *TCP ");
    EXPECT_EQ(captions("cboComport"), "*COM1 COM2 COM3 COM4 COM5 COM6 COM7 COM8 COM9 COM10 "
                                      "COM11 COM12 COM13 COM14 COM15 COM16 ");
    EXPECT_EQ(captions("cboBellTableMode"), "*Everyday Week ");
    EXPECT_EQ(captions("", "optWeekDay"), "*Sun Mon Tue Wed Thu Fri Sat ");
    EXPECT_EQ(captions("", "optType"), "*Ethernet: Comport ");
    struct Box {
        const char* name;
        const char* initial;
        int lowest = 0, highest = 0, step = 0; // of its spinner
    };
    // clang-format off
    const Box boxes[] = {
        {"txtMachineID", "1"}, {"txtID", "1"}, {"txtItemName", "DATE"}, {"txtUDP_Port", "1001"},
        {"txtIP", kDefaultTerminalAddress}, {"txtPollID", "1", 0, 9999, 1},
        {"txtItemInfo", "0", 0, 50, 1}, {"txtReference", "0", 0, 50, 1}, {"txtMember", "0", 0, 50, 1},
        {"txtFieldNum", "0", 0, 99, 1}, {"txtRecorderNum", "0", 0, 99, 1},
        {"txtDisplayDuration", "5", 0, 99, 5}, {"txtBellDuration", "5", 0, 99, 5},
        {"txtLockDuration", "5", 0, 99, 5}, {"txtPunchTimes", "0", 0, 10, 1}};
    // clang-format on
    for (const Box& box : boxes) {
        SCOPED_TRACE(box.name);
        EXPECT_EQ(rig.text(box.name), box.initial);
        auto step = [&](int from, const char* arrow) {
            rig.setText(box.name, std::to_string(from));
            rig.clickOn(rig.find<QToolButton>(QString(box.name) + arrow));
            return rig.box(box.name)->text().toInt();
        };
        if (box.step != 0) {
            EXPECT_EQ(step(box.highest, "Up"), box.highest);
            EXPECT_EQ(step(box.lowest, "Down"), box.lowest);
            EXPECT_EQ(step(box.lowest, "Up"), box.lowest + box.step);
        }
    }
    EXPECT_TRUE(rig.requests.empty()) << "no press sent anything by itself";
    // 1280 x 680 leaves room on a 1366 x 768 screen for the window's frame and a panel; the log
    // takes the height left.
    const QSize opening = rig.window->size();
    const QSize least = rig.window->minimumSize();
    EXPECT_TRUE(opening.width() <= 1280 && opening.height() <= 680)
        << opening.width() << "x" << opening.height();
    EXPECT_TRUE(least.width() <= opening.width() && least.height() <= opening.height());
    auto* log = rig.find<QPlainTextEdit>("txtGetData");
    rig.window->resize(least);
    const int logHeight = log->height();
    EXPECT_GE(logHeight, 6 * log->fontMetrics().lineSpacing());
    rig.window->resize(least + QSize(0, 100));
    EXPECT_EQ(log->height(), logHeight + 100);
    // A button beside a box is as wide as the grid's; the relay's boxes line up.
    EXPECT_EQ(rig.button(22)->width(), rig.button(18)->width());
    rig.tabs()->setCurrentIndex(static_cast<int>(Page::Extra));
    EXPECT_EQ(rig.box("txtBellDuration")->mapTo(rig.window, QPoint()).x(),
              rig.box("txtLockDuration")->mapTo(rig.window, QPoint()).x());
}

class ConnectedWindow : public ::testing::Test {
protected:
    MemorySettings settings;
    ConnectedRig rig{settings};
};

TEST_F(ConnectedWindow, GetShowsWhatWaitsAndClearRepeatsTheLastOutcome) {
    // The raw data row sends without waiting; the late answer waits in the driver's buffer.
    rig.click(5);
    rig.deliver();
    // No transaction took the late frame apart: "Get" shows it as it arrived.
    rig.click(2);
    rig.click(2);
    EXPECT_EQ(rig.log(), "OK!\n" + test::TerminalReply(1, "A") + "OK!\nOK!\n");
    rig.answer = [](const Request&) { return "F"; };
    rig.click(17);
    rig.click(7);
    EXPECT_EQ(rig.log(), "Error Code: -103, KV_ERR_COMMAND_EXECUTION_FAILED\n");
}

TEST_F(ConnectedWindow, EnterInASendBoxPressesItsSendAndTabLeavesTheTextBoxes) {
    QTest::keyClick(rig.box("txtSend(0)"), Qt::Key_Return);
    EXPECT_EQ(rig.lastBody(), "Eecho");
    QTest::keyClick(rig.box("txtSend(1)"), Qt::Key_Enter);
    EXPECT_EQ(rig.lastBody(), "raw");
    for (const char* name : {"txtItemData", "txtDisplay", "txtGetData"}) {
        auto* text = rig.find<QPlainTextEdit>(name);
        rig.clickOn(text);
        text->setFocus();
        const QString before = text->toPlainText();
        QTest::keyClick(text, Qt::Key_Tab);
        EXPECT_EQ(text->toPlainText(), before) << name;
        EXPECT_NE(rig.window->focusWidget(), text) << name;
    }
}

// A press during a wait would run inside it, take its reply and log first.
TEST_F(ConnectedWindow, APressDuringAWaitIsDroppedAndARecordPushedMeanwhileStillConfirmed) {
    rig.click(45); // "Log on Extra Mode", on "Extra commands"
    rig.setText("chkAutoConfirm", "1");
    rig.window->ClearResult();
    rig.requests.clear();
    rig.dialogs.busyChanges.clear();
    // The reply to punch times "Get" comes late, with a pushed record behind it in one chunk.
    rig.answer = [this](const Request& request) {
        if (request.body == "XU") {
            rig.links.sockets.at(0)->arrive(
                test::TerminalReply(1, "A7") + test::TerminalReply(12, "XN1\tC12345678"), 300);
        }
        return std::string();
    };
    rig.time.at(100, [this] { rig.click(48); }); // "Set", while "Get" waits
    rig.click(47);
    std::string bodies;
    for (const Request& request : rig.requests) {
        bodies += request.body + " ";
    }
    EXPECT_EQ(bodies, "XU XA ");
    EXPECT_EQ(rig.requests.back().terminal, 12);
    EXPECT_EQ(rig.log(), "08:00:00 127.0.0.1:  1\tC12345678, ErrCode: 0\nOK!\n7\n");
    EXPECT_EQ(rig.text("txtPunchTimes"), "7");
    EXPECT_EQ(rig.dialogs.busyChanges, (std::vector<bool>{true, false}));
}

// The property view's bell table window shares the console's bell table steps; its own are
// the buttons, one press at a time, and a mode the list does not offer.
TEST_F(ConnectedWindow, TheBellTableWindowSendsEachButtonsCommandOnePressAtATime) {
    frmKelvra_BellTable bells(rig.window->KV(), 12, rig.dialogs);
    bells.show();
    QTest::mouseClick(bells.findChild<QAbstractButton*>("optWeekDay(2)"), Qt::LeftButton);
    rig.answer = [](const Request& request) {
        return request.body.starts_with("WG") ? "A07:30:0001" : request.body == "WS" ? "A1" : "A";
    };
    // Get the times, write them back, get the mode and set it, then clear.
    const std::tuple<int, std::string, std::size_t> presses[] = {
        {2, "WG5F", 32}, {1, "WT5F07:30:0001", 32}, {4, "WS", 1}, {3, "WE01", 1}, {0, "WC", 1}};
    for (const auto& [index, body, sent] : presses) {
        rig.requests.clear();
        QTest::mouseClick(bells.findChild<QAbstractButton*>(QString("cmdCtrl(%1)").arg(index)),
                          Qt::LeftButton);
        EXPECT_EQ(rig.lastBody(), body);
        EXPECT_EQ(rig.requests.size(), sent);
        EXPECT_EQ(rig.requests.back().terminal, 12);
    }
    // A click while a press waits is dropped: its command would take the waiting reply.
    rig.requests.clear();
    rig.answer = [this](const Request&) {
        rig.links.sockets.at(0)->arrive(test::TerminalReply(12, "A7"), 300);
        return std::string();
    };
    rig.time.at(100, [&bells] { bells.PressButton(0); });
    bells.PressButton(4);
    EXPECT_EQ(rig.lastBody(), "WS");
    EXPECT_EQ(rig.requests.size(), 1u);
    // Mode 7 is not in the list: the fault trap's box.
    ASSERT_EQ(rig.dialogs.messageBoxes.size(), 1u);
    EXPECT_EQ(rig.dialogs.messageBoxes[0].title, "380");
    // Nor is a reply without a number: taken as 0 it would choose "Everyday".
    rig.answer = [](const Request&) { return "Aabc"; };
    bells.PressButton(4);
    EXPECT_EQ(bells.findChild<QComboBox*>("cboBellTableMode")->currentText(), "Week");
    EXPECT_EQ(rig.dialogs.messageBoxes.size(), 2u);
    // A refused entry goes unreported, as every driver error here; a box holding no time is named.
    rig.answer = [](const Request&) { return "F"; };
    bells.PressButton(1);
    EXPECT_EQ(rig.dialogs.messageBoxes.size(), 2u);
    bells.findChild<QLineEdit*>("txtBellWeekMode(0)")->setText("25:00");
    bells.PressButton(1);
    EXPECT_EQ(rig.dialogs.messageBoxes.back().text.substr(0, 14), "Bell entry 1: ");
    // A reply with no room for the enabled flag ends the reading at that entry, and says so.
    rig.answer = [](const Request&) { return "A1"; };
    bells.PressButton(2);
    EXPECT_TRUE(rig.dialogs.messageBoxes.back().text.starts_with(
        "The terminal answered \"1\" for bell entry 1,"));
    EXPECT_EQ(rig.requests.back().body, "WG40");
}

TEST(TimeOfDay, ReadsHoursMinutesAndSecondsOrNothing) {
    const std::vector<std::pair<std::string, int>> rows = {
        {"07:30:00", 27000}, {"7:30", 27000}, {" 23:59:59 ", 86399},
        {"24:00", -1},       {"12:60", -1},   {"12:00:60", -1},
        {"12", -1},          {"", -1},        {"1:2:3:4", -1},
        {"ab:cd", -1},       {"12:30:", -1},  {"123:00", -1},
        {"-1:00", -1}}; // -1: not a time
    for (const auto& [text, seconds] : rows) {
        const auto time = ParseTimeOfDay(text);
        EXPECT_EQ(time ? time->secondsSinceZero() : -1, seconds) << text;
    }
}

TEST(ConsoleWindow, APushedRecordIsLoggedOnExtraCommandsAndOnlyAGoodOneConfirmed) {
    struct Row {
        int page;
        bool serial;
        std::int16_t source;
        bool corrupted; // its checksum does not fit
        std::string logged;
    };
    const std::vector<Row> rows = {
        {0, false, 1, false, ""},
        {1, false, 1, false, ""},
        {3, false, 1, false, ""},
        {2, false, 1, false, "08:00:00 127.0.0.1:  1\tC12345678, ErrCode: 0\nOK!\n"},
        {2, true, 12, false, "08:00:00 COM1:  1\tC12345678, ErrCode: 0\nOK!\n"},
        {2, true, 12, true, ", ErrCode: -105\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.logged);
        MemorySettings settings;
        ConnectedRig rig(settings);
        rig.setText("optType(1)", row.serial ? "1" : "0");
        rig.click(0);
        rig.click(45); // "Log on Extra Mode", on page 2
        rig.setText("chkAutoConfirm", "1");
        rig.window->ClearResult();
        rig.requests.clear();
        rig.tabs()->setCurrentIndex(row.page);
        std::string frame = test::TerminalReply(row.source, "XN1\tC12345678");
        if (row.corrupted) {
            frame[frame.size() - 5] = frame[frame.size() - 5] == '0' ? '1' : '0';
        }
        row.serial ? rig.links.serialPorts.at(0)->arrive(frame)
                   : rig.links.sockets.at(0)->arrive(frame);
        rig.deliver();
        // A record that did not verify is logged whole, frame and all.
        const std::string log = rig.log();
        EXPECT_TRUE(row.corrupted ? log.ends_with(row.logged) : log == row.logged) << log;
        const bool confirmed = row.page == 2 && !row.corrupted;
        EXPECT_EQ(std::ranges::count(rig.requests, "XA", &Request::body), confirmed ? 1 : 0);
        if (confirmed) {
            EXPECT_EQ(rig.requests.back().terminal, row.source);
            EXPECT_EQ(rig.text("txtID"), std::to_string(row.source)) << "later commands keep it";
        }
    }
}

TEST(ConsoleWindow, TheLastAddressIsSavedOnConnectAndShownAfterRestart) {
    MemorySettings settings;
    {
        ConsoleRig first(settings);
        first.setText("txtIP", "127.0.0.9");
        // A serial connection on COM16 still saves the address box.
        first.clickOn(first.find<QRadioButton>("optType(1)"));
        first.setText("cboComport", "COM16");
        first.click(0);
        EXPECT_EQ(first.window->KV().CommunicationType(), 0);
        EXPECT_EQ(first.window->KV().Timeout(), 3000);
        EXPECT_EQ(first.links.serialPorts.at(0)->portNumber(), 16);
    }
    ConsoleRig second(settings);
    EXPECT_EQ(second.text("txtIP"), "127.0.0.9");
    // A store that cannot be read shows the first-run text, and the console connects anyway.
    settings.failing = true;
    ConsoleRig third(settings);
    EXPECT_EQ(third.text("txtIP"), kDefaultTerminalAddress);
    third.connectUdp();
    EXPECT_EQ(third.log(), "OK!\n");
}

TEST(ConsoleWindow, ClosingWhileAConnectWaitsEndsTheWaitAtOnceWithTheAddressSaved) {
    MemorySettings settings;
    ConsoleRig rig(settings);
    // No module and no stream: the TCP connect would wait about 20 s.
    rig.links.sockets.at(0)->connectScript.assign(3, test::FakeSocket::ConnectOutcome::Silent);
    rig.setText("txtIP", "127.0.0.2");
    std::size_t sentAtClose = 0;
    rig.time.onPump = [&] {
        if (rig.time.elapsedMs() >= 1000 && rig.window->isVisible()) {
            EXPECT_EQ(settings.values.at({kApplicationTitle, "Connection", "IP"}), "127.0.0.2");
            sentAtClose = rig.links.sockets.at(1)->sent.size();
            rig.window->close();
        }
    };
    rig.click(0);
    EXPECT_FALSE(rig.window->isVisible());
    EXPECT_LE(rig.time.elapsedMs(), 1050);
    EXPECT_EQ(rig.links.sockets.at(1)->sent.size(), sentAtClose);
    EXPECT_EQ(rig.links.sockets.at(0)->connectCalls, 0);
}

// The panel opens beside the log, shows each frame of a press with its verdicts and the reply
// time, saves what it shows, keeps only its last lines and, closed again, listens no more.
TEST_F(ConnectedWindow, TheTrafficPanelShowsAPressFrameByFrameAndSavesIt) {
    auto* traffic = rig.find<QPushButton>("cmdTraffic");
    EXPECT_FALSE(rig.window->Traffic().isVisible());
    rig.clickOn(traffic);
    ASSERT_TRUE(rig.window->Traffic().isVisible());
    rig.answer = [](const Request&) { return "A08:00:00"; };
    rig.click(17); // "Get Time"
    // Decoded away from the driver's thread and shown by the panel's refresh.
    const auto* view = rig.window->Traffic().findChild<QListView*>("lstTraffic");
    EXPECT_TRUE(QTest::qWaitFor([view] { return view->model()->rowCount() == 2; }, 2000));
    const std::string lines = rig.window->Traffic().Lines();
    EXPECT_EQ(lines, "08:00:00 > udp 127.0.0.1:1001 #1 IG [\"TIME\"00] checksum ok, length ok\n"
                     "08:00:00 < udp 127.0.0.1:1001 #1 A [08:00:00] checksum ok, length ok, "
                     "reply in 50 ms\n");

    QTemporaryDir folder;
    const QString path = folder.filePath("traffic.txt");
    rig.dialogs.inputAnswers.push_back(path.toStdString());
    QTest::mouseClick(rig.find<QPushButton>("cmdTrafficSave"), Qt::LeftButton);
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll().toStdString(), lines);
    EXPECT_TRUE(rig.dialogs.messageBoxes.empty());
    rig.dialogs.inputAnswers.push_back(folder.filePath("no-such-folder/traffic.txt").toStdString());
    QTest::mouseClick(rig.find<QPushButton>("cmdTrafficSave"), Qt::LeftButton);
    EXPECT_EQ(rig.dialogs.messageBoxes.size(), 1u) << "a failed save says so";

    // A flood: the newest lines stay.
    auto receive = [&](const std::string& bytes) {
        rig.window->KV().LinkTraffic.raise({LinkDirection::Received, "udp x", true, {}, 0, bytes});
    };
    const int flood = 2 * TrafficPanel::kMaxLines + 5;
    for (int i = 1; i <= flood; ++i) {
        receive(std::to_string(i));
    }
    const std::string kept = rig.window->Traffic().Lines();
    EXPECT_EQ(std::count(kept.begin(), kept.end(), '\n'), TrafficPanel::kMaxLines);
    const std::string first = std::to_string(flood - TrafficPanel::kMaxLines + 1);
    EXPECT_TRUE(kept.starts_with("00:00:00 < udp x stray [" + first + "]\n")) << kept.substr(0, 80);
    EXPECT_TRUE(kept.ends_with(" stray [" + std::to_string(flood) + "]\n"));

    // Closed with half a frame received, and opened again: the other half is no frame.
    receive("\x02"
            "11A12");
    rig.clickOn(traffic);
    rig.window->Traffic().Clear();
    rig.click(17);
    EXPECT_EQ(rig.window->Traffic().Lines(), "");
    rig.clickOn(traffic);
    receive("3D708\x03");
    EXPECT_EQ(rig.window->Traffic().Lines(), "00:00:00 < udp x stray [3D708<ETX>]\n");
}

} // namespace
} // namespace kelvra
