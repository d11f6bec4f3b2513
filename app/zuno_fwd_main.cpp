// zuno-fwd: hosts the library as its host runtime would: initialise, start, run the window
// system's loop until the main window closes, terminate.
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/entry_points.h"
#include "dsp/allocator.h"
#include "zuno_version.h"

namespace {

// The desktop entry's name: the desktop matches the running windows to it (and its icon).
constexpr const char* kDesktopId = "org.zuno.ZunoFwd";

}  // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so that it works without a display.
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--version") == 0) {
            std::puts(zuno::versionLine("zuno-fwd").c_str());
            return 0;
        }
    dsp::keepLargeBuffers();
    QApplication application(argc, argv);
    QApplication::setApplicationName("zuno-fwd");
    QApplication::setApplicationVersion(QString::fromUtf8(zuno::kVersion.data(), zuno::kVersion.size()));
    QGuiApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/%1.svg").arg(kDesktopId)));
    if (!Zuno_Fwd_c_libInitialize()) return 1;
    int status = 0;
    try {
        Zuno_Fwd_c();
        // A parameter file named on the command line (Qt's own options are taken out by now),
        // as the desktop passes it: the window holds one set of settings, so the first.
        const QStringList args = QApplication::arguments();
        for (qsizetype i = 1; i < args.size(); ++i)
            if (!args[i].startsWith('-')) {
                Zuno_Fwd_c_openFile(QFile::encodeName(args[i]).constData());
                break;
            }
        status = QApplication::exec();
    } catch (const std::exception& e) {
        status = 1;
    }
    Zuno_Fwd_c_libTerminate();
    return status;
}
