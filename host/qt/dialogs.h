#pragma once
// The standard dialogs, behind an interface: the application uses the Qt ones, tests a scripted
// one (tests/gui/scripted_dialogs.h).
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

}  // namespace host
