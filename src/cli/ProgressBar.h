#pragma once

#include <cstdint>
#include <string>

namespace kelvra::cli {

// A progress bar on standard error for long work, drawn only when standard error is a
// terminal: scripts and log files see nothing of it. A total of 0 means unknown (the count
// alone is shown). Redrawn at every tenth of a per cent (every 100 with no total), so that
// a fast download does not spend its time drawing; cleared when it goes away.
class ProgressBar {
public:
    ProgressBar(std::string label, std::int64_t total);
    ~ProgressBar();
    ProgressBar(const ProgressBar&) = delete;
    ProgressBar& operator=(const ProgressBar&) = delete;

    void update(std::int64_t done);

private:
    void draw(std::int64_t done);

    std::string m_label;
    std::int64_t m_total;
    bool m_shown;
    std::string m_lastLine;
    std::int64_t m_lastStep = -1;
};

} // namespace kelvra::cli
