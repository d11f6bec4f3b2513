// The README's pictures, taken from the running application as the quick start has the user
// meet it: the settings it saved opened, the main window after Calculate, and the spectrum
// Plot > Spectrum draws. scripts/screenshots.sh runs this test
// with ZUNO_SCREENSHOT_DIR set to write them; the test checks what they show either way.
#include <QAbstractButton>
#include <QImage>
#include <QSet>
#include <cstdlib>
#include <string>

#include "app/file_menu.h"
#include "app_fixture.h"
#include "model/parameter_file.h"

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
    // zuno-gen --set OverSampling=8 --set DATAchnActive=1 --set slot.DATAslotActive=1 --save-params first.mat
    model::Parameters first = model::InitializeParameters();
    first.OverSampling = 8;
    first.ProjectedLength = 8 * 32768;  // as zuno-gen saves it
    first.DATAchnActive = 1;
    // Every slot's traffic is on by default.
    model::writeParameterFile((dir / "first.mat").string(), first);
    start();
    ASSERT_TRUE(application->files().openNamed((dir / "first.mat").string(), host::Handles(main)));
    testsupport::press(control("pbCalculate"));
    ASSERT_EQ(state().waveform.size(), 8u * 32768u);
    EXPECT_EQ(host::Control(control("txtNumberOfSamples")).string(), "262144 Samples");
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
