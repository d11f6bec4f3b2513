#pragma once
// The standard dialogs, behind an interface: the application uses the Qt ones, tests a scripted
// one that answers from a queue and records every title and text.
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace host {

struct FileChoice {
    std::string directory;  // ends with its separator
    std::string name;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Buttons (one to three) by their labels; returns the label pressed, empty when the dialog
    // was closed by its frame.
    virtual std::string question(const std::string& title, const std::string& text,
                                 const std::vector<std::string>& buttons, const std::string& defaultButton) = 0;
    virtual void message(const std::string& title, const std::string& text) = 0;
    virtual void error(const std::string& title, const std::string& text) = 0;
    // One line per prompt, starting from the defaults; nothing when cancelled.
    virtual std::optional<std::vector<std::string>> input(const std::string& title,
                                                          const std::vector<std::string>& prompts,
                                                          const std::vector<std::string>& defaults) = 0;
    // filter such as "*.mat"; nothing when cancelled.
    virtual std::optional<FileChoice> openFile(const std::string& filter) = 0;
    virtual std::optional<FileChoice> saveFile(const std::string& filter) = 0;
};

class QtDialogs : public Dialogs {
public:
    std::string question(const std::string& title, const std::string& text, const std::vector<std::string>& buttons,
                         const std::string& defaultButton) override;
    void message(const std::string& title, const std::string& text) override;
    void error(const std::string& title, const std::string& text) override;
    std::optional<std::vector<std::string>> input(const std::string& title, const std::vector<std::string>& prompts,
                                                  const std::vector<std::string>& defaults) override;
    std::optional<FileChoice> openFile(const std::string& filter) override;
    std::optional<FileChoice> saveFile(const std::string& filter) override;
};

// Answers from queues filled by a test and records what was shown. An empty queue answers as
// a dialog closed by its frame would (empty text, nothing).
class ScriptedDialogs : public Dialogs {
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

}  // namespace host
