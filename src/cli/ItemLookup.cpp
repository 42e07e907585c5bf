#include "cli/ItemLookup.h"

#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"
#include "driver/LeadingNumber.h"

#include <algorithm>
#include <stdexcept>

namespace kelvra::cli {

std::int16_t ResolveItem(Session& session, const std::string& nameOrNumber) {
    if (!nameOrNumber.empty() && std::all_of(nameOrNumber.begin(), nameOrNumber.end(),
                                             [](char c) { return c >= '0' && c <= '9'; })) {
        // Two digits travel: a reference of 100 or more would be cut to its last two.
        return static_cast<std::int16_t>(ParseInteger(nameOrNumber, 0, 99, "item number"));
    }
    const std::string name = LinkText(nameOrNumber);
    const std::string reply =
        session.query(("item \"" + nameOrNumber + "\"").c_str(),
                      [&](ucKelvra& kv) { kv.GetItemNumberByName(session.source(), name); });
    return ReadCount(reply, "the number of item \"" + nameOrNumber + "\"");
}

ItemDescriptor ReadDescriptor(Session& session, std::int16_t reference) {
    const std::string what = "item " + std::to_string(reference);
    const std::string reply = session.query(
        what.c_str(), [&](ucKelvra& kv) { kv.GetItemInfo(session.source(), reference); });
    auto descriptor = ParseItemDescriptor(reply);
    if (!descriptor) {
        throw ReplyFailure(what + ": the terminal's descriptor cannot be read: " + reply);
    }
    return *descriptor;
}

FieldDescriptor ReadFieldDescriptor(Session& session, std::int16_t reference, std::int16_t field) {
    const std::string what =
        "item " + std::to_string(reference) + " field " + std::to_string(field);
    const std::string reply = session.query(what.c_str(), [&](ucKelvra& kv) {
        kv.GetItemTab_FieldInfo(session.source(), reference, field);
    });
    auto descriptor = ParseFieldDescriptor(reply);
    if (!descriptor) {
        throw ReplyFailure(what + ": the terminal's descriptor cannot be read: " + reply);
    }
    return *descriptor;
}

std::int16_t ReadCount(const std::string& reply, const std::string& what) {
    std::int16_t value = -1;
    try {
        value = ReadInt16(reply);
    } catch (const std::overflow_error&) {
    }
    if (value < 0) {
        throw ReplyFailure(what + ": the terminal's reply is no count: " + reply);
    }
    return value;
}

} // namespace kelvra::cli
