// The counting rules of the property view and its editors, against a scripted terminal behind a
// fake datagram link in virtual time: how many times each command is sent when the terminal
// fails.
#include "ScriptedTerminal.h"

#include <QAction>
#include <gtest/gtest.h>

namespace kelvra {
namespace {

using test::Child;
using test::Fails;
using test::ScriptedTerminal;

// A failed check leaves the view open for another Refresh; a silent terminal is named so.
TEST(PropertyViewCounting, TheStatusCheckAndTheItemCountShareOneRetryCounter) {
    struct Row {
        int statusFailures, countFailures;
        std::size_t statusSent, countSent;
        std::string panel;
        std::string message = "KV_ERR_COMMAND_EXECUTION_FAILED\n";
        const char* failure = "F";
    };
    const std::vector<Row> rows = {
        {0, 0, 1, 1, "On-Line", ""},
        {3, 99, 4, 2, "Connect Failed."}, // counter at 3: the count gets attempts 4 and 5
        {0, 99, 1, 5, "Connect Failed."},
        {99, 0, 4, 0, "Retry... 4"}, // Retries+1 status attempts
        {99, 0, 4, 0, "Retry... 4",
         "The terminal did not answer (KV_ERR_TIMEOUT, 4 tries). Check the link and the "
         "terminal, then press Refresh.\n",
         ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.panel + row.failure);
        ScriptedTerminal rig;
        rig.script = {{"LS", std::vector<std::string>(row.statusFailures, row.failure)},
                      {"IC", Fails(row.countFailures, "A0")}};
        rig.script["LS"].push_back("AO");
        rig.view.show();
        rig.load();
        EXPECT_EQ(rig.sent("LS"), row.statusSent);
        EXPECT_EQ(rig.sent("IC"), row.countSent);
        EXPECT_EQ(rig.view.StatusText(1), row.panel);
        // A reconnect after every failed status query.
        EXPECT_EQ(std::count(rig.links.journal.begin(), rig.links.journal.end(), "close socket 0"),
                  std::min<long>(row.statusFailures, static_cast<long>(row.statusSent)));
        EXPECT_EQ(rig.view.LoginIsOK(), row.message.empty());
        EXPECT_EQ(rig.boxes(), row.message);
        EXPECT_TRUE(rig.view.isVisible());
        rig.script = {{"LS", {"AO"}}, {"IC", {"A0"}}};
        Child<QAction>(rig.view, "mnuFiles(0)")->trigger(); // "&Refresh"
        EXPECT_EQ(rig.view.StatusText(1), "On-Line");
        EXPECT_EQ(rig.grid().rowCount(), 1); // no items: the punch row
        EXPECT_TRUE(rig.view.LoginIsOK());
    }
}

TEST(PropertyViewCounting, MembersShareOneRetryBudgetAndMaskedValuesMarkThePasswordRow) {
    ScriptedTerminal rig;
    rig.script = {
        {"LS", {"AO"}},
        {"IC", {"A4"}},
        {"I?00", {"ASIZE3\t100\tVAL\t3\t4\tThree\t\t"}},
        {"IG00", {"A10", "A11", "A12"}},
        {"I?01", {"ALOGINPWD\t101\tSTR\t1\t8\tPassword\t\t"}},
        {"IG01", {"Asecret"}},
        {"I?02", {"AFAILS\t102\tVAL\t2\t4\tFailing\t\t"}},
        {"IG02", {"F"}},
        {"I?03", {"AHIDDEN\t103\tSTR\t1\t8\tHidden\t\t"}},
        {"IG03", {"D"}},
    };
    rig.load();
    EXPECT_EQ(rig.sent("IG00"), 3u);
    EXPECT_EQ(rig.shown(0), "12"); // the members share the cell; the last one read stays
    EXPECT_EQ(rig.shown(1), "********");
    EXPECT_EQ(rig.sent("IG02"), 5u); // 4 attempts for member 0 spend the budget of 3 retries
    EXPECT_EQ(rig.shown(2), "");
    EXPECT_EQ(rig.shown(3), "********");
    EXPECT_EQ(rig.view.PasswordRow(), 3);
}

} // namespace
} // namespace kelvra
