#include "app/file_menu.h"

#include <exception>
#include <filesystem>
#include <optional>

#include "model/carrier_file.h"
#include "model/parameter_file.h"
#include "app/status_line.h"
#include "app/waveform_export.h"
#include "host/core/compare.h"

namespace app {

namespace {

constexpr const char* kLoadErrorTitle = "Error Loading File";
// A Save As name starting with this prefix asks for the waveform instead of the settings.
constexpr std::string_view kWaveformPrefix = "velmora.";

}  // namespace

std::string addFileExtention(const std::string& name, const std::string& ext) {
    if (name.size() >= ext.size() && name.compare(name.size() - ext.size(), ext.size(), ext) == 0) return name;
    return name + ext;
}

bool samePlan(const model::CarrierPlan& a, const model::CarrierPlan& b) {
    if (a.plain() && b.plain()) return true;
    if (a.carriers.size() != b.carriers.size() || a.noiseCnDb != b.noiseCnDb || a.crestDb != b.crestDb ||
        a.quantizeOffsets != b.quantizeOffsets)
        return false;
    for (std::size_t i = 0; i < a.carriers.size(); ++i) {
        const model::Carrier &x = a.carriers[i], &y = b.carriers[i];
        if (x.offsetHz != y.offsetHz || x.gainDb != y.gainDb || x.pnOffset != y.pnOffset ||
            x.parameters.has_value() != y.parameters.has_value())
            return false;
        if (x.parameters && !host::compareStruct(model::toValue(*x.parameters), model::toValue(*y.parameters))) return false;
    }
    return true;
}

bool unsavedChanges(const AppContext& ctx) {
    return !host::compareStruct(model::toValue(ctx.state.parameters), model::toValue(ctx.fileParameters)) ||
           !samePlan(ctx.state.carrierPlan, ctx.filePlan);
}

FileMenu::FileMenu(AppContext& ctx) : ctx_(ctx) {
    host::Module& m = ctx_.registry.module(kCommonModule);
    m.add("menuFileNew_Callback", [this](const host::Call& c) { menuFileNew(c.handles); });
    m.add("menuFileOpen_Callback", [this](const host::Call& c) { menuFileOpen(c.handles); });
    m.add("menuFileSave_Callback", [this](const host::Call& c) { menuFileSave(c.handles); });
    m.add("menuFileSaveAs_Callback", [this](const host::Call& c) { menuFileSaveAs(c.handles); });
    m.add("menuFileExit_Callback", [this](const host::Call& c) { menuFileExit(c.handles); });
}

bool FileMenu::setAsideChanges(const host::Handles& handles) {
    if (!unsavedChanges(ctx_)) return true;
    const std::string& file = ctx_.state.configuration.LastParameterFilename;
    const std::string name = file.empty() ? "Untitled" : std::filesystem::path(file).filename().string();
    const std::string answer =
        ctx_.dialogs.question("Save Changes", "Save changes to " + name + "?", {"Save", "Discard", "Cancel"}, "Save");
    if (answer == "Discard") return true;
    if (answer != "Save") return false;
    menuFileSave(handles);
    return !unsavedChanges(ctx_);
}

void FileMenu::menuFileExit(const host::Handles& handles) {
    if (!setAsideChanges(handles)) return;
    ctx_.registry.call(kCommonModule, "AppShutDown", {nullptr, handles});
}

void FileMenu::redrawTitle(const host::Handles& handles) {
    ctx_.registry.call(kCommonModule, "redrawAppTitle", {nullptr, handles});
}

void FileMenu::menuFileNew(const host::Handles& handles) {
    if (!setAsideChanges(handles)) return;
    ctx_.state.configuration.LastParameterFilename.clear();
    usedThisRun_.clear();
    const std::string& module = ctx_.state.appInfo.ApplicationFunction;
    ctx_.registry.call(module, "InitializeParameters", {nullptr, handles});
    ctx_.registry.call(module, "InitializeSigGenSettings", {nullptr, handles});
    ctx_.fileParameters = ctx_.state.parameters;
    ctx_.filePlan = ctx_.state.carrierPlan;
    // The redraw also puts the unnamed title back.
    ctx_.registry.call(module, "redraw", {nullptr, handles});
}

void FileMenu::menuFileOpen(const host::Handles& handles) {
    if (!setAsideChanges(handles)) return;
    const std::optional<host::FileChoice> choice =
        ctx_.dialogs.openFile("*" + ctx_.state.appInfo.ParameterFileExtension);
    if (!choice) return;
    openNamed(addFileExtention(choice->directory + choice->name, ".mat"), handles);
}

bool FileMenu::openNamed(const std::string& filename, const host::Handles& handles) {
    if (!loadParameters(filename, handles)) return false;
    nameFile(filename, handles);
    return true;
}

void FileMenu::menuFileSave(const host::Handles& handles) {
    const std::string& last = ctx_.state.configuration.LastParameterFilename;
    // A name carried over from an earlier run belongs to settings that were never read in this
    // one: writing the current ones over it unasked could destroy the user's file, so such a
    // setting is saved like an unnamed one.
    if (!last.empty() && last == usedThisRun_) {
        if (saveParameters(last, ctx_.state.parameters, ctx_.state.carrierPlan)) redrawTitle(handles);
        return;
    }
    const std::optional<host::FileChoice> choice =
        ctx_.dialogs.saveFile("*" + ctx_.state.appInfo.ParameterFileExtension);
    if (!choice) return;
    saveAndName(addFileExtention(choice->directory + choice->name, ".mat"), handles);
}

void FileMenu::menuFileSaveAs(const host::Handles& handles) {
    const std::optional<host::FileChoice> choice =
        ctx_.dialogs.saveFile("*" + ctx_.state.appInfo.ParameterFileExtension);
    if (!choice) return;
    if (choice->name.size() > kWaveformPrefix.size() && choice->name.starts_with(kWaveformPrefix)) {
        saveWaveform(ctx_, choice->directory + choice->name.substr(kWaveformPrefix.size()));
        return;
    }
    saveAndName(addFileExtention(choice->directory + choice->name, ".mat"), handles);
}

bool FileMenu::saveParameters(const std::string& filename, const model::Parameters& record,
                              const model::CarrierPlan& plan) {
    try {
        model::writeParameterFile(filename, record, plan);
        ctx_.fileParameters = record;
        ctx_.filePlan = plan;
        showStatus(ctx_, "Saved " + filename);
        return true;
    } catch (const std::exception& e) {
        showStatus(ctx_, "Not saved: " + filename);
        ctx_.dialogs.error("Error Saving " + filename, e.what());
        return false;
    }
}

bool FileMenu::loadParameters(const std::string& filename, const host::Handles& handles) {
    model::Parameters loaded;
    model::CarrierPlan plan;
    try {
        loaded = model::readParameterFile(filename, ctx_.state.parameters.ParameterFileFormat_ID);
        plan = model::carrierPlanFrom(filename);
    } catch (const std::exception& e) {
        showStatus(ctx_, "Not opened: " + filename);
        ctx_.dialogs.error(kLoadErrorTitle, e.what());
        return false;
    }
    ctx_.state.parameters = std::move(loaded);
    ctx_.fileParameters = ctx_.state.parameters;
    ctx_.state.carrierPlan = std::move(plan);
    ctx_.filePlan = ctx_.state.carrierPlan;
    // The instrument's sample clock and RF blanking follow the file's oversampling and idle-slot
    // noise, as they follow those two controls: a waveform must never play at another clock.
    model::SigGenSettings& sig = ctx_.state.SigGenSettings;
    sig.SamplingRate = model::samplingRate(ctx_.state.parameters.OverSampling);
    sig.RFblanking = 1 - ctx_.state.parameters.IdleSlotGainActive;
    ctx_.registry.call(ctx_.state.appInfo.ApplicationFunction, "redraw", {nullptr, handles});
    showStatus(ctx_, "Opened " + filename);
    return true;
}

void FileMenu::saveAndName(const std::string& filename, const host::Handles& handles) {
    // The name is taken only once the file exists, so a failed save leaves the title and the
    // next File Save pointing at the last good file.
    if (saveParameters(filename, ctx_.state.parameters, ctx_.state.carrierPlan)) nameFile(filename, handles);
}

void FileMenu::nameFile(const std::string& filename, const host::Handles& handles) {
    ctx_.state.configuration.LastParameterFilename = filename;
    usedThisRun_ = filename;
    redrawTitle(handles);
}

}  // namespace app
