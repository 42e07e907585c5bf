#include "cli/Arguments.h"

#include "cli/CliErrors.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace kelvra::cli {

Arguments::Arguments(std::vector<std::string> words) {
    bool afterSeparator = false;
    for (std::string& word : words) {
        if (!afterSeparator && word == "--") {
            afterSeparator = true;
            continue;
        }
        m_words.push_back({std::move(word), afterSeparator});
    }
}

bool Arguments::isOption(const Word& word) const {
    return !word.positionalOnly && word.text.size() > 1 && word.text[0] == '-' &&
           !(word.text[1] >= '0' && word.text[1] <= '9'); // -5 is a number, not an option
}

bool Arguments::takeFlag(std::string_view name) {
    const auto found = std::find_if(m_words.begin(), m_words.end(), [&](const Word& word) {
        return !word.positionalOnly && word.text == name;
    });
    if (found == m_words.end()) {
        return false;
    }
    m_words.erase(found);
    return true;
}

std::optional<std::string> Arguments::takeValue(std::string_view name) {
    std::optional<std::string> taken = takeOneValue(name);
    if (taken && takeOneValue(name)) {
        throw UsageError(std::string(name) + " given twice");
    }
    return taken;
}

std::optional<std::string> Arguments::takeOneValue(std::string_view name) {
    const std::string joined = std::string(name) + "=";
    for (auto word = m_words.begin(); word != m_words.end(); ++word) {
        if (word->positionalOnly) {
            continue;
        }
        if (word->text.starts_with(joined)) {
            std::string value = word->text.substr(joined.size());
            m_words.erase(word);
            return value;
        }
        if (word->text == name) {
            const auto value = std::next(word);
            if (value == m_words.end() || isOption(*value)) {
                throw UsageError(std::string(name) + " needs a value");
            }
            std::string text = std::move(value->text);
            m_words.erase(word, std::next(value));
            return text;
        }
    }
    return std::nullopt;
}

std::optional<std::string> Arguments::next() {
    const auto found = std::find_if(m_words.begin(), m_words.end(),
                                    [&](const Word& word) { return !isOption(word); });
    if (found == m_words.end()) {
        return std::nullopt;
    }
    std::string text = std::move(found->text);
    m_words.erase(found);
    return text;
}

std::string Arguments::require(std::string_view what) {
    if (auto word = next()) {
        return *word;
    }
    throw UsageError("missing " + std::string(what));
}

std::vector<std::string> Arguments::rest() {
    std::vector<std::string> words;
    while (auto word = next()) {
        words.push_back(std::move(*word));
    }
    return words;
}

std::size_t Arguments::positionalCount() const {
    return static_cast<std::size_t>(std::count_if(
        m_words.begin(), m_words.end(), [&](const Word& word) { return !isOption(word); }));
}

void Arguments::finish() const {
    if (m_words.empty()) {
        return;
    }
    const Word& first = m_words.front();
    throw UsageError(isOption(first) ? "unknown option " + first.text
                                     : "unexpected argument " + first.text);
}

std::int64_t ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                          std::string_view what) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stopped, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stopped != end || value < min || value > max) {
        throw UsageError(std::string(what) + " must be a whole number from " + std::to_string(min) +
                         " to " + std::to_string(max) + ", not \"" + std::string(text) + "\"");
    }
    return value;
}

std::int16_t ParseInt16(std::string_view text, std::string_view what) {
    return static_cast<std::int16_t>(ParseInteger(text, std::numeric_limits<std::int16_t>::min(),
                                                  std::numeric_limits<std::int16_t>::max(), what));
}

HostPort ParseHostPort(std::string_view text, std::string_view option) {
    std::size_t colon = text.rfind(':');
    std::string_view host = colon == std::string_view::npos ? text : text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find(':') != std::string_view::npos) {
        colon = std::string_view::npos; // a bare IPv6 address has no port
    }
    if (colon == std::string_view::npos || host.empty()) {
        throw UsageError(std::string(option) + " takes HOST:PORT, not \"" + std::string(text) +
                         "\"");
    }
    HostPort endpoint;
    endpoint.host = std::string(host);
    endpoint.port = static_cast<int>(
        ParseInteger(text.substr(colon + 1), 1, 65535, std::string(option) + " port"));
    return endpoint;
}

} // namespace kelvra::cli
