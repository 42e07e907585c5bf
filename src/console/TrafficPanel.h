#pragma once

#include "driver/TrafficDecoder.h"
#include "driver/ucKelvra.h"
#include "platform/Dialogs.h"

#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <future>
#include <string>
#include <vector>

class QListView;

namespace kelvra {

class TrafficLines;

// The bytes on the driver's link, one decoded line per frame, for an integrator looking at a
// terminal that does not answer. It listens while it is open (also in a minimised window), so a
// closed panel costs the link nothing. The driver waits on this thread, so the panel only keeps
// a copy of each chunk here: every kRefreshMs the chunks gathered go to be decoded on a thread
// of their own, and the lines that come back are shown in a list that lays out only the rows
// in sight. The panel keeps the last kMaxLines.
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
    // A chunk as it crossed the link, kept beyond the report.
    struct Captured {
        LinkDirection direction;
        std::string link;
        bool framed;
        DateTime time;
        std::uint32_t tick;
        std::string bytes;
    };

    void Take(const LinkChunk& chunk);
    // Shows what the decoding has finished and hands it the chunks gathered since; with
    // `wait`, decodes everything gathered before it returns.
    void Refresh(bool wait);
    void Show(std::vector<std::string> lines);
    // Only the decoding job uses the decoder while it runs.
    std::vector<std::string> Decode(const std::vector<Captured>& chunks);

    ucKelvra& m_kv;
    Dialogs& m_dialogs;
    TrafficDecoder m_decoder;
    Subscription m_listening;
    TrafficLines* m_lines = nullptr;
    QListView* lstTraffic = nullptr;
    std::vector<Captured> m_captured;
    std::future<std::vector<std::string>> m_decoding;
    QTimer m_refresh;
};

} // namespace kelvra
