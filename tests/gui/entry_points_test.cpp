#include <QApplication>
#include <QLineEdit>
#include <dlfcn.h>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "model/parameter_file.h"
#include "model/records.h"
#include "tests/support/scratch_dir.h"

// The host finds the library's three entries by their C names.
TEST(EntryPoints, LibraryExportsItsEntries) {
    void* lib = dlopen(ZUNO_FWD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char* entry : {"Zuno_Fwd_c_libInitialize", "Zuno_Fwd_c_libTerminate", "Zuno_Fwd_c"})
        EXPECT_NE(dlsym(lib, entry), nullptr) << entry;
    dlclose(lib);
}

// zuno-fwd FILE, as the desktop entry starts it for a parameter file (Exec=zuno-fwd %F): the
// application starts, opens the file named relative to the working directory, and shows it.
class EntryPointsOpen : public testsupport::ScratchDirTest {};

TEST_F(EntryPointsOpen, TheParameterFileNamedOnTheCommandLineIsOpened) {
    model::Parameters p = model::InitializeParameters();
    p.PilotOffsetIndex = 77;
    model::writeParameterFile(path("lab.mat"), p);
    const auto oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(path(""));

    // The library as the program loads it, entries by their C names.
    void* lib = dlopen(ZUNO_FWD_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto entry = [lib](const char* name) { return dlsym(lib, name); };
    const auto initialize = reinterpret_cast<int (*)()>(entry("Zuno_Fwd_c_libInitialize"));
    const auto run = reinterpret_cast<void (*)()>(entry("Zuno_Fwd_c"));
    const auto open = reinterpret_cast<int (*)(const char*)>(entry("Zuno_Fwd_c_openFile"));
    const auto terminate = reinterpret_cast<void (*)()>(entry("Zuno_Fwd_c_libTerminate"));
    ASSERT_TRUE(initialize && run && open && terminate);

    ASSERT_EQ(initialize(), 1);
    run();
    QWidget* main = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->findChild<QLineEdit*>("txtOffsetIndex")) main = w;
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->findChild<QLineEdit*>("txtOffsetIndex")->text(), "0");
    EXPECT_EQ(open("lab.mat"), 1);
    EXPECT_EQ(main->findChild<QLineEdit*>("txtOffsetIndex")->text(), "77");
    EXPECT_THAT(main->windowTitle().toStdString(), testing::HasSubstr("lab.mat"));
    EXPECT_EQ(open(nullptr), 0);
    terminate();
    dlclose(lib);
    std::filesystem::current_path(oldCwd);
}
