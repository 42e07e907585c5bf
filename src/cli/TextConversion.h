#pragma once

#include <string>

namespace kelvra::cli {

// Link text is one byte per character (Latin-1); the shell speaks the locale's encoding
// (UTF-8 as a rule). Arguments become link text on their way in, replies local text on their
// way out. A character Latin-1 has no place for is sent as "?".
std::string LinkText(const std::string& localText);
std::string LocalText(const std::string& linkText);

// Link text in UTF-8, as files are written whatever the locale.
std::string Utf8Text(const std::string& linkText);

// Link text as a JSON string literal, quotes included (UTF-8, control characters escaped).
std::string JsonQuoted(const std::string& linkText);

} // namespace kelvra::cli
