#include "module_client/ModuleReply.h"

#include <array>

namespace kelvra {

namespace {

struct StatusLetter {
    char letter;
    std::int32_t outcome;
};

constexpr std::array kStatusLetters{
    StatusLetter{'A', VX_SUCCESS},
    StatusLetter{'C', VX_ERR_STATUS_C},
    StatusLetter{'F', VX_ERR_STATUS_F},
    StatusLetter{'D', VX_ERR_STATUS_D},
};

constexpr std::size_t kWholeReplyLength = 20;

} // namespace

std::int32_t ReplyPolls(std::int32_t timeoutMs) {
    std::int32_t polls = timeoutMs / kReplyPollMs;
    const std::int32_t rest = timeoutMs % kReplyPollMs;
    const std::int32_t half = kReplyPollMs / 2;
    if (rest > half || (rest == half && polls % 2 != 0)) {
        ++polls;
    }
    return polls;
}

std::int32_t StatusOutcome(char status) {
    for (const StatusLetter& entry : kStatusLetters) {
        if (entry.letter == status) {
            return entry.outcome;
        }
    }
    return VX_ERR_STATUS_OTHER;
}

void StoreReplyData(const std::string& reply, std::string& replyData) {
    if (reply.size() >= kWholeReplyLength) {
        replyData = reply;
    } else if (reply.size() >= 2) {
        replyData = reply.substr(1);
    }
}

} // namespace kelvra
