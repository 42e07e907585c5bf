#include "cli/TextConversion.h"

#include <QString>
#include <cstdio>

namespace kelvra::cli {

std::string LinkText(const std::string& localText) {
    return QString::fromLocal8Bit(localText.data(), static_cast<qsizetype>(localText.size()))
        .toLatin1()
        .toStdString();
}

std::string LocalText(const std::string& linkText) {
    return QString::fromLatin1(linkText.data(), static_cast<qsizetype>(linkText.size()))
        .toLocal8Bit()
        .toStdString();
}

std::string Utf8Text(const std::string& linkText) {
    return QString::fromLatin1(linkText.data(), static_cast<qsizetype>(linkText.size()))
        .toUtf8()
        .toStdString();
}

std::string JsonQuoted(const std::string& linkText) {
    const std::string utf8 = Utf8Text(linkText);
    std::string quoted = "\"";
    for (const char character : utf8) {
        const auto byte = static_cast<unsigned char>(character);
        if (character == '"' || character == '\\') {
            quoted += '\\';
            quoted += character;
        } else if (byte < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", byte);
            quoted += escaped;
        } else {
            quoted += character;
        }
    }
    return quoted + "\"";
}

} // namespace kelvra::cli
