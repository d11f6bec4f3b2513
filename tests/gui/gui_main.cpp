// Runs the window tests inside one QApplication on the offscreen platform.
#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // The smallest screen the application is used on: every window must fit it.
    setenv("QT_QPA_PLATFORM", "offscreen:configfile=" ZUNO_TEST_DATA "/offscreen_1024x700.json", 0);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
