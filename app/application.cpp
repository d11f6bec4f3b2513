#include "app/application.h"

#include "app/common_controller.h"
#include "app/file_menu.h"
#include "app/instrument_commands.h"
#include "app/main_window.h"
#include "app/measure_menu.h"
#include "app/plot_menu.h"
#include "app/waveform_export.h"
#include "app/window_parts.h"
#include "editors/editors.h"
#include "host/qt/binder.h"

#include <QLocale>
#include <QtGlobal>
#include <clocale>

// The layouts and images live in a static library: nothing would pull them in otherwise.
static void loadResources() { Q_INIT_RESOURCE(resources); }

namespace app {

Application::Application(host::Registry& registry, host::Dialogs& dialogs, host::Clock& clock)
    : ctx_(registry, dialogs, clock) {
    loadResources();
    // Numbers are read and written with "." whatever the desktop's locale: Qt has set the C
    // library's locale from the environment, and a decimal comma would turn "-12.5" into -12
    // and "2.2" into "2,2" in fields, files and SCPI lines alike.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    main_ = std::make_unique<MainWindow>(ctx_);
    common_ = std::make_unique<CommonController>(ctx_);
    files_ = std::make_unique<FileMenu>(ctx_);
    export_ = std::make_unique<WaveformExport>(ctx_, *common_);
    plots_ = std::make_unique<PlotMenu>(ctx_, *common_);
    measure_ = std::make_unique<MeasureMenu>(ctx_, *common_);
    editors_ = std::make_unique<editors::Editors>(registry, dialogs, [this] { return ctx_.figureList.figRPCsetup.data(); });
    instrument_ = std::make_unique<InstrumentCommands>(ctx_, *common_);
    ctx_.slotSetup = [this](QWidget* fig, const model::Parameters::Slot& slot) { return editors_->slot.open(fig, slot); };
    ctx_.carrierSetup = [this](QWidget* fig, const model::Parameters& main, const model::CarrierPlan& plan) {
        return editors_->carriers.open(fig, main, plan);
    };
    registerAboutBox(registry);
}

Application::~Application() {
    for (auto& [id, w] : ctx_.clientWindows) delete w.data();
    if (ctx_.mainWindow) delete ctx_.mainWindow.data();
    for (const char* m : {kMainModule, kCommonModule, kAboutModule}) ctx_.registry.remove(m);
}

QWidget* Application::start() {
    QWidget* window = main_->start();
    export_->addMenuEntry(window);
    return window;
}

bool Application::openParameterFile(const std::string& filename) {
    return files_->openNamed(filename, host::Handles(ctx_.mainWindow));
}

}  // namespace app
