#pragma once

#include <stdexcept>
#include <string>

namespace kelvra {

// A button press that cannot go ahead because of what the operator entered. The console shows
// the message and does nothing more for that press.
class PressRefused : public std::runtime_error {
public:
    explicit PressRefused(const std::string& message) : std::runtime_error(message) {}
};

} // namespace kelvra
