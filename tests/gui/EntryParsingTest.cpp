// The console's readings of what the operator types: numbers into 16 or 32 bits, bell times.
#include "console/NumberEntry.h"
#include "console/TimeOfDay.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

namespace kelvra {
namespace {

TEST(NumberEntry, TakesTheLeadingNumberOrRefusesNamingTheBox) {
    struct Row {
        std::string text;
        std::optional<std::int16_t> value; // nothing: refused
    };
    // The reading itself is the driver's (LeadingNumberTest); these rows pin that the entry
    // uses it and turns its overflow into a refusal.
    const std::vector<Row> rows = {
        {"12abc", 12}, {"-32768", -32768}, {"32768", std::nullopt}, {"1e9", std::nullopt}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        if (row.value) {
            EXPECT_EQ(ReadNumberEntry(row.text, "ID"), *row.value);
            continue;
        }
        try {
            ReadNumberEntry(row.text, "Machine ID");
            ADD_FAILURE() << "accepted";
        } catch (const NumberEntryRefused& refusal) {
            EXPECT_EQ(refusal.boxCaption(), "Machine ID");
            EXPECT_NE(std::string(refusal.what()).find("\"Machine ID\""), std::string::npos);
        }
    }
}

TEST(NumberEntry, ThePortTakes32Bits) {
    EXPECT_EQ(ReadNumberEntry32("1001", "Port"), 1001);
    EXPECT_EQ(ReadNumberEntry32("70000", "Port"), 70000);
    EXPECT_EQ(ReadNumberEntry32("1000.5", "Port"), 1000);
    EXPECT_THROW(ReadNumberEntry32("3e9", "Port"), NumberEntryRefused);
}

TEST(TimeOfDay, ReadsHoursMinutesAndSecondsOrNothing) {
    struct Row {
        std::string text;
        int seconds; // -1: not a time
    };
    const std::vector<Row> rows = {
        {"07:30:00", 7 * 3600 + 30 * 60},
        {"7:30", 7 * 3600 + 30 * 60},
        {" 23:59:59 ", 86399},
        {"24:00", -1},
        {"12:60", -1},
        {"12:00:60", -1},
        {"12", -1},
        {"", -1},
        {"1:2:3:4", -1},
        {"ab:cd", -1},
        {"12:30:", -1},
        {"123:00", -1},
        {"-1:00", -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        const auto time = ParseTimeOfDay(row.text);
        if (row.seconds < 0) {
            EXPECT_FALSE(time.has_value());
        } else {
            ASSERT_TRUE(time.has_value());
            EXPECT_EQ(time->secondsSinceZero(), row.seconds);
        }
    }
}

} // namespace
} // namespace kelvra
