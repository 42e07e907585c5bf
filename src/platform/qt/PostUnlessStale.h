#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>

namespace kelvra {

// Queues `action` for the event loop on `context`'s thread. It is dropped when `generation`
// has moved on by then (the link was closed or reopened meanwhile), and with `context` when
// that goes first, so a notification never reaches a link that is no longer the one it was
// meant for.
inline void PostUnlessStale(QObject* context, const unsigned& generation,
                            std::function<void()> action) {
    const unsigned postedAt = generation;
    QMetaObject::invokeMethod(
        context,
        [&generation, postedAt, action = std::move(action)] {
            if (generation == postedAt) {
                action();
            }
        },
        Qt::QueuedConnection);
}

} // namespace kelvra
