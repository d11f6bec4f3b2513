#pragma once
// The File menu of the common controller: New, Open, Save, Save As and the parameter files.
#include <string>

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace app {

// name followed by ext unless name already ends in ext, compared exactly (case included).
std::string addFileExtention(const std::string& name, const std::string& ext);

// True when the frame settings or the carrier plan differ from those of the last parameter file
// opened or saved.
bool unsavedChanges(const AppContext& ctx);
// Plans that make the same waveform: equal, or both the plain frame.
bool samePlan(const model::CarrierPlan& a, const model::CarrierPlan& b);

class FileMenu {
public:
    // Registers menuFileNew_Callback, menuFileOpen_Callback, menuFileSave_Callback,
    // menuFileSaveAs_Callback and menuFileExit_Callback in the module rfCommonUI.
    explicit FileMenu(AppContext& ctx);

    void menuFileNew(const host::Handles& handles);
    void menuFileOpen(const host::Handles& handles);
    void menuFileSave(const host::Handles& handles);
    void menuFileSaveAs(const host::Handles& handles);
    // Shuts the application down (AppShutDown) unless the user keeps changed settings open.
    void menuFileExit(const host::Handles& handles);

    // Writes `fileParameters` and, beside it when not plain, `plan`; shows "Error Saving
    // <filename>" with the reason and returns false when that fails.
    bool saveParameters(const std::string& filename, const model::Parameters& record,
                        const model::CarrierPlan& plan = {});
    // Reads and checks a parameter file; on success replaces `parameters` and the carrier plan
    // (the plain one when the file holds none) and redraws the window.
    bool loadParameters(const std::string& filename, const host::Handles& handles);
    // File > Open once the file is chosen: loads it and makes it the current parameter file.
    bool openNamed(const std::string& filename, const host::Handles& handles);

private:
    // Before changed settings are set aside: asks "Save changes to <file>?". True when the
    // settings are saved or discarded, false when the user keeps them (Cancel, a closed
    // question, a save that did not happen).
    bool setAsideChanges(const host::Handles& handles);
    void redrawTitle(const host::Handles& handles);
    void saveAndName(const std::string& filename, const host::Handles& handles);
    // Makes `filename` the current parameter file and shows it in the title.
    void nameFile(const std::string& filename, const host::Handles& handles);

    AppContext& ctx_;
    // The parameter file opened or saved in this run; File Save writes without asking only to it.
    std::string usedThisRun_;
};

}  // namespace app
