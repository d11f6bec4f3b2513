#pragma once
// The watch on a window for as long as a long command runs, and the window's own pointer again
// after, whatever happens (also when the window goes away meanwhile).
#include <QPointer>
#include <QWidget>
#include <string>

#include "host/qt/control.h"

namespace app {

class BusyPointer {
public:
    explicit BusyPointer(QWidget* window) : window_(window) {
        if (!window_) return;
        host::Control c(window_);
        saved_ = c.pointer();
        c.setPointer("watch");
    }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
    ~BusyPointer() {
        if (window_) host::Control(window_.data()).setPointer(saved_);
    }

private:
    QPointer<QWidget> window_;
    std::string saved_;
};

}  // namespace app
