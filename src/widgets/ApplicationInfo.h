#pragma once

#include <string>

namespace kelvra {

// The name under which the program presents itself: it keys both settings stores and titles
// the message boxes that give no title of their own.
inline constexpr const char* kApplicationTitle = "usKelvra";

// The program's version, as the build gives it (major.minor.revision).
struct ProgramVersion {
    int major;
    int minor;
    int revision;
};
ProgramVersion CurrentVersion();

// " v1.0R1": what the console appends to its caption.
std::string CaptionVersionSuffix(const ProgramVersion& version);
// " V1.0 R1": the about dialog's version label.
std::string AboutVersionText(const ProgramVersion& version);

} // namespace kelvra
