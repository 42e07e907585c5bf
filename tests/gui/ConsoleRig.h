#pragma once

#include "FakeDialogs.h"
#include "FakeLinks.h"
#include "MemorySettings.h"
#include "VirtualTime.h"
#include "console/frmMainCKelvra.h"
#include "driver/FrameCodec.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kelvra::test {

// A request as the scripted terminal saw it.
struct Request {
    std::int16_t terminal;
    std::string body; // command letters and data
};

// Finds the console window's controls and presses them as the operator does.
struct WindowDriver {
    frmMainCKelvra* window = nullptr; // owned by the rig

    template <class Widget> Widget* find(const QString& name) {
        auto* widget = window->findChild<Widget*>(name);
        if (widget == nullptr) {
            throw std::runtime_error("no control " + name.toStdString());
        }
        return widget;
    }
    QPushButton* button(int index) { return find<QPushButton>(QString("cmdCtrl(%1)").arg(index)); }
    QLineEdit* box(const char* name) { return find<QLineEdit>(name); }
    QTabWidget* tabs() { return find<QTabWidget>("SSTab1"); }
    // What a text box holds, a list shows or an option or check box is ("1" or "0"). Setting
    // a list selects the caption; setting an option to "1" clicks it.
    void setText(const char* name, const std::string& text) {
        const QString value = QString::fromLatin1(text);
        if (auto* line = window->findChild<QLineEdit*>(name)) {
            line->setText(value);
        } else if (auto* list = window->findChild<QComboBox*>(name)) {
            list->setCurrentText(value);
        } else if (auto* check = window->findChild<QCheckBox*>(name)) {
            check->setChecked(text == "1");
        } else if (auto* option = window->findChild<QRadioButton*>(name)) {
            if (text == "1") {
                clickOn(option);
            }
        } else {
            find<QPlainTextEdit>(name)->setPlainText(value);
        }
    }
    std::string text(const char* name) {
        if (auto* list = window->findChild<QComboBox*>(name)) {
            return list->currentText().toStdString();
        }
        if (auto* check = window->findChild<QAbstractButton*>(name)) {
            return check->isChecked() ? "1" : "0";
        }
        return box(name)->text().toStdString();
    }

    // A click as the operator makes it: the control's page is brought to the front first.
    void clickOn(QWidget* target) {
        for (int page = 0; page < tabs()->count(); ++page) {
            if (tabs()->widget(page)->isAncestorOf(target)) {
                tabs()->setCurrentIndex(page);
            }
        }
        QTest::mouseClick(target, Qt::LeftButton);
    }
    void click(int index) { clickOn(button(index)); }

    // The result box's text, one "\n" per line end.
    std::string log() const { return window->ResultText(); }
    // Presses the button and returns the lines it added to the log.
    std::string press(int index) {
        const std::string before = log();
        click(index);
        return log().substr(before.size());
    }
};

// The console on fake links in virtual time, with a scripted terminal behind the socket and
// the serial port. `answer` maps a request to the reply's status letter and data; nothing
// answers when it returns an empty text. Waits take no real time.
struct ConsoleRig : WindowDriver {
    VirtualTime time;
    FakeLinkFactory links{time};
    MemorySettings& perUser;
    FakeDialogs dialogs;
    std::vector<Request> requests;
    std::function<std::string(const Request&)> answer = [](const Request&) { return "A"; };
    std::unique_ptr<frmMainCKelvra> ownWindow;

    explicit ConsoleRig(MemorySettings& settings) : perUser(settings) {
        ownWindow =
            std::make_unique<frmMainCKelvra>(ConsolePlatform{time, time, links, perUser, dialogs});
        window = ownWindow.get();
        window->show();
        for (FakeSocket* socket : links.sockets) {
            socket->peer = [this, socket](const std::string& frame) {
                onFrame(frame, [socket](const std::string& reply) { socket->arrive(reply, 10); });
            };
        }
        links.serialPorts.at(0)->peer = [this](const std::string& frame) {
            onFrame(frame, [this](const std::string& reply) {
                links.serialPorts.at(0)->arrive(reply, 10);
            });
        };
    }

    void onFrame(const std::string& frame, const std::function<void(const std::string&)>& reply) {
        if (frame.size() < 8 || frame.front() != STX) {
            return; // the module's own datagrams
        }
        requests.push_back(
            {static_cast<std::int16_t>(frame[1] - '0'), frame.substr(3, frame.size() - 8)});
        const std::string statusAndData = answer(requests.back());
        if (!statusAndData.empty()) {
            reply(TerminalReply(requests.back().terminal, statusAndData));
        }
    }

    void connectUdp() {
        setText("txtIP", "127.0.0.1");
        setText("cboType", "UDP");
        click(0);
    }

    std::string lastBody() const { return requests.empty() ? "<none>" : requests.back().body; }

    // Lets the links deliver what has arrived, as the event loop does between presses.
    void deliver() {
        time.sleep(20);
        time.processEvents();
    }
};

} // namespace kelvra::test
