#pragma once

#include "property_editor/PropertyViewPlatform.h"

namespace kelvra {

class frmMainCKelvra;

// Gives the console's "Property View" button its window: the one property view, made on the
// first press, handed the console's driver, link and source ID and shown modally.
void AttachPropertyView(frmMainCKelvra& console, PropertyViewPlatform platform);

} // namespace kelvra
