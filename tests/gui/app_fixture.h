#pragma once
// A started application with scripted dialogs (or the real ones) and a clock that only pretends
// to wait, its configuration file in a fresh temporary folder that is also the working
// directory; and the hands of a person using it: typing, tabbing, pressing, choosing, answering.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <deque>
#include <functional>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "app/application.h"
#include "host/qt/control.h"
#include "host/qt/dialogs.h"
#include "scripted_dialogs.h"
#include "host/qt/registry.h"

namespace testsupport {

class FakeClock : public host::Clock {
public:
    host::ClockReading reading{2001, 12, 3, 9, 5, 3.7};
    double seconds = 100;      // the stopwatch
    double paused = 0;         // total time asked to pause
    double startupCost = 0;    // seconds that pass between the first two stopwatch readings
    host::ClockReading now() override { return reading; }
    double elapsed() override {
        const double t = seconds;
        seconds += startupCost;
        startupCost = 0;
        return t;
    }
    void pause(double s) override {
        paused += s;
        seconds += s;
    }
};

// Real key and mouse events, as from a person at the keyboard and mouse.

// Clicks into the field, selects what it holds, types `text` and, unless told not to, presses Enter.
inline void type(QObject* field, const QString& text, bool enter = true) {
    auto* e = qobject_cast<QLineEdit*>(field);
    ASSERT_NE(e, nullptr) << (field ? field->objectName().toStdString() : "no field");
    QApplication::setActiveWindow(e->window());
    QTest::mouseClick(e, Qt::LeftButton);
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(e, Qt::Key_Backspace);
    QTest::keyClicks(e, text);
    if (enter) QTest::keyClick(e, Qt::Key_Return);
}

// A key pressed where the keyboard focus is (the active window when nothing has it).
inline void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    // The window system gives the keyboard to a modal dialog as it opens.
    if (QWidget* modal = QApplication::activeModalWidget(); modal && QApplication::activeWindow() != modal)
        QApplication::setActiveWindow(modal);
    QWidget* target = QApplication::focusWidget();
    if (!target) target = QApplication::activeWindow();
    ASSERT_NE(target, nullptr) << "nothing has the keyboard focus";
    QTest::keyClick(target, static_cast<Qt::Key>(k), modifiers);
}

// A click on a button or field (near the left edge of a check box, which reacts only on its
// box and label).
inline void press(QObject* button) {
    auto* b = qobject_cast<QWidget*>(button);
    ASSERT_NE(b, nullptr) << (button ? button->objectName().toStdString() : "no control");
    QApplication::setActiveWindow(b->window());
    const QPoint at = b->inherits("QCheckBox") || b->inherits("QRadioButton") ? QPoint(6, b->height() / 2) : b->rect().center();
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

// Picks entry `position` (1-based) of a pop-up list, as its list does when a user picks one.
inline void choose(QObject* popup, int position) {
    auto* c = qobject_cast<QComboBox*>(popup);
    ASSERT_NE(c, nullptr) << (popup ? popup->objectName().toStdString() : "no pop-up");
    c->setCurrentIndex(position - 1);
    emit c->activated(position - 1);
}

// A drag with the left button from one point of a widget to another, through the middle.
inline void drag(QWidget* w, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = {}) {
    QTest::mousePress(w, Qt::LeftButton, modifiers, from);
    QTest::mouseMove(w, (from + to) / 2);
    QTest::mouseMove(w, to);
    QTest::mouseRelease(w, Qt::LeftButton, modifiers, to);
}

// Turns the mouse wheel over a point: notches away from the user are positive.
inline void wheel(QWidget* w, QPoint at, int notches) {
    QWheelEvent e(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                  Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}

inline void trigger(QObject* menuItem) {
    auto* a = qobject_cast<QAction*>(menuItem);
    ASSERT_NE(a, nullptr) << (menuItem ? menuItem->objectName().toStdString() : "no menu item");
    a->trigger();
}

// Clicks the button of `window` labelled `text` ("&" left out), as a person does.
inline void pressButton(QWidget* window, const QString& text) {
    ASSERT_NE(window, nullptr);
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->isVisible() && b->text().remove('&') == text) {
            QApplication::setActiveWindow(window);
            QTest::mouseClick(b, Qt::LeftButton);
            return;
        }
    FAIL() << "no button \"" << text.toStdString() << "\" in " << window->objectName().toStdString();
}

// A timer of the window's thread that counts its firings: it goes on only while the thread
// serves events.
class TimerProbe {
public:
    TimerProbe() {
        timer_.callOnTimeout([this] { ++ticks; });
        timer_.start(10);
    }
    int ticks = 0;

private:
    QTimer timer_;
};

// The progress dialog of the link operation running now, as a person sees it.
struct SeenProgress {
    std::string label;
    int value = 0, maximum = 0;
};
inline SeenProgress seenProgress(QWidget* w) {
    auto* d = qobject_cast<QProgressDialog*>(w);
    if (!d) return {};
    return {d->labelText().toStdString(), d->value(), d->maximum()};
}

// A real message box as the user met it.
struct SeenBox {
    std::string title, text;
    std::vector<std::string> buttons;  // labels as shown, "&" included
    std::string defaultButton, focused;
    QSize size;
};

// Answers the real modal dialogs as they open, one action each, in order: each action gets
// the dialog window after the test has looked at it (`seen`).
class DialogHands {
public:
    std::vector<SeenBox> seen;

    void then(std::function<void(QWidget*)> act) {
        // The action is for a dialog still to open, not for the one open now (the progress of a
        // hardware check opens over the connection dialog one event-loop pass later).
        actions_.push_back({std::move(act), QApplication::activeModalWidget()});
        if (!timer_) {
            timer_ = new QTimer;
            timer_->setInterval(5);
            QObject::connect(timer_, &QTimer::timeout, [this] { poll(); });
            timer_->start();
        }
    }
    ~DialogHands() { delete timer_; }
    bool done() const { return actions_.empty(); }

    static std::string shown(const QString& label) {
        QString s = label;
        return s.replace("&&", "\x01").remove('&').replace("\x01", "&").toStdString();
    }

private:
    void poll() {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible() || w == last_ || actions_.empty() || w == actions_.front().openBefore) return;
        last_ = w;
        // As a window system does, the keyboard goes to the dialog that just opened.
        QApplication::setActiveWindow(w);
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            SeenBox b{box->windowTitle().toStdString(), box->text().toStdString(), {}, {}, {}, box->size()};
            for (QAbstractButton* button : box->buttons()) b.buttons.push_back(shown(button->text()));
            if (box->defaultButton()) b.defaultButton = shown(box->defaultButton()->text());
            if (auto* f = qobject_cast<QAbstractButton*>(QApplication::focusWidget())) b.focused = shown(f->text());
            seen.push_back(b);
        }
        auto act = std::move(actions_.front().act);
        actions_.pop_front();
        act(w);
    }
    struct Action {
        std::function<void(QWidget*)> act;
        QPointer<QWidget> openBefore;
    };
    std::deque<Action> actions_;
    QTimer* timer_ = nullptr;
    QPointer<QWidget> last_;
};

// The real message, question and input boxes; file choices still come from the scripted queue
// (real file dialogs are unreliable offscreen).
class RealBoxes : public host::QtDialogs {
public:
    explicit RealBoxes(ScriptedDialogs& files) : files_(files) {}
    std::optional<host::FileChoice> openFile(const std::string& filter) override { return files_.openFile(filter); }
    std::optional<host::FileChoice> saveFile(const std::string& filter) override { return files_.saveFile(filter); }

private:
    ScriptedDialogs& files_;
};

class AppTest : public testing::Test {
protected:
    std::filesystem::path dir;
    std::filesystem::path oldCwd;
    ScriptedDialogs dialogs;
    RealBoxes realBoxes{dialogs};
    DialogHands hands;
    FakeClock clock;
    std::ostringstream console;
    std::unique_ptr<app::Application> application;
    QWidget* main = nullptr;

    void SetUp() override {
        oldCwd = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("zuno-gui-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        host::Registry::instance().setConsole(&console);
    }
    void TearDown() override {
        application.reset();
        host::Registry::instance().setConsole(nullptr);
        std::filesystem::current_path(oldCwd);
        std::filesystem::remove_all(dir);
    }
    // Makes and starts the application (call after preparing files in `dir`).
    void start() {
        application = std::make_unique<app::Application>(host::Registry::instance(), dialogs, clock);
        main = application->start();
    }
    // The same with the real Qt dialogs, answered by `hands`.
    void startWithRealDialogs() {
        application = std::make_unique<app::Application>(host::Registry::instance(), realBoxes, clock);
        main = application->start();
        QApplication::setActiveWindow(main);
    }
    app::AppContext& ctx() { return application->context(); }
    app::AppState& state() { return ctx().state; }
    QObject* control(const char* tag) { return host::Handles(main)[tag]; }
    void type(const char* tag, const QString& text, bool enter = true) { testsupport::type(control(tag), text, enter); }
    void press(const char* tag) { testsupport::press(control(tag)); }
    void choose(const char* tag, int position) { testsupport::choose(control(tag), position); }
    void trigger(const char* tag) { testsupport::trigger(control(tag)); }
    void type(QObject* field, const QString& text, bool enter = true) { testsupport::type(field, text, enter); }
    void press(QObject* button) { testsupport::press(button); }
    void choose(QObject* popup, int position) { testsupport::choose(popup, position); }
    host::Control c(const char* tag) { return host::Control(control(tag)); }
    std::string path(const char* name) const { return (dir / name).string(); }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
};

}  // namespace testsupport
