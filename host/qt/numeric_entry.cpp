#include "host/qt/numeric_entry.h"

#include <QComboBox>
#include <QLabel>
#include <QStatusBar>
#include <cmath>

#include "host/core/number_text.h"
#include "host/core/text.h"
#include "host/qt/control.h"

namespace host {

namespace {

// A control of `win` itself, not of a dialog window that sits on it.
template <typename T>
T* ownChild(QWidget* win, const char* tag = nullptr) {
    for (T* c : win->findChildren<T*>(tag ? QString(tag) : QString()))
        if (c->window() == win) return c;
    return nullptr;
}

// The widget that shows the status of `w`'s window, or of the windows below it.
QWidget* statusWidget(QWidget* w) {
    for (QWidget* win = w ? w->window() : nullptr; win; win = win->parentWidget() ? win->parentWidget()->window() : nullptr) {
        if (auto* label = ownChild<QLabel>(win, "lblStatus")) return label;
        if (auto* bar = ownChild<QStatusBar>(win)) return bar;
    }
    return nullptr;
}

}  // namespace

void showWindowStatus(QWidget* w, const std::string& text) {
    QWidget* s = statusWidget(w);
    if (auto* bar = qobject_cast<QStatusBar*>(s)) bar->showMessage(QString::fromStdString(text));
    else if (auto* label = qobject_cast<QLabel*>(s)) label->setText(QString::fromStdString(text));
}

std::string windowStatus(QWidget* w) {
    QWidget* s = statusWidget(w);
    if (auto* bar = qobject_cast<QStatusBar*>(s)) return bar->currentMessage().toStdString();
    if (auto* label = qobject_cast<QLabel*>(s)) return label->text().toStdString();
    return {};
}

std::optional<double> readField(QObject* field, const NumericField& how, const std::string& kept) {
    const std::string text = ctl(field).string();
    auto* widget = qobject_cast<QWidget*>(field);
    const std::string about = how.label + ": \"";
    std::optional<double> value;
    if (const auto typed = readTypedNumber(text)) {
        if (typed->unit.empty()) {
            value = typed->value * how.bareFactor;
        } else {
            for (const EntryUnit& u : how.units)
                if (toLower(u.name) == toLower(typed->unit)) value = typed->value * u.factor;
        }
    }
    if (!value) {
        showWindowStatus(widget, about + text + "\" is not a number; kept " + kept);
    } else if (windowStatus(widget).starts_with(about)) {
        // The complaint about this field no longer holds.
        showWindowStatus(widget, "");
    }
    return value;
}

std::vector<EntryUnit> thousandsUnits(QObject* popup) {
    std::vector<EntryUnit> units;
    if (auto* c = qobject_cast<QComboBox*>(popup))
        for (int i = 0; i < c->count(); ++i) units.push_back({c->itemText(i).toStdString(), std::pow(1000.0, i)});
    return units;
}

}  // namespace host
