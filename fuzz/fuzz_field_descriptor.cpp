// Field descriptors of table items, and the public reader that hands them out.
#include "DescriptorText.h"
#include "DriverProbe.h"
#include "FuzzCheck.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kelvra;
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto field = ParseFieldDescriptor(text);
    if (std::count(text.begin(), text.end(), '\t') > 4) {
        FUZZ_CHECK(!field);
    }
    if (field) {
        const auto again = ParseFieldDescriptor(fuzz::DescriptorText(*field));
        FUZZ_CHECK(again && *again == *field);
    }

    test::DriverRig rig;
    rig.connectUdp();
    rig.answerEveryFrame(test::TerminalReply(1, "A" + text), 10);
    rig.kv.GetItemTab_FieldInfo(1, 0, 0);
    if (rig.kv.ErrCode() == KV_SUCCESS) {
        std::int16_t id = 0;
        std::string type, definition, help;
        std::string captions[11];
        rig.kv.GetData_FieldInfo(id, type, definition, help, captions);
        const FieldDescriptor expected = field.value_or(FieldDescriptor{});
        FUZZ_CHECK(id == expected.ID && type == expected.Type);
        FUZZ_CHECK(definition == expected.Definition && help == expected.Help);
        FUZZ_CHECK(
            std::equal(std::begin(captions), std::end(captions), expected.Selection.begin()));
    }
    return 0;
}
