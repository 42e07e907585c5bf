#pragma once

#include "console/PressRefused.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvra {

// A number typed into a box that the program cannot take (it does not fit the value it
// feeds). The press that read it is refused with a message naming the box.
class NumberEntryRefused : public PressRefused {
public:
    NumberEntryRefused(const std::string& boxCaption, long long lowest, long long highest);
    const std::string& boxCaption() const { return m_boxCaption; }

private:
    std::string m_boxCaption;
};

// The number entry of the console's boxes: the text's leading number (0 when there is none),
// rounded half to even. `boxCaption` names the box in the refusal.
std::int16_t ReadNumberEntry(std::string_view text, const std::string& boxCaption);
std::int32_t ReadNumberEntry32(std::string_view text, const std::string& boxCaption);

} // namespace kelvra
