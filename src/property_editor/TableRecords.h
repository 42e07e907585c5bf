#pragma once

#include "driver/ItemDescriptor.h"
#include "property_editor/Catalogues.h"

#include <QString>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kelvra {

// A fetched record as the terminal sends it: the record's index, then one token per field, all
// TAB-separated. Cut blindly at every TAB.
std::vector<std::string> SplitRecord(const std::string& text);

// How a record's field is shown: a "VAL" token whose number (0 to 10) has a caption shows the
// caption, anything else the token itself.
QString ShownFieldValue(const FieldDescriptor& field, const std::string& token);

// A field as the terminal takes it: "VAL" its leading number in decimal, "STR" unchanged,
// "DATE" DD-MM-YYYY and "TIME" HH:MM:SS when the text reads as one (unchanged otherwise); a
// field of any other type is left out, separator and all.
std::optional<std::string> EncodeField(const std::string& type, const std::string& text);

// The fields of a record as sent by ItemAdd and ItemEdit: encoded, TAB-separated, no index.
std::string RecordText(const FieldCatalogue& fields, std::span<const std::string> values);

} // namespace kelvra
