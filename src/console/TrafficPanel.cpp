#include "console/TrafficPanel.h"

#include "console/CommandButton.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <fstream>

namespace kelvra {

TrafficPanel::TrafficPanel(ucKelvra& kv, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_kv(kv), m_dialogs(dialogs) {
    setObjectName("TrafficPanel");
    txtTraffic = new QPlainTextEdit;
    txtTraffic->setObjectName("txtTraffic");
    txtTraffic->setReadOnly(true);
    txtTraffic->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtTraffic->setMaximumBlockCount(kMaxLines);
    txtTraffic->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtTraffic->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

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
    layout->addWidget(txtTraffic, 1);

    m_refresh.setSingleShot(true);
    m_refresh.setInterval(kRefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { ShowPending(); });
}

void TrafficPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // What crossed the link while the panel was closed is not known: start afresh.
    m_decoder.clear();
    m_listening = m_kv.LinkTraffic.subscribe([this](const LinkChunk& chunk) { Take(chunk); });
}

void TrafficPanel::hideEvent(QHideEvent* event) {
    m_listening.reset();
    ShowPending();
    QWidget::hideEvent(event);
}

void TrafficPanel::Take(const LinkChunk& chunk) {
    for (const std::string& line : m_decoder.decode(chunk)) {
        m_pending.append(QString::fromLatin1(line));
    }
    // Lines beyond what the view keeps would only be dropped by it.
    if (m_pending.size() > kMaxLines) {
        m_pending.erase(m_pending.begin(), m_pending.end() - kMaxLines);
    }
    if (!m_pending.isEmpty() && !m_refresh.isActive()) {
        m_refresh.start();
    }
}

void TrafficPanel::ShowPending() {
    m_refresh.stop();
    if (m_pending.isEmpty()) {
        return;
    }
    txtTraffic->appendPlainText(m_pending.join('\n'));
    m_pending.clear();
}

std::string TrafficPanel::Lines() {
    ShowPending();
    std::string lines = txtTraffic->toPlainText().toLatin1().toStdString();
    if (!lines.empty()) {
        lines += '\n';
    }
    return lines;
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
    m_pending.clear();
    txtTraffic->clear();
}

} // namespace kelvra
