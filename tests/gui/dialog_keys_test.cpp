// Enter and Escape in the application's own windows, from the keyboard alone.
#include <QPushButton>
#include <QTimer>
#include <gmock/gmock.h>

#include "app/instrument_commands.h"
#include "app_fixture.h"
#include "host/qt/modal.h"
#include "instrument/connection_dialog.h"

using testsupport::AppTest;

namespace {

class KeysTest : public AppTest {
protected:
    // Runs `script` inside the wait on `window` that starts next. The script's keys should end
    // the wait; when they do not, that fails the test and the wait is ended here.
    void inside(QWidget* window, std::function<void()> script) {
        QTimer::singleShot(0, window, [window, script] {
            answered(window);
            script();
            if (!hasAnswered(window)) {
                ADD_FAILURE() << window->objectName().toStdString() << " still waits after the keys";
                host::uiresume(window);
            }
        });
    }
    // The closing buttons store their answer with the window before its wait ends.
    static void answered(QWidget* window) { window->setProperty("answer", QString()); }
    static bool hasAnswered(QWidget* window) { return !window->property("answer").toString().isEmpty(); }
    // Typed without Enter: the key that ends the dialog comes next.
    static void typeOnly(QObject* field, const QString& text) { testsupport::type(field, text, false); }
};

}  // namespace

TEST_F(KeysTest, EnterIsOkAndEscapeIsCancelInTheSettingsDialogs) {
    start();
    QWidget* adv = ctx().figureList.AdvSettings;
    inside(adv, [&] {
        typeOnly(host::Handles(adv)["txtScaling"], "50");
        testsupport::key(Qt::Key_Return);  // takes the field, then OK
    });
    testsupport::press(control("pbAdvancedSettings"));
    EXPECT_FALSE(adv->isVisible());
    EXPECT_EQ(state().SigGenSettings.Scaling, 50);

    inside(adv, [&] {
        typeOnly(host::Handles(adv)["txtScaling"], "60");
        testsupport::key(Qt::Key_Tab);
        testsupport::key(Qt::Key_Escape);
    });
    testsupport::press(control("pbAdvancedSettings"));
    EXPECT_FALSE(adv->isVisible());
    EXPECT_EQ(state().SigGenSettings.Scaling, 50) << "Escape is Cancel";

    // Slot setup, and RPC setup nested in it.
    QWidget* slot = ctx().figureList.figSlotSetup;
    QWidget* rpc = ctx().figureList.figRPCsetup;
    inside(slot, [&] {
        typeOnly(host::Handles(slot)["txtRAslotGain2"], "7");
        inside(rpc, [&] {
            testsupport::press(host::Handles(rpc)["chkRPCchnActive5"]);
            testsupport::key(Qt::Key_Escape);
        });
        testsupport::press(host::Handles(slot)["pbPRCslotSetup1"]);
        EXPECT_FALSE(rpc->isVisible());
        inside(rpc, [&] {
            testsupport::press(host::Handles(rpc)["chkRPCchnActive6"]);
            testsupport::key(Qt::Key_Enter);  // the keypad's Enter as well
        });
        testsupport::press(host::Handles(slot)["pbPRCslotSetup1"]);
        EXPECT_TRUE(slot->isVisible()) << "the RPC dialog's Enter is its own";
        typeOnly(host::Handles(slot)["txtRAslotGain2"], "7");
        testsupport::key(Qt::Key_Return);
    });
    testsupport::press(control("pbSlotSetup"));
    EXPECT_FALSE(slot->isVisible());
    const auto& s = state().parameters.slot;
    EXPECT_EQ(s.RAslotGain[1], 7);
    EXPECT_EQ(s.RPCslotActive(0, 4), 0) << "Escape cancelled the RPC dialog";
    EXPECT_EQ(s.RPCslotActive(0, 5), 1) << "Enter took it";

    inside(slot, [&] {
        typeOnly(host::Handles(slot)["txtRAslotGain2"], "-9");
        testsupport::key(Qt::Key_Tab);
        testsupport::key(Qt::Key_Escape);
    });
    testsupport::press(control("pbSlotSetup"));
    EXPECT_EQ(state().parameters.slot.RAslotGain[1], 7);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(KeysTest, EnterAndEscapeInTheConnectionDialog) {
    start();
    auto& connection = application->instrument().connection();
    // The keys should end the dialog; when they do not, Cancel does, after the failure.
    auto endStill = [&] {
        if (!hasAnswered(connection.window())) {
            ADD_FAILURE() << "the connection dialog is still open";
            testsupport::press(host::Handles(connection.window())["pbCancel"]);
        }
    };
    QTimer::singleShot(0, [&] {
        answered(connection.window());
        typeOnly(host::Handles(connection.window())["editTimeout"], "3");
        testsupport::key(Qt::Key_Return);
        endStill();
    });
    auto [ok, kept] = connection.KV_SigGen(main, std::nullopt, "c");
    EXPECT_EQ(ok, "OK");
    EXPECT_EQ(application->instrument().linkOptions.timeout, 3);
    QTimer::singleShot(0, [&] {
        answered(connection.window());
        typeOnly(host::Handles(connection.window())["editTimeout"], "4");
        testsupport::key(Qt::Key_Escape);
        endStill();
    });
    auto [cancel, same] = connection.KV_SigGen(main, std::nullopt, "c");
    EXPECT_EQ(cancel, "Cancel");
    EXPECT_EQ(application->instrument().linkOptions.timeout, 3);
}

TEST_F(KeysTest, EscapeClosesTheAboutBox) {
    start();
    bool shown = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == "figureKV_About") shown = true;
        testsupport::key(Qt::Key_Escape);
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && w->objectName() == "figureKV_About") {
                ADD_FAILURE() << "Escape left the about box open";
                w->close();
            }
    });
    trigger("menuHelpAbout");
    EXPECT_TRUE(shown);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w->objectName() == "figureKV_About");
}

TEST_F(KeysTest, ReturnPressesAFocusedButtonOfTheMainWindow) {
    start();
    auto* calculate = qobject_cast<QPushButton*>(control("pbCalculate"));
    QApplication::setActiveWindow(main);
    calculate->setFocus();
    testsupport::key(Qt::Key_Return);
    EXPECT_FALSE(state().appInfo.LastCalcTimeStamp.empty()) << "Return calculated";
    EXPECT_EQ(state().waveform.size(), 163840u);

    // Enter in a field takes the field and nothing more: the main window has no default button.
    testsupport::type(control("txtOversampling"), "6");
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(state().waveform.size(), 163840u);
    testsupport::key(Qt::Key_Escape);
    EXPECT_TRUE(main->isVisible()) << "Escape never closes the main window";
}
