#pragma once

#include "driver/TrafficDecoder.h"
#include "driver/ucKelvra.h"
#include "platform/Dialogs.h"

#include <QTimer>
#include <QWidget>
#include <string>
#include <vector>

class QListView;

namespace kelvra {

class TrafficLines;

// The bytes on the driver's link, one decoded line per frame, for an integrator looking at a
// terminal that does not answer. It listens while it is open (also in a minimised window), so a
// closed panel costs the link nothing. Lines are gathered and shown every kRefreshMs, not one by
// one, in a list that lays out only the rows in sight, so a fast link is not held up by the
// view; the panel keeps the last kMaxLines.
class TrafficPanel : public QWidget {
public:
    static constexpr int kMaxLines = 10000;
    static constexpr int kRefreshMs = 100;

    TrafficPanel(ucKelvra& kv, Dialogs& dialogs, QWidget* parent = nullptr);
    ~TrafficPanel() override;

    // The lines as they stand, those not shown yet included, one "\n" after each.
    std::string Lines();
    // Asks for a file and writes the lines to it; a failure is shown in a message box.
    void Save();
    void Clear();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Take(const LinkChunk& chunk);
    void ShowPending();

    ucKelvra& m_kv;
    Dialogs& m_dialogs;
    TrafficDecoder m_decoder;
    Subscription m_listening;
    TrafficLines* m_lines = nullptr;
    QListView* lstTraffic = nullptr;
    std::vector<std::string> m_pending;
    QTimer m_refresh;
};

} // namespace kelvra
