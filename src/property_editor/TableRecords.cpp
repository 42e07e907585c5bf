#include "property_editor/TableRecords.h"

#include "driver/LeadingNumber.h"
#include "property_editor/ShownDates.h"

#include <stdexcept>

namespace kelvra {

namespace {

constexpr char TAB = '\t';
// Only captions 0 to 10 ever come from the terminal.
constexpr int kLastShownCaption = 10;

} // namespace

std::vector<std::string> SplitRecord(const std::string& text) {
    std::vector<std::string> tokens;
    std::size_t start = 0;
    for (std::size_t tab = text.find(TAB); tab != std::string::npos; tab = text.find(TAB, start)) {
        tokens.push_back(text.substr(start, tab - start));
        start = tab + 1;
    }
    tokens.push_back(text.substr(start));
    return tokens;
}

QString ShownFieldValue(const FieldDescriptor& field, const std::string& token) {
    if (field.Type == "VAL") {
        try {
            const double value = ReadLeadingNumber(token, NumberForms::DecimalOnly);
            if (value >= 0 && value <= kLastShownCaption) {
                const auto& caption =
                    field.Selection[static_cast<std::size_t>(RoundToInt16(value))];
                if (!caption.empty()) {
                    return QString::fromLatin1(caption);
                }
            }
        } catch (const std::overflow_error&) {
        }
    }
    return QString::fromLatin1(token);
}

std::optional<std::string> EncodeField(const std::string& type, const std::string& text) {
    const QString shown = QString::fromLatin1(text);
    if (type == "VAL") {
        return QString::number(ReadLeadingNumber(text, NumberForms::DecimalOnly), 'g', 15)
            .toLatin1()
            .toStdString();
    }
    if (type == "STR") {
        return text;
    }
    if (type == "DATE") {
        const auto date = ReadShownDate(shown);
        return date ? TerminalDateText(*date).toLatin1().toStdString() : text;
    }
    if (type == "TIME") {
        const auto time = ReadShownTime(shown);
        return time ? TerminalTimeText(*time).toLatin1().toStdString() : text;
    }
    return std::nullopt;
}

std::string RecordText(const FieldCatalogue& fields, std::span<const std::string> values) {
    if (static_cast<std::size_t>(fields.Count()) > values.size()) {
        throw std::out_of_range("Subscript out of range");
    }
    std::string record;
    bool first = true;
    for (int field = 0; field < fields.Count(); ++field) {
        const auto encoded =
            EncodeField(fields.at(field).Type, values[static_cast<std::size_t>(field)]);
        if (!encoded) {
            continue;
        }
        if (!first) {
            record += TAB;
        }
        record += *encoded;
        first = false;
    }
    return record;
}

} // namespace kelvra
