#include "editors/dialog_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QVariant>
#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "host/core/tag_index.h"
#include "host/qt/modal.h"
#include "host/core/number_text.h"
#include "host/qt/numeric_entry.h"

namespace editors {

namespace {

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

void fastEditPopup(QObject* popup) {
    popup->installEventFilter(new WheelEater(popup));
    // The "FastEdit" caption is a placeholder, which styles draw grey as if the pop-up were
    // disabled: draw it as the text of any enabled pop-up.
    if (auto* box = qobject_cast<QComboBox*>(popup)) {
        QPalette pal = box->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive})
            pal.setColor(group, QPalette::PlaceholderText, pal.color(group, QPalette::ButtonText));
        box->setPalette(pal);
    }
}

void wheelScrolls(QWidget* window, QWidget* bar) { window->installEventFilter(new WheelForwarder(window, bar)); }

std::string runModal(QWidget* window) {
    // What the last opening said about its fields is no news in this one.
    if (window) host::showWindowStatus(window, "");
    const std::string answer = host::waitForAnswer(window);
    if (window) window->hide();
    return answer;
}

void finish(const host::Handles& handles, const char* answer) { host::finishWait(handles.window(), answer); }

double readRowEntry(QObject* field, const std::string& label, const std::string& unit, double kept, double low,
                    double high) {
    host::NumericField how{label, {}};
    if (!unit.empty()) how.units.push_back({unit, 1});
    const auto x = host::readField(field, how, host::numberText(kept) + (unit.empty() ? "" : " " + unit));
    return x ? std::clamp(std::round(*x), low, high) : kept;
}

int rowOf(const QObject* control, int rows) {
    const std::string tag = control ? control->objectName().toStdString() : std::string();
    const double row = host::getTagIndex(tag);
    if (row < 1 || row > rows)
        throw std::runtime_error("control '" + tag + "' does not end in a row number from 1 to " + std::to_string(rows));
    return static_cast<int>(row);
}

}  // namespace editors
