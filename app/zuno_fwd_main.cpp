// zuno-fwd: hosts the library as its host runtime would: initialise, start, run the window
// system's loop until the main window closes, terminate.
#include <QApplication>
#include <cstdio>
#include <exception>

#include "app/entry_points.h"
#include "dsp/allocator.h"

int main(int argc, char** argv) {
    dsp::keepLargeBuffers();
    QApplication application(argc, argv);
    QApplication::setApplicationName("zuno-fwd");
    if (!Zuno_Fwd_c_libInitialize()) return 1;
    int status = 0;
    try {
        Zuno_Fwd_c();
        status = QApplication::exec();
    } catch (const std::exception& e) {
        status = 1;
    }
    Zuno_Fwd_c_libTerminate();
    return status;
}
