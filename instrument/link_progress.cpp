#include "instrument/link_progress.h"

#include <QApplication>
#include <QEvent>
#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>
#include <QWindow>
#include <atomic>
#include <exception>
#include <memory>
#include <thread>

namespace instrument {

namespace {

constexpr int kSteps = 1000;
constexpr int kTickMs = 20;

// What the worker reports; the window's thread reads it on every tick.
struct Shared {
    std::atomic<int> stage{static_cast<int>(hwio::Stage::Connecting)};
    std::atomic<std::size_t> done{0}, total{0};
    std::atomic<bool> finished{false};
};

// Keeps the user's input from every window but the progress dialog for as long as the operation
// runs, as a modal dialog would from the start: nothing else may start meanwhile.
class InputBlocker : public QObject {
public:
    explicit InputBlocker(QWidget* allowed) : allowed_(allowed) { qApp->installEventFilter(this); }
    ~InputBlocker() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* target, QEvent* e) override {
        switch (e->type()) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::ShortcutOverride:
            case QEvent::Shortcut:
            case QEvent::ContextMenu:
            case QEvent::Close:
                break;
            default:
                return false;
        }
        if (inside(target)) return false;
        // A close that is not accepted is refused; the rest stops here.
        if (e->type() == QEvent::Close) e->ignore();
        else e->accept();
        return true;
    }

private:
    bool inside(QObject* target) const {
        if (!allowed_) return false;
        if (auto* window = qobject_cast<QWindow*>(target)) return window == allowed_->windowHandle();
        // The dialog's own objects too: its Escape is a QShortcut child, not a widget.
        for (QObject* o = target; o; o = o->parent())
            if (o == allowed_) return true;
        return false;
    }

    QWidget* allowed_;
};

}  // namespace

hwio::Result runLinkJob(QWidget* parent, const std::string& title, int delayMs, const hwio::Options& options,
                        const LinkJob& job) {
    const auto shared = std::make_shared<Shared>();
    std::stop_source stop;
    hwio::Options o = options;
    o.stop = stop.get_token();
    o.progress = [shared, outer = options.progress](hwio::Stage stage, std::size_t done, std::size_t total) {
        shared->stage = static_cast<int>(stage);
        if (total > 0) {
            shared->total = total;
            shared->done = done;
        }
        if (outer) outer(stage, done, total);
    };

    const QString text = QString::fromStdString(title);
    QProgressDialog dialog(text, "Cancel", 0, 0, parent);
    auto* bar = new QProgressBar;  // moved directly: the dialog's setValue would run events
    dialog.setBar(bar);
    dialog.setObjectName("dlgLinkProgress");
    dialog.setWindowTitle("Signal Generator");
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(delayMs);
    dialog.setValue(0);  // the dialog shows itself once `delayMs` passed
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] {
        stop.request_stop();
        dialog.setLabelText("Cancelling...");
    });
    const InputBlocker blocker(&dialog);

    QEventLoop loop;
    QTimer tick;
    tick.callOnTimeout([&] {
        if (shared->finished) {
            loop.quit();
            return;
        }
        if (stop.stop_requested()) return;
        const auto stage = static_cast<hwio::Stage>(shared->stage.load());
        const QString label =
            stage == hwio::Stage::Waiting ? text + "\nWaiting for the signal generator to answer..." : text;
        if (dialog.labelText() != label) dialog.setLabelText(label);
        if (const std::size_t total = shared->total; total > 0) {
            bar->setRange(0, kSteps);
            bar->setValue(static_cast<int>(static_cast<double>(shared->done) / static_cast<double>(total) * kSteps));
        }
    });
    tick.start(kTickMs);

    hwio::Result result;
    std::exception_ptr failure;
    std::thread worker([&] {
        try {
            result = job(o);
        } catch (...) {
            failure = std::current_exception();
        }
        shared->finished = true;
    });
    loop.exec();
    // The loop also ends when the application quits: the operation is then cancelled.
    if (!shared->finished) stop.request_stop();
    worker.join();
    if (failure) std::rethrow_exception(failure);
    return result;
}

}  // namespace instrument
