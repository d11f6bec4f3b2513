#include "host/qt/binder.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <stdexcept>

#include "host/qt/registry.h"
#include "host/qt/window_keys.h"

namespace host {

namespace {

constexpr const char* kClosing = "zunoClosing";

class CloseRequestFilter : public QObject {
public:
    CloseRequestFilter(QWidget* window, QString module, QString operation, Registry& registry)
        : QObject(window), window_(window), module_(std::move(module)), operation_(std::move(operation)),
          registry_(registry) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == window_ && event->type() == QEvent::Close && !window_->property(kClosing).toBool()) {
            event->ignore();
            // After this close has been refused: a window cannot be closed while it is closing.
            QMetaObject::invokeMethod(
                this,
                [this] { registry_.call(module_.toStdString(), operation_.toStdString(), Call{window_, Handles(window_)}); },
                Qt::QueuedConnection);
            return true;
        }
        return false;
    }

private:
    QWidget* window_;
    QString module_, operation_;
    Registry& registry_;
};

}  // namespace

void bindCallback(QObject* object, QWidget* window, const QString& module, const QString& operation,
                  Registry& registry) {
    QPointer<QWidget> win(window);
    auto fire = [object, win, module, operation, &registry] {
        registry.call(module.toStdString(), operation.toStdString(), Call{object, Handles(win)});
    };
    if (auto* e = qobject_cast<QLineEdit*>(object)) {
        // Editing ends with Enter and again with the focus leaving: only text the user changed
        // since it was last taken (or shown) calls back, and once.
        QObject::connect(e, &QLineEdit::editingFinished, e, [e, fire] {
            if (!e->isModified()) return;
            e->setModified(false);
            fire();
        });
    } else if (auto* c = qobject_cast<QComboBox*>(object)) {
        QObject::connect(c, &QComboBox::activated, c, fire);
    } else if (auto* b = qobject_cast<QAbstractButton*>(object)) {
        QObject::connect(b, &QAbstractButton::clicked, b, fire);
    } else if (auto* a = qobject_cast<QAction*>(object)) {
        QObject::connect(a, &QAction::triggered, a, fire);
    } else if (auto* s = qobject_cast<QAbstractSlider*>(object)) {
        QObject::connect(s, &QAbstractSlider::valueChanged, s, fire);
    } else {
        // A layout that asks for a callback the binder cannot deliver is broken: say so at once.
        throw std::runtime_error("control '" + object->objectName().toStdString() + "' (" +
                                 object->metaObject()->className() + ") cannot call back " +
                                 operation.toStdString() + ": no user action of this kind of control is known");
    }
}

void bindCallbacks(QWidget* window, Registry& registry) {
    const QString windowModule = window->property("module").toString();
    QList<QObject*> objects = window->findChildren<QObject*>();
    objects.prepend(window);
    for (QObject* o : objects) {
        const QString op = o->property("callback").toString();
        if (op.isEmpty()) continue;
        const QString own = o->property("module").toString();
        bindCallback(o, window, own.isEmpty() || o == window ? windowModule : own, op, registry);
    }
    installWindowKeys(window);
    // "operation" of the window's module, or "module:operation".
    const QStringList closeOp = window->property("closeRequest").toString().split(':');
    if (closeOp.size() == 1 && !closeOp[0].isEmpty())
        window->installEventFilter(new CloseRequestFilter(window, windowModule, closeOp[0], registry));
    else if (closeOp.size() == 2)
        window->installEventFilter(new CloseRequestFilter(window, closeOp[0], closeOp[1], registry));
}

void closeWindow(QWidget* window) {
    if (!window) return;
    window->setProperty(kClosing, true);
    window->close();
}

}  // namespace host
