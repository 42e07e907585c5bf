// What the simulator reads from the driver: the byte stream of a terminal link, cut into frames
// and handed to the terminal, and the datagrams of the interface module.
//
// Terminal side: the stream mixes good requests with noise and arrives in chunks of any size.
// The frame assembler must hold no more than its limit, lose or invent no byte, cut the same
// frames wherever the chunks fall, and hand out every good request whole and in order. A frame
// the terminal accepts re-reads the same when built again from what it accepted; every frame
// the terminal sends back is one it would accept itself.
//
// Module side: each datagram gets a short reply with a known status letter (or the forced one);
// the status reply keeps its six "/"-separated fields whatever was stored; a value the module
// accepted reads back the same and is accepted again as it reads.
//
// Input: byte 0 the number of chunk lengths that follow, then the lengths, then lines (LF):
// "#" + a module datagram, "%" + a forced status letter + a module datagram, "!" + noise in
// the terminal stream; any other line is the body of a good request to terminal 1.
#include "FuzzCheck.h"
#include "ModuleModel.h"
#include "SimFrames.h"
#include "TerminalModel.h"
#include "driver/FrameCodec.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace kelvra;
using namespace kelvra::sim;
using namespace std::chrono_literals;

constexpr std::size_t kAssemblerLimit = 256;

struct Input {
    std::vector<std::size_t> chunkLengths;
    std::string stream;
    std::vector<std::string> goodRequests; // the frames in the stream built from clean bodies
    struct ModuleDatagram {
        char forcedStatus;
        std::string text;
    };
    std::vector<ModuleDatagram> moduleDatagrams;
};

Input ReadInput(const std::uint8_t* data, std::size_t size) {
    Input input;
    const std::size_t lengths = std::min<std::size_t>(data[0] % 16, size - 1);
    for (std::size_t i = 0; i < lengths; ++i) {
        input.chunkLengths.push_back(data[1 + i]);
    }
    const std::string_view text(reinterpret_cast<const char*>(data) + 1 + lengths,
                                size - 1 - lengths);
    for (std::size_t from = 0; from <= text.size();) {
        const std::size_t end = std::min(text.find('\n', from), text.size());
        const std::string_view line = text.substr(from, end - from);
        from = end + 1;
        if (line.starts_with('#')) {
            input.moduleDatagrams.push_back({0, std::string(line.substr(1))});
        } else if (line.starts_with('%') && line.size() >= 2) {
            input.moduleDatagrams.push_back({line[1], std::string(line.substr(2))});
        } else if (line.starts_with('!')) {
            input.stream += line.substr(1);
        } else {
            const std::string frame = BuildRequestFrame(line, 1, "");
            // STX or ETX in the body cuts the frame: no terminal can be sent such a request.
            if (line.find_first_of("\x02\x03") == std::string_view::npos &&
                frame.size() <= kAssemblerLimit) {
                input.goodRequests.push_back(frame);
            }
            input.stream += frame;
        }
    }
    return input;
}

struct Assembled {
    std::vector<std::string> frames;
    std::size_t discarded = 0;
};

Assembled Assemble(const Input& input, bool inChunks) {
    FrameAssembler assembler(kAssemblerLimit);
    Assembled out;
    std::size_t from = 0;
    auto feed = [&](std::size_t length) {
        for (std::string& frame :
             assembler.feed(std::string_view(input.stream).substr(from, length))) {
            FUZZ_CHECK(frame.front() == STX && frame.back() == ETX);
            FUZZ_CHECK(frame.find_first_of("\x02\x03", 1) == frame.size() - 1);
            out.frames.push_back(std::move(frame));
        }
        from += length;
        FUZZ_CHECK(assembler.pendingBytes() < kAssemblerLimit);
    };
    if (inChunks) {
        for (const std::size_t length : input.chunkLengths) {
            feed(std::min(length, input.stream.size() - from));
        }
    }
    feed(input.stream.size() - from);
    // Every byte is in a frame, discarded, or still waiting for its frame's end.
    std::size_t framed = 0;
    for (const std::string& frame : out.frames) {
        framed += frame.size();
    }
    FUZZ_CHECK(framed + assembler.discardedBytes() + assembler.pendingBytes() ==
               input.stream.size());
    out.discarded = assembler.discardedBytes();
    return out;
}

const TerminalModel& PristineTerminal() {
    static const TerminalModel terminal([] {
        TerminalConfig config;
        config.wallClock = [] { return DateTime::fromParts(2026, 12, 7, 6, 0, 0); };
        return config;
    }());
    return terminal;
}

void CheckSentFrames(const std::vector<Outgoing>& sent, const TerminalModel& terminal) {
    for (const Outgoing& out : sent) {
        const Request reread = ParseRequest(out.frame);
        FUZZ_CHECK(reread.check == RequestCheck::Ok && reread.terminal == terminal.number());
    }
}

void CheckTerminal(const Input& input) {
    const Assembled chunked = Assemble(input, true);
    const Assembled whole = Assemble(input, false);
    FUZZ_CHECK(chunked.frames == whole.frames && chunked.discarded == whole.discarded);

    // The good requests, in order, among the frames.
    auto next = chunked.frames.begin();
    for (const std::string& good : input.goodRequests) {
        next = std::find(next, chunked.frames.end(), good);
        FUZZ_CHECK(next != chunked.frames.end());
        ++next;
    }

    if (chunked.frames.empty()) {
        return;
    }
    TerminalModel terminal = PristineTerminal();
    SteadyClock::time_point now{};
    for (const std::string& frame : chunked.frames) {
        now += 10ms;
        const Request request = ParseRequest(frame);
        if (request.check == RequestCheck::Ok) {
            const Request reread =
                ParseRequest(BuildRequestFrame(request.body, request.terminal, ""));
            FUZZ_CHECK(reread.check == RequestCheck::Ok && reread.terminal == request.terminal &&
                       reread.body == request.body);
        }
        const std::vector<Outgoing> replies = terminal.handleFrame(frame, now);
        CheckSentFrames(replies, terminal);
        if (request.check == RequestCheck::Malformed) {
            FUZZ_CHECK(replies.empty());
        } else if (request.check != RequestCheck::Ok) {
            FUZZ_CHECK(replies.size() == 1 && ParseRequest(replies[0].frame).body == "C");
        }
        CheckSentFrames(terminal.poll(now), terminal);
    }
    const TerminalCounters& counters = terminal.counters();
    FUZZ_CHECK(static_cast<std::size_t>(counters.requests + counters.badRequests +
                                        counters.ignoredFrames) == chunked.frames.size());
}

// The stored settings and their codes; each reads back with "G" + code.
constexpr std::array<std::string_view, 12> kSettingCodes = {"CT", "DN", "ON", "RM", "TP", "IP",
                                                            "DI", "BR", "RC", "PR", "BB", "FC"};

bool IsSettingChange(std::string_view datagram) {
    return datagram.size() >= 3 && (datagram[0] == 'S' || datagram[0] == 'P') &&
           std::find(kSettingCodes.begin(), kSettingCodes.end(), datagram.substr(1, 2)) !=
               kSettingCodes.end();
}

void CheckStatusReply(const ModuleModel& module, bool busy) {
    const ModuleContext context{busy, busy ? "127.0.0.1:40000" : ""};
    const std::string reply = module.statusReply(context);
    std::vector<std::string_view> fields;
    for (std::size_t from = 0;;) {
        const std::size_t slash = reply.find('/', from);
        fields.push_back(std::string_view(reply).substr(from, slash - from));
        if (slash == std::string::npos) {
            break;
        }
        from = slash + 1;
    }
    FUZZ_CHECK(fields.size() == 6 && fields[5].empty());
    FUZZ_CHECK(fields[2] == (busy ? "-CN-N-" : "-**-*-"));
}

void CheckModule(const Input& input) {
    if (input.moduleDatagrams.empty()) {
        return;
    }
    // One module, set back to its factory state for each input: building its command table
    // anew would cost more than the rest of the check.
    static ModuleModel module("127.0.0.9");
    static const std::map<std::string, std::string> factory = module.settings();
    module.settings() = factory;
    module.setLoggedIn(false);
    bool busy = false;
    for (const Input::ModuleDatagram& datagram : input.moduleDatagrams) {
        const ModuleContext context{busy, busy ? "127.0.0.1:40000" : "", datagram.forcedStatus};
        const ModuleOutcome outcome = module.handle(datagram.text, context);
        FUZZ_CHECK(outcome.dropStream == datagram.text.starts_with('E'));
        if (outcome.reply) {
            const std::string& reply = *outcome.reply;
            FUZZ_CHECK(!reply.empty() && reply.size() <= 64);
            const bool forced =
                datagram.forcedStatus != 0 && ModuleModel::IsConfigurationCommand(datagram.text);
            FUZZ_CHECK(forced ? reply.front() == datagram.forcedStatus
                              : std::string_view("ACFD").find(reply.front()) !=
                                    std::string_view::npos);
            if (!forced && reply == "A" && IsSettingChange(datagram.text)) {
                // Accepted: it reads back in its stored form, which is accepted in turn.
                const std::string get = "G" + datagram.text.substr(1, 2);
                const ModuleOutcome stored = module.handle(get, {});
                FUZZ_CHECK(stored.reply && stored.reply->starts_with('A'));
                const std::string value = stored.reply->substr(1);
                const std::string set = "S" + datagram.text.substr(1, 2) + value;
                FUZZ_CHECK(module.handle(set, {}).reply == "A");
                FUZZ_CHECK(module.handle(get, {}).reply == *stored.reply);
            }
        }
        CheckStatusReply(module, false);
        CheckStatusReply(module, true);
        busy = !busy;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const Input input = ReadInput(data, size);
    CheckTerminal(input);
    CheckModule(input);
    return 0;
}
