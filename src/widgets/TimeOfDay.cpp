#include "widgets/TimeOfDay.h"

#include <array>
#include <cctype>

namespace kelvra {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// One or two digits.
std::optional<int> ReadPart(std::string_view part) {
    if (part.empty() || part.size() > 2) {
        return std::nullopt;
    }
    int value = 0;
    for (char c : part) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::optional<DateTime> ParseTimeOfDay(std::string_view text) {
    text = Trimmed(text);
    std::array<int, 3> parts{0, 0, 0};
    std::size_t count = 0;
    while (true) {
        const std::size_t colon = text.find(':');
        if (count == parts.size()) {
            return std::nullopt;
        }
        const auto part = ReadPart(text.substr(0, colon));
        if (!part) {
            return std::nullopt;
        }
        parts[count++] = *part;
        if (colon == std::string_view::npos) {
            break;
        }
        text.remove_prefix(colon + 1);
    }
    const auto [hour, minute, second] = parts;
    if (count < 2 || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return DateTime::fromSecondsSinceZero(hour * 3600 + minute * 60 + second);
}

} // namespace kelvra
