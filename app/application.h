#pragma once
// One running application: its state and its modules, registered in the host's registry for
// as long as it lives.
#include <memory>
#include <string>

#include "app/app_context.h"

namespace editors {
class Editors;
}

namespace app {

class MainWindow;
class CommonController;
class FileMenu;
class WaveformExport;
class PlotMenu;
class MeasureMenu;
class InstrumentCommands;

class Application {
public:
    Application(host::Registry& registry, host::Dialogs& dialogs, host::Clock& clock);
    ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Zuno_Fwd_GUI_c without arguments: start-up; returns the main window.
    QWidget* start();
    // Opens a parameter file in the started application as File > Open does.
    bool openParameterFile(const std::string& filename);

    AppContext& context() { return ctx_; }
    MainWindow& mainWindow() { return *main_; }
    CommonController& common() { return *common_; }
    FileMenu& files() { return *files_; }
    editors::Editors& editors() { return *editors_; }
    InstrumentCommands& instrument() { return *instrument_; }

private:
    AppContext ctx_;
    std::unique_ptr<MainWindow> main_;
    std::unique_ptr<CommonController> common_;
    std::unique_ptr<FileMenu> files_;
    std::unique_ptr<WaveformExport> export_;
    std::unique_ptr<PlotMenu> plots_;
    std::unique_ptr<MeasureMenu> measure_;
    std::unique_ptr<editors::Editors> editors_;
    std::unique_ptr<InstrumentCommands> instrument_;
};

}  // namespace app
