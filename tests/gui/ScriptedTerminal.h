#pragma once

// A driver on a fake datagram link to a terminal that answers from a script, in virtual time,
// with the property view and the platform its editors use.
#include "FakeLinks.h"
#include "MemorySettings.h"
#include "PropertyViewRig.h"
#include "VirtualTime.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvraProperties.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kelvra::test {

// `failures` times "F", then `then`.
inline std::vector<std::string> Fails(int failures, const std::string& then) {
    std::vector<std::string> answers(static_cast<std::size_t>(failures), "F");
    answers.push_back(then);
    return answers;
}

// A request gets the answers of the longest key it starts with in turn, the last one repeating
// ("A00" without a key); an answer "" is silence.
struct ScriptedTerminal {
    VirtualTime time;
    FakeLinkFactory links{time};
    ucKelvra KV{time, time, links};
    FakeDialogs dialogs;
    MemorySettings machineWide;
    PropertyViewPlatform platform{time, time, machineWide, dialogs};
    std::map<std::string, std::vector<std::string>> script;
    std::vector<std::string> requests;                 // command letters and data
    std::function<void(const std::string&)> onRequest; // as each request arrives
    frmKelvraProperties view{platform};

    ScriptedTerminal() {
        KV.SetCommunicationType(2);
        KV.SetIP("127.0.0.1");
        KV.Connect();
        links.sockets[0]->peer = [this](const std::string& frame) {
            const std::string body = requests.emplace_back(frame.substr(3, frame.size() - 8));
            if (onRequest) {
                onRequest(body);
            }
            std::string key;
            for (const auto& [start, answers] : script) {
                key = body.starts_with(start) && start.size() > key.size() ? start : key;
            }
            const auto& answers = key.empty() ? std::vector<std::string>{"A00"} : script[key];
            const std::string& reply =
                answers[std::min<std::size_t>(sent(key), answers.size()) - 1];
            if (!reply.empty()) {
                links.sockets[0]->arrive(TerminalReply(1, reply), 10);
            }
        };
    }
    std::size_t sent(const std::string& start) const {
        return static_cast<std::size_t>(std::count_if(
            requests.begin(), requests.end(), [&](const auto& r) { return r.starts_with(start); }));
    }
    // A terminal of `count` number items ("Item k", its help "Help k", each read as 5), with
    // the punch error times.
    void describeItems(int count) {
        script = {{"LS", {"AO"}}, {"IC", {"A" + std::to_string(count)}}, {"IG", {"A5"}}};
        for (int k = 0; k < count; ++k) {
            const std::string number = (k < 10 ? "0" : "") + std::to_string(k);
            script["I?" + number] = {"AN\t1\tVAL\t1\t4\tItem " + std::to_string(k) + "\tHelp " +
                                     std::to_string(k)};
        }
    }
    void load() {
        view.SetKelvraObj(KV);
        view.SetIP("127.0.0.1");
        view.SetSource(1);
        view.SetRetries(3);
        view.LoadItems();
    }
    // The command letters sent from request `from` on, and the texts of the message boxes.
    std::string wire(std::size_t from = 0) const {
        std::string letters;
        for (std::size_t i = from; i < requests.size(); ++i) {
            letters += requests[i].substr(0, 2) + " ";
        }
        return letters;
    }
    std::string boxes() const {
        std::string texts;
        for (const auto& box : dialogs.messageBoxes) {
            texts += box.text + "\n";
        }
        return texts;
    }
    FlexGrid& grid() { return *Child<FlexGrid>(view, "grd"); }
    std::string shown(int row) { return grid().Text(row, 1).toStdString(); }
    bool reachable(int row) { return grid().Colour(row, 1) == WindowTextColour(); }
};

} // namespace kelvra::test
