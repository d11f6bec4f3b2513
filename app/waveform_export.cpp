#include "app/waveform_export.h"

#include <QAction>
#include <QMenu>
#include <exception>
#include <optional>

#include "app/busy_pointer.h"
#include "app/common_controller.h"
#include "model/sigmf.h"
#include "model/waveform_files.h"
#include "app/status_line.h"
#include "host/core/mat_file.h"
#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "zuno_version.h"

namespace app {

void saveWaveform(AppContext& ctx, const std::string& filename) {
    const std::string title = "Error Saving " + filename;
    const dsp::CVec& waveform = ctx.state.waveform;
    // Save As skips the readiness check; an empty file would only puzzle whoever opens it.
    if (ctx.state.appInfo.LastCalcTimeStamp.empty() || waveform.empty()) {
        ctx.dialogs.error(title, "No waveform has been calculated yet: press Calculate first.");
        return;
    }
    const std::string answer =
        ctx.dialogs.question("Special Save", "Select file format.", {"ASCII", "Torvik", "MAT"}, "ASCII");
    try {
        if (answer == "ASCII") {
            host::writeMatFile(filename, model::asciiExport(waveform));
        } else if (answer == "MAT") {
            host::writeMatFile(filename, model::matExport(waveform));
        } else if (answer == "Torvik") {
            std::string reason;
            if (!model::saveTorvikWaveform(waveform, filename, 1.0, &reason)) {
                ctx.dialogs.error(title, reason);
                return;
            }
        } else {
            return;
        }
        showStatus(ctx, "Saved " + filename);
    } catch (const std::exception& e) {
        ctx.dialogs.error(title, e.what());
    }
}

WaveformExport::WaveformExport(AppContext& ctx, CommonController& common) : ctx_(ctx), common_(common) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("menuSpecialSaveWave_Callback", [this](const host::Call& c) { menuSpecialSaveWave(c.handles); });
    m.add("menuFileExportSigMF_Callback", [this](const host::Call& c) { menuFileExportSigMF(c.handles); });
}

void WaveformExport::addMenuEntry(QWidget* mainWindow) {
    auto* file = mainWindow ? mainWindow->findChild<QMenu*>("menuFile") : nullptr;
    if (!file || file->findChild<QAction*>("menuFileExportSigMF")) return;
    // Below Save As, with the other ways of writing a file.
    const QList<QAction*> actions = file->actions();
    QAction* before = nullptr;
    for (qsizetype i = 0; i + 1 < actions.size(); ++i)
        if (actions[i]->objectName() == "menuFileSaveAs") before = actions[i + 1];
    auto* action = new QAction("Export Si&gMF...", file);
    action->setObjectName("menuFileExportSigMF");
    file->insertAction(before, action);
    host::bindCallback(action, mainWindow, kCommonModule, "menuFileExportSigMF_Callback", ctx_.registry);
}

void WaveformExport::menuSpecialSaveWave(const host::Handles& handles) {
    if (common_.checkWaveformReady(handles, "Save") == 0) return;
    const std::optional<host::FileChoice> choice = ctx_.dialogs.saveFile("*.txt");
    if (!choice) return;
    const BusyPointer busy(ctx_.mainWindow);
    try {
        // The N x 2 copy lives only until the file is written.
        host::writeMatFile(choice->directory + choice->name,
                           model::waveExport(ctx_.state.waveform, ctx_.state.waveformRate()));
        showStatus(ctx_, "Saved " + choice->directory + choice->name);
    } catch (const std::exception& e) {
        ctx_.dialogs.error("Error Saving " + choice->name, e.what());
    }
}

void WaveformExport::menuFileExportSigMF(const host::Handles& handles) {
    if (common_.checkWaveformReady(handles, "Export") == 0) return;
    const std::optional<host::FileChoice> choice = ctx_.dialogs.saveFile("*.sigmf-meta");
    if (!choice) return;
    const BusyPointer busy(ctx_.mainWindow);
    const AppState& s = ctx_.state;
    // The slots are described by the settings the waveform was calculated with, which the
    // user may have changed since.
    const model::Parameters& calculated = s.appInfo.LastCaluclatedParameterSet.value_or(s.parameters);
    try {
        const model::SigmfRecording recording =
            model::frameRecording(calculated, s.waveform.size(), s.waveformRate(), s.SigGenSettings.Frequency,
                           zuno::versionLine("zuno-fwd"));
        const std::string base = model::sigmfBaseName(choice->directory + choice->name);
        model::writeSigmf(base, s.waveform, recording);
        showStatus(ctx_, "Saved " + base + ".sigmf-meta");
    } catch (const std::exception& e) {
        ctx_.dialogs.error("Error Saving " + choice->name, e.what());
    }
}

}  // namespace app
