// Item descriptors as the terminal's catalogue sends them, and as the driver hands them out.
#include "DescriptorText.h"
#include "DriverProbe.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvra;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto item = ParseItemDescriptor(text);
    if (std::count(text.begin(), text.end(), '\t') > 7) {
        FUZZ_CHECK(!item);
    }
    if (item) {
        const auto again = ParseItemDescriptor(fuzz::DescriptorText(*item));
        FUZZ_CHECK(again && *again == *item);
    }

    // The public reader copies eleven captions and leaves the buffer as it was.
    test::DriverRig rig;
    rig.connectUdp();
    rig.answerEveryFrame(test::TerminalReply(1, "A" + text), 10);
    rig.kv.GetItemInfo(1, 0);
    if (rig.kv.ErrCode() == KV_SUCCESS) {
        std::string name, type, definition, help;
        std::int16_t id = 0, itemSize = 0, flags = 0;
        std::vector<std::string> captions(12, "untouched");
        rig.kv.GetData_ItemInfo(name, id, type, itemSize, flags, definition, help, captions);
        const ItemDescriptor expected = item.value_or(ItemDescriptor{});
        FUZZ_CHECK(name == expected.Name && id == expected.ID && type == expected.Type);
        FUZZ_CHECK(itemSize == expected.Size && flags == expected.Flags);
        FUZZ_CHECK(definition == expected.Definition && help == expected.Help);
        FUZZ_CHECK(std::equal(captions.begin(), captions.begin() + 11, expected.Selection.begin()));
        FUZZ_CHECK(captions[11] == "untouched");
        std::string raw;
        rig.kv.GetData(raw);
        FUZZ_CHECK(raw == text);
    }
    return 0;
}
