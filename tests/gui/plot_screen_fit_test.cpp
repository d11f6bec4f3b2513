// Every window opens inside the screen's available area, title bar included: the main window and
// its dialogs, the splash and the about box, and every plot window, also next to a main window
// larger than the screen.
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <gmock/gmock.h>

#include "analyzer/analysis.h"
#include "app/window_parts.h"
#include "app_fixture.h"
#include "host/qt/handles.h"
#include "plots/plots.h"

namespace {

QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// The window with its frame; before it is first shown, the frame the main window has.
QRect framed(const QWidget* w, const QWidget* shown) {
    if (w->isVisible() || !shown) return w->frameGeometry();
    const QRect f = shown->frameGeometry(), g = shown->geometry();
    return w->geometry().adjusted(f.left() - g.left(), f.top() - g.top(), f.right() - g.right(), f.bottom() - g.bottom());
}

class ScreenFit : public testsupport::AppTest {};

}  // namespace

TEST_F(ScreenFit, TheMainWindowItsDialogsSplashAndAboutBox) {
    // The slot setup dialog is 990 pixels wide: the window tests run on a screen of 1024 x 700,
    // the smallest the application is used on.
    if (available().width() < 1024 || available().height() < 700) GTEST_SKIP() << "needs a screen of 1024 x 700";
    start();
    ASSERT_TRUE(main->isVisible());
    EXPECT_TRUE(available().contains(main->frameGeometry())) << main->frameGeometry().y();
    const app::FigureList& f = ctx().figureList;
    for (const QWidget* dialog : {f.figSlotSetup.data(), f.figRPCsetup.data(), f.AdvSettings.data(), f.figCarriers.data()}) {
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(available().contains(framed(dialog, main))) << dialog->objectName().toStdString();
    }

    QWidget* splash = app::KV_Splash(host::Registry::instance());
    EXPECT_TRUE(available().contains(splash->frameGeometry()));
    splash->close();
    splash->deleteLater();

    // The about box over a main window moved to the screen's bottom right corner.
    main->move(available().right() - main->width() / 2, available().bottom() - main->height() / 2);
    QRect about;
    hands.then([&](QWidget* box) {
        about = box->frameGeometry();
        testsupport::pressButton(box, "OK");
    });
    trigger("menuHelpAbout");
    ASSERT_TRUE(hands.done());
    EXPECT_FALSE(about.isEmpty());
    EXPECT_TRUE(available().contains(about)) << about.x() << "," << about.y();
}

TEST_F(ScreenFit, PlotWindowsNextToAMainWindowLargerThanTheScreen) {
    // 1000 x 800 at (100, 50): four fifths of it, moved per kind, would reach past the screen.
    QMainWindow parent;
    parent.setGeometry(100, 50, 1000, 800);
    const dsp::CVec x(20000, dsp::cplx{0.5, -0.25});
    analyzer::Result result;
    result.sampleRate = 6144000;
    result.oversampling = 5;
    std::vector<QWidget*> windows{plots::KV_PlotCCDF(&parent, "a", x),
                                  plots::KV_PlotSpectrum(&parent, "b", 1e6, x),
                                  plots::KV_PlotSpectrumAnalyzer(&parent, "c", 6144000, -30, x, dialogs),
                                  plots::KV_PlotWaterfall(&parent, "d", 1e6, 0, x),
                                  plots::KV_PlotIQTime(&parent, "e", 1e6, 1, x),
                                  plots::KV_PlotEyeDiagram(&parent, "f", x, 8, 1e-6, 0, dialogs),
                                  plots::KV_PlotScatterDiagram(&parent, "g", x, 8, 0, 0, dialogs),
                                  plots::KV_PlotMeasure(&parent, "h", result)};
    for (QWidget* w : windows) {
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(available().contains(w->frameGeometry()))
            << w->windowTitle().toStdString() << ": " << w->frameGeometry().x() << "," << w->frameGeometry().y() << " "
            << w->frameGeometry().width() << "x" << w->frameGeometry().height();
        delete w;
    }
}
