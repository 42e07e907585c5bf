// Item and field descriptors: how a catalogue reply is taken apart, and how the driver hands
// the parts to its callers without consuming the reply.
#include "driver/ItemDescriptor.h"

#include "DriverProbe.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvra {
namespace {

using test::DriverRig;
using test::TerminalReply;

// Captions c0, c1, ...: each numbered, so a shift would show.
std::vector<std::string> CaptionList(int count) {
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i) {
        list.push_back("c" + std::to_string(i));
    }
    return list;
}
std::string Captions(int count) {
    std::string text;
    for (const std::string& caption : CaptionList(count)) {
        text += (text.empty() ? "" : ";") + caption;
    }
    return text;
}

// The door mode item as the terminal describes it, with the given selection and size fields.
std::string DoorText(const std::string& selection, const std::string& size = "1") {
    return "DOORMODE\t12\tVAL\t" + size + "\t40\tDoor mode\tHow the lock relay is driven\t" +
           selection;
}
ItemDescriptor Door(const std::vector<std::string>& captions = {}, std::int16_t size = 1) {
    ItemDescriptor item;
    item.Name = "DOORMODE";
    item.ID = 12;
    item.Type = "VAL";
    item.Size = size;
    item.Flags = 40;
    item.Definition = "Door mode";
    item.Help = "How the lock relay is driven";
    std::copy(captions.begin(), captions.end(), item.Selection.begin());
    return item;
}

// A ninth field, and a sixth in a field descriptor, are the fuzz targets' to refuse.
TEST(ItemDescriptorParse, TakesTheTabbedFieldsApartWithinTheirLimits) {
    ItemDescriptor time;
    time.Name = "TIME";
    time.ID = 3;
    time.Type = "TIME";
    const std::string sevenFields = DoorText("").substr(0, DoorText("").size() - 1);
    struct Row {
        const char* name;
        std::string text;
        std::optional<ItemDescriptor> parsed;
    };
    const std::vector<Row> rows = {
        {"eight fields", DoorText("Off;On"), Door({"Off", "On"})},
        {"untrimmed captions, a last semicolon", DoorText(" Off ;On ;"), Door({" Off ", "On "})},
        {"seven fields", sevenFields, Door()},
        {"missing fields read as empty and 0", "TIME\t3\tTIME", time},
        {"empty text", "", ItemDescriptor{}},
        {"size is a leading number", DoorText("", "7 members"), Door({}, 7)},
        {"size -32768", DoorText("", "-32768"), Door({}, -32768)},
        {"size 32768", DoorText("", "32768"), std::nullopt},
        {"101 captions", DoorText(Captions(101)), Door(CaptionList(101))},
        {"102 captions", DoorText(Captions(102)), std::nullopt},
        // The last semicolon makes an empty caption that counts.
        {"100 captions and a semicolon", DoorText(Captions(100) + ";"), Door(CaptionList(100))},
        {"101 captions and a semicolon", DoorText(Captions(101) + ";"), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseItemDescriptor(row.text), row.parsed);
    }
}

TEST(FieldDescriptorParse, TakesFiveFieldsApartWithinTheirLimits) {
    const std::string kind = "2\tVAL\tKind\tCard kind";
    struct Row {
        std::string text;
        bool accepted;
    };
    const Row rows[] = {
        {kind + "\t" + Captions(51), true},
        {kind + "\t" + Captions(52), false},
        {kind + "\t" + Captions(50) + ";", true},
        {kind + "\t" + Captions(51) + ";", false},
        {"70000\tVAL", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseFieldDescriptor(row.text).has_value(), row.accepted);
    }

    FieldDescriptor expected;
    expected.ID = 2;
    expected.Type = "VAL";
    expected.Definition = "Kind";
    expected.Help = "Card kind";
    EXPECT_EQ(ParseFieldDescriptor(kind), expected);
    expected.Selection[0] = "Staff";
    expected.Selection[1] = "Guest";
    EXPECT_EQ(ParseFieldDescriptor(kind + "\tStaff;Guest"), expected);
}

// What GetData_ItemInfo wrote, gathered for comparison.
struct ItemOut {
    explicit ItemOut(std::size_t captionSlots = 11) : captions(captionSlots, "stale") {}
    std::string name = "stale";
    std::int16_t id = -9;
    std::string type = "stale";
    std::int16_t size = -9;
    std::int16_t flags = -9;
    std::string definition = "stale";
    std::string help = "stale";
    std::vector<std::string> captions;

    void readFrom(const ucKelvra& kv) {
        kv.GetData_ItemInfo(name, id, type, size, flags, definition, help, captions);
    }
    bool operator==(const ItemOut&) const = default;
};

ItemOut Expected(const ItemDescriptor& item, std::size_t captionSlots) {
    ItemOut out(captionSlots);
    out.name = item.Name;
    out.id = item.ID;
    out.type = item.Type;
    out.size = item.Size;
    out.flags = item.Flags;
    out.definition = item.Definition;
    out.help = item.Help;
    std::copy_n(item.Selection.begin(), 11, out.captions.begin());
    return out;
}

struct CatalogueRig : DriverRig {
    explicit CatalogueRig(const std::string& descriptor)
        : DriverRig(TerminalReply(1, "A" + descriptor)) {
        kv.GetItemInfo(1, 5);
    }
};

// Eleven captions are handed out, into an array of at least eleven (a malformed descriptor
// gives the empty one: the item descriptor fuzz target's seeds). The reply stays in the buffer
// until GetData takes it.
TEST(ItemInfoReply, IsReadFromTheBufferWithoutConsumingIt) {
    const std::string descriptor = DoorText("Off;On");
    CatalogueRig rig(descriptor);
    for (int read = 0; read < 2; ++read) {
        ItemOut out;
        out.readFrom(rig.kv);
        EXPECT_EQ(out, Expected(Door({"Off", "On"}), 11));
    }
    ItemOut tooFewSlots(10); // throws and writes nothing
    EXPECT_THROW(tooFewSlots.readFrom(rig.kv), std::out_of_range);
    EXPECT_EQ(tooFewSlots, ItemOut(10));
    std::string raw;
    rig.kv.GetData(raw);
    EXPECT_EQ(raw, descriptor);
    ItemOut afterGetData;
    afterGetData.readFrom(rig.kv);
    EXPECT_EQ(afterGetData, Expected(ItemDescriptor{}, 11));
}

TEST(FieldInfoReply, ParsesTheFieldAndLeavesTheRawReply) {
    const std::string descriptor = "3\tDATE\tValid until\tLast day\t";
    DriverRig rig(TerminalReply(1, "A" + descriptor));
    rig.kv.GetItemTab_FieldInfo(1, 9, 2);

    std::int16_t id = -9;
    std::string type;
    std::string definition;
    std::string help;
    std::string captions[12];
    captions[11] = "stale";
    EXPECT_THROW(rig.kv.GetData_FieldInfo(id, type, definition, help, std::span(captions, 10)),
                 std::out_of_range);
    EXPECT_EQ(id, -9);
    rig.kv.GetData_FieldInfo(id, type, definition, help, captions); // the fields: the fuzz seeds'
    EXPECT_EQ(id, 3);
    EXPECT_EQ(captions[11], "stale");

    std::string raw;
    rig.kv.GetData(raw);
    EXPECT_EQ(raw, descriptor);
}

} // namespace
} // namespace kelvra
