#include "host/qt/modal.h"

#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QVariant>
#include <stdexcept>
#include <vector>

namespace host {

namespace {

struct Wait {
    QWidget* window;
    QEventLoop* loop;
    WaitEnd end;
};

std::vector<Wait>& waits() {
    static std::vector<Wait> stack;
    return stack;
}

Wait* innermost(QWidget* window) {
    auto& s = waits();
    for (auto it = s.rbegin(); it != s.rend(); ++it)
        if (it->window == window) return &*it;
    return nullptr;
}

class CloseWatcher : public QObject {
public:
    explicit CloseWatcher(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close) {
            // Let the close happen first: another filter may still refuse it.
            QMetaObject::invokeMethod(this, [this] {
                if (!window_->isVisible())
                    if (Wait* w = innermost(window_)) {
                        w->end = WaitEnd::Closed;
                        w->loop->quit();
                    }
            }, Qt::QueuedConnection);
        }
        return false;
    }

private:
    QWidget* window_;
};

}  // namespace

WaitEnd uiwait(QWidget* window) {
    if (!window) return WaitEnd::Closed;
    QPointer<QWidget> guard(window);
    auto* watcher = new CloseWatcher(window);
    QEventLoop loop;
    waits().push_back({window, &loop, WaitEnd::Resumed});
    auto destroyed = QObject::connect(window, &QObject::destroyed, &loop, [&loop] { loop.quit(); });
    loop.exec();
    QObject::disconnect(destroyed);
    WaitEnd end = WaitEnd::Closed;
    auto& s = waits();
    for (auto it = s.begin(); it != s.end(); ++it)
        if (it->loop == &loop) {
            end = it->end;
            s.erase(it);
            break;
        }
    if (!guard) return WaitEnd::Closed;
    delete watcher;
    return end;
}

void uiresume(QWidget* window) {
    if (Wait* w = innermost(window)) {
        w->end = WaitEnd::Resumed;
        w->loop->quit();
    }
}

bool isWaiting(QWidget* window) { return innermost(window) != nullptr; }

namespace {
constexpr const char* kAnswer = "answer";
}

std::string waitForAnswer(QWidget* window) {
    if (!window) throw std::runtime_error("the dialog window is missing: its layout was not loaded at start-up");
    if (isWaiting(window))
        throw std::runtime_error("the window '" + window->objectName().toStdString() + "' is already open");
    QPointer<QWidget> guard(window);
    // A wait that ends without OK or Cancel must not repeat the previous opening's answer.
    window->setProperty(kAnswer, "Cancel");
    window->show();
    window->raise();
    window->activateWindow();
    uiwait(window);
    if (!guard) return "Cancel";
    return window->property(kAnswer).toString().toStdString();
}

void finishWait(QWidget* window, const char* answer) {
    if (!window) return;
    window->setProperty(kAnswer, answer);
    uiresume(window);
}

}  // namespace host
