#include "host/qt/control.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QWidget>
#include <cmath>
#include <stdexcept>

namespace host {

namespace {

QString q(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A vertical scroll bar's Value counts from its bottom (Max at the top), as the controllers
// expect of any slider; Qt's own bar counts from the top.
int sliderValue(const QAbstractSlider* s, double v) {
    const int raw = static_cast<int>(std::lround(v));
    const auto* bar = qobject_cast<const QScrollBar*>(s);
    return bar && bar->orientation() == Qt::Vertical ? bar->maximum() + bar->minimum() - raw : raw;
}

[[noreturn]] void unsupported(QObject* o, const char* property) {
    throw std::runtime_error(std::string("control '") + o->objectName().toStdString() + "' has no property " + property);
}

}  // namespace

Control::Control(QObject* object) : object_(object) {
    if (!object_) throw std::runtime_error("no such control");
}

double Control::value() const {
    if (auto* c = qobject_cast<QComboBox*>(object_)) return c->currentIndex() + 1;
    if (auto* b = qobject_cast<QAbstractButton*>(object_)) return b->isChecked() ? 1 : 0;
    if (auto* s = qobject_cast<QAbstractSlider*>(object_)) return sliderValue(s, s->value());
    if (auto* a = qobject_cast<QAction*>(object_)) return a->isChecked() ? 1 : 0;
    unsupported(object_, "Value");
}

void Control::setValue(double v) {
    const QSignalBlocker quiet(object_);
    if (auto* c = qobject_cast<QComboBox*>(object_)) {
        // A position outside the list selects nothing rather than a wrong entry.
        const bool valid = v >= 1 && v <= c->count() && v == std::floor(v);
        c->setCurrentIndex(valid ? static_cast<int>(v) - 1 : -1);
    } else if (auto* b = qobject_cast<QAbstractButton*>(object_)) {
        b->setChecked(v != 0);
    } else if (auto* s = qobject_cast<QAbstractSlider*>(object_)) {
        s->setValue(sliderValue(s, v));
    } else if (auto* a = qobject_cast<QAction*>(object_)) {
        a->setChecked(v != 0);
    } else {
        unsupported(object_, "Value");
    }
}

std::string Control::string() const {
    if (auto* e = qobject_cast<QLineEdit*>(object_)) return e->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(object_)) return l->text().toStdString();
    if (auto* c = qobject_cast<QComboBox*>(object_)) return c->currentText().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(object_)) return b->text().toStdString();
    if (auto* g = qobject_cast<QGroupBox*>(object_)) return g->title().toStdString();
    if (auto* a = qobject_cast<QAction*>(object_)) return a->text().toStdString();
    if (auto* m = qobject_cast<QMenu*>(object_)) return m->title().toStdString();
    unsupported(object_, "String");
}

void Control::setString(std::string_view text) {
    const QSignalBlocker quiet(object_);
    if (auto* e = qobject_cast<QLineEdit*>(object_)) {
        e->setText(q(text));
        // A value too long for its field shows its start: the sign and the integer part.
        e->setCursorPosition(0);
    } else if (auto* l = qobject_cast<QLabel*>(object_)) l->setText(q(text));
    else if (auto* b = qobject_cast<QAbstractButton*>(object_)) b->setText(q(text));
    else if (auto* g = qobject_cast<QGroupBox*>(object_)) g->setTitle(q(text));
    else if (auto* a = qobject_cast<QAction*>(object_)) a->setText(q(text));
    else if (auto* m = qobject_cast<QMenu*>(object_)) m->setTitle(q(text));
    else unsupported(object_, "String");
}

bool Control::enabled() const {
    if (auto* w = qobject_cast<QWidget*>(object_)) return w->isEnabled();
    if (auto* a = qobject_cast<QAction*>(object_)) return a->isEnabled();
    unsupported(object_, "Enable");
}

void Control::setEnabled(bool on) {
    if (auto* w = qobject_cast<QWidget*>(object_)) w->setEnabled(on);
    else if (auto* a = qobject_cast<QAction*>(object_)) a->setEnabled(on);
    else unsupported(object_, "Enable");
}

bool Control::visible() const {
    if (auto* m = qobject_cast<QMenu*>(object_)) return m->menuAction()->isVisible();
    if (auto* w = qobject_cast<QWidget*>(object_)) return w->isWindow() ? w->isVisible() : !w->isHidden();
    if (auto* a = qobject_cast<QAction*>(object_)) return a->isVisible();
    unsupported(object_, "Visible");
}

void Control::setVisible(bool on) {
    if (auto* m = qobject_cast<QMenu*>(object_)) m->menuAction()->setVisible(on);
    else if (auto* w = qobject_cast<QWidget*>(object_)) w->setVisible(on);
    else if (auto* a = qobject_cast<QAction*>(object_)) a->setVisible(on);
    else unsupported(object_, "Visible");
}

bool Control::checked() const {
    if (auto* a = qobject_cast<QAction*>(object_)) return a->isChecked();
    if (auto* b = qobject_cast<QAbstractButton*>(object_)) return b->isChecked();
    unsupported(object_, "Checked");
}

void Control::setChecked(bool on) {
    const QSignalBlocker quiet(object_);
    if (auto* a = qobject_cast<QAction*>(object_)) {
        a->setCheckable(true);
        a->setChecked(on);
    } else if (auto* b = qobject_cast<QAbstractButton*>(object_)) {
        b->setChecked(on);
    } else {
        unsupported(object_, "Checked");
    }
}

std::string Control::tooltip() const {
    if (auto* w = qobject_cast<QWidget*>(object_)) return w->toolTip().toStdString();
    if (auto* a = qobject_cast<QAction*>(object_)) return a->toolTip().toStdString();
    unsupported(object_, "TooltipString");
}

void Control::setTooltip(std::string_view text) {
    if (auto* w = qobject_cast<QWidget*>(object_)) w->setToolTip(q(text));
    else if (auto* a = qobject_cast<QAction*>(object_)) a->setToolTip(q(text));
    else unsupported(object_, "TooltipString");
}

std::string Control::pointer() const {
    auto* w = qobject_cast<QWidget*>(object_);
    if (!w) unsupported(object_, "Pointer");
    return w->testAttribute(Qt::WA_SetCursor) && w->cursor().shape() == Qt::WaitCursor ? "watch" : "arrow";
}

void Control::setPointer(std::string_view shape) {
    auto* w = qobject_cast<QWidget*>(object_);
    if (!w) unsupported(object_, "Pointer");
    if (shape == "watch") w->setCursor(Qt::WaitCursor);
    else w->unsetCursor();
}

std::string Control::name() const {
    auto* w = qobject_cast<QWidget*>(object_);
    if (!w) unsupported(object_, "Name");
    return w->windowTitle().toStdString();
}

void Control::setName(std::string_view title) {
    auto* w = qobject_cast<QWidget*>(object_);
    if (!w) unsupported(object_, "Name");
    w->setWindowTitle(q(title));
}

bool Control::hasFont() const { return qobject_cast<QWidget*>(object_) || qobject_cast<QAction*>(object_); }

double Control::fontSize() const {
    if (auto* w = qobject_cast<QWidget*>(object_)) return w->font().pointSizeF();
    if (auto* a = qobject_cast<QAction*>(object_)) return a->font().pointSizeF();
    return 0;
}

void Control::setFontSize(double points) {
    if (points <= 0) return;
    if (auto* w = qobject_cast<QWidget*>(object_)) {
        QFont f = w->font();
        f.setPointSizeF(points);
        w->setFont(f);
    } else if (auto* a = qobject_cast<QAction*>(object_)) {
        QFont f = a->font();
        f.setPointSizeF(points);
        a->setFont(f);
    }
}

}  // namespace host
