#pragma once
// Waveform export from the application (module rfCommonUI): the Special Save choice behind
// Save As, the Special menu's Save Wave, and the SigMF recording of the File menu.
#include <QWidget>
#include <string>

#include "app/app_context.h"
#include "host/qt/handles.h"

namespace app {

class CommonController;

// Asks for the form ("ASCII", "Torvik", "MAT") and writes the last calculated waveform under
// `filename` exactly as given. Failures, and a waveform never calculated, are shown in an
// "Error Saving <filename>" box.
void saveWaveform(AppContext& ctx, const std::string& filename);

class WaveformExport {
public:
    // Registers menuSpecialSaveWave_Callback and menuFileExportSigMF_Callback in rfCommonUI.
    WaveformExport(AppContext& ctx, CommonController& common);

    // Adds the SigMF entry to the File menu of the started main window, above Exit.
    void addMenuEntry(QWidget* mainWindow);

    void menuSpecialSaveWave(const host::Handles& handles);
    void menuFileExportSigMF(const host::Handles& handles);

private:
    AppContext& ctx_;
    CommonController& common_;
};

}  // namespace app
