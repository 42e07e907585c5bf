#include "driver/RecordCutter.h"

#include "driver/FrameCodec.h"

#include <utility>

namespace kelvra {

namespace {

bool isRecordFrame(std::string_view frame) {
    return frame.size() >= 5 && frame[3] == 'X' && frame[4] == 'N';
}

// The last STX in [from, to), or `to` when there is none.
std::size_t lastFrameStart(const std::string& text, std::size_t from, std::size_t to) {
    for (std::size_t i = to; i > from; --i) {
        if (text[i - 1] == STX) {
            return i - 1;
        }
    }
    return to;
}

} // namespace

std::vector<RecordCutter::Piece> RecordCutter::cut(std::string_view chunk, bool recordsExpected) {
    std::string text = std::exchange(m_held, {});
    text += chunk;

    std::vector<Piece> pieces;
    auto handOn = [&](std::string_view frame) {
        if (!pieces.empty() && !pieces.back().pushedRecord) {
            pieces.back().text += frame;
        } else {
            pieces.push_back({false, std::string(frame)});
        }
    };

    std::size_t begin = 0; // where the current frame may begin: just after the previous one
    std::size_t search = 0;
    for (;;) {
        const std::size_t end = text.find_first_of(std::string_view("\x03\x0D", 2), search);
        if (end == std::string::npos) {
            break;
        }
        const std::size_t stx = lastFrameStart(text, begin, end);
        const std::size_t start = stx == end ? begin : stx;
        const std::string_view frame = std::string_view(text).substr(start, end + 1 - start);
        if (text[end] == CR && isRecordFrame(frame)) {
            search = end + 1; // part of the record's data
            continue;
        }
        if (recordsExpected && isRecordFrame(frame)) {
            pieces.push_back({true, std::string(frame)});
        } else {
            handOn(frame);
        }
        begin = search = end + 1;
    }

    const std::size_t stx = lastFrameStart(text, begin, text.size());
    m_held = text.substr(stx == text.size() ? begin : stx);
    if (m_held.size() > kHeldLimit) {
        m_held.clear();
    }
    return pieces;
}

} // namespace kelvra
