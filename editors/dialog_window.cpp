#include "editors/dialog_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QVariant>
#include <stdexcept>

#include "host/core/tag_index.h"
#include "host/qt/modal.h"

namespace editors {

namespace {

constexpr const char* kAnswer = "answer";

class WheelEater : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Wheel; }
};

class WheelForwarder : public QObject {
public:
    WheelForwarder(QWidget* window, QWidget* bar) : QObject(window), bar_(bar) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::Wheel || !bar_ || forwarding_) return false;
        // A bar at its end passes the turn on to its parent, this window: forward it only once.
        forwarding_ = true;
        QCoreApplication::sendEvent(bar_, event);
        forwarding_ = false;
        return true;
    }

private:
    QPointer<QWidget> bar_;
    bool forwarding_ = false;
};

}  // namespace

void ignoreWheel(QObject* popup) { popup->installEventFilter(new WheelEater(popup)); }

void wheelScrolls(QWidget* window, QWidget* bar) { window->installEventFilter(new WheelForwarder(window, bar)); }

std::string runModal(QWidget* window) {
    if (!window) throw std::runtime_error("the dialog window is missing: its layout was not loaded at start-up");
    if (host::isWaiting(window))
        throw std::runtime_error("the window '" + window->objectName().toStdString() + "' is already open");
    QPointer<QWidget> guard(window);
    // A wait that ends without OK or Cancel (the window closed for good) must not repeat the
    // previous opening's answer.
    window->setProperty(kAnswer, "Cancel");
    window->show();
    window->raise();
    window->activateWindow();
    host::uiwait(window);
    if (!guard) return "Cancel";
    const std::string answer = window->property(kAnswer).toString().toStdString();
    window->hide();
    return answer;
}

void finish(const host::Handles& handles, const char* answer) {
    QWidget* window = handles.window();
    if (!window) return;
    window->setProperty(kAnswer, answer);
    host::uiresume(window);
}

int rowOf(const QObject* control, int rows) {
    const std::string tag = control ? control->objectName().toStdString() : std::string();
    const double row = host::getTagIndex(tag);
    if (row < 1 || row > rows)
        throw std::runtime_error("control '" + tag + "' does not end in a row number from 1 to " + std::to_string(rows));
    return static_cast<int>(row);
}

}  // namespace editors
