#include "property_editor/EditorWindows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace kelvra {

namespace {

constexpr int kGap = 4;

} // namespace

QString EditorCaption(const char* caption, const std::string& name) {
    return name.empty() ? QString(caption)
                        : QString("%1 - %2").arg(caption, QString::fromLatin1(name));
}

void PlaceBeside(QWidget& editor, const QRect& rowOnScreen) {
    const QScreen* screen = QGuiApplication::screenAt(rowOnScreen.center());
    if (screen == nullptr) {
        return;
    }
    const QRect room = screen->availableGeometry();
    const QSize size = editor.frameSize().expandedTo(editor.sizeHint());
    const QPoint candidates[] = {
        {rowOnScreen.left(), rowOnScreen.bottom() + kGap},
        {rowOnScreen.left(), rowOnScreen.top() - kGap - size.height()},
        {rowOnScreen.right() + kGap, rowOnScreen.top()},
    };
    for (const QPoint& at : candidates) {
        const QRect placed(at, size);
        if (room.contains(placed)) {
            editor.move(at);
            return;
        }
    }
    // Nowhere whole: below the row, pushed back onto the screen.
    editor.move(
        std::max(room.left(), std::min(rowOnScreen.left(), room.right() - size.width())),
        std::max(room.top(), std::min(rowOnScreen.bottom() + kGap, room.bottom() - size.height())));
}

} // namespace kelvra
