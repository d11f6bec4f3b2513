#pragma once
// The File menu of the common controller: New, Open, Save, Save As and the parameter files.
#include <string>

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace app {

// name followed by ext unless name already ends in ext, compared exactly (case included).
std::string addFileExtention(const std::string& name, const std::string& ext);

class FileMenu {
public:
    // Registers menuFileNew_Callback, menuFileOpen_Callback, menuFileSave_Callback and
    // menuFileSaveAs_Callback in the module rfCommonUI.
    explicit FileMenu(AppContext& ctx);

    void menuFileNew(const host::Handles& handles);
    void menuFileOpen(const host::Handles& handles);
    void menuFileSave(const host::Handles& handles);
    void menuFileSaveAs(const host::Handles& handles);

    // Writes `fileParameters`; shows "Error Saving <filename>" with the reason and returns false
    // when that fails.
    bool saveParameters(const std::string& filename, const Parameters& record);
    // Reads and checks a parameter file; on success replaces `parameters` and redraws the window.
    bool loadParameters(const std::string& filename, const host::Handles& handles);

private:
    void saveAndName(const std::string& filename, const host::Handles& handles);
    // Makes `filename` the current parameter file and shows it in the title.
    void nameFile(const std::string& filename, const host::Handles& handles);

    AppContext& ctx_;
    // The parameter file opened or saved in this run; File Save writes without asking only to it.
    std::string usedThisRun_;
};

}  // namespace app
