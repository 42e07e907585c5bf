#include "console/TrafficPanel.h"

#include "widgets/CommandButton.h"

#include <QAbstractListModel>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>
#include <deque>
#include <fstream>
#include <utility>

namespace kelvra {

// The panel's lines, the oldest dropped beyond kMaxLines. A line becomes text for the view only
// when its row comes into sight.
class TrafficLines final : public QAbstractListModel {
public:
    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : static_cast<int>(m_lines.size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) {
            return {};
        }
        return QString::fromLatin1(m_lines.at(static_cast<std::size_t>(index.row())));
    }

    void append(std::vector<std::string>& batch) {
        const auto limit = static_cast<std::size_t>(TrafficPanel::kMaxLines);
        const std::size_t incoming = std::min(batch.size(), limit);
        const std::size_t keep = std::min(m_lines.size(), limit - incoming);
        if (keep < m_lines.size()) {
            beginRemoveRows({}, 0, static_cast<int>(m_lines.size() - keep) - 1);
            m_lines.erase(m_lines.begin(), m_lines.end() - static_cast<std::ptrdiff_t>(keep));
            endRemoveRows();
        }
        if (incoming == 0) {
            return;
        }
        beginInsertRows({}, static_cast<int>(keep), static_cast<int>(keep + incoming) - 1);
        std::move(batch.end() - static_cast<std::ptrdiff_t>(incoming), batch.end(),
                  std::back_inserter(m_lines));
        endInsertRows();
    }

    void clear() {
        beginResetModel();
        m_lines.clear();
        endResetModel();
    }

    std::string text() const {
        std::string text;
        for (const std::string& line : m_lines) {
            text += line;
            text += '\n';
        }
        return text;
    }

private:
    std::deque<std::string> m_lines;
};

TrafficPanel::TrafficPanel(ucKelvra& kv, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_kv(kv), m_dialogs(dialogs), m_lines(new TrafficLines) {
    setObjectName("TrafficPanel");
    m_lines->setParent(this);
    lstTraffic = new QListView;
    lstTraffic->setObjectName("lstTraffic");
    lstTraffic->setModel(m_lines);
    lstTraffic->setUniformItemSizes(true);
    lstTraffic->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTraffic->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    lstTraffic->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    auto* save = new QPushButton("Save...");
    save->setObjectName("cmdTrafficSave");
    SizeCommandButton(save);
    connect(save, &QPushButton::clicked, this, [this] { Save(); });
    auto* clear = new QPushButton("Clear");
    clear->setObjectName("cmdTrafficClear");
    SizeCommandButton(clear);
    connect(clear, &QPushButton::clicked, this, [this] { Clear(); });

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Traffic:"));
    top->addStretch();
    top->addWidget(save);
    top->addWidget(clear);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(lstTraffic, 1);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { Refresh(false); });
}

TrafficPanel::~TrafficPanel() {
    if (m_decoding.valid()) {
        m_decoding.wait(); // it decodes with this panel's decoder
    }
}

void TrafficPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window coming back from being minimised: the panel never stopped listening.
    if (event->spontaneous()) {
        return;
    }
    // What crossed the link while the panel was closed is not known: start afresh.
    Refresh(true);
    m_decoder.clear();
    m_listening = m_kv.LinkTraffic.subscribe([this](const LinkChunk& chunk) { Take(chunk); });
}

void TrafficPanel::hideEvent(QHideEvent* event) {
    // A minimised window still has its panel open.
    if (event->spontaneous()) {
        QWidget::hideEvent(event);
        return;
    }
    m_listening.reset();
    Refresh(true);
    QWidget::hideEvent(event);
}

void TrafficPanel::Take(const LinkChunk& chunk) {
    m_captured.push_back({chunk.direction, std::string(chunk.link), chunk.framed, chunk.time,
                          chunk.tick, std::string(chunk.bytes)});
    // Chunks beyond what the panel keeps lines of would only be dropped by it.
    if (m_captured.size() > 2 * static_cast<std::size_t>(kMaxLines)) {
        m_captured.erase(m_captured.begin(), m_captured.end() - kMaxLines);
    }
    if (!m_refresh.isActive()) {
        m_refresh.start();
    }
}

std::vector<std::string> TrafficPanel::Decode(const std::vector<Captured>& chunks) {
    std::vector<std::string> lines;
    for (const Captured& chunk : chunks) {
        for (std::string& line : m_decoder.decode(LinkChunk{
                 chunk.direction, chunk.link, chunk.framed, chunk.time, chunk.tick, chunk.bytes})) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

void TrafficPanel::Refresh(bool wait) {
    m_refresh.stop();
    if (m_decoding.valid()) {
        if (!wait && m_decoding.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
            m_refresh.start(); // still busy: look again next time
            return;
        }
        Show(m_decoding.get());
    }
    if (m_captured.empty()) {
        return;
    }
    std::vector<Captured> chunks = std::exchange(m_captured, {});
    if (wait) {
        Show(Decode(chunks));
        return;
    }
    m_decoding = std::async(std::launch::async,
                            [this, chunks = std::move(chunks)] { return Decode(chunks); });
    m_refresh.start();
}

void TrafficPanel::Show(std::vector<std::string> lines) {
    if (lines.empty()) {
        return;
    }
    // The view follows the newest line unless the operator has scrolled back.
    const QScrollBar* bar = lstTraffic->verticalScrollBar();
    const bool following = bar->value() == bar->maximum();
    m_lines->append(lines);
    if (following) {
        lstTraffic->scrollToBottom();
    }
}

std::string TrafficPanel::Lines() {
    Refresh(true);
    return m_lines->text();
}

void TrafficPanel::Save() {
    const std::optional<std::string> path = m_dialogs.saveFileName("Save Traffic", "traffic.txt");
    if (!path) {
        return;
    }
    const std::string lines = Lines();
    std::ofstream file(*path, std::ios::binary | std::ios::trunc);
    file << lines;
    file.close();
    if (!file) {
        m_dialogs.messageBox("The traffic could not be saved to " + *path + ".", MessageButtons::Ok,
                             MessageIcon::Critical, "");
    }
}

void TrafficPanel::Clear() {
    Refresh(true);
    m_lines->clear();
}

} // namespace kelvra
