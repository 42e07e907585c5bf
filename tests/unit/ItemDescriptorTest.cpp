// Item and field descriptors: how a catalogue reply is taken apart, and how the driver hands
// the parts to its callers without consuming the reply.
#include "driver/ItemDescriptor.h"

#include "DriverProbe.h"

#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::DriverRig;
using test::TerminalReply;

// n captions c0;c1;...; each numbered so a shift would show.
std::string Captions(int count) {
    std::string list;
    for (int i = 0; i < count; ++i) {
        list += (i == 0 ? "c" : ";c") + std::to_string(i);
    }
    return list;
}

std::string Tabbed(const std::vector<std::string>& fields) {
    std::string text;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        text += (i == 0 ? "" : "\t") + fields[i];
    }
    return text;
}

ItemDescriptor Door() {
    ItemDescriptor item;
    item.Name = "DOORMODE";
    item.ID = 12;
    item.Type = "VAL";
    item.Size = 1;
    item.Flags = 40;
    item.Definition = "Door mode";
    item.Help = "How the lock relay is driven";
    return item;
}

std::vector<std::string> DoorFields(std::string selection) {
    return {
        "DOORMODE",          "12", "VAL", "1", "40", "Door mode", "How the lock relay is driven",
        std::move(selection)};
}

TEST(ItemDescriptorParse, AcceptsWhatTheTerminalSends) {
    struct Row {
        const char* name;
        std::string text;
        std::vector<std::string> captions; // the expected non-empty prefix of Selection
    };
    const std::vector<Row> rows = {
        {"eight fields", Tabbed(DoorFields("Off;On")), {"Off", "On"}},
        {"captions not trimmed", Tabbed(DoorFields(" Off ;On ")), {" Off ", "On "}},
        {"trailing semicolon", Tabbed(DoorFields("A;B;")), {"A", "B"}},
        {"empty selection", Tabbed(DoorFields("")), {}},
        {"seven fields",
         Tabbed({"DOORMODE", "12", "VAL", "1", "40", "Door mode", "How the lock relay is driven"}),
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const auto parsed = ParseItemDescriptor(row.text);
        ASSERT_TRUE(parsed.has_value());
        ItemDescriptor expected = Door();
        for (std::size_t i = 0; i < row.captions.size(); ++i) {
            expected.Selection[i] = row.captions[i];
        }
        EXPECT_EQ(*parsed, expected);
    }
}

TEST(ItemDescriptorParse, MissingFieldsReadAsEmptyAndZero) {
    const auto parsed = ParseItemDescriptor("TIME\t3\tTIME");
    ASSERT_TRUE(parsed.has_value());
    ItemDescriptor expected;
    expected.Name = "TIME";
    expected.ID = 3;
    expected.Type = "TIME";
    EXPECT_EQ(*parsed, expected);
    EXPECT_EQ(ParseItemDescriptor(""), ItemDescriptor{});
}

TEST(ItemDescriptorParse, NumbersAreLeadingNumbersWithinSixteenBits) {
    struct Row {
        const char* size;
        std::optional<std::int16_t> parsed; // nothing: the whole descriptor is rejected
    };
    const Row rows[] = {
        {"abc", 0},
        {"7 members", 7},
        {"&H10", 16},
        {"32767", 32767},
        {"-32768", -32768},
        {"32768", std::nullopt},
        {"-32769", std::nullopt},
        {"1E9", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.size);
        auto fields = DoorFields("Off;On");
        fields[3] = row.size;
        const auto parsed = ParseItemDescriptor(Tabbed(fields));
        ASSERT_EQ(parsed.has_value(), row.parsed.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->Size, *row.parsed);
        }
    }
}

TEST(ItemDescriptorParse, RejectsTooManyFieldsOrCaptions) {
    auto nine = DoorFields("Off;On");
    nine.push_back("extra");
    struct Row {
        const char* name;
        std::string text;
        bool accepted;
    };
    const std::vector<Row> rows = {
        {"nine fields", Tabbed(nine), false},
        {"eight fields and a trailing TAB", Tabbed(DoorFields("Off;On")) + "\t", false},
        {"101 captions", Tabbed(DoorFields(Captions(101))), true},
        {"102 captions", Tabbed(DoorFields(Captions(102))), false},
        // The trailing semicolon makes an empty caption that counts.
        {"100 captions and a semicolon", Tabbed(DoorFields(Captions(100) + ";")), true},
        {"101 captions and a semicolon", Tabbed(DoorFields(Captions(101) + ";")), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseItemDescriptor(row.text).has_value(), row.accepted);
    }
}

TEST(ItemDescriptorParse, KeepsAllOneHundredAndOneCaptions) {
    const auto parsed = ParseItemDescriptor(Tabbed(DoorFields(Captions(101))));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->Selection[0], "c0");
    EXPECT_EQ(parsed->Selection[100], "c100");
}

TEST(FieldDescriptorParse, AcceptsFiveFieldsAndRejectsMore) {
    struct Row {
        const char* name;
        std::string text;
        bool accepted;
    };
    const std::vector<Row> rows = {
        {"five fields", Tabbed({"2", "VAL", "Kind", "Card kind", "Staff;Guest"}), true},
        {"four fields", Tabbed({"2", "VAL", "Kind", "Card kind"}), true},
        {"six fields", Tabbed({"2", "VAL", "Kind", "Card kind", "Staff;Guest", "x"}), false},
        {"51 captions", Tabbed({"2", "VAL", "Kind", "", Captions(51)}), true},
        {"52 captions", Tabbed({"2", "VAL", "Kind", "", Captions(52)}), false},
        {"50 captions and a semicolon", Tabbed({"2", "VAL", "", "", Captions(50) + ";"}), true},
        {"51 captions and a semicolon", Tabbed({"2", "VAL", "", "", Captions(51) + ";"}), false},
        {"ID above 16 bits", Tabbed({"70000", "VAL", "Kind", "", ""}), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseFieldDescriptor(row.text).has_value(), row.accepted);
    }

    const auto parsed =
        ParseFieldDescriptor(Tabbed({"2", "VAL", "Kind", "Card kind", "Staff;Guest"}));
    ASSERT_TRUE(parsed.has_value());
    FieldDescriptor expected;
    expected.ID = 2;
    expected.Type = "VAL";
    expected.Definition = "Kind";
    expected.Help = "Card kind";
    expected.Selection[0] = "Staff";
    expected.Selection[1] = "Guest";
    EXPECT_EQ(*parsed, expected);

    const auto withoutSelection = ParseFieldDescriptor(Tabbed({"2", "VAL", "Kind", "Card kind"}));
    ASSERT_TRUE(withoutSelection.has_value());
    expected.Selection[0].clear();
    expected.Selection[1].clear();
    EXPECT_EQ(*withoutSelection, expected);
}

// What GetData_ItemInfo wrote, gathered for comparison.
struct ItemOut {
    std::string name = "stale";
    std::int16_t id = -9;
    std::string type = "stale";
    std::int16_t size = -9;
    std::int16_t flags = -9;
    std::string definition = "stale";
    std::string help = "stale";
    std::vector<std::string> captions = std::vector<std::string>(11, "stale");

    void readFrom(const ucKelvra& kv) {
        kv.GetData_ItemInfo(name, id, type, size, flags, definition, help, captions);
    }
    bool operator==(const ItemOut&) const = default;
};

ItemOut Expected(const ItemDescriptor& item, std::size_t captionSlots = 11) {
    ItemOut out;
    out.name = item.Name;
    out.id = item.ID;
    out.type = item.Type;
    out.size = item.Size;
    out.flags = item.Flags;
    out.definition = item.Definition;
    out.help = item.Help;
    out.captions.assign(captionSlots, "stale");
    for (std::size_t i = 0; i < 11; ++i) {
        out.captions[i] = item.Selection[i];
    }
    return out;
}

struct CatalogueRig : DriverRig {
    explicit CatalogueRig(const std::string& descriptor) {
        connectUdp();
        answerEveryFrame(TerminalReply(1, "A" + descriptor));
        kv.GetItemInfo(1, 5);
    }
};

TEST(ItemInfoReply, IsReadWithoutConsumingTheBuffer) {
    const std::string descriptor = Tabbed(DoorFields("Off;On"));
    CatalogueRig rig(descriptor);
    ItemDescriptor door = Door();
    door.Selection[0] = "Off";
    door.Selection[1] = "On";

    ItemOut first;
    first.readFrom(rig.kv);
    ItemOut second;
    second.readFrom(rig.kv);
    EXPECT_EQ(first, Expected(door));
    EXPECT_EQ(second, first);

    std::string raw;
    rig.kv.GetData(raw);
    EXPECT_EQ(raw, descriptor);
    ItemOut afterGetData;
    afterGetData.readFrom(rig.kv);
    EXPECT_EQ(afterGetData, Expected(ItemDescriptor{}));
}

TEST(ItemInfoReply, CopiesExactlyElevenCaptions) {
    CatalogueRig rig(Tabbed(DoorFields(Captions(101))));
    ItemOut out;
    out.captions.assign(15, "stale");
    out.readFrom(rig.kv);
    for (std::size_t i = 0; i < 11; ++i) {
        EXPECT_EQ(out.captions[i], "c" + std::to_string(i));
    }
    for (std::size_t i = 11; i < 15; ++i) {
        EXPECT_EQ(out.captions[i], "stale");
    }
}

TEST(ItemInfoReply, AMalformedDescriptorGivesTheEmptyDescriptor) {
    CatalogueRig rig(Tabbed({"X", "99999"}));
    ItemOut out;
    out.readFrom(rig.kv);
    EXPECT_EQ(out, Expected(ItemDescriptor{}));
}

TEST(ItemInfoReply, ACaptionArrayWithoutElevenSlotsThrowsAndWritesNothing) {
    CatalogueRig rig(Tabbed(DoorFields("Off;On")));
    ItemOut out;
    out.captions.assign(10, "stale");
    const ItemOut untouched = out;
    EXPECT_THROW(out.readFrom(rig.kv), std::out_of_range);
    EXPECT_EQ(out, untouched);

    std::int16_t id = -9;
    std::string type = "stale";
    std::string definition = "stale";
    std::string help = "stale";
    EXPECT_THROW(rig.kv.GetData_FieldInfo(id, type, definition, help, out.captions),
                 std::out_of_range);
    EXPECT_EQ(id, -9);
    EXPECT_EQ(type, "stale");
}

TEST(FieldInfoReply, ParsesTheFieldAndLeavesTheRawReply) {
    const std::string descriptor = Tabbed({"3", "DATE", "Valid until", "Last day", ""});
    DriverRig rig;
    rig.connectUdp();
    rig.answerEveryFrame(TerminalReply(1, "A" + descriptor));
    rig.kv.GetItemTab_FieldInfo(1, 9, 2);

    std::int16_t id = -9;
    std::string type;
    std::string definition;
    std::string help;
    std::string captions[12];
    captions[11] = "stale";
    rig.kv.GetData_FieldInfo(id, type, definition, help, captions);
    EXPECT_EQ(id, 3);
    EXPECT_EQ(type, "DATE");
    EXPECT_EQ(definition, "Valid until");
    EXPECT_EQ(help, "Last day");
    EXPECT_EQ(captions[0], "");
    EXPECT_EQ(captions[11], "stale");

    std::string raw;
    rig.kv.GetData(raw);
    EXPECT_EQ(raw, descriptor);
}

} // namespace
} // namespace kelvra
