#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::sim {

// Whether the interface module's status reply shows the free marker.
enum class ModuleAvailability {
    Auto, // busy exactly while a stream client is connected (what a real module does)
    Free, // always free
    Busy, // always busy (optionally only until a number of "E" commands, busyForExits)
};

// The most garbage bytes a reply can be followed by: what one datagram carries, since the garbage
// goes out in a write of its own. Without a bound one fault item could make every reply allocate
// gigabytes.
inline constexpr int kMostGarbageBytes = 65507;

// A fault item armed at random: on each push tick it fires with probability `share` and is
// then armed once (see ArmFault).
struct RandomFault {
    std::string item;
    double share = 0;

    bool operator==(const RandomFault&) const = default;
};

// Faults on demand. A count field reads: 0 off, N > 0 the next N occurrences (consumed as
// they happen), -1 every occurrence until changed.
struct FaultSettings {
    bool silentTerminal = false; // requests are neither executed nor answered, nothing pushed
    bool silentModule = false;   // module datagrams are ignored
    ModuleAvailability module = ModuleAvailability::Auto;
    int busyForExits = -1;      // with Busy: becomes Auto after this many "E" (-1 never)
    int dropReplies = 0;        // count: replies not sent (the command is executed)
    int corruptReplies = 0;     // count: replies sent with a wrong checksum
    int corruptPushes = 0;      // count: pushed records sent with a wrong checksum
    int splitDelayMs = -1;      // >= 0: replies and pushes go out in two writes this far apart
    int delayMs = 0;            // every reply and push leaves this much later
    bool doubleReplies = false; // every reply is sent twice
    int garbageBytes = 0;       // this many non-frame bytes follow every reply, in a write of
                                // their own
    char refuseStatus = 0;      // non-zero: requests are answered with this status letter
    std::string refuseCommand;  // ... only this command ("LI", "E", ...); empty: all
    // Non-zero: module configuration commands are not carried out but answered with this
    // status letter, as often as the count moduleStatusReplies says.
    char moduleStatus = 0;
    int moduleStatusReplies = 0;
    std::vector<RandomFault> random; // armed at random on push ticks

    bool operator==(const FaultSettings&) const = default;
};

// The faults of the items armed at random that apply to the next frame they concern only, and
// are then spent.
struct OnceFaults {
    int splitDelayMs = -1; // the next frame
    int delayMs = 0;       // the next frame
    bool doubleReply = false;
    int garbageBytes = 0;

    bool operator==(const OnceFaults&) const = default;
};

// Parses a comma-separated fault list; blanks around items are ignored. Items:
//   none                      all faults off (the defaults above)
//   silent | silent-terminal  silentTerminal
//   silent-module             silentModule
//   busy-module[=N]           module Busy (until N exit commands)
//   free-module               module Free
//   drop=N                    dropReplies N
//   corrupt[=N]               corruptReplies N (no value: every reply)
//   corrupt-push[=N]          corruptPushes N (no value: every push)
//   split[=MS]                splitDelayMs MS (default 20)
//   delay=MS                  delayMs
//   double                    doubleReplies
//   garbage[=N]               garbageBytes N (default 8, at most kMostGarbageBytes)
//   refuse=L[:CMD]            refuseStatus L, refuseCommand CMD
//   module-status=L[:N]       moduleStatus L for the next N configuration commands (no N:
//                             every one)
//   ITEM@P                    ITEM armed on a share P (0 < P <= 1) of the push ticks, at
//                             random; ITEM is one of drop, corrupt, corrupt-push, split, delay,
//                             double, garbage ("corrupt-push=1@0.1": one push in ten, on average)
// Items apply in order onto `base`. Throws std::invalid_argument naming a bad item.
FaultSettings ParseFaultList(std::string_view list, FaultSettings base = {});

// One write on a transport: bytes, to leave `after` the moment the frame was produced.
struct TimedWrite {
    std::chrono::milliseconds after{0};
    std::string bytes;

    bool operator==(const TimedWrite&) const = default;
};

enum class FrameKind { Reply, Push };

// Applies the faults to one outgoing frame and returns the writes that carry it (none when
// dropped). Consumes the counted faults it uses, and the once faults that concern the frame.
// Drop, double and garbage concern replies only; corruption has a count for each kind; split
// and delay shape both.
std::vector<TimedWrite> ShapeOutgoing(const std::string& frame, FrameKind kind,
                                      FaultSettings& faults, OnceFaults& once);
std::vector<TimedWrite> ShapeOutgoing(const std::string& frame, FrameKind kind,
                                      FaultSettings& faults);

// Arms a fault item that fired on a push tick: a counted fault counts one more occurrence (N
// more with a value), any other applies to the next frame it concerns only.
void ArmFault(std::string_view item, FaultSettings& faults, OnceFaults& once);

// Takes one occurrence of a count field: true when the fault applies now.
bool ConsumeCount(int& count);

// The garbage written by the garbage fault: printable bytes, never STX, ETX or CR.
std::string GarbageBytes(int count);

} // namespace kelvra::sim
