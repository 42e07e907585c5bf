#include "cli/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace kelvra::cli {

namespace {
constexpr int kBarWidth = 30;
}

ProgressBar::ProgressBar(std::string label, std::int64_t total)
    : m_label(std::move(label)), m_total(total), m_shown(::isatty(STDERR_FILENO) == 1) {
    update(0);
}

ProgressBar::~ProgressBar() {
    if (m_shown && !m_lastLine.empty()) {
        std::fprintf(stderr, "\r%*s\r", static_cast<int>(m_lastLine.size()), "");
        std::fflush(stderr);
    }
}

void ProgressBar::update(std::int64_t done) {
    if (m_shown) {
        draw(done);
    }
}

void ProgressBar::draw(std::int64_t done) {
    const std::int64_t step = m_total > 0 ? done * 1000 / m_total : done / 100;
    if (step == m_lastStep) {
        return;
    }
    m_lastStep = step;
    std::string line = m_label + " ";
    if (m_total > 0) {
        const std::int64_t clamped = std::clamp<std::int64_t>(done, 0, m_total);
        const auto filled = static_cast<int>(clamped * kBarWidth / m_total);
        line += "[" + std::string(static_cast<std::size_t>(filled), '#') +
                std::string(static_cast<std::size_t>(kBarWidth - filled), ' ') + "] ";
        line += std::to_string(done) + "/" + std::to_string(m_total);
    } else {
        line += std::to_string(done);
    }
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    m_lastLine = std::move(line);
}

} // namespace kelvra::cli
