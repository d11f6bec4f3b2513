// libFuzzer target: arbitrary bytes as the JSON settings a Python script hands the module, and
// as a NAME=VALUE setting of the command line. What is taken must come back out as settings
// that are taken again; every refusal must be an exception with a message.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "model/parameter_overrides.h"
#include "model/records.h"
#include "model/settings_source.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const bool asSetting : {false, true}) {
        model::Parameters p = model::InitializeParameters();
        try {
            if (asSetting) model::applySetting(p, text);
            else model::applySettingsText(p, text);
        } catch (const std::exception& e) {
            if (e.what()[0] == '\0') __builtin_trap();
            continue;
        }
        model::Parameters again = model::InitializeParameters();
        try {
            model::applySettingsText(again, model::settingsJson(p).dump());
        } catch (const std::exception&) {
            __builtin_trap();  // the program's own settings must read back
        }
    }
    return 0;
}
