#pragma once

#include <QRect>
#include <QString>
#include <string>

class QWidget;

namespace kelvra {

// The caption of an editor window with the name of what it edits: "Edit Item - Bell Volume".
QString EditorCaption(const char* caption, const std::string& name);

// Moves `editor` beside the on-screen rectangle of the row it edits (below it, else above it,
// else to its right), so that the row stays in sight; within the screen that holds the row.
void PlaceBeside(QWidget& editor, const QRect& rowOnScreen);

} // namespace kelvra
