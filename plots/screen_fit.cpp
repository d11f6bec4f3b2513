#include "plots/screen_fit.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "plots/core/placement.h"

namespace plots {

namespace {

FrameMargins marginsOf(const QWidget* w) {
    const QRect f = w->frameGeometry(), g = w->geometry();
    return {g.left() - f.left(), g.top() - f.top(), f.right() - g.right(), f.bottom() - g.bottom()};
}

bool framed(const FrameMargins& m) { return m.left > 0 || m.top > 0 || m.right > 0 || m.bottom > 0; }

// Some window systems tell a window's frame as soon as the window exists, others only once it is
// shown: before that, borrow the frame of a window already shown, or allow for a title bar.
FrameMargins frameOf(QWidget* window) {
    if (window->windowFlags() & Qt::FramelessWindowHint) return {};
    window->winId();
    if (const FrameMargins m = marginsOf(window); framed(m)) return m;
    for (const QWidget* w : QApplication::topLevelWidgets())
        if (w != window && w->isVisible() && !(w->windowFlags() & Qt::FramelessWindowHint))
            if (const FrameMargins m = marginsOf(w); framed(m)) return m;
    return {4, 30, 4, 4};
}

}  // namespace

void fitOnScreen(QWidget* window) {
    if (!window) return;
    const QRect g = window->geometry();
    QScreen* screen = QGuiApplication::screenAt(g.center());
    if (!screen) screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect a = screen->availableGeometry();
    const QSize least = window->minimumSize().expandedTo(window->minimumSizeHint());
    const ScreenRect r = fitInside({g.x(), g.y(), g.width(), g.height()}, frameOf(window),
                                   {a.x(), a.y(), a.width(), a.height()}, least.width(), least.height());
    window->setGeometry(r.x, r.y, r.width, r.height);
}

}  // namespace plots
