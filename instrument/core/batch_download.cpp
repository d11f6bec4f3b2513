#include "instrument/core/batch_download.h"

#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>

#include "host/core/text.h"
#include "instrument/core/download_play.h"
#include "instrument/core/link_ops.h"
#include "instrument/core/waveform_title.h"
#include "model/settings_table.h"

namespace instrument {

void applySigGenSetting(model::SigGenSettings& settings, std::string_view nameEqualsValue) {
    const auto eq = nameEqualsValue.find('=');
    if (eq == std::string_view::npos)
        throw std::invalid_argument("--set expects NAME=VALUE, not '" + std::string(nameEqualsValue) + "'");
    std::string name(nameEqualsValue.substr(0, eq));
    const std::string text(nameEqualsValue.substr(eq + 1));
    constexpr std::string_view prefix = "SigGenSettings.";
    if (name.starts_with(prefix)) name.erase(0, prefix.size());
    host::Value record = model::toValue(settings);
    host::Value* field = record.find(name);
    if (!field) throw std::invalid_argument("SigGenSettings has no field '" + name + "'");
    if (name == "Title") {
        // Taken as the settings panel takes it; downloadAndPlay says which title was used.
        *field = host::Value(filterTitle(text));
    } else if (field->isText()) {
        *field = host::Value(text);
    } else {
        nlohmann::json v;
        try {
            v = nlohmann::json::parse(text);
        } catch (const nlohmann::json::exception&) {
        }
        const model::SettingRow& row = model::settingRow("SigGenSettings", name);
        if (!v.is_number())
            throw std::invalid_argument("SigGenSettings." + name + " takes a number, not '" + text + "'; it must be " +
                                        model::allowedText(row));
        model::checkSetting(row, v.get<double>(), "SigGenSettings." + name);
        *field = host::Value(v.get<double>());
    }
    model::fromValue(record, settings);
}

int downloadAndPlay(const dsp::CVec& waveform, const std::array<dsp::Bits, 2>& markers,
                    const model::SigGenSettings& settings, const std::string& address, std::ostream& out,
                    std::ostream& err, const hwio::Options& options) {
    model::Configuration config;
    config.type = "TCPIP";
    config.TCPIP.address = address;
    out << "title: " << host::printable(settings.Title) << std::endl;
    hwio::Link link(linkConfig(config), options);
    const auto lines = playLines_c(settings.Title, settings);
    const Delivery d = downloadAndPlay(link, waveform, markers, settings.Title, lines);
    if (d.download.status != 0) {
        err << "download failed: " << host::printable(d.download.response) << "\n";
        return 1;
    }
    // Answers are the instrument's bytes: shown escaped, never raw on the terminal.
    out << "download: " << host::printable(d.download.response) << "\n";
    for (std::size_t i = 0; i < d.lines.size(); ++i)
        out << lines[i] << " -> " << host::printable(d.lines[i].response) << "\n";
    if (d.setup.status != 0) {
        err << "playback failed: " << host::printable(d.setup.response) << "\n";
        return 1;
    }
    out << "playback: \"" << settings.Title << "\" is playing\n";
    return 0;
}

}  // namespace instrument
