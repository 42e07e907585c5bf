#pragma once

class QPushButton;

namespace kelvra {

// Every command button of the console's windows has the same room on either side of its
// caption and is never narrower than a button with a short caption, so a button that stands
// alone beside a box looks like the buttons of a grid.
void SizeCommandButton(QPushButton* button);

} // namespace kelvra
