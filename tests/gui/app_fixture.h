#pragma once
// A started application with scripted dialogs and a clock that only pretends to wait, its
// configuration file in a fresh temporary folder that is also the working directory.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QWheelEvent>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "app/application.h"
#include "host/qt/control.h"
#include "host/qt/dialogs.h"
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
    e->window()->activateWindow();
    QTest::mouseClick(e, Qt::LeftButton);
    QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(e, text);
    if (enter) QTest::keyClick(e, Qt::Key_Return);
}

// A click on a button (or near the left edge of a check box, which reacts only on its box and label).
inline void press(QObject* button) {
    auto* b = qobject_cast<QAbstractButton*>(button);
    ASSERT_NE(b, nullptr) << (button ? button->objectName().toStdString() : "no button");
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

class AppTest : public testing::Test {
protected:
    std::filesystem::path dir;
    std::filesystem::path oldCwd;
    host::ScriptedDialogs dialogs;
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
    app::AppContext& ctx() { return application->context(); }
    app::AppState& state() { return ctx().state; }
    QObject* control(const char* tag) { return host::Handles(main)[tag]; }
    host::Control c(const char* tag) { return host::Control(control(tag)); }
    std::string path(const char* name) const { return (dir / name).string(); }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
};

}  // namespace testsupport
