#pragma once
// A started application with scripted dialogs and a clock that only pretends to wait, its
// configuration file in a fresh temporary folder that is also the working directory.
#include <QApplication>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "app/application.h"
#include "host/qt/control.h"
#include "host/qt/dialogs.h"
#include "host/qt/registry.h"

namespace testsupport {

class FakeClock : public host::Clock {
public:
    host::ClockReading reading{2001, 12, 3, 9, 5, 3.7};
    double seconds = 100;      // the stopwatch
    double paused = 0;         // total time asked to pause
    double startupCost = 0;    // seconds that pass between the first two stopwatch readings
    host::ClockReading now() override { return reading; }
    double elapsed() override {
        const double t = seconds;
        seconds += startupCost;
        startupCost = 0;
        return t;
    }
    void pause(double s) override {
        paused += s;
        seconds += s;
    }
};

class AppTest : public testing::Test {
protected:
    std::filesystem::path dir;
    std::filesystem::path oldCwd;
    host::ScriptedDialogs dialogs;
    FakeClock clock;
    std::ostringstream console;
    std::unique_ptr<app::Application> application;
    QWidget* main = nullptr;

    void SetUp() override {
        oldCwd = std::filesystem::current_path();
        dir = std::filesystem::temp_directory_path() /
              ("zuno-gui-" + std::to_string(::getpid()) + "-" + std::to_string(counter()++));
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
        host::Registry::instance().setConsole(&console);
    }
    void TearDown() override {
        application.reset();
        host::Registry::instance().setConsole(nullptr);
        std::filesystem::current_path(oldCwd);
        std::filesystem::remove_all(dir);
    }
    // Makes and starts the application (call after preparing files in `dir`).
    void start() {
        application = std::make_unique<app::Application>(host::Registry::instance(), dialogs, clock);
        main = application->start();
    }
    app::AppContext& ctx() { return application->context(); }
    app::AppState& state() { return ctx().state; }
    QObject* control(const char* tag) { return host::Handles(main)[tag]; }
    host::Control c(const char* tag) { return host::Control(control(tag)); }
    std::string path(const char* name) const { return (dir / name).string(); }

private:
    static int& counter() {
        static int n = 0;
        return n;
    }
};

}  // namespace testsupport
