#include "host/qt/qt_clock.h"

#include <QEventLoop>
#include <QTimer>

namespace host {

void QtClock::pause(double seconds) {
    if (seconds <= 0) return;
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace host
