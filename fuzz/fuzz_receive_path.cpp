// What a link receives in extended mode, cut into arbitrary chunks: pushed records, replies,
// frames split anywhere or several to a chunk, noise. Wherever the chunks fall, the cutter
// must hand out a good record whole; the driver must report as a success only what a good
// record in the stream carries, and keep what it holds bounded.
//
// Input: byte 0 gives the number of chunk lengths that follow, byte 1 where a good record is
// put into the stream, the rest is the stream around it.
#include "DriverProbe.h"
#include "FuzzCheck.h"
#include "driver/FrameCodec.h"
#include "driver/RecordCutter.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using namespace kelvra;

const std::string kGoodRecord = "\x02"
                                "55XNR12908"
                                "\x03";
const std::string kAccepted = "\x02"
                              "55AOKDB07"
                              "\x03";

struct Stream {
    std::string text;
    std::vector<std::string> chunks;
};

Stream Arrange(const std::uint8_t* data, std::size_t size) {
    Stream stream;
    if (size < 2) {
        return stream;
    }
    const std::size_t lengths = std::min<std::size_t>(data[0] % 16, size - 2);
    const std::uint8_t where = data[1];
    std::string around(reinterpret_cast<const char*>(data) + 2 + lengths, size - 2 - lengths);
    const std::size_t at = around.size() * where / 255;
    stream.text = around.substr(0, at) + kGoodRecord + around.substr(at);
    std::size_t from = 0;
    for (std::size_t i = 0; i < lengths; ++i) {
        const std::size_t length = std::min<std::size_t>(data[2 + i], stream.text.size() - from);
        stream.chunks.push_back(stream.text.substr(from, length));
        from += length;
    }
    stream.chunks.push_back(stream.text.substr(from));
    return stream;
}

void checkCutter(const Stream& stream) {
    RecordCutter cutter;
    int goodRecords = 0;
    for (const std::string& chunk : stream.chunks) {
        for (const auto& piece : cutter.cut(chunk, true)) {
            if (piece.pushedRecord) {
                FUZZ_CHECK(piece.text.size() >= 6 && piece.text.compare(3, 2, "XN") == 0 &&
                           piece.text.back() == ETX);
                goodRecords += piece.text == kGoodRecord ? 1 : 0;
            }
        }
        FUZZ_CHECK(cutter.held().size() <= RecordCutter::kHeldLimit);
    }
    FUZZ_CHECK(goodRecords >= 1);
}

std::string TwoHexDigits(unsigned value) {
    const char* digits = "0123456789ABCDEF";
    return {digits[(value >> 4) & 0xF], digits[value & 0xF]};
}

// Whether the stream holds a frame that carries `data` under a right checksum: "XN", the data,
// the checksum written out here without the driver's codec, a two-character length field (read
// up to its first character that is no hex digit, so only its place is checked) and ETX.
bool CarriesRecord(const std::string& stream, const std::string& data) {
    const std::string body = "XN" + data;
    unsigned sum = 0;
    for (const char c : body) {
        sum += static_cast<unsigned char>(c);
    }
    const std::string tail = body + TwoHexDigits(sum);
    for (std::size_t at = stream.find(tail); at != std::string::npos;
         at = stream.find(tail, at + 1)) {
        const std::size_t end = at + tail.size() + 2;
        if (end < stream.size() && stream[end] == ETX) {
            return true;
        }
    }
    return false;
}

void checkDriver(const Stream& stream) {
    test::DriverRig rig;
    rig.connectUdp();
    rig.kv.SetTimeout(50);
    rig.socket().peer = [&](const std::string& frame) {
        if (frame.compare(3, 2, "XO") == 0) {
            rig.socket().arrive(kAccepted, 10);
        }
    };
    rig.kv.X_LogOn(5);
    FUZZ_CHECK(rig.kv.RealTimeMode());

    const Subscription checking = rig.kv.KelvraDataArival.subscribe(
        [&](const std::string&, std::int16_t, const std::string& data, std::int32_t code) {
            if (code == KV_SUCCESS) {
                FUZZ_CHECK(CarriesRecord(stream.text, data));
            }
        });
    for (const std::string& chunk : stream.chunks) {
        rig.socket().arrive(chunk, 1);
        rig.time.sleep(1);
        rig.time.processEvents();
        FUZZ_CHECK(ucKelvraProbe::ReceiveBuffer(rig.kv).size() <= ucKelvra::kReceiveBufferLimit);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Stream stream = Arrange(data, size);
    if (stream.chunks.empty()) {
        return 0;
    }
    checkCutter(stream);
    checkDriver(stream);
    return 0;
}
