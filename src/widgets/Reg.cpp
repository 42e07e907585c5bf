#include "widgets/Reg.h"

#include "driver/LeadingNumber.h"

#include <exception>
#include <stdexcept>

namespace kelvra {

void Reg::RegWriteString(const std::string& application, const std::string& section,
                         const std::string& name, const std::string& value) {
    try {
        m_store.write(application, section, name, value);
    } catch (const std::exception&) {
        // Settings are a convenience: a store that cannot be written changes nothing.
    }
}

std::string Reg::RegReadString(const std::string& application, const std::string& section,
                               const std::string& name, const std::string& fallback) {
    std::string result = fallback;
    try {
        // Reading creates the key when it is missing, as the registry's readers do. A store
        // that cannot be written is still read: the options stored there stay in force.
        m_store.createKey(application, section);
    } catch (const std::exception&) {
    }
    try {
        // A marker that no stored text can equal tells a missing value from a stored one.
        static const std::string kMissing(1, '\0');
        std::string stored = m_store.read(application, section, name, kMissing);
        if (stored == kMissing) {
            return result;
        }
        // The value is read into a fixed buffer with room for its NUL; a longer one is refused
        // whole rather than cut.
        if (stored.size() + 1 > kReadBufferSize) {
            return result;
        }
        result = stored.substr(0, stored.find('\0'));
    } catch (const std::exception&) {
        // An unreadable store reads as the default.
    }
    return result;
}

bool Reg::RegReadOption(const std::string& application, const std::string& section,
                        const std::string& name) {
    const std::string stored = RegReadString(application, section, name, 0);
    try {
        return ReadLeadingNumber(stored, NumberForms::DecimalOnly) == 1;
    } catch (const std::overflow_error&) {
        return false;
    }
}

} // namespace kelvra
