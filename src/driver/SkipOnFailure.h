#pragma once

#include <exception>

namespace kelvra {

// Runs one statement of a sequence whose failing statements are skipped: the link
// notifications, connecting and closing. The sequence goes on with its next statement.
template <typename Statement> bool SkipOnFailure(Statement&& statement) {
    try {
        statement();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

} // namespace kelvra
