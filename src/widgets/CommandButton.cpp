#include "widgets/CommandButton.h"

#include <QPushButton>
#include <algorithm>

namespace kelvra {

namespace {

constexpr int kCaptionMargin = 12; // on either side of the caption
constexpr int kNarrowest = 96;

} // namespace

void SizeCommandButton(QPushButton* button) {
    const int caption = button->fontMetrics().horizontalAdvance(button->text());
    button->setMinimumWidth(std::max(kNarrowest, caption + 2 * kCaptionMargin));
}

} // namespace kelvra
