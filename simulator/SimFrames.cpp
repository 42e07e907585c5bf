#include "SimFrames.h"

#include "driver/FrameCodec.h"
#include "driver/LeadingNumber.h"

namespace kelvra::sim {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

} // namespace

Request ParseRequest(std::string_view frame) {
    Request request;
    const std::size_t n = frame.size();
    // STX, two address characters, checksum, length, ETX: eight characters with an empty body
    // (SendRawData with empty text sends exactly that).
    if (n < 8 || frame.front() != STX || frame.back() != ETX) {
        return request;
    }
    const int code = static_cast<unsigned char>(frame[1]) - 48;
    if (code < 0 || code > 207) {
        return request;
    }
    request.terminal = static_cast<std::int16_t>(code);

    const int lengthHigh = HexDigitValue(frame[n - 3]);
    const int lengthLow = HexDigitValue(frame[n - 2]);
    if (lengthHigh < 0 || lengthLow < 0 ||
        static_cast<std::size_t>(lengthHigh * 16 + lengthLow) != ((n - 4) & 0xFF)) {
        request.check = RequestCheck::BadLength;
        return request;
    }
    if (!CheckChecksum(frame)) {
        request.check = RequestCheck::BadChecksum;
        return request;
    }
    request.check = RequestCheck::Ok;
    request.body = std::string(frame.substr(3, n - 8));
    return request;
}

std::string ReplyFrame(std::int16_t terminal, std::string_view statusAndData) {
    // A reply has the layout of a request, with the status letter in place of the command.
    return BuildRequestFrame(statusAndData, terminal, "");
}

std::string CorruptChecksum(std::string frame) {
    if (frame.size() >= 9) {
        char& digit = frame[frame.size() - 5];
        const int value = HexDigitValue(digit);
        digit = kHex[(value < 0 ? 0 : value + 1) & 0xF];
    }
    return frame;
}

std::vector<std::string> FrameAssembler::feed(std::string_view bytes) {
    std::vector<std::string> frames;
    for (char c : bytes) {
        if (c == STX) {
            m_discarded += m_partial.size();
            m_partial.assign(1, c);
            m_inFrame = true;
            continue;
        }
        if (!m_inFrame) {
            ++m_discarded;
            continue;
        }
        m_partial += c;
        if (c == ETX) {
            frames.push_back(std::move(m_partial));
            m_partial.clear();
            m_inFrame = false;
        } else if (m_partial.size() >= m_limit) {
            m_discarded += m_partial.size();
            m_partial.clear();
            m_inFrame = false;
        }
    }
    return frames;
}

} // namespace kelvra::sim
