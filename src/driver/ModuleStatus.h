#pragma once

#include <string>
#include <string_view>

namespace kelvra {

// The interface module answers its one-character status query "X" with "/"-separated fields.
// Its free marker is made of characters 2, 3 and 5 of field 2 (fields counted from 0,
// characters from 1) followed by the whole of field 3; "*****" means that no stream
// connection is held. A reply of fewer than four fields has no marker.
std::string ModuleFreeMarker(std::string_view reply);
bool ModuleIsFree(std::string_view reply);

} // namespace kelvra
