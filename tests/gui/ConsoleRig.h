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
    std::unique_ptr<frmMainCKelvra> window;

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
    void setText(const char* name, const std::string& text) {
        if (auto* line = window->findChild<QLineEdit*>(name)) {
            line->setText(QString::fromLatin1(text));
        } else {
            find<QPlainTextEdit>(name)->setPlainText(QString::fromLatin1(text));
        }
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

// The console on fake links in virtual time, with a scripted terminal behind the datagram
// socket. `answer` maps a request to the reply's status letter and data; nothing answers
// when it returns an empty text. Waits take no real time.
struct ConsoleRig : WindowDriver {
    VirtualTime time;
    FakeLinkFactory links{time};
    MemorySettings& perUser;
    FakeDialogs dialogs;
    std::vector<Request> requests;
    std::function<std::string(const Request&)> answer = [](const Request&) { return "A"; };

    explicit ConsoleRig(MemorySettings& settings) : perUser(settings) { open(); }
    ~ConsoleRig() { window.reset(); }

    void open() {
        window =
            std::make_unique<frmMainCKelvra>(ConsolePlatform{time, time, links, perUser, dialogs});
        window->show();
        for (FakeSocket* socket : links.sockets) {
            socket->peer = [this, socket](const std::string& frame) {
                onFrame(frame, [socket](const std::string& reply) { socket->arrive(reply, 10); });
            };
        }
        for (FakeSerialPort* port : links.serialPorts) {
            port->peer = [this, port](const std::string& frame) {
                onFrame(frame, [port](const std::string& reply) { port->arrive(reply, 10); });
            };
        }
    }

    void onFrame(const std::string& frame,
                 const std::function<void(const std::string&)>& reply = {}) {
        if (frame.size() < 8 || frame.front() != STX) {
            return; // the module's own datagrams
        }
        Request request{static_cast<std::int16_t>(frame[1] - '0'),
                        frame.substr(3, frame.size() - 8)};
        requests.push_back(request);
        const std::string statusAndData = answer(request);
        if (!statusAndData.empty() && reply) {
            reply(TerminalReply(request.terminal, statusAndData));
        }
    }

    void connectUdp() {
        setText("txtIP", "127.0.0.1");
        find<QComboBox>("cboType")->setCurrentIndex(0);
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
