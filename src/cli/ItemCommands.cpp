// The item catalogue and the members of array items.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/ItemLookup.h"
#include "cli/ProgressBar.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"
#include "cli/TextTable.h"

#include <array>
#include <ostream>

namespace kelvra::cli {

namespace {

// What the catalogue shows of one item: its descriptor and, for an array item, the value of
// every member or the refusal that reading it met.
struct CatalogueEntry {
    std::int16_t reference = 0;
    ItemDescriptor descriptor;
    std::vector<std::string> values;
    std::string refusal; // "KV_ERR_ACCESS_DENIED" for an item that needs a login
};

// Members of an array item. Only the terminal's refusal to show a value (an item that needs
// a login) is shown in its place; every other failure ends the command.
void ReadValues(Session& session, CatalogueEntry& entry) {
    for (std::int16_t member = 0; member < entry.descriptor.Size; ++member) {
        const std::int32_t code = session.attempt(
            [&](ucKelvra& kv) { kv.GetItem(session.source(), entry.reference, member); },
            Repeat::IfTimedOut);
        if (code == KV_ERR_ACCESS_DENIED) {
            entry.values.clear();
            entry.refusal = ucKelvra::ErrorMessage(code);
            session.data();
            return;
        }
        if (code != KV_SUCCESS) {
            throw TerminalFailure(code, "item " + std::to_string(entry.reference));
        }
        entry.values.push_back(session.data());
    }
}

std::string JoinValues(const CatalogueEntry& entry) {
    if (!entry.refusal.empty()) {
        return "(" + entry.refusal + ")";
    }
    if (entry.descriptor.Type == "TAB") {
        return "(table)";
    }
    std::string joined;
    for (const std::string& value : entry.values) {
        joined += (joined.empty() ? "" : " | ") + value;
    }
    return joined;
}

void PrintJson(std::ostream& out, const std::vector<CatalogueEntry>& entries) {
    out << "[\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const CatalogueEntry& entry = entries[i];
        const ItemDescriptor& item = entry.descriptor;
        out << "  {\"number\": " << entry.reference << ", \"name\": " << JsonQuoted(item.Name)
            << ", \"id\": " << item.ID << ", \"type\": " << JsonQuoted(item.Type)
            << ", \"size\": " << item.Size << ", \"flags\": " << item.Flags
            << ", \"definition\": " << JsonQuoted(item.Definition)
            << ", \"help\": " << JsonQuoted(item.Help) << ", \"values\": ";
        if (item.Type == "TAB" || !entry.refusal.empty()) {
            out << "null";
        } else {
            out << "[";
            for (std::size_t v = 0; v < entry.values.size(); ++v) {
                out << (v > 0 ? ", " : "") << JsonQuoted(entry.values[v]);
            }
            out << "]";
        }
        out << ", \"refusal\": " << (entry.refusal.empty() ? "null" : JsonQuoted(entry.refusal))
            << "}" << (i + 1 < entries.size() ? "," : "") << "\n";
    }
    out << "]\n";
}

void Items(Session& session, Arguments& arguments) {
    const bool json = arguments.takeFlag("--json");
    arguments.finish();
    const std::string countText =
        session.query("items", [&](ucKelvra& kv) { kv.GetItemCount(session.source()); });
    const std::int16_t count = ReadCount(countText, "item count");

    std::vector<CatalogueEntry> entries;
    ProgressBar progress("items", count);
    for (std::int16_t reference = 0; reference < count; ++reference) {
        CatalogueEntry entry;
        entry.reference = reference;
        entry.descriptor = ReadDescriptor(session, reference);
        if (entry.descriptor.Type != "TAB") {
            ReadValues(session, entry);
        }
        entries.push_back(std::move(entry));
        progress.update(reference + 1);
    }

    if (json) {
        PrintJson(session.out(), entries);
        return;
    }
    TextTable table({"Number", "Name", "Type", "Size", "Flags", "Value"});
    for (const CatalogueEntry& entry : entries) {
        const ItemDescriptor& item = entry.descriptor;
        table.addRow({std::to_string(entry.reference), LocalText(item.Name), LocalText(item.Type),
                      std::to_string(item.Size), std::to_string(item.Flags),
                      LocalText(JoinValues(entry))});
    }
    table.print(session.out());
}

// ITEM [MEMBER]: the member defaults to 0.
std::int16_t TakeMember(Arguments& arguments) {
    const std::optional<std::string> member = arguments.next();
    return member ? static_cast<std::int16_t>(ParseInteger(*member, 0, 99, "member")) : 0;
}

void ItemGet(Session& session, Arguments& arguments) {
    const std::string item = arguments.require("item name or number");
    const std::int16_t member = TakeMember(arguments);
    arguments.finish();
    const std::int16_t reference = ResolveItem(session, item);
    session.print(session.query(
        "item get", [&](ucKelvra& kv) { kv.GetItem(session.source(), reference, member); }));
}

void ItemDefault(Session& session, Arguments& arguments) {
    const std::string item = arguments.require("item name or number");
    const std::int16_t member = TakeMember(arguments);
    arguments.finish();
    const std::int16_t reference = ResolveItem(session, item);
    session.print(session.query("item default", [&](ucKelvra& kv) {
        kv.GetItemDefault(session.source(), reference, member);
    }));
}

// ITEM VALUE or ITEM MEMBER VALUE. An item whose flags ask for it is then told to take the
// change over, as the item editor does.
void ItemSet(Session& session, Arguments& arguments) {
    const std::string item = arguments.require("item name or number");
    const std::size_t left = arguments.positionalCount();
    const std::int16_t member = left >= 2 ? TakeMember(arguments) : 0;
    const std::string value = LinkText(arguments.require("value"));
    arguments.finish();
    const std::int16_t reference = ResolveItem(session, item);
    session.run(
        "item set", [&](ucKelvra& kv) { kv.SetItem(session.source(), reference, member, value); },
        Repeat::IfTimedOut);
    if (ReadDescriptor(session, reference).Flags & ItemDescriptor::kFlagNeedsUpdate) {
        session.run(
            "item update", [&](ucKelvra& kv) { kv.ItemUpdate(session.source()); },
            Repeat::IfTimedOut);
    }
}

void ItemInfo(Session& session, Arguments& arguments) {
    const std::string item = arguments.require("item name or number");
    arguments.finish();
    const std::int16_t reference = ResolveItem(session, item);
    const ItemDescriptor descriptor = ReadDescriptor(session, reference);
    TextTable table({"Field", "Value"});
    table.addRow({"Number", std::to_string(reference)});
    table.addRow({"Name", LocalText(descriptor.Name)});
    table.addRow({"ID", std::to_string(descriptor.ID)});
    table.addRow({"Type", LocalText(descriptor.Type)});
    table.addRow({"Size", std::to_string(descriptor.Size)});
    table.addRow({"Flags", std::to_string(descriptor.Flags)});
    table.addRow({"Definition", LocalText(descriptor.Definition)});
    table.addRow({"Help", LocalText(descriptor.Help)});
    for (std::size_t i = 0; i < descriptor.Selection.size() && !descriptor.Selection[i].empty();
         ++i) {
        table.addRow({"Value " + std::to_string(i), LocalText(descriptor.Selection[i])});
    }
    table.print(session.out());
}

void ItemUpdate(Session& session, Arguments& arguments) {
    arguments.finish();
    session.run(
        "item update", [&](ucKelvra& kv) { kv.ItemUpdate(session.source()); }, Repeat::IfTimedOut);
}

constexpr Subcommand kItems[] = {
    {"", "[--json]", "the whole catalogue: number, name, type, size, flags and value of every item",
     Items}};
constexpr Subcommand kItem[] = {
    {"get", "NAME|NUMBER [MEMBER]", "print a member's value (member 0 unless given)", ItemGet},
    {"set", "NAME|NUMBER [MEMBER] VALUE", "write a member's value", ItemSet},
    {"default", "NAME|NUMBER [MEMBER]", "print a member's default value", ItemDefault},
    {"info", "NAME|NUMBER", "print the item's descriptor", ItemInfo},
    {"update", "", "tell the terminal to take over item changes", ItemUpdate},
};

constexpr std::array kGroups{
    CommandGroup{"items", "the item catalogue", kItems},
    CommandGroup{"item", "one array item", kItem},
};

} // namespace

std::span<const CommandGroup> ItemCommands() {
    return kGroups;
}

} // namespace kelvra::cli
