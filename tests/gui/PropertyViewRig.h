#pragma once

#include "FakeDialogs.h"
#include "FakeLinks.h"
#include "MemorySettings.h"
#include "VirtualTime.h"
#include "property_editor/FlexGrid.h"
#include "property_editor/frmKelvraProperties.h"
#include "widgets/ModalDialog.h"

#include <QDialog>
#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvra::test {

template <class Widget> Widget* Child(QObject& parent, const QString& name) {
    auto* child = parent.findChild<Widget*>(name);
    if (child == nullptr) {
        throw std::runtime_error("no control " + name.toStdString());
    }
    return child;
}

// Answers the modal window `name`: it is shown, without a modal loop of its own, and handed to
// `act`, which works it as the operator would.
inline void AnswerWindow(FakeDialogs& dialogs, const std::string& name,
                         std::function<void(QDialog&)> act) {
    dialogs.windowAnswers[name] = [act = std::move(act)](ModalWindow& window) {
        QDialog& dialog = static_cast<ModalDialog&>(window).dialog();
        dialog.show();
        act(dialog);
    };
}

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
    void load() {
        view.SetKelvraObj(KV);
        view.SetLink({kDatagramLink, "127.0.0.1", 1, 1});
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
