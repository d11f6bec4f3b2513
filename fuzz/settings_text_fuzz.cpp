// libFuzzer target: arbitrary bytes as the JSON settings a Python script hands the module, and
// as a NAME=VALUE setting of the command line. What is taken must come back out as settings
// that are taken again; every refusal must be an exception with a message.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "app/core/parameter_overrides.h"
#include "app/core/records.h"
#include "app/core/settings_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool asSetting : {false, true}) {
        app::Parameters p = app::InitializeParameters();
        try {
            if (asSetting) app::applySetting(p, text);
            else app::applySettingsText(p, text);
        } catch (const std::exception& e) {
            if (e.what()[0] == '\0') __builtin_trap();
            continue;
        }
        app::Parameters again = app::InitializeParameters();
        try {
            app::applySettingsText(again, app::settingsJson(p).dump());
        } catch (const std::exception&) {
            __builtin_trap();  // the program's own settings must read back
        }
    }
    return 0;
}
