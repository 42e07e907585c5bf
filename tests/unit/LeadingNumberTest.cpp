#include "driver/LeadingNumber.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <string>

namespace kelvra {
namespace {

TEST(LeadingNumber, ReadsTheNumberAtTheStartOfAText) {
    struct Row {
        std::string text;
        double value;
    };
    const Row rows[] = {
        {"", 0},        {"abc", 0},     {"12abc", 12},      {" 1 2 ", 12},      {"\t-3", -3},
        {"- 3", -3},    {"+7", 7},      {"--3", 0},         {"1.5", 1.5},       {".5", 0.5},
        {"2.5.3", 2.5}, {".", 0},       {"1e3", 1000},      {"1D2", 100},       {"1e-1", 0.1},
        {"1e", 1},      {"7\n8", 78},   {"3\r4", 3},        {"&H1F", 31},       {"&hff", 255},
        {"&H", 0},      {"&HFFFF", -1}, {"&H8000", -32768}, {"&H10000", 65536}, {"&HFFFFFFFF", -1},
        {"&H1G", 1},    {"&O17", 15},   {"&o8", 0},         {"&O177777", -1},   {"&Z1", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_DOUBLE_EQ(ReadLeadingNumber(row.text), row.value);
    }
    EXPECT_DOUBLE_EQ(ReadLeadingNumber(std::string("18\0"
                                                   "40",
                                                   5)),
                     18)
        << "NUL is no exponent";
    EXPECT_DOUBLE_EQ(ReadLeadingNumber("&HA", NumberForms::DecimalOnly), 0);
}

TEST(LeadingNumber, RoundsHalvesToEvenWithin16Bits) {
    const std::pair<double, int> rows[] = {
        {0.5, 0},  {1.5, 2},         {2.5, 2},           {3.5, 4},         {-2.5, -2},
        {2.49, 2}, {32767.4, 32767}, {-32768.5, -32768}, {-32768, -32768},
    };
    for (const auto& [value, expected] : rows) {
        SCOPED_TRACE(value);
        EXPECT_EQ(RoundToInt16(value), expected);
    }
}

TEST(LeadingNumber, ValuesBeyond16BitsThrowOverflow) {
    for (const char* text : {"32767.5", "32768", "-32769", "-32768.6", "1e400", "&H10000",
                             "&H100000000", "99999999999999999999"}) {
        SCOPED_TRACE(text);
        EXPECT_THROW(ReadInt16(text), std::overflow_error);
    }
    EXPECT_EQ(ReadInt16(" 12 x"), 12);
    EXPECT_EQ(ReadInt16("&HFFFF"), -1);
}

} // namespace
} // namespace kelvra
