#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::cli {

// The words of a command line, from which options and positional words are taken as each
// level of the program needs them. Options are long ("--name", "--name VALUE",
// "--name=VALUE") and may stand anywhere; after "--" every word is positional, so a value
// that begins with dashes can still be given. Whatever no level takes is a usage error.
class Arguments {
public:
    explicit Arguments(std::vector<std::string> words);

    // Removes the flag wherever it stands; true when it was there.
    bool takeFlag(std::string_view name);
    // Removes the option and its value; nothing when it is absent. An option without its
    // value, or given twice, is a usage error.
    std::optional<std::string> takeValue(std::string_view name);
    // The next positional word, removed.
    std::optional<std::string> next();
    // The next positional word; a usage error naming `what` when there is none.
    std::string require(std::string_view what);
    // The positional words left, removed.
    std::vector<std::string> rest();
    std::size_t positionalCount() const;

    // Throws UsageError for the first word no level took: an unknown option or a word too many.
    void finish() const;

private:
    struct Word {
        std::string text;
        bool positionalOnly; // stood after "--"
    };
    bool isOption(const Word& word) const;
    std::optional<std::string> takeOneValue(std::string_view name);

    std::vector<Word> m_words;
};

// Whole numbers in a range; anything else (letters, a sign alone, a value out of range) is a
// usage error naming `what`.
std::int64_t ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                          std::string_view what);
std::int16_t ParseInt16(std::string_view text, std::string_view what);

struct HostPort {
    std::string host;
    int port = 0;
};
// "HOST:PORT" or "[IPv6]:PORT", port 1 to 65535.
HostPort ParseHostPort(std::string_view text, std::string_view option);

} // namespace kelvra::cli
