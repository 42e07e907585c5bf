#include "widgets/ApplicationInfo.h"

namespace kelvra {

ProgramVersion CurrentVersion() {
    return {KELVRA_VERSION_MAJOR, KELVRA_VERSION_MINOR, KELVRA_VERSION_REVISION};
}

std::string CaptionVersionSuffix(const ProgramVersion& version) {
    return " v" + std::to_string(version.major) + "." + std::to_string(version.minor) + "R" +
           std::to_string(version.revision);
}

std::string AboutVersionText(const ProgramVersion& version) {
    return " V" + std::to_string(version.major) + "." + std::to_string(version.minor) + " R" +
           std::to_string(version.revision);
}

} // namespace kelvra
