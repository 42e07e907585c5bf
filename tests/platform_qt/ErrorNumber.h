#pragma once

#include "platform/PlatformError.h"

#include <functional>

namespace kelvra::test {

// The error number an operation fails with; 0 when it does not fail.
inline int ErrorNumberOf(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const PlatformError& failure) {
        return failure.number();
    }
    return 0;
}

} // namespace kelvra::test
