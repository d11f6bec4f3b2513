// The README's pictures, taken from the running application as a user meets it: the main window
// after Calculate, and the spectrum Plot > Spectrum draws. scripts/screenshots.sh runs this test
// with ZUNO_SCREENSHOT_DIR set to write them; the test checks what they show either way.
#include <QAbstractButton>
#include <QImage>
#include <QSet>
#include <cstdlib>
#include <string>

#include "app_fixture.h"

namespace {

using testsupport::AppTest;

// Distinct colours in a picture: a window that did not paint is one or two.
int colours(const QImage& image) {
    QSet<QRgb> seen;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2) seen.insert(image.pixel(x, y));
    return static_cast<int>(seen.size());
}

void keep(const QImage& image, const char* name) {
    const char* dir = std::getenv("ZUNO_SCREENSHOT_DIR");
    if (!dir) return;
    const std::string path = std::string(dir) + "/" + name;
    ASSERT_TRUE(image.save(QString::fromStdString(path), "PNG", 9)) << path;
}

class Screenshots : public AppTest {};

TEST_F(Screenshots, MainWindowAfterCalculateAndItsSpectrum) {
    start();
    testsupport::press(control("pbCalculate"));
    ASSERT_FALSE(state().waveform.empty());
    testsupport::trigger(control("menuPlotSpectrum"));
    const auto& ids = state().appInfo.ClientWindows;
    ASSERT_EQ(ids.size(), 1u);
    QWidget* spectrum = ctx().clientWindows[ids[0]].data();
    ASSERT_NE(spectrum, nullptr);
    QApplication::processEvents();

    const QImage window = main->grab().toImage();
    const QImage plot = spectrum->grab().toImage();
    EXPECT_GT(colours(window), 20) << "the main window did not paint";
    EXPECT_GT(colours(plot), 20) << "the spectrum did not paint";
    keep(window, "main-window.png");
    keep(plot, "spectrum.png");
}

}  // namespace
