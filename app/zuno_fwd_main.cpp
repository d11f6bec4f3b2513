// zuno-fwd: hosts the library as its host runtime would: initialise, start, run the window
// system's loop until the main window closes, terminate.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "app/entry_points.h"
#include "dsp/allocator.h"
#include "host/core/command_line.h"
#include "host/core/text.h"
#include "zuno_version.h"

namespace {

// The desktop entry's name: the desktop matches the running windows to it (and its icon).
constexpr const char* kDesktopId = "org.zuno.ZunoFwd";

// The program's own options, then those of Qt's it passes on (Qt takes them with one dash or two).
const std::vector<host::OptionSpec>& optionTable() {
    static const std::vector<host::OptionSpec> table = {
        {"help", 'h', "", "print this help and exit"},
        {"version", 0, "", "print the program's version and exit"},
        {"platform", 0, "NAME", "the window system: xcb, wayland, offscreen (as QT_QPA_PLATFORM)"},
        {"display", 0, "DISPLAY", "the X server to use (as DISPLAY)"},
        {"style", 0, "STYLE", "the widget style, for example Fusion"},
        {"stylesheet", 0, "FILE", "a Qt style sheet applied to every window"},
        {"qwindowgeometry", 0, "GEOMETRY", "the main window's size and place, WIDTHxHEIGHT+X+Y"},
        {"reverse", 0, "", "lay the windows out right to left"},
        {"session", 0, "ID", "the desktop session to restore (given by the session manager)"},
    };
    return table;
}

bool isQtOption(std::string_view name) { return name != "help" && name != "version"; }

std::string usage() {
    return "Usage: zuno-fwd [OPTION]... [FILE.mat]...\n"
           "The desktop application: sets up a forward-link frame, computes its waveform\n"
           "and plays it on a signal generator. The first FILE.mat is a parameter file to open.\n"
           "\n"
           "Options:\n" +
           host::optionHelp(optionTable()) +
           "\n"
           "Exit status: 0 closed; 1 failed; 2 unusable command line.\n";
}

// The command line with Qt's single-dash spelling (-platform NAME) made the usual one.
std::vector<std::string> withLongOptions(int argc, char** argv) {
    std::vector<std::string> args;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") options = false;
        if (options && a.size() > 2 && a[0] == '-' && a[1] != '-') {
            const std::string name = a.substr(1, a.find('=') - 1);
            for (const auto& o : optionTable())
                if (o.name == name && isQtOption(name)) a.insert(0, "-");
        }
        args.push_back(a);
    }
    return args;
}

}  // namespace

int main(int argc, char** argv) {
    // The command line is read before Qt starts, so that help, version and refusals need no display.
    host::CommandLine line;
    try {
        line = host::parseCommandLine(optionTable(), withLongOptions(argc, argv));
    } catch (const host::UsageError& e) {
        // An unknown option is echoed: nothing reaches the terminal unescaped.
        std::fprintf(stderr, "zuno-fwd: %s\n%s\n", host::printable(e.what()).c_str(), host::usageHint("zuno-fwd").c_str());
        return host::kUsageStatus;
    }
    if (line.has("help")) {
        std::fputs(usage().c_str(), stdout);
        return 0;
    }
    if (line.has("version")) {
        std::puts(zuno::versionLine("zuno-fwd").c_str());
        return 0;
    }
    // What Qt is given: its own options in its own spelling. The files are ours alone (one named
    // -x after -- is still a file).
    std::vector<std::string> qtArgs{argv[0]};
    for (const auto& [name, value] : line.options) {
        qtArgs.push_back("-" + name);
        if (!value.empty()) qtArgs.push_back(value);
    }
    std::vector<char*> qtArgv;
    for (auto& a : qtArgs) qtArgv.push_back(a.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtArgs.size());

    dsp::keepLargeBuffers();
    QApplication application(qtArgc, qtArgv.data());
    QApplication::setApplicationName("zuno-fwd");
    QApplication::setApplicationVersion(QString::fromUtf8(zuno::kVersion.data(), zuno::kVersion.size()));
    QGuiApplication::setDesktopFileName(kDesktopId);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/%1.svg").arg(kDesktopId)));
    if (!Zuno_Fwd_c_libInitialize()) return 1;
    int status = 0;
    try {
        Zuno_Fwd_c();
        // A parameter file named on the command line, as the desktop passes the files chosen:
        // the window holds one set of settings, so the first.
        if (!line.operands.empty()) Zuno_Fwd_c_openFile(line.operands.front().c_str());
        status = QApplication::exec();
    } catch (const std::exception& e) {
        status = 1;
    }
    Zuno_Fwd_c_libTerminate();
    return status;
}
