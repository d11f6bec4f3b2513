#include "instrument/modal_window.h"

#include <QPointer>
#include <QVariant>
#include <stdexcept>

#include "host/qt/modal.h"

namespace instrument {

namespace {
constexpr const char* kAnswer = "answer";
}

std::string waitForAnswer(QWidget* window) {
    if (!window) throw std::runtime_error("the dialog window is missing");
    if (host::isWaiting(window))
        throw std::runtime_error("the window '" + window->objectName().toStdString() + "' is already open");
    QPointer<QWidget> guard(window);
    window->setProperty(kAnswer, "Cancel");
    window->show();
    window->raise();
    window->activateWindow();
    host::uiwait(window);
    if (!guard) return "Cancel";
    return window->property(kAnswer).toString().toStdString();
}

void finish(QWidget* window, const char* answer) {
    if (!window) return;
    window->setProperty(kAnswer, answer);
    host::uiresume(window);
}

}  // namespace instrument
