#pragma once
// The standard dialogs as the window tests answer them: from queues, recording every title and text.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "host/qt/dialogs.h"

namespace testsupport {

using host::FileChoice;

// Answers from queues filled by a test and records what was shown. An empty queue answers as
// a dialog closed by its frame would (empty text, nothing).
class ScriptedDialogs : public host::Dialogs {
public:
    struct Shown {
        std::string kind;  // "question", "message", "error", "input", "open", "save"
        std::string title;
        std::string text;  // the text, or the file filter
        std::vector<std::string> buttons;  // question buttons, or input prompts
        std::string defaultButton;         // question default
        std::vector<std::string> defaults;  // input defaults
    };

    std::deque<std::string> answers;
    std::deque<std::optional<std::vector<std::string>>> inputs;
    std::deque<std::optional<FileChoice>> files;
    std::vector<Shown> shown;

    std::string question(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                         const std::string& defaultButton) override;
    void message(const std::string& title, const std::string& text) override;
    void error(const std::string& title, const std::string& text) override;
    std::optional<std::vector<std::string>> input(const std::string& title, const std::vector<std::string>& prompts,
                                                  const std::vector<std::string>& defaults) override;
    std::optional<FileChoice> openFile(const std::string& filter) override;
    std::optional<FileChoice> saveFile(const std::string& filter) override;

private:
    std::optional<FileChoice> nextFile(const char* kind, const std::string& filter);
};

}  // namespace testsupport
