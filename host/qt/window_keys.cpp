#include "host/qt/window_keys.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "host/core/number_text.h"

namespace host {

namespace {

QPushButton* usable(QPushButton* b) { return b && b->isVisible() && b->isEnabled() ? b : nullptr; }

// Buttons of the window itself, not of the dialog windows that sit on it.
QPushButton* defaultButton(QWidget* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>())
        if (b->window() == window && b->isDefault() && usable(b)) return b;
    return nullptr;
}

QPushButton* cancelButton(QWidget* window) {
    for (QPushButton* b : window->findChildren<QPushButton*>("pbCancel"))
        if (b->window() == window && usable(b)) return b;
    return nullptr;
}

class WindowKeys : public QObject {
public:
    explicit WindowKeys(QWidget* window) : QObject(window), window_(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* k = static_cast<QKeyEvent*>(event);
        const bool enter = k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter;
        if (k->modifiers() & ~Qt::KeypadModifier) return false;
        if (auto* e = qobject_cast<QLineEdit*>(watched)) {
            if (k->key() == Qt::Key_Up || k->key() == Qt::Key_Down) return step(e, k->key() == Qt::Key_Up ? 1 : -1);
            return false;  // Enter takes the text, then reaches the window
        }
        if (auto* b = qobject_cast<QPushButton*>(watched)) {
            if (!enter || !usable(b)) return false;
            b->click();
            return true;
        }
        if (watched != window_) return false;
        if (enter) {
            QPushButton* def = defaultButton(window_);
            if (def) def->click();
            return def != nullptr;
        }
        if (k->key() == Qt::Key_Escape) {
            if (QPushButton* cancel = cancelButton(window_)) {
                cancel->click();
                return true;
            }
            // A window with only a default button (the about box) is a dialog Escape closes.
            if (defaultButton(window_)) {
                window_->close();
                return true;
            }
        }
        return false;
    }

private:
    // Writes the stepped number and takes it as if the user had typed it and pressed Enter.
    static bool step(QLineEdit* e, int direction) {
        if (e->isReadOnly() || e->property("textEntry").toBool()) return false;
        const auto stepped = stepTypedNumber(e->text().toStdString(), direction);
        if (!stepped) return false;
        e->setText(QString::fromStdString(*stepped));
        e->setModified(true);
        emit e->editingFinished();
        return true;
    }

    QWidget* window_;
};

}  // namespace

void installWindowKeys(QWidget* window) {
    auto* keys = new WindowKeys(window);
    window->installEventFilter(keys);
    for (QLineEdit* e : window->findChildren<QLineEdit*>()) e->installEventFilter(keys);
    for (QPushButton* b : window->findChildren<QPushButton*>()) b->installEventFilter(keys);
}

}  // namespace host
