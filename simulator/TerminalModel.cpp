#include "TerminalModel.h"

#include "SimFrames.h"
#include "driver/ArgumentText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <ctime>

namespace kelvra::sim {

namespace {

constexpr char TAB = '\t';

DateTime localNow() {
    const std::time_t seconds = std::time(nullptr);
    std::tm local{};
    localtime_r(&seconds, &local);
    return DateTime::fromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec);
}

// A whole text as a signed decimal integer, nothing else around it.
std::optional<long> strictInteger(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    long value = 0;
    const char* first = text.data();
    const auto [end, error] = std::from_chars(first, first + text.size(), value);
    if (error != std::errc{} || end != first + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> hexByte(std::string_view text) {
    int value = 0;
    if (text.size() != 2) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + 2, value, 16);
    if (error != std::errc{} || end != text.data() + 2) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> twoDigits(std::string_view text) {
    if (text.size() != 2 || text[0] < '0' || text[0] > '9' || text[1] < '0' || text[1] > '9') {
        return std::nullopt;
    }
    return (text[0] - '0') * 10 + (text[1] - '0');
}

int daysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

struct TimeOfDay {
    int hour, minute, second;
};
struct CalendarDate {
    int day, month, year;
};

// HH:MM:SS exactly.
std::optional<TimeOfDay> parseTime(std::string_view text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return std::nullopt;
    }
    const auto h = twoDigits(text.substr(0, 2));
    const auto m = twoDigits(text.substr(3, 2));
    const auto s = twoDigits(text.substr(6, 2));
    if (!h || !m || !s || *h > 23 || *m > 59 || *s > 59) {
        return std::nullopt;
    }
    return TimeOfDay{*h, *m, *s};
}

// DD-MM-YYYY exactly.
std::optional<CalendarDate> parseDate(std::string_view text) {
    if (text.size() != 10 || text[2] != '-' || text[5] != '-') {
        return std::nullopt;
    }
    const auto d = twoDigits(text.substr(0, 2));
    const auto m = twoDigits(text.substr(3, 2));
    const auto y = strictInteger(text.substr(6, 4));
    if (!d || !m || !y || *y < 1900 || *y > 2999 || *m < 1 || *m > 12 || *d < 1 ||
        *d > daysInMonth(static_cast<int>(*y), *m)) {
        return std::nullopt;
    }
    return CalendarDate{*d, *m, static_cast<int>(*y)};
}

int captionCount(const std::string& selection) {
    if (selection.empty()) {
        return 0;
    }
    return static_cast<int>(std::count(selection.begin(), selection.end(), ';')) + 1;
}

std::vector<std::string_view> splitTabs(std::string_view text) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t tab = text.find(TAB);
        fields.push_back(text.substr(0, tab));
        if (tab == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(tab + 1);
    }
}

std::string ok(std::string_view data = {}) {
    return "A" + std::string(data);
}

const std::string kFail = "F";
const std::string kNotApplicable = "N";
const std::string kDenied = "D";
const std::string kEnd = "E";

} // namespace

const std::array<TerminalModel::CommandEntry, 41> TerminalModel::kCommands = {{
    {"E", false, &TerminalModel::cmdEcho},
    {"BW", false, &TerminalModel::cmdPolling},
    {"LI", false, &TerminalModel::cmdLogin},
    {"LO", false, &TerminalModel::cmdLogout},
    {"LS", false, &TerminalModel::cmdLoginStatus},
    {"RN", false, &TerminalModel::cmdRecordCount},
    {"RG", false, &TerminalModel::cmdGetRecord},
    {"RH", false, &TerminalModel::cmdConfirmRecord},
    {"RA", false, &TerminalModel::cmdAbortRead},
    {"RC", false, &TerminalModel::cmdCommitRead},
    {"RO", true, &TerminalModel::cmdDeleteOld},
    {"RR", true, &TerminalModel::cmdResetOld},
    {"RI", true, &TerminalModel::cmdInitialize},
    {"RM", true, &TerminalModel::cmdRecover},
    {"IC", false, &TerminalModel::cmdItemCount},
    {"IU", false, &TerminalModel::cmdItemUpdate},
    {"IL", false, &TerminalModel::cmdItemByName},
    {"I?", false, &TerminalModel::cmdItemInfo},
    {"IG", false, &TerminalModel::cmdGetItem},
    {"IS", false, &TerminalModel::cmdSetItem},
    {"ID", false, &TerminalModel::cmdItemDefault},
    {"I*", false, &TerminalModel::cmdFieldInfo},
    {"IF", false, &TerminalModel::cmdTableFetch},
    {"IH", false, &TerminalModel::cmdTableConfirm},
    {"IT", false, &TerminalModel::cmdTableTop},
    {"IA", false, &TerminalModel::cmdTableAdd},
    {"IE", false, &TerminalModel::cmdTableEdit},
    {"IR", false, &TerminalModel::cmdTableRemove},
    {"XO", false, &TerminalModel::cmdExtendedOn},
    {"XF", false, &TerminalModel::cmdExtendedOff},
    {"XR", false, &TerminalModel::cmdResend},
    {"XT", false, &TerminalModel::cmdShowText},
    {"XB", false, &TerminalModel::cmdBell},
    {"XL", false, &TerminalModel::cmdLock},
    {"XP", false, &TerminalModel::cmdPunchTimesSet},
    {"XU", false, &TerminalModel::cmdPunchTimesGet},
    {"WE", true, &TerminalModel::cmdBellModeSet},
    {"WS", false, &TerminalModel::cmdBellModeGet},
    {"WC", true, &TerminalModel::cmdBellClear},
    {"WG", false, &TerminalModel::cmdBellGet},
    {"WT", true, &TerminalModel::cmdBellSet},
}};

TerminalModel::TerminalModel(TerminalConfig config) : m_config(std::move(config)) {
    buildCatalogue();
    for (int i = 0; i < m_config.initialRecords; ++i) {
        addPunchRecord();
    }
    // Initial records look as if punched over the last minutes.
    for (std::size_t i = 0; i < m_new.size(); ++i) {
        m_new[i].when =
            m_new[i].when.plusSeconds(-60 * static_cast<std::int64_t>(m_new.size() - i));
    }
}

void TerminalModel::buildCatalogue() {
    auto item = [this](std::string name, std::string type, int size, int flags,
                       std::string definition, std::string help, std::string selection,
                       std::vector<std::string> values) {
        Item entry;
        entry.name = std::move(name);
        entry.type = std::move(type);
        entry.size = size;
        entry.flags = flags;
        entry.definition = std::move(definition);
        entry.help = std::move(help);
        entry.selection = std::move(selection);
        entry.values = values;
        entry.defaults = std::move(values);
        m_items.push_back(std::move(entry));
        return m_items.size() - 1;
    };
    constexpr int W = kFlagWritable, L = kFlagWritableAfterLogin, U = kFlagNeedsUpdate;
    item("TIME", "TIME", 1, W, "Time", "Terminal clock (HH:MM:SS)", "", {"00:00:00"});
    item("DATE", "DATE", 1, W, "Date", "Terminal date (DD-MM-YYYY)", "", {"01-01-2000"});
    item("MACHNO", "VAL", 1, L | U, "Machine Number", "Number of this terminal", "",
         {std::to_string(m_config.number)});
    item("MACHNAME", "STR", 1, L, "Machine Name", "Name shown on the display", "",
         {m_config.machineName});
    item("DATEFMT", "VAL", 1, L | U, "Date Format", "How the display writes dates",
         "0 MM/DD/YYYY;1 DD-MM-YYYY;2 YYYY-MM-DD", {"1"});
    item("LOGINPWD", "STR", 1, L, "Login Password", "Password of the login command", "",
         {m_config.password});
    item("LANGUAGE", "VAL", 1, W | U, "Language", "Language of the display",
         "0 English;1 Deutsch;2 Espanol", {"0"});
    item("BELLVOL", "VAL", 1, L, "Bell Volume", "Loudness of the bell",
         "0 Off;1 Low;2 Medium;3 High", {"2"});
    item("DISPLAYMSG", "STR", 2, W, "Display Message", "Idle text, one member per line", "",
         {"WELCOME", "PLEASE PUNCH"});
    item("RELAYTIME", "VAL", 2, L | U, "Relay Time (s)", "Member 0 bell relay, member 1 lock relay",
         "", {"3", "5"});
    item("FIRMWARE", "STR", 1, 0, "Firmware", "Firmware version (read-only)", "",
         {"KELVRA-SIM 1.0"});
    const std::size_t table =
        item("EMPLOYEES", "TAB", 5, L | U, "Employees", "Employees allowed to punch", "", {});
    Item& employees = m_items[table];
    employees.values.clear();
    employees.defaults.clear();
    employees.fields = {
        {"VAL", "Employee No.", "Unique number of the employee", ""},
        {"STR", "Name", "Name shown when punching", ""},
        {"VAL", "Shift", "Shift of the employee", "0 Day;1 Night;2 Weekend"},
        {"DATE", "Valid Until", "Last day the card is accepted", ""},
        {"TIME", "Start Time", "Start of the shift", ""},
    };
    employees.rows = {
        {1, {"1", "ADA", "0", "31-12-2027", "08:00:00"}},
        {2, {"2", "BOB", "1", "30-06-2026", "22:00:00"}},
    };
    employees.nextIndex = 3;
}

DateTime TerminalModel::wallNow() const {
    return m_config.wallClock ? m_config.wallClock() : localNow();
}

DateTime TerminalModel::terminalTime() const {
    return wallNow().plusSeconds(m_clockOffsetSeconds);
}

// ---- frames -------------------------------------------------------------------------------

std::vector<Outgoing> TerminalModel::handleFrame(std::string_view frame,
                                                 SteadyClock::time_point now) {
    const Request request = ParseRequest(frame);
    switch (request.check) {
    case RequestCheck::Malformed:
        ++m_counters.ignoredFrames;
        return {};
    case RequestCheck::BadLength:
    case RequestCheck::BadChecksum:
        ++m_counters.badRequests;
        return {{ReplyFrame(m_config.number, "C"), FrameKind::Reply}};
    case RequestCheck::Ok:
        break;
    }
    std::optional<std::string> reply = handleCommand(request.body, now);
    if (!reply) {
        return {};
    }
    return {{ReplyFrame(m_config.number, *reply), FrameKind::Reply}};
}

std::optional<std::string> TerminalModel::handleCommand(std::string_view body,
                                                        SteadyClock::time_point now) {
    ++m_counters.requests;
    // "E" is the only one-letter command, and no two-letter command starts with "E".
    const std::size_t letters = !body.empty() && body.front() == 'E' ? 1 : 2;
    if (body.size() < letters) {
        ++m_counters.unknownCommands;
        return "I";
    }
    const std::string_view command = body.substr(0, letters);
    const std::string_view data = body.substr(letters);
    if (command == "XA") {
        confirmPushed(now);
        return std::nullopt;
    }
    for (const CommandEntry& entry : kCommands) {
        if (entry.letters == command) {
            if (entry.needsLogin && !m_loggedIn) {
                ++m_counters.loginRefusals;
                return kDenied;
            }
            std::string reply = (this->*entry.handler)(data, now);
            if (reply == kDenied) {
                ++m_counters.loginRefusals;
            }
            return reply;
        }
    }
    ++m_counters.unknownCommands;
    return "I";
}

// ---- link, login --------------------------------------------------------------------------

std::string TerminalModel::cmdEcho(std::string_view data, SteadyClock::time_point) {
    return ok(data);
}

std::string TerminalModel::cmdPolling(std::string_view data, SteadyClock::time_point) {
    if (!strictInteger(data)) {
        return kFail;
    }
    return ok(std::to_string(m_new.size()));
}

std::string TerminalModel::cmdLogin(std::string_view data, SteadyClock::time_point) {
    const std::string& password =
        m_items[static_cast<std::size_t>(itemIndex("LOGINPWD"))].values[0];
    if (data != password) {
        m_loggedIn = false;
        return kDenied;
    }
    m_loggedIn = true;
    return ok();
}

std::string TerminalModel::cmdLogout(std::string_view, SteadyClock::time_point) {
    m_loggedIn = false;
    return ok();
}

std::string TerminalModel::cmdLoginStatus(std::string_view, SteadyClock::time_point) {
    if (m_extended) {
        return ok("XI");
    }
    return ok(m_loggedIn ? "I" : "O");
}

// ---- punch records ------------------------------------------------------------------------

PunchRecord TerminalModel::addPunchRecord(std::string cardCode, int mode) {
    PunchRecord record;
    record.number = m_nextRecordNumber++;
    record.when = terminalTime();
    if (cardCode.empty()) {
        char text[16];
        std::snprintf(text, sizeof text, "%08d", 10000000 + record.number % 90000000);
        cardCode = text;
    }
    record.cardCode = std::move(cardCode);
    record.mode = mode;
    m_new.push_back(record);
    return record;
}

std::string TerminalModel::recordText(const PunchRecord& record) const {
    std::string text = std::to_string(record.number);
    text += TAB;
    text += DateText(record.when);
    text += TAB;
    text += TimeText(record.when);
    text += TAB;
    text += 'C';
    text += record.cardCode;
    text += TAB;
    text += std::to_string(record.mode);
    text += TAB;
    text += std::to_string(m_config.number);
    return text;
}

std::string TerminalModel::cmdRecordCount(std::string_view, SteadyClock::time_point) {
    return ok(std::to_string(m_new.size()));
}

std::string TerminalModel::cmdGetRecord(std::string_view, SteadyClock::time_point) {
    if (!m_readOpen) {
        m_readOpen = true;
        m_readCursor = 0;
        m_fetched = false;
    }
    if (m_readCursor >= m_new.size()) {
        return kEnd;
    }
    m_fetched = true;
    return ok(recordText(m_new[m_readCursor++]));
}

std::string TerminalModel::cmdConfirmRecord(std::string_view, SteadyClock::time_point) {
    return m_readOpen && m_fetched ? ok() : kNotApplicable;
}

std::string TerminalModel::cmdAbortRead(std::string_view, SteadyClock::time_point) {
    m_readOpen = false;
    m_readCursor = 0;
    m_fetched = false;
    return ok();
}

std::string TerminalModel::cmdCommitRead(std::string_view, SteadyClock::time_point) {
    if (m_readOpen) {
        const auto end = m_new.begin() + static_cast<std::ptrdiff_t>(m_readCursor);
        // A record that was pushed and is awaiting its confirmation is read all the same.
        if (m_awaiting && std::any_of(m_new.begin(), end, [&](const PunchRecord& r) {
                return r.number == *m_awaiting;
            })) {
            m_awaiting.reset();
            m_repushAt.reset();
        }
        m_old.insert(m_old.end(), m_new.begin(), end);
        m_new.erase(m_new.begin(), end);
    }
    m_readOpen = false;
    m_readCursor = 0;
    m_fetched = false;
    return ok();
}

std::string TerminalModel::cmdDeleteOld(std::string_view, SteadyClock::time_point) {
    m_old.clear();
    return ok();
}

std::string TerminalModel::cmdResetOld(std::string_view, SteadyClock::time_point) {
    if (m_readOpen) {
        return kNotApplicable;
    }
    m_new.insert(m_new.begin(), m_old.begin(), m_old.end());
    m_old.clear();
    std::sort(m_new.begin(), m_new.end(),
              [](const PunchRecord& a, const PunchRecord& b) { return a.number < b.number; });
    return ok();
}

std::string TerminalModel::cmdInitialize(std::string_view, SteadyClock::time_point) {
    m_new.clear();
    m_old.clear();
    m_readOpen = false;
    m_readCursor = 0;
    m_fetched = false;
    m_awaiting.reset();
    m_repushAt.reset();
    return ok();
}

std::string TerminalModel::cmdRecover(std::string_view, SteadyClock::time_point) {
    return ok();
}

// ---- items --------------------------------------------------------------------------------

int TerminalModel::itemIndex(std::string_view name) const {
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        if (m_items[i].name == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// Takes an item address off the front of `data`: a two-digit reference or a quoted name,
// then (when `member` is given) a two-digit member number.
bool TerminalModel::parseAddress(std::string_view& data, int& item, int* member) const {
    if (!data.empty() && data.front() == '"') {
        const std::size_t close = data.find('"', 1);
        if (close == std::string_view::npos) {
            return false;
        }
        item = itemIndex(data.substr(1, close - 1));
        data.remove_prefix(close + 1);
    } else {
        const auto reference = twoDigits(data.substr(0, 2));
        if (!reference) {
            return false;
        }
        item = *reference;
        data.remove_prefix(2);
    }
    if (item < 0 || item >= static_cast<int>(m_items.size())) {
        return false;
    }
    if (member != nullptr) {
        const auto number = twoDigits(data.substr(0, 2));
        if (!number) {
            return false;
        }
        *member = *number;
        data.remove_prefix(2);
    }
    return true;
}

bool TerminalModel::valueFits(const std::string& type, int selectionCount,
                              std::string_view value) const {
    if (type == "VAL") {
        const auto number = strictInteger(value);
        if (!number || *number < -32768 || *number > 32767) {
            return false;
        }
        return selectionCount == 0 || (*number >= 0 && *number < selectionCount);
    }
    if (type == "STR") {
        return value.size() <= 40 && value.find(TAB) == std::string_view::npos;
    }
    if (type == "TIME") {
        return parseTime(value).has_value();
    }
    if (type == "DATE") {
        return parseDate(value).has_value();
    }
    return false;
}

bool TerminalModel::canWrite(int flags) const {
    return (flags & kFlagWritable) != 0 || ((flags & kFlagWritableAfterLogin) != 0 && m_loggedIn);
}

std::string TerminalModel::itemDescriptor(const Item& item, int reference) const {
    std::string text = item.name;
    text += TAB;
    text += std::to_string(100 + reference);
    text += TAB;
    text += item.type;
    text += TAB;
    text += std::to_string(item.size);
    text += TAB;
    text += std::to_string(item.flags);
    text += TAB;
    text += item.definition;
    text += TAB;
    text += item.help;
    text += TAB;
    text += item.selection;
    return text;
}

std::string TerminalModel::readMember(const Item& item, int member, bool defaults) const {
    if (item.type == "TAB") {
        return kNotApplicable;
    }
    if (member < 0 || member >= item.size) {
        return kFail;
    }
    if (item.name == "LOGINPWD" && !m_loggedIn) {
        return kDenied;
    }
    if (!defaults && item.type == "TIME") {
        return ok(TimeText(terminalTime()));
    }
    if (!defaults && item.type == "DATE") {
        return ok(DateText(terminalTime()));
    }
    return ok((defaults ? item.defaults : item.values)[static_cast<std::size_t>(member)]);
}

std::string TerminalModel::writeMember(Item& item, int member, std::string_view value) {
    if (item.type == "TAB") {
        return kNotApplicable;
    }
    if (member < 0 || member >= item.size) {
        return kFail;
    }
    if (!canWrite(item.flags)) {
        return kDenied;
    }
    if (!valueFits(item.type, captionCount(item.selection), value)) {
        return kFail;
    }
    const DateTime now = terminalTime();
    if (item.type == "TIME") {
        const TimeOfDay t = *parseTime(value);
        const DateTime wanted =
            DateTime::fromParts(now.year(), now.month(), now.day(), t.hour, t.minute, t.second);
        m_clockOffsetSeconds += SecondsBetween(now, wanted);
        return ok();
    }
    if (item.type == "DATE") {
        const CalendarDate d = *parseDate(value);
        const DateTime wanted =
            DateTime::fromParts(d.year, d.month, d.day, now.hour(), now.minute(), now.second());
        m_clockOffsetSeconds += SecondsBetween(now, wanted);
        return ok();
    }
    std::string stored(value);
    if (item.type == "VAL") {
        stored = std::to_string(*strictInteger(value)); // 007 is kept as 7
    }
    item.values[static_cast<std::size_t>(member)] = stored;
    return ok();
}

std::optional<std::string> TerminalModel::itemValue(std::string_view name, int member) const {
    const int index = itemIndex(name);
    if (index < 0) {
        return std::nullopt;
    }
    const Item& item = m_items[static_cast<std::size_t>(index)];
    if (item.type == "TIME") {
        return TimeText(terminalTime());
    }
    if (item.type == "DATE") {
        return DateText(terminalTime());
    }
    if (member < 0 || member >= static_cast<int>(item.values.size())) {
        return std::nullopt;
    }
    return item.values[static_cast<std::size_t>(member)];
}

std::string TerminalModel::cmdItemCount(std::string_view, SteadyClock::time_point) {
    return ok(std::to_string(m_items.size()));
}

std::string TerminalModel::cmdItemUpdate(std::string_view, SteadyClock::time_point) {
    ++m_counters.itemUpdates;
    return ok();
}

std::string TerminalModel::cmdItemByName(std::string_view data, SteadyClock::time_point) {
    const int index = itemIndex(data);
    return index < 0 ? kFail : ok(std::to_string(index));
}

std::string TerminalModel::cmdItemInfo(std::string_view data, SteadyClock::time_point) {
    int item = 0;
    if (!parseAddress(data, item, nullptr) || !data.empty()) {
        return kFail;
    }
    return ok(itemDescriptor(m_items[static_cast<std::size_t>(item)], item));
}

std::string TerminalModel::cmdGetItem(std::string_view data, SteadyClock::time_point) {
    int item = 0, member = 0;
    if (!parseAddress(data, item, &member) || !data.empty()) {
        return kFail;
    }
    return readMember(m_items[static_cast<std::size_t>(item)], member, false);
}

std::string TerminalModel::cmdItemDefault(std::string_view data, SteadyClock::time_point) {
    int item = 0, member = 0;
    if (!parseAddress(data, item, &member) || !data.empty()) {
        return kFail;
    }
    return readMember(m_items[static_cast<std::size_t>(item)], member, true);
}

std::string TerminalModel::cmdSetItem(std::string_view data, SteadyClock::time_point) {
    int item = 0, member = 0;
    if (!parseAddress(data, item, &member)) {
        return kFail;
    }
    return writeMember(m_items[static_cast<std::size_t>(item)], member, data);
}

// ---- tables -------------------------------------------------------------------------------

TerminalModel::Item* TerminalModel::tableItem(std::string_view& data) {
    int item = 0;
    if (!parseAddress(data, item, nullptr)) {
        return nullptr;
    }
    Item& entry = m_items[static_cast<std::size_t>(item)];
    return entry.type == "TAB" ? &entry : nullptr;
}

std::optional<std::vector<std::string>> TerminalModel::parseRow(const Item& table,
                                                                std::string_view text) const {
    const std::vector<std::string_view> fields = splitTabs(text);
    if (fields.size() != table.fields.size()) {
        return std::nullopt;
    }
    std::vector<std::string> row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const FieldDef& field = table.fields[i];
        if (!valueFits(field.type, captionCount(field.selection), fields[i])) {
            return std::nullopt;
        }
        row.emplace_back(field.type == "VAL" ? std::to_string(*strictInteger(fields[i]))
                                             : std::string(fields[i]));
    }
    return row;
}

std::string TerminalModel::cmdFieldInfo(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    const auto field = twoDigits(data);
    if (table == nullptr || !field || *field >= static_cast<int>(table->fields.size())) {
        return kFail;
    }
    const FieldDef& def = table->fields[static_cast<std::size_t>(*field)];
    std::string text = std::to_string(*field);
    for (const std::string* part : {&def.type, &def.definition, &def.help, &def.selection}) {
        text += TAB;
        text += *part;
    }
    return ok(text);
}

std::string TerminalModel::cmdTableTop(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || !data.empty()) {
        return kFail;
    }
    table->cursor = 0;
    return ok();
}

std::string TerminalModel::cmdTableFetch(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || !data.empty()) {
        return kFail;
    }
    if (table->cursor >= table->rows.size()) {
        return kEnd;
    }
    const TableRow& row = table->rows[table->cursor];
    std::string text = std::to_string(row.index);
    for (const std::string& field : row.fields) {
        text += TAB;
        text += field;
    }
    return ok(text);
}

std::string TerminalModel::cmdTableConfirm(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || !data.empty()) {
        return kFail;
    }
    if (table->cursor >= table->rows.size()) {
        return kEnd;
    }
    ++table->cursor;
    return ok();
}

std::string TerminalModel::cmdTableAdd(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr) {
        return kFail;
    }
    if (!canWrite(table->flags)) {
        return kDenied;
    }
    auto row = parseRow(*table, data);
    if (!row) {
        return kFail;
    }
    for (const TableRow& existing : table->rows) {
        if (existing.fields[0] == (*row)[0]) {
            return "K";
        }
    }
    table->rows.push_back({table->nextIndex++, std::move(*row)});
    return ok();
}

std::string TerminalModel::cmdTableEdit(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || data.size() < 4) {
        return kFail;
    }
    if (!canWrite(table->flags)) {
        return kDenied;
    }
    const auto index = strictInteger(data.substr(0, 4));
    auto row = parseRow(*table, data.substr(4));
    if (!index || !row) {
        return kFail;
    }
    auto target = std::find_if(table->rows.begin(), table->rows.end(),
                               [&](const TableRow& r) { return r.index == *index; });
    if (target == table->rows.end()) {
        return kFail;
    }
    for (const TableRow& other : table->rows) {
        if (&other != &*target && other.fields[0] == (*row)[0]) {
            return "K";
        }
    }
    target->fields = std::move(*row);
    return ok();
}

std::string TerminalModel::cmdTableRemove(std::string_view data, SteadyClock::time_point) {
    Item* table = tableItem(data);
    if (table == nullptr || data.size() != 4) {
        return kFail;
    }
    if (!canWrite(table->flags)) {
        return kDenied;
    }
    const auto index = strictInteger(data);
    auto target = std::find_if(table->rows.begin(), table->rows.end(),
                               [&](const TableRow& r) { return index && r.index == *index; });
    if (target == table->rows.end()) {
        return kFail;
    }
    const auto position = static_cast<std::size_t>(target - table->rows.begin());
    table->rows.erase(target);
    if (table->cursor > position) {
        --table->cursor; // the cursor stays on the record it was on
    }
    return ok();
}

// ---- extended mode ------------------------------------------------------------------------

std::optional<std::size_t> TerminalModel::pushCandidate() const {
    // Records fetched in an open read transaction are left to it.
    const std::size_t first = m_readOpen ? m_readCursor : 0;
    return first < m_new.size() ? std::optional<std::size_t>(first) : std::nullopt;
}

std::optional<PunchRecord> TerminalModel::awaitingConfirmation() const {
    if (!m_awaiting) {
        return std::nullopt;
    }
    for (const PunchRecord& record : m_new) {
        if (record.number == *m_awaiting) {
            return record;
        }
    }
    return std::nullopt;
}

std::string TerminalModel::cmdExtendedOn(std::string_view, SteadyClock::time_point now) {
    m_extended = true;
    m_awaiting.reset();
    m_repushAt.reset();
    m_pushNotBefore = now + std::chrono::milliseconds(m_config.pushAfterLogonMs);
    if (m_config.pushEveryMs > 0) {
        m_generateAt = now + std::chrono::milliseconds(m_config.pushEveryMs);
    }
    return ok();
}

std::string TerminalModel::cmdExtendedOff(std::string_view, SteadyClock::time_point) {
    m_extended = false;
    m_awaiting.reset();
    m_repushAt.reset();
    m_generateAt.reset();
    return ok();
}

std::string TerminalModel::cmdResend(std::string_view, SteadyClock::time_point now) {
    ++m_counters.resendRequests;
    if (m_lastPushed.empty()) {
        return kNotApplicable;
    }
    if (m_awaiting && m_extended && m_config.repushAfterResendMs >= 0) {
        m_repushAt = now + std::chrono::milliseconds(m_config.repushAfterResendMs);
    }
    return "XN" + m_lastPushed;
}

void TerminalModel::confirmPushed(SteadyClock::time_point now) {
    if (!m_awaiting) {
        return;
    }
    ++m_counters.confirmations;
    auto record = std::find_if(m_new.begin(), m_new.end(),
                               [&](const PunchRecord& r) { return r.number == *m_awaiting; });
    if (record != m_new.end()) {
        const auto position = static_cast<std::size_t>(record - m_new.begin());
        m_old.push_back(*record);
        m_new.erase(record);
        if (m_readOpen && position < m_readCursor) {
            --m_readCursor;
        }
    }
    m_awaiting.reset();
    m_repushAt.reset();
    m_pushNotBefore = now;
}

void TerminalModel::setPushEvery(int ms, SteadyClock::time_point now) {
    m_config.pushEveryMs = ms;
    if (ms > 0 && m_extended) {
        m_generateAt = now + std::chrono::milliseconds(ms);
    } else {
        m_generateAt.reset();
    }
}

std::vector<Outgoing> TerminalModel::poll(SteadyClock::time_point now) {
    std::vector<Outgoing> out;
    if (!m_extended) {
        return out;
    }
    if (m_generateAt && now >= *m_generateAt) {
        addPunchRecord();
        const auto every = std::chrono::milliseconds(m_config.pushEveryMs);
        *m_generateAt += every;
        if (*m_generateAt <= now) {
            *m_generateAt = now + every; // fell behind: no burst of catch-up records
        }
    }
    if (m_awaiting) {
        if (m_repushAt && now >= *m_repushAt) {
            m_repushAt.reset();
            ++m_counters.pushes;
            ++m_counters.repushes;
            out.push_back({ReplyFrame(m_config.number, "XN" + m_lastPushed), FrameKind::Push});
        }
        return out;
    }
    if (now < m_pushNotBefore) {
        return out;
    }
    if (const auto candidate = pushCandidate()) {
        const PunchRecord& record = m_new[*candidate];
        m_awaiting = record.number;
        m_lastPushed = recordText(record);
        ++m_counters.pushes;
        out.push_back({ReplyFrame(m_config.number, "XN" + m_lastPushed), FrameKind::Push});
    }
    return out;
}

std::optional<SteadyClock::time_point> TerminalModel::nextWakeup() const {
    if (!m_extended) {
        return std::nullopt;
    }
    std::optional<SteadyClock::time_point> wake = m_generateAt;
    auto earliest = [&](SteadyClock::time_point t) {
        if (!wake || t < *wake) {
            wake = t;
        }
    };
    if (m_awaiting) {
        if (m_repushAt) {
            earliest(*m_repushAt);
        }
    } else if (pushCandidate()) {
        earliest(m_pushNotBefore);
    }
    return wake;
}

// ---- display, relays, punch times ---------------------------------------------------------

namespace {

// The at-least-2 number in front of a display text: two characters, three with a sign.
std::optional<long> leadingDuration(std::string_view& data) {
    const std::size_t width = !data.empty() && data.front() == '-' ? 3 : 2;
    const auto value = strictInteger(data.substr(0, width));
    if (!value || data.size() < width) {
        return std::nullopt;
    }
    data.remove_prefix(width);
    return value;
}

} // namespace

std::string TerminalModel::cmdShowText(std::string_view data, SteadyClock::time_point) {
    const auto duration = leadingDuration(data);
    if (!duration) {
        return kFail;
    }
    m_displayDuration = static_cast<int>(*duration);
    m_displayText = std::string(data);
    return ok();
}

std::string TerminalModel::cmdBell(std::string_view data, SteadyClock::time_point) {
    const auto duration = strictInteger(data);
    if (!duration) {
        return kFail;
    }
    ++m_counters.bellActivations;
    m_lastBellDuration = static_cast<int>(*duration);
    return ok();
}

std::string TerminalModel::cmdLock(std::string_view data, SteadyClock::time_point) {
    const auto duration = strictInteger(data);
    if (!duration) {
        return kFail;
    }
    ++m_counters.lockActivations;
    m_lastLockDuration = static_cast<int>(*duration);
    return ok();
}

std::string TerminalModel::cmdPunchTimesSet(std::string_view data, SteadyClock::time_point) {
    const auto value = hexByte(data);
    if (!value) {
        return kFail;
    }
    m_punchTimes = *value;
    return ok();
}

std::string TerminalModel::cmdPunchTimesGet(std::string_view, SteadyClock::time_point) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", m_punchTimes & 0xFF);
    return ok(text);
}

// ---- bells --------------------------------------------------------------------------------

std::string TerminalModel::cmdBellModeSet(std::string_view data, SteadyClock::time_point) {
    const auto mode = strictInteger(data);
    if (!mode || *mode < 0 || *mode > 32767) {
        return kFail;
    }
    m_bellMode = static_cast<int>(*mode);
    return ok();
}

std::string TerminalModel::cmdBellModeGet(std::string_view, SteadyClock::time_point) {
    return ok(std::to_string(m_bellMode));
}

std::string TerminalModel::cmdBellClear(std::string_view, SteadyClock::time_point) {
    m_bells.fill(Bell{});
    return ok();
}

std::string TerminalModel::cmdBellGet(std::string_view data, SteadyClock::time_point) {
    const auto slot = hexByte(data);
    if (!slot) {
        return kFail;
    }
    const Bell& entry = m_bells[static_cast<std::size_t>(*slot)];
    return ok(entry.time + AtLeastDigits(entry.enabled, 2));
}

std::string TerminalModel::cmdBellSet(std::string_view data, SteadyClock::time_point) {
    const auto slot = hexByte(data.substr(0, 2));
    if (!slot || data.size() < 10 || !parseTime(data.substr(2, 8))) {
        return kFail;
    }
    const auto enabled = strictInteger(data.substr(10));
    if (!enabled || *enabled < 0 || *enabled > 99) {
        return kFail;
    }
    Bell& entry = m_bells[static_cast<std::size_t>(*slot)];
    entry.time = std::string(data.substr(2, 8));
    entry.enabled = static_cast<int>(*enabled);
    return ok();
}

} // namespace kelvra::sim
