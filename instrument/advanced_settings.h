#pragma once
// The advanced signal generator settings dialog (module VskConfigAdv_c): sample rate, baseband
// filter, I/Q scaling, modulator attenuation and four switches, edited on a working copy.
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>
#include <utility>

#include "model/records.h"
#include "host/qt/handles.h"
#include "host/qt/registry.h"

namespace instrument {

inline constexpr const char* kAdvancedModule = "VskConfigAdv_c";

class AdvancedSettings {
public:
    explicit AdvancedSettings(host::Registry& registry);
    ~AdvancedSettings();
    AdvancedSettings(const AdvancedSettings&) = delete;
    AdvancedSettings& operator=(const AdvancedSettings&) = delete;

    // VskConfigAdv_c(fig, settings): runs the dialog on `fig` (its own window, loaded on first
    // use, when null) starting from `settings` or the dialog's defaults; returns the answer and
    // the working copy. The window is hidden again, not destroyed.
    std::pair<std::string, model::SigGenSettings> run(QWidget* fig, std::optional<model::SigGenSettings> settings);

    static model::SigGenSettings defaultSettings();
    void InitializeFigure(const host::Handles& handles);
    void redrawAll(const host::Handles& handles);
    void updateSamplingRate(const host::Handles& handles);

    const model::SigGenSettings& newSettings() const { return newSettings_; }

private:
    host::Registry& registry_;
    model::SigGenSettings newSettings_ = defaultSettings();
    QPointer<QWidget> ownWindow_;
};

}  // namespace instrument
