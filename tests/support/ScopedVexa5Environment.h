#pragma once

#include "module_client/Vexa5Environment.h"

namespace kelvra::test {

// Installs the module client's environment for one scope and resets it at the end, so each
// test starts with a fresh reply collector and socket. Every CVexa5 of the test must be gone
// before the scope ends: declare it after this object.
class ScopedVexa5Environment {
public:
    ScopedVexa5Environment(Clock& clock, EventPump& pump, LinkFactory& links, Dialogs& dialogs,
                           Vexa5Endpoints endpoints) {
        Vexa5Environment::install(clock, pump, links, dialogs, std::move(endpoints));
    }
    ~ScopedVexa5Environment() { Vexa5Environment::reset(); }
    ScopedVexa5Environment(const ScopedVexa5Environment&) = delete;
    ScopedVexa5Environment& operator=(const ScopedVexa5Environment&) = delete;
};

} // namespace kelvra::test
