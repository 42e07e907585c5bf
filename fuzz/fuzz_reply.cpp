// A reply frame from the terminal, verified on its own and then carried the whole way: it
// arrives on a datagram link while a command waits, the transaction verifies it, and GetData
// hands out what is left. Both must agree, and neither may read outside the text.
#include "DriverProbe.h"
#include "FuzzCheck.h"
#include "driver/FrameCodec.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace kelvra;

bool isKnownCode(std::int32_t code) {
    return code == KV_SUCCESS || (code <= KV_ERR_ACCESS_DENIED && code >= KV_ERR_UKNOWN);
}

void checkVerifyReply(const std::string& frame) {
    const auto reply = VerifyReply(frame);
    if (!reply) {
        return;
    }
    FUZZ_CHECK(isKnownCode(reply->errCode));
    if (!CheckLength(frame)) {
        FUZZ_CHECK(reply->errCode == KV_ERR_LENGTH_NOT_MATCH && reply->data == frame);
        return;
    }
    if (!CheckChecksum(frame)) {
        FUZZ_CHECK(reply->errCode == KV_ERR_CHECKSUM && reply->data == frame);
        return;
    }
    // A verified frame gives its data field: everything between status and checksum.
    const bool pushed = frame.compare(3, 2, "XN") == 0;
    const std::size_t dataStart = pushed ? 5 : 4;
    FUZZ_CHECK(frame.size() >= dataStart + 5);
    FUZZ_CHECK(reply->data == frame.substr(dataStart, frame.size() - dataStart - 5));
    FUZZ_CHECK(reply->errCode == StatusLetterCode(frame[3]));
}

void checkTransaction(const std::string& frame) {
    test::DriverRig rig;
    rig.connectUdp();
    rig.kv.SetTimeout(50); // two passes: the reply is there after the first
    rig.answerEveryFrame(frame, 10);
    rig.kv.EchoTest(1, "");
    std::string payload;
    rig.kv.GetData(payload);

    const bool terminated =
        frame.find(ETX) != std::string::npos || frame.find(CR) != std::string::npos;
    if (!terminated) {
        FUZZ_CHECK(rig.kv.ErrCode() == KV_ERR_TIMEOUT && payload.empty());
    } else if (frame.size() < 9) {
        FUZZ_CHECK(rig.kv.ErrCode() == KV_ERR_LENGTH_NOT_ALLOWED && payload == frame);
    } else if (const auto reply = VerifyReply(frame)) {
        FUZZ_CHECK(rig.kv.ErrCode() == reply->errCode && payload == reply->data);
    } else {
        FUZZ_CHECK(rig.kv.ErrCode() == KV_SUCCESS && payload.empty());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string frame(reinterpret_cast<const char*>(data), size);
    checkVerifyReply(frame);
    checkTransaction(frame);
    return 0;
}
