#include "app/entry_points.h"

#include <QApplication>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/application.h"
#include "host/qt/dialogs.h"
#include "host/qt/qt_clock.h"
#include "host/qt/registry.h"

namespace {

// What the library holds between its entries: the host services and the running application.
struct Library {
    int argc = 1;
    char name[9] = "zuno-fwd";
    char* argv[2] = {name, nullptr};
    std::unique_ptr<QApplication> ownApplication;
    host::QtDialogs dialogs;
    host::QtClock clock;
    std::unique_ptr<app::Application> application;
};

std::unique_ptr<Library>& library() {
    static std::unique_ptr<Library> lib;
    return lib;
}

}  // namespace

extern "C" int Zuno_Fwd_c_libInitialize(void) {
    auto& lib = library();
    if (lib) return 1;
    lib = std::make_unique<Library>();
    if (!QApplication::instance()) lib->ownApplication = std::make_unique<QApplication>(lib->argc, lib->argv);
    return 1;
}

extern "C" void Zuno_Fwd_c_libTerminate(void) {
    auto& lib = library();
    if (!lib) return;
    lib->application.reset();
    lib.reset();
}

extern "C" void Zuno_Fwd_c(void) {
    auto& lib = library();
    if (!lib) Zuno_Fwd_c_libInitialize();
    lib->application = std::make_unique<app::Application>(host::Registry::instance(), lib->dialogs, lib->clock);
    try {
        lib->application->start();
    } catch (const std::exception& e) {
        // Start-up runs outside the error trap: report and leave nothing half open.
        std::cerr << "zuno-fwd: " << e.what() << std::endl;
        lib->dialogs.error("Start-up Failed", std::string("The application could not start:\n") + e.what());
        lib->application.reset();
        throw;
    }
}

extern "C" int Zuno_Fwd_c_openFile(const char* filename) {
    auto& lib = library();
    if (!lib || !lib->application || !filename) return 0;
    // The title and the next run's File > Save name the file wherever the program was started.
    std::error_code ec;
    const std::filesystem::path path = std::filesystem::absolute(filename, ec);
    return lib->application->openParameterFile(ec ? std::string(filename) : path.string()) ? 1 : 0;
}
