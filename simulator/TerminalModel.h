#pragma once

#include "Faults.h"
#include "platform/DateTime.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvra::sim {

using SteadyClock = std::chrono::steady_clock;

// One simulated Kelvra terminal: pure protocol logic, no sockets, not thread-safe (the host
// serialises all calls). Written from the protocol as the driver sees it;
// every reply content the protocol leaves to the terminal is chosen here:
//
// Status letters: "A" done; "X"/"XN" pushed or resent record; "D" needs login (or a
// read-only item); "F" an argument the terminal cannot use (malformed number, unknown item,
// member, field, record index or bell slot, a value of the wrong form); "N" a command that
// does not fit the present state (RH before RG, RR inside a read transaction, XR before any
// push, IG on a table item); "E" the end of records or of a table; "K" a table record whose
// key (field 0) exists already; "I" an unknown command; "C" a request that failed its length
// or checksum check. Malformed frames (no STX/ETX, no address) are ignored.
//
// Login: "LI" + password ("1234" unless configured). Refused with "D" until login: "RO",
// "RR", "RI", "RM", "WE", "WT", "WC"; reading "LOGINPWD"; writing items whose flags lack 4
// (flag 8: after login; neither: read-only, always "D"); "IA"/"IE"/"IR" on a table whose
// flags lack 4. "LS" answers "XI" in extended mode, else "I" logged in, "O" logged out.
//
// Catalogue (reference: name, type, size, flags):
//   0 TIME TIME 1 4 | 1 DATE DATE 1 4 | 2 MACHNO VAL 1 40 | 3 MACHNAME STR 1 8
//   4 DATEFMT VAL 1 40 (enumerated, value 1 = "1 DD-MM-YYYY") | 5 LOGINPWD STR 1 8
//   6 LANGUAGE VAL 1 36 (enumerated) | 7 BELLVOL VAL 1 8 (enumerated)
//   8 DISPLAYMSG STR 2 4 | 9 RELAYTIME VAL 2 40 (not enumerated) | 10 FIRMWARE STR 1 0
//   11 EMPLOYEES TAB 5 40, fields: 0 VAL "Employee No." (the key), 1 STR "Name",
//      2 VAL "Shift" (enumerated), 3 DATE "Valid Until", 4 TIME "Start Time".
// Item IDs are 100 + reference. Captions begin with their value ("0 Off;1 Low;..."), as the
// array item editor expects. Values: VAL decimal, STR text, TIME HH:MM:SS, DATE DD-MM-YYYY.
// TIME and DATE read the wall clock plus an offset that "IS" moves.
//
// A larger catalogue (TerminalConfig::items, up to 100: references are two digits) goes on
// with generated items ITEM12, ITEM13, ..., reference nn taking by nn % 4 the form
//   0: VAL 1 4, value nn | 1: VAL 1 8 (enumerated "0 Off;1 On"), value nn % 2
//   2: STR 1 4, value "TEXT nn" | 3: VAL 3 40, members 1, 2, 3.
// A denied array item (TerminalConfig::deniedItem) answers "D" to "IG", "ID" and "IS",
// logged in or not, as a terminal guards an item the operator may not see; "I?" and "IL"
// still describe it.
//
// Table records: "IF" gives the record index, TAB, then the fields TAB-separated; indices
// count from 1 and stay with their record ("IE"/"IR" name them; an unknown index is "F").
// "IT" puts the cursor on the first record, "IH" advances it ("E" past the end).
//
// Punch records: "<number>\t<DD-MM-YYYY>\t<HH:MM:SS>\tC<8-digit card>\t<mode>\t<machine>".
// "RN" counts the new (unread) records. "RG" opens the read transaction if none is open and
// returns the next record, advancing ("E" when none is left); "RH" acknowledges the record
// fetched ("N" before any); "RA" rewinds and closes the transaction; "RC" commits: the
// records fetched in it become old and leave the count. "RO" deletes old records, "RR" makes
// them new again, "RI" deletes all, "RM" (recover) has nothing to recover and answers "A".
//
// Extended mode: "XO" answers "A" and, pushAfterLogonMs later (so that the push does not
// share a read with the reply), pushes the first new record as an "XN" frame; the next one
// follows only after "XA". "XA" itself gets no reply frame: the driver does not wait for
// one, and an unsolicited reply would sit in front of the next pushed record in its receive
// buffer and hide it. A confirmed record becomes old. "XR" answers with the last pushed
// record as an "XN" frame and, while it is unconfirmed, pushes it again repushAfterResendMs
// later, as a terminal may: either copy can be the first good one, and a driver that dropped
// the answer would still get the record. "XF" stops pushing; an unconfirmed record stays new.
// "XP"/"XU" store and report the punch-times value (two upper-case hex digits); it has no
// further effect here.
//
// Bells: 256 slots (weekday * 32 + bell, "WG"/"WT" give it as two hex digits), each a time
// HH:MM:SS and a two-digit enabled flag, "WG" answers both. "WE" takes "0" + mode, "WS"
// answers it in decimal. "BW" answers "A" with the number of new records.

struct PunchRecord {
    int number = 0;
    DateTime when;
    std::string cardCode; // eight digits; on the wire behind the prefix "C"
    int mode = 0;

    bool operator==(const PunchRecord&) const = default;
};

// The catalogue's built-in items, and the most it can hold.
inline constexpr int kBuiltInItems = 12;
inline constexpr int kMostItems = 100;

struct TerminalConfig {
    std::int16_t number = 1;
    std::string password = "1234";
    std::string machineName = "KELVRA-SIM";
    int initialRecords = 3;
    int pushAfterLogonMs = 150;
    int repushAfterResendMs = 150;       // negative: never push again after a resend
    int pushEveryMs = 0;                 // > 0: generate a punch record this often in extended mode
    std::function<DateTime()> wallClock; // empty: the local system time
    int items = kBuiltInItems;           // kBuiltInItems to kMostItems
    std::string deniedItem;              // empty: none; else the name of an array item
};

struct Outgoing {
    std::string frame;
    FrameKind kind = FrameKind::Reply;
};

struct TerminalCounters {
    int requests = 0;        // verified requests
    int badRequests = 0;     // answered "C"
    int ignoredFrames = 0;   // malformed
    int unknownCommands = 0; // answered "I"
    int loginRefusals = 0;   // answered "D"
    int pushes = 0;          // "XN" frames pushed, repeats included
    int repushes = 0;        // of them, pushed again after "XR"
    int resendRequests = 0;  // "XR" received
    int confirmations = 0;   // "XA" that confirmed a record
    int itemUpdates = 0;     // "IU" received
    int bellActivations = 0; // "XB"
    int lockActivations = 0; // "XL"
};

struct Bell {
    std::string time = "00:00:00";
    int enabled = 0;
};

class TerminalModel {
public:
    static constexpr int kFlagWritable = 4;
    static constexpr int kFlagWritableAfterLogin = 8;
    static constexpr int kFlagNeedsUpdate = 32;

    // Throws std::invalid_argument for an item count outside kBuiltInItems to kMostItems or a
    // denied item that names no array item.
    explicit TerminalModel(TerminalConfig config = {});

    std::int16_t number() const { return m_config.number; }

    // A complete frame (STX ... ETX) addressed to this terminal: the reply frames, normally
    // one; none for "XA" and for a malformed frame.
    std::vector<Outgoing> handleFrame(std::string_view frame, SteadyClock::time_point now);

    // A verified request body (command letters + data): the reply body (status letter +
    // data, or "XN" + record), or nothing when the command gets no reply ("XA").
    std::optional<std::string> handleCommand(std::string_view body, SteadyClock::time_point now);

    // What the terminal sends on its own at `now` (generated and pushed records), and when
    // it next has something to do (nothing: until the next request or control call).
    std::vector<Outgoing> poll(SteadyClock::time_point now);
    std::optional<SteadyClock::time_point> nextWakeup() const;

    // Control and inspection.
    PunchRecord addPunchRecord(std::string cardCode = {}, int mode = 0);
    void setPushEvery(int ms, SteadyClock::time_point now);
    bool loggedIn() const { return m_loggedIn; }
    bool extendedMode() const { return m_extended; }
    const std::vector<PunchRecord>& newRecords() const { return m_new; }
    const std::vector<PunchRecord>& oldRecords() const { return m_old; }
    std::optional<PunchRecord> awaitingConfirmation() const;
    std::string recordText(const PunchRecord& record) const;
    const Bell& bell(int slot) const { return m_bells.at(static_cast<std::size_t>(slot)); }
    int bellMode() const { return m_bellMode; }
    int punchTimes() const { return m_punchTimes; }
    const std::string& displayText() const { return m_displayText; }
    int displayDuration() const { return m_displayDuration; }
    int lastBellDuration() const { return m_lastBellDuration; }
    int lastLockDuration() const { return m_lastLockDuration; }
    DateTime terminalTime() const;
    std::optional<std::string> itemValue(std::string_view name, int member = 0) const;
    const TerminalCounters& counters() const { return m_counters; }

private:
    struct FieldDef {
        std::string type, definition, help, selection;
    };
    struct TableRow {
        int index = 0;
        std::vector<std::string> fields;
    };
    struct Item {
        std::string name, type;
        int size = 1;
        int flags = 0;
        std::string definition, help, selection;
        std::vector<std::string> values, defaults;
        std::vector<FieldDef> fields;
        std::vector<TableRow> rows;
        int nextIndex = 1;
        std::size_t cursor = 0;
        bool denied = false; // every read and write answers "D"
    };
    using Handler = std::string (TerminalModel::*)(std::string_view data,
                                                   SteadyClock::time_point now);
    struct CommandEntry {
        std::string_view letters;
        bool needsLogin;
        Handler handler;
    };
    static const std::array<CommandEntry, 41> kCommands;

    void buildCatalogue();
    void addGeneratedItems();
    void denyItem();
    DateTime wallNow() const;
    int itemIndex(std::string_view name) const;
    bool parseAddress(std::string_view& data, int& item, int* member) const;
    bool valueFits(const std::string& type, int selectionCount, std::string_view value) const;
    std::string itemDescriptor(const Item& item, int reference) const;
    std::string readMember(const Item& item, int member, bool defaults) const;
    std::string writeMember(Item& item, int member, std::string_view value);
    bool canWrite(int flags) const;
    Item* tableItem(std::string_view& data);
    std::optional<std::vector<std::string>> parseRow(const Item& table,
                                                     std::string_view text) const;
    std::optional<std::size_t> pushCandidate() const;

    std::string cmdEcho(std::string_view, SteadyClock::time_point);
    std::string cmdPolling(std::string_view, SteadyClock::time_point);
    std::string cmdLogin(std::string_view, SteadyClock::time_point);
    std::string cmdLogout(std::string_view, SteadyClock::time_point);
    std::string cmdLoginStatus(std::string_view, SteadyClock::time_point);
    std::string cmdRecordCount(std::string_view, SteadyClock::time_point);
    std::string cmdGetRecord(std::string_view, SteadyClock::time_point);
    std::string cmdConfirmRecord(std::string_view, SteadyClock::time_point);
    std::string cmdAbortRead(std::string_view, SteadyClock::time_point);
    std::string cmdCommitRead(std::string_view, SteadyClock::time_point);
    std::string cmdDeleteOld(std::string_view, SteadyClock::time_point);
    std::string cmdResetOld(std::string_view, SteadyClock::time_point);
    std::string cmdInitialize(std::string_view, SteadyClock::time_point);
    std::string cmdRecover(std::string_view, SteadyClock::time_point);
    std::string cmdItemCount(std::string_view, SteadyClock::time_point);
    std::string cmdItemUpdate(std::string_view, SteadyClock::time_point);
    std::string cmdItemByName(std::string_view, SteadyClock::time_point);
    std::string cmdItemInfo(std::string_view, SteadyClock::time_point);
    std::string cmdGetItem(std::string_view, SteadyClock::time_point);
    std::string cmdSetItem(std::string_view, SteadyClock::time_point);
    std::string cmdItemDefault(std::string_view, SteadyClock::time_point);
    std::string cmdFieldInfo(std::string_view, SteadyClock::time_point);
    std::string cmdTableFetch(std::string_view, SteadyClock::time_point);
    std::string cmdTableConfirm(std::string_view, SteadyClock::time_point);
    std::string cmdTableTop(std::string_view, SteadyClock::time_point);
    std::string cmdTableAdd(std::string_view, SteadyClock::time_point);
    std::string cmdTableEdit(std::string_view, SteadyClock::time_point);
    std::string cmdTableRemove(std::string_view, SteadyClock::time_point);
    std::string cmdExtendedOn(std::string_view, SteadyClock::time_point);
    std::string cmdExtendedOff(std::string_view, SteadyClock::time_point);
    std::string cmdResend(std::string_view, SteadyClock::time_point);
    std::string cmdShowText(std::string_view, SteadyClock::time_point);
    std::string cmdBell(std::string_view, SteadyClock::time_point);
    std::string cmdLock(std::string_view, SteadyClock::time_point);
    std::string cmdPunchTimesSet(std::string_view, SteadyClock::time_point);
    std::string cmdPunchTimesGet(std::string_view, SteadyClock::time_point);
    std::string cmdBellModeSet(std::string_view, SteadyClock::time_point);
    std::string cmdBellModeGet(std::string_view, SteadyClock::time_point);
    std::string cmdBellClear(std::string_view, SteadyClock::time_point);
    std::string cmdBellGet(std::string_view, SteadyClock::time_point);
    std::string cmdBellSet(std::string_view, SteadyClock::time_point);
    void confirmPushed(SteadyClock::time_point now); // "XA", which has no reply

    TerminalConfig m_config;
    std::vector<Item> m_items;
    std::int64_t m_clockOffsetSeconds = 0;
    bool m_loggedIn = false;

    std::vector<PunchRecord> m_new, m_old;
    int m_nextRecordNumber = 1;
    bool m_readOpen = false;
    std::size_t m_readCursor = 0;
    bool m_fetched = false;

    bool m_extended = false;
    std::optional<int> m_awaiting; // number of the pushed, unconfirmed record
    std::string m_lastPushed;      // data of the last pushed record
    SteadyClock::time_point m_pushNotBefore{};
    std::optional<SteadyClock::time_point> m_repushAt;
    std::optional<SteadyClock::time_point> m_generateAt;

    std::array<Bell, 256> m_bells{};
    int m_bellMode = 0;
    int m_punchTimes = 0;
    std::string m_displayText;
    int m_displayDuration = 0;
    int m_lastBellDuration = 0;
    int m_lastLockDuration = 0;
    TerminalCounters m_counters;
};

} // namespace kelvra::sim
