#include "scripted_dialogs.h"

namespace testsupport {

std::string ScriptedDialogs::question(const std::string& title, const std::string& text,
                                      const std::vector<std::string>& buttons, const std::string& defaultButton) {
    shown.push_back({"question", title, text, buttons, defaultButton, {}});
    if (answers.empty()) return {};
    std::string a = answers.front();
    answers.pop_front();
    return a;
}

void ScriptedDialogs::message(const std::string& title, const std::string& text) {
    shown.push_back({"message", title, text, {}, {}, {}});
}

void ScriptedDialogs::error(const std::string& title, const std::string& text) {
    shown.push_back({"error", title, text, {}, {}, {}});
}

std::optional<std::vector<std::string>> ScriptedDialogs::input(const std::string& title,
                                                               const std::vector<std::string>& prompts,
                                                               const std::vector<std::string>& defaults) {
    shown.push_back({"input", title, {}, prompts, {}, defaults});
    if (inputs.empty()) return std::nullopt;
    auto a = inputs.front();
    inputs.pop_front();
    return a;
}

std::optional<FileChoice> ScriptedDialogs::nextFile(const char* kind, const std::string& filter) {
    shown.push_back({kind, {}, filter, {}, {}, {}});
    if (files.empty()) return std::nullopt;
    auto a = files.front();
    files.pop_front();
    return a;
}

std::optional<FileChoice> ScriptedDialogs::openFile(const std::string& filter) { return nextFile("open", filter); }

std::optional<FileChoice> ScriptedDialogs::saveFile(const std::string& filter) { return nextFile("save", filter); }

}  // namespace testsupport
