#pragma once
// The signal generator panel of the main window (module VSKconfig_c): carrier frequency with
// its unit, output power, waveform title, and the button that opens the advanced settings.
#include <QWidget>
#include <functional>

#include "model/records.h"
#include "host/qt/handles.h"
#include "host/qt/registry.h"
#include "instrument/advanced_settings.h"

namespace instrument {

inline constexpr const char* kPanelModule = "VSKconfig_c";

class SigGenPanel {
public:
    // `advancedWindow` gives the hidden advanced settings window when the button is pressed.
    SigGenPanel(host::Registry& registry, model::SigGenSettings& settings, AdvancedSettings& advanced,
                std::function<QWidget*()> advancedWindow);
    ~SigGenPanel();
    SigGenPanel(const SigGenPanel&) = delete;
    SigGenPanel& operator=(const SigGenPanel&) = delete;

    void InitializeSigGenScreenObjects(const host::Handles& handles);
    void redrawSigGenSettings(const host::Handles& handles);
    void updateFrequency(const host::Handles& handles);
    void txtAmplitude(QObject* control);
    void txtWaveformTitle(QObject* control, const host::Handles& handles);
    void pbAdvancedSettings();

private:
    host::Registry& registry_;
    model::SigGenSettings& settings_;
    AdvancedSettings& advanced_;
    std::function<QWidget*()> advancedWindow_;
};

}  // namespace instrument
