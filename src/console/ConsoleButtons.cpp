#include "console/ConsoleButtons.h"

#include "console/frmMainCKelvra.h"
#include "driver/ItemDescriptor.h"
#include "driver/ucKelvra.h"
#include "widgets/BellTableControls.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace kelvra {

std::int16_t ButtonPress::S() const {
    if (const auto* refusal = std::get_if<NumberEntryRefused>(&source)) {
        throw *refusal;
    }
    return std::get<std::int16_t>(source);
}

std::int16_t ButtonPress::n(BoxName box) const {
    return window.NumberEntry(box);
}

std::string ButtonPress::t(BoxName box) const {
    return window.BoxText(box);
}

namespace {

// Captions 0 to 10 are shown; the list ends at the first empty one.
constexpr int kSelectionLinesShown = 11;

std::string SelectionLines(std::span<const std::string> selection) {
    std::string lines;
    for (int i = 0; i < kSelectionLinesShown && !selection[i].empty(); ++i) {
        lines += "Selection String " + std::to_string(i) + ": " + selection[i] + "\r\n";
    }
    return lines;
}

void ShowItemInfo(ButtonPress& p) {
    p.KV.GetItemInfo(p.S(), p.n("txtItemInfo"));
    if (p.KV.ErrCode() != 0) {
        p.window.ShowMessage(std::to_string(p.KV.ErrCode()));
        return;
    }
    ItemDescriptor item;
    p.KV.GetData_ItemInfo(item.Name, item.ID, item.Type, item.Size, item.Flags, item.Definition,
                          item.Help, item.Selection);
    p.window.AppendResult("Name: " + item.Name + "\r\n" +                   //
                          "ID: " + std::to_string(item.ID) + "\r\n" +       //
                          "Type: " + item.Type + "\r\n" +                   //
                          "Size: " + std::to_string(item.Size) + "\r\n" +   //
                          "Flags: " + std::to_string(item.Flags) + "\r\n" + //
                          "Definition: " + item.Definition + "\r\n" +       //
                          "Help: " + item.Help + "\r\n" + SelectionLines(item.Selection) + "\r\n");
}

void ShowFieldInfo(ButtonPress& p) {
    p.KV.GetItemTab_FieldInfo(p.S(), p.n("txtReference"), p.n("txtFieldNum"));
    if (p.KV.ErrCode() != 0) {
        p.window.ShowMessage(p.KV.ErrMessage());
        return;
    }
    FieldDescriptor field;
    p.KV.GetData_FieldInfo(field.ID, field.Type, field.Definition, field.Help, field.Selection);
    p.window.AppendResult("ID: " + std::to_string(field.ID) + "\r\n" + //
                          "Type: " + field.Type + "\r\n" +             //
                          "Definition: " + field.Definition + "\r\n" + //
                          "Help: " + field.Help + "\r\n" + SelectionLines(field.Selection) +
                          "\r\n");
}

void GetBellTableMode(ButtonPress& p) {
    // A mode the list does not offer (or no number at all) leaves the selection as it is.
    try {
        const auto mode = ReadBellTableMode(p.KV, p.S());
        if (mode == 0 || mode == 1) {
            p.window.SelectBellTableMode(*mode);
        }
    } catch (const std::overflow_error&) {
    }
}

// Stops at the first entry that the terminal refuses or whose box holds no time. The entries
// before it were sent, so the line names the entry and says why.
void SetBellTimes(ButtonPress& p) {
    if (const auto stop = SendBellTimes(p.KV, p.S(), p.window.WeekDay(), p.window.Bells())) {
        p.outcome =
            "Set Bell Times stopped at entry " + std::to_string(stop->entry + 1) + ": " +
            (stop->refused ? p.window.ErrorLine() : p.window.Bells().NoTimeOfDay(stop->entry));
    }
}

// Skips the entries whose read fails; the common step shows the outcome of the last one.
void GetBellTimes(ButtonPress& p) {
    ReadBellTimes(p.KV, p.S(), p.window.WeekDay(), p.window.Bells());
}

using enum Page;
using enum Shown;
constexpr const char* kBelow = "";

// clang-format off
constexpr std::array kButtons = {
    // index caption                   page       group                                action
    ConsoleButton{0,  "Establish Connection", General, "Time Clock Location",           [](ButtonPress& p) { p.window.EstablishConnection(); },                  Own},
    ConsoleButton{3,  "Login",                General, "Login",                         [](ButtonPress& p) { p.KV.Login(p.S(), ""); }},
    ConsoleButton{4,  "Logout",               General, "Login",                         [](ButtonPress& p) { p.KV.Logout(p.S()); }},
    ConsoleButton{6,  "Login Status",         General, "Login",                         [](ButtonPress& p) { p.KV.LoginStatus(p.S()); }},
    ConsoleButton{8,  "Record No.",           General, "Time data download commands",   [](ButtonPress& p) { p.KV.RecordCount(p.S()); }},
    ConsoleButton{9,  "Get Record",           General, "Time data download commands",   [](ButtonPress& p) { p.KV.GetRecord(p.S()); }},
    ConsoleButton{10, "Confirm Record",       General, "Time data download commands",   [](ButtonPress& p) { p.KV.ConfirmRecord(p.S()); }},
    ConsoleButton{11, "Abort Read",           General, "Time data download commands",   [](ButtonPress& p) { p.KV.AbortReadTransation(p.S()); }},
    ConsoleButton{12, "Commit Read",          General, "Time data download commands",   [](ButtonPress& p) { p.KV.CommitReadTransation(p.S()); }},
    ConsoleButton{13, "Delete Old Rec",       General, "Time data download commands",   [](ButtonPress& p) { p.KV.DeleteOldRecords(p.S()); }},
    ConsoleButton{14, "Reset Old Rec",        General, "Time data download commands",   [](ButtonPress& p) { p.KV.ResetOldRecords(p.S()); }},
    ConsoleButton{15, "Initial Database",     General, "Time data download commands",   [](ButtonPress& p) { p.KV.InitializeDatabase(p.S()); }},
    ConsoleButton{16, "Recorver Database",    General, "Time data download commands",   [](ButtonPress& p) { p.KV.RecorverDatabase(p.S()); }},
    ConsoleButton{17, "Get Time",             General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.GetTime(p.S()); }},
    ConsoleButton{18, "Get Date",             General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.GetDate(p.S()); }},
    ConsoleButton{19, "Set Time",             General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.SetTime(p.S(), p.window.Now()); }},
    ConsoleButton{20, "Set Date",             General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.SetDate(p.S(), p.window.Now()); }},
    ConsoleButton{21, "Get Machine No",       General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.GetMachNo(p.S()); }},
    ConsoleButton{22, "Set Machine No",       General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.SetMachNo(p.S(), p.n("txtMachineID")); }},
    ConsoleButton{38, "Get Mach. Name",       General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.GetMachName(p.S()); }},
    // The name comes from the raw data box: there is no name box.
    ConsoleButton{39, "Set Mach. Name",       General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.SetMachName(p.S(), p.t("txtSend(1)")); }},
    ConsoleButton{49, "Get Date Format",      General, "Items (Traditional)",           [](ButtonPress& p) { p.KV.GetDateFormat(p.S()); }},
    ConsoleButton{50, "Polling",              General, "",                              [](ButtonPress& p) { p.KV.Polling(p.S(), p.n("txtPollID")); }},
    // Sent without awaiting a reply; a late answer waits in the buffer for "Get".
    ConsoleButton{5,  "Send",                 General, "",                              [](ButtonPress& p) { p.KV.SendRawData(p.S(), p.t("txtSend(1)")); }},
    ConsoleButton{1,  "Send",                 General, "",                              [](ButtonPress& p) { p.KV.EchoTest(p.S(), p.t("txtSend(0)")); }},
    ConsoleButton{37, "Property View",        General, "",                              [](ButtonPress& p) { p.window.OpenPropertyView(); },                     Own},

    ConsoleButton{23, "Item Count",           Items,   "",                              [](ButtonPress& p) { p.KV.GetItemCount(p.S()); }},
    ConsoleButton{24, "Item Lookup",          Items,   "",                              [](ButtonPress& p) { p.KV.GetItemNumberByName(p.S(), p.t("txtItemName")); }},
    ConsoleButton{25, "Item Info",            Items,   "",                              ShowItemInfo,                                                           Own},
    ConsoleButton{26, "Item Update",          Items,   "",                              [](ButtonPress& p) { p.KV.ItemUpdate(p.S()); }},
    ConsoleButton{27, "Item Set",             Items,   "\"Array\" Items",               [](ButtonPress& p) { p.KV.SetItem(p.S(), p.n("txtReference"), p.n("txtMember"), p.D); }},
    ConsoleButton{28, "Item Get",             Items,   "\"Array\" Items",               [](ButtonPress& p) { p.KV.GetItem(p.S(), p.n("txtReference"), p.n("txtMember")); }},
    ConsoleButton{29, "Item Default",         Items,   "\"Array\" Items",               [](ButtonPress& p) { p.KV.GetItemDefault(p.S(), p.n("txtReference"), p.n("txtMember")); }},
    ConsoleButton{30, "Field Info",           Items,   "\"Table\" Items",               ShowFieldInfo,                                                          Own},
    ConsoleButton{31, "Item Top",             Items,   "\"Table\" Items",               [](ButtonPress& p) { p.KV.SetItemTab_ItemTop(p.S(), p.n("txtReference")); }},
    ConsoleButton{32, "Item Fetch",           Items,   "\"Table\" Items",               [](ButtonPress& p) { p.KV.GetItemTab_ItemFetch(p.S(), p.n("txtReference")); }},
    ConsoleButton{33, "Item Confirm",         Items,   "\"Table\" Items",               [](ButtonPress& p) { p.KV.SetItemTab_ItemConfirm(p.S(), p.n("txtReference")); }},
    ConsoleButton{34, "Item Add",             Items,   "\"Table\" Items",               [](ButtonPress& p) { p.KV.SetItemTab_ItemAdd(p.S(), p.n("txtReference"), p.D); }},
    ConsoleButton{35, "Item Edit",            Items,   "\"Table\" Items",               [](ButtonPress& p) { p.KV.SetItemTab_ItemEdit(p.S(), p.n("txtReference"), p.n("txtRecorderNum"), p.D); }},
    ConsoleButton{36, "Item Remove",          Items,   "\"Table\" Items",               [](ButtonPress& p) { p.KV.SetItemTab_ItemRemove(p.S(), p.n("txtReference"), p.n("txtRecorderNum")); }},

    ConsoleButton{40, "Re-send Record",       Extra,   "Time data",                     [](ButtonPress& p) { p.KV.X_ResendRecord(p.S()); }},
    ConsoleButton{41, "Confirm Received Record", Extra, "Time data",                    [](ButtonPress& p) { p.KV.X_ConfirmRecord(p.S()); }},
    ConsoleButton{42, "Show Text on Display", Extra,   "Display",                       [](ButtonPress& p) { p.KV.X_ShowText(p.S(), p.n("txtDisplayDuration"), p.t("txtDisplay")); }},
    ConsoleButton{43, "Activate Bell",        Extra,   "Relay",                         [](ButtonPress& p) { p.KV.X_ActivateBell(p.S(), p.n("txtBellDuration")); }},
    ConsoleButton{44, "Activate Lock",        Extra,   "Relay",                         [](ButtonPress& p) { p.KV.X_ActivateLock(p.S(), p.n("txtLockDuration")); }},
    ConsoleButton{45, "Log on Extra Mode",    Extra,   "Mode",                          [](ButtonPress& p) { p.KV.X_LogOn(p.S()); }},
    ConsoleButton{46, "Log off Extra Mode",   Extra,   "Mode",                          [](ButtonPress& p) { p.KV.X_LogOff(p.S()); }},
    ConsoleButton{47, "Get",                  Extra,   "Punch Error Times - Mode Switch", [](ButtonPress& p) { p.KV.X_PunchTimesGet(p.S()); },                    CommonIntoPunchTimes},
    ConsoleButton{48, "Set",                  Extra,   "Punch Error Times - Mode Switch", [](ButtonPress& p) { p.KV.X_PunchTimesSet(p.S(), p.n("txtPunchTimes")); }},

    ConsoleButton{51, "Get B.T. Mode",        BellTable, "",                            GetBellTableMode},
    ConsoleButton{52, "Set B.T.Mode",         BellTable, "",                            [](ButtonPress& p) { p.KV.SetBellTimeMode(p.S(), p.window.BellTableMode()); }},
    ConsoleButton{53, "Set Bell Times",       BellTable, "",                            SetBellTimes},
    ConsoleButton{54, "Get Bell Times",       BellTable, "",                            GetBellTimes},
    ConsoleButton{57, "Clear Bell Time Settings", BellTable, "",                        [](ButtonPress& p) { p.KV.ClearBellTimeSettings(p.S()); }},

    // "Get" hands over what waits in the driver's buffer; the common step then finds it empty.
    ConsoleButton{2,  "Get",                  BelowPages, kBelow,                       [](ButtonPress& p) { std::string data; p.KV.GetData(data); p.window.AppendResult(data); }},
    // "Clear" empties the log; the common step then repeats the last outcome.
    ConsoleButton{7,  "Clear",                BelowPages, kBelow,                       [](ButtonPress& p) { p.window.ClearResult(); }},
};
// clang-format on

} // namespace

std::span<const ConsoleButton> ConsoleButtons() {
    return kButtons;
}

const ConsoleButton* FindConsoleButton(int index) {
    const auto found = std::ranges::find(kButtons, index, &ConsoleButton::index);
    return found == kButtons.end() ? nullptr : &*found;
}

} // namespace kelvra
