#pragma once

#include "console/PressRefused.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

// A number typed into a box that the program cannot take (it does not fit the value it
// feeds, or a port box holds no number at all). The press that read it is refused with a
// message naming the box and the numbers it takes.
class NumberEntryRefused : public PressRefused {
public:
    enum class Problem { DoesNotFit, NoNumber };

    NumberEntryRefused(const std::string& boxCaption, Problem problem, long long lowest,
                       long long highest);
    const std::string& boxCaption() const { return m_boxCaption; }

private:
    std::string m_boxCaption;
};

// The number entry of the console's boxes: the text's leading decimal number (0 when there is
// none), rounded half to even. `boxCaption` names the box in the refusal.
std::int16_t ReadNumberEntry(std::string_view text, const std::string& boxCaption);

// A port box: the same reading, but only 0 to 65535 is a port, and a text without a number is
// none either.
std::int32_t ReadPortEntry(std::string_view text, const std::string& boxCaption);

} // namespace kelvra
