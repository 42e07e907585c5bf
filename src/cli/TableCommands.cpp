// Table items: their fields, their records, and record changes.
#include "cli/Arguments.h"
#include "cli/CliErrors.h"
#include "cli/CommandTable.h"
#include "cli/ItemLookup.h"
#include "cli/Session.h"
#include "cli/TextConversion.h"
#include "cli/TextTable.h"
#include "driver/SplitText.h"

#include <array>
#include <ostream>

namespace kelvra::cli {

namespace {

// A table that never reports its end is not walked for ever.
constexpr int kMostRecords = 100000;

struct TableItem {
    std::int16_t reference = 0;
    ItemDescriptor descriptor;
};

TableItem TakeTable(Session& session, const std::string& nameOrNumber) {
    TableItem table;
    table.reference = ResolveItem(session, nameOrNumber);
    table.descriptor = ReadDescriptor(session, table.reference);
    if (table.descriptor.Type != "TAB") {
        throw UsageError("item " + nameOrNumber + " is no table (its type is " +
                         table.descriptor.Type + ")");
    }
    return table;
}

std::vector<std::string> SplitRecord(const std::string& text) {
    std::vector<std::string> cells;
    const auto pieces = SplitText(text, '\t');
    for (std::string_view cell : *pieces) {
        cells.push_back(LocalText(std::string(cell)));
    }
    return cells;
}

std::string JoinCells(const std::vector<std::string>& cells) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        text += (i > 0 ? "\t" : "") + cells[i];
    }
    return text;
}

// The field values of a record as the terminal takes them: TAB-separated, in field order.
std::string JoinRecord(const std::vector<std::string>& values) {
    return LinkText(JoinCells(values));
}

void ApplyChange(Session& session, const TableItem& table) {
    if (table.descriptor.Flags & ItemDescriptor::kFlagNeedsUpdate) {
        session.run(
            "item update", [&](ucKelvra& kv) { kv.ItemUpdate(session.source()); },
            Repeat::IfTimedOut);
    }
}

void Fields(Session& session, Arguments& arguments) {
    const std::string name = arguments.require("table name or number");
    arguments.finish();
    const TableItem table = TakeTable(session, name);
    TextTable output({"Field", "ID", "Type", "Definition", "Help"});
    for (std::int16_t field = 0; field < table.descriptor.Size; ++field) {
        const FieldDescriptor descriptor = ReadFieldDescriptor(session, table.reference, field);
        output.addRow({std::to_string(field), std::to_string(descriptor.ID),
                       LocalText(descriptor.Type), LocalText(descriptor.Definition),
                       LocalText(descriptor.Help)});
    }
    output.print(session.out());
}

// The walk of the table editor: the fields, the cursor to the top, then fetch and confirm
// until the terminal reports the end.
void List(Session& session, Arguments& arguments) {
    const bool tsv = arguments.takeFlag("--tsv");
    const std::string name = arguments.require("table name or number");
    arguments.finish();
    const TableItem table = TakeTable(session, name);
    std::vector<std::string> header;
    for (std::int16_t field = 0; field < table.descriptor.Size; ++field) {
        header.push_back(
            LocalText(ReadFieldDescriptor(session, table.reference, field).Definition));
    }
    session.run("table top",
                [&](ucKelvra& kv) { kv.SetItemTab_ItemTop(session.source(), table.reference); });
    std::vector<std::vector<std::string>> rows;
    for (int walked = 0;; ++walked) {
        if (walked == kMostRecords) {
            throw ReplyFailure("table " + name + ": the terminal never reported its end");
        }
        const std::int32_t fetched = session.attempt(
            [&](ucKelvra& kv) { kv.GetItemTab_ItemFetch(session.source(), table.reference); });
        if (fetched == KV_ERR_END) {
            session.data();
            break;
        }
        if (fetched != KV_SUCCESS) {
            throw TerminalFailure(fetched, "table fetch");
        }
        rows.push_back(SplitRecord(session.data()));
        const std::int32_t confirmed = session.attempt(
            [&](ucKelvra& kv) { kv.SetItemTab_ItemConfirm(session.source(), table.reference); });
        if (confirmed == KV_ERR_END) {
            break;
        }
        if (confirmed != KV_SUCCESS) {
            throw TerminalFailure(confirmed, "table confirm");
        }
    }
    // The terminal may put the record's number in front of its fields.
    if (!rows.empty() && rows.front().size() == header.size() + 1) {
        header.insert(header.begin(), "Record");
    }
    if (tsv) {
        session.out() << JoinCells(header) << "\n";
        for (const auto& row : rows) {
            session.out() << JoinCells(row) << "\n";
        }
        return;
    }
    TextTable output(header);
    for (auto& row : rows) {
        output.addRow(std::move(row));
    }
    output.print(session.out());
}

void Add(Session& session, Arguments& arguments) {
    const std::string name = arguments.require("table name or number");
    const std::string record = JoinRecord(arguments.rest());
    arguments.finish();
    const TableItem table = TakeTable(session, name);
    session.run("table add", [&](ucKelvra& kv) {
        kv.SetItemTab_ItemAdd(session.source(), table.reference, record);
    });
    ApplyChange(session, table);
}

void Edit(Session& session, Arguments& arguments) {
    const std::string name = arguments.require("table name or number");
    const auto number = static_cast<std::int16_t>(
        ParseInteger(arguments.require("record number"), 0, 9999, "record number"));
    const std::string record = JoinRecord(arguments.rest());
    arguments.finish();
    const TableItem table = TakeTable(session, name);
    session.run(
        "table edit",
        [&](ucKelvra& kv) {
            kv.SetItemTab_ItemEdit(session.source(), table.reference, number, record);
        },
        Repeat::IfTimedOut);
    ApplyChange(session, table);
}

void Remove(Session& session, Arguments& arguments) {
    const std::string name = arguments.require("table name or number");
    const auto number = static_cast<std::int16_t>(
        ParseInteger(arguments.require("record number"), 0, 9999, "record number"));
    arguments.finish();
    const TableItem table = TakeTable(session, name);
    session.run("table remove", [&](ucKelvra& kv) {
        kv.SetItemTab_ItemRemove(session.source(), table.reference, number);
    });
    ApplyChange(session, table);
}

constexpr Subcommand kTable[] = {
    {"fields", "TABLE", "the fields of a table item", Fields},
    {"list", "[--tsv] TABLE", "every record of a table item (--tsv: TAB-separated)", List},
    {"add", "TABLE VALUE...", "append a record, one value per field", Add},
    {"edit", "TABLE RECORD VALUE...", "replace record number RECORD", Edit},
    {"remove", "TABLE RECORD", "remove record number RECORD", Remove},
};

constexpr std::array kGroups{CommandGroup{"table", "table items and their records", kTable}};

} // namespace

std::span<const CommandGroup> TableCommands() {
    return kGroups;
}

} // namespace kelvra::cli
