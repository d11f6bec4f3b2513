#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>
#include <QtTest/qtestspontaneevent.h>
#include <QWheelEvent>
#include <cmath>
#include <functional>
#include <gmock/gmock.h>
#include <optional>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "editors/editors.h"
#include "host/qt/modal.h"

using testsupport::AppTest;

namespace {

class RpcSetupTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        win = ctx().figureList.figRPCsetup;
        ASSERT_NE(win, nullptr);
        bar = qobject_cast<QScrollBar*>(host::Handles(win)["sldrScrollbar"]);
        ASSERT_NE(bar, nullptr);
    }

    // Opens the dialog with `script` run inside its wait; a script stopped by a failed
    // assertion still ends the wait.
    std::pair<std::string, editors::RpcChannels> open(std::optional<editors::RpcChannels> chn, std::optional<int> slot,
                                                      std::function<void()> script) {
        QTimer::singleShot(0, win, [this, script] {
            script();
            if (HasFatalFailure() && host::isWaiting(win)) host::uiresume(win);
        });
        return application->editors().rpc.open(win, std::move(chn), slot);
    }

    QObject* in(const std::string& tag) { return host::Handles(win)[tag]; }
    host::Control c(const std::string& tag) { return host::Control(in(tag)); }
    std::string row(int r) { return std::to_string(r); }

    void press(const std::string& tag) { testsupport::press(in(tag)); }
    void tick(int r) { testsupport::press(in("chkRPCchnActive" + row(r))); }
    // Typed and left with Tab: Enter would press OK.
    void type(const std::string& tag, const char* text) {
        testsupport::type(in(tag), text, false);
        testsupport::key(Qt::Key_Tab);
    }
    void choose(const char* tag, int position) { testsupport::choose(in(tag), position); }
    void wheel(const std::string& tag, int delta) {
        auto* w = qobject_cast<QWidget*>(in(tag));
        const QPointF at(5, 5);
        QWheelEvent e(at, w->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                      false);
        // As from the window system: only then does a turn go up to the parents.
        QSpontaneKeyEvent::setSpontaneous(&e);
        qApp->notify(w, &e);
    }
    // The channel numbers and MAC indices shown in rows 1 and 16.
    std::vector<std::string> labels() {
        return {c("txtRPCchn1").string(), c("txtMACindex1").string(), c("txtRPCchn16").string(),
                c("txtMACindex16").string()};
    }
    const editors::RpcChannels& working() { return application->editors().rpc.chn(); }

    QWidget* win = nullptr;
    QScrollBar* bar = nullptr;
};

// Channels k with on(k) active, the rest off; values 0, gains 0 dB.
editors::RpcChannels channels(std::function<bool(int)> on) {
    editors::RpcChannels chn = editors::defaultChnStruct();
    for (int k = 0; k < 59; ++k) chn.Active[k] = on(k) ? 1 : 0;
    return chn;
}

}  // namespace

TEST_F(RpcSetupTest, ScrollBarMovesSixteenRowsOverTheFiftyNineChannels) {
    EXPECT_EQ(bar->maximum() - bar->minimum(), 43);
    EXPECT_EQ(bar->value(), bar->minimum()) << "the handle at the top";
    EXPECT_EQ(c("chkRPCchnActive4").tooltip(), "Enables / Disables this\nRPC Channel for the slot");
    EXPECT_EQ(c("txtRPCchnValue16").tooltip(), "Sets the value of the\nRPC Channel for this slot.\nValid Range: 0 or 1");
    EXPECT_EQ(c("txtRPCchnGain1").tooltip(),
              "Sets the gain of the\nRPC channel for this slot\nrelative to the Pilot Channel Power.\n"
              "Valid Range: -30dB to +30dB");
    EXPECT_EQ(c("pldRPCgain").tooltip(),
              "FastEdit\nAdjusts all gains\nof all RPC channels\n(Note: Use Normalize to\nset the total power of\n"
              "all RPC Channels");

    auto chn = channels([](int k) { return k % 2 == 0; });
    for (int k = 0; k < 59; ++k) chn.Gain[k] = -(k % 20);
    auto [answer, edited] = open(chn, 5, [&] {
        EXPECT_EQ(c("figRPCsetup").name(), "RPC Setup: Slot #5");
        EXPECT_EQ(labels(), (std::vector<std::string>{"0", "5", "15", "20"}));
        EXPECT_EQ(c("txtRPCchnGain16").string(), "-15");
        EXPECT_FALSE(c("txtRPCchnGain16").enabled());
        EXPECT_TRUE(c("txtRPCchnValue15").enabled());

        // The keys move the rows the way the bar's handle moves.
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Down);
        EXPECT_EQ(application->editors().rpc.scrollIndex(), 1);
        EXPECT_EQ(labels(), (std::vector<std::string>{"1", "6", "16", "21"}));
        // So does the wheel over the rows; over a FastEdit pop-up it changes nothing.
        wheel("txtRPCchnGain4", -120);
        EXPECT_GT(application->editors().rpc.scrollIndex(), 1);
        wheel("txtRPCchn2", 120);
        EXPECT_EQ(application->editors().rpc.scrollIndex(), 1);
        wheel("pldRPCactive", -120);
        wheel("pldRPCgain", 120);
        EXPECT_EQ(working(), chn);

        bar->setValue(bar->maximum());
        EXPECT_EQ(labels(), (std::vector<std::string>{"43", "48", "58", "63"}));
        EXPECT_EQ(c("chkRPCchnActive16").value(), 1);
        tick(16);
        EXPECT_EQ(working().Active[58], 0);
        EXPECT_FALSE(c("txtRPCchnGain16").enabled());
        tick(16);
        type("txtRPCchnGain16", "45");
        EXPECT_EQ(c("txtRPCchnGain16").string(), "30");
        type("txtRPCchnGain14", "2.4");
        type("txtRPCchnGain12", "-2.5");
        type("txtRPCchnGain10", "words");
        type("txtRPCchnValue16", "0.5");
        type("txtRPCchnValue14", "1");
        type("txtRPCchnValue14", "-0.4");
        EXPECT_EQ(c("txtRPCchnValue14").string(), "0");
        press("pbOK");
    });
    EXPECT_EQ(answer, "OK");
    EXPECT_FALSE(win->isVisible());
    EXPECT_EQ(edited.Active[58], 1);
    EXPECT_EQ(edited.Gain[58], 30);
    EXPECT_EQ(edited.Gain[56], 2);
    EXPECT_EQ(edited.Gain[54], -3);
    EXPECT_EQ(edited.Gain[52], -12) << "text that is not a number keeps the gain";
    EXPECT_EQ(edited.Value[58], 1);
    EXPECT_EQ(edited.Value[56], 0);
    EXPECT_EQ(edited.Gain[0], chn.Gain[0]);

    // The next opening keeps the scroll position; Cancel still hands back the working record.
    auto [again, unused] = open(std::nullopt, std::nullopt, [&] {
        EXPECT_EQ(bar->value(), bar->maximum());
        EXPECT_EQ(labels(), (std::vector<std::string>{"43", "48", "58", "63"}));
        EXPECT_EQ(c("txtRPCchnGain16").string(), "0");
        EXPECT_FALSE(c("txtRPCchnGain16").enabled());
        press("pbCancel");
    });
    EXPECT_EQ(again, "Cancel");
    EXPECT_EQ(unused, editors::defaultChnStruct());
    EXPECT_TRUE(console.str().empty()) << console.str();
}

// The patterns themselves are those of the slot dialog; here they cover 59 channels.
TEST_F(RpcSetupTest, FastEditSetsAllFiftyNineChannels) {
    application->editors().setUniform([k = 0]() mutable { return (k++ % 2) ? 0.8 : 0.3; });
    open(std::nullopt, std::nullopt, [&] {
        auto count = [](const std::vector<double>& v) { return std::count(v.begin(), v.end(), 1.0); };
        choose("pldRPCactive", 2);
        EXPECT_EQ(count(working().Active), 45);
        for (int ch = 3; ch <= 55; ch += 4) EXPECT_EQ(working().Active[ch], 0) << ch;
        EXPECT_EQ(c("chkRPCchnActive4").value(), 0);
        EXPECT_FALSE(c("txtRPCchnGain4").enabled());
        EXPECT_TRUE(c("txtRPCchnGain5").enabled());
        EXPECT_EQ(c("pldRPCactive").value(), 0);  // back to "FastEdit"
        choose("pldRPCactive", 4);
        EXPECT_EQ(count(working().Active), 14);
        choose("pldRPCactive", 6);
        EXPECT_EQ(count(working().Active), 29);  // 0.3, 0.8, 0.3, ...

        choose("pldRPCvalue", 3);
        EXPECT_EQ(working().Value[0], 0);
        EXPECT_EQ(working().Value[58], 0);
        EXPECT_EQ(count(working().Value), 29);
        EXPECT_EQ(c("txtRPCchnValue2").string(), "1");

        choose("pldRPCgain", 5);
        EXPECT_EQ(working().Gain, std::vector<double>(59, -10));
        EXPECT_EQ(c("txtRPCchnGain9").string(), "-10");
        choose("pldRPCgain", 6);
        EXPECT_EQ(working().Gain[0], 0);   // the 60th draw, 0.8: round(13 * 0.8) - 10
        EXPECT_EQ(working().Gain[1], -6);  // round(13 * 0.3) - 10
        press("pbOK");
    });
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST_F(RpcSetupTest, NormalizeShiftsEveryGainToTheTypedTotal) {
    const auto three = channels([](int k) { return k == 0 || k == 10 || k == 58; });
    const double expected = -20 * std::log10(3.0);

    dialogs.inputs.push_back(std::vector<std::string>{"0"});
    auto [answer, chn] = open(three, 2, [&] {
        choose("pldRPCgain", 7);
        EXPECT_EQ(c("txtRPCchnGain1").string().substr(0, 6), "-9.542");
        press("pbOK");
    });
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].kind, "input");
    EXPECT_EQ(dialogs.shown[0].title, "Normalizing RPC Chn Power");
    EXPECT_EQ(dialogs.shown[0].buttons, std::vector<std::string>{"Enter value (in dB) to Normalize to (-30db to + 30db)"});
    EXPECT_EQ(dialogs.shown[0].defaults, std::vector<std::string>{"0"});
    for (int k = 0; k < 59; ++k) EXPECT_NEAR(chn.Gain[k], expected, 1e-12) << k;  // inactive ones too

    // Above +30 counts as +30; the three channels sum to it again.
    dialogs.inputs.push_back(std::vector<std::string>{"45"});
    auto [a2, loud] = open(three, 2, [&] {
        choose("pldRPCgain", 7);
        press("pbOK");
    });
    EXPECT_NEAR(loud.Gain[0], 30 + expected, 1e-12);

    // Unchanged: cancelled, no active channel, and text that is not a number (with its error).
    const auto none = channels([](int) { return false; });
    auto shifted = none;
    shifted.Gain.assign(59, -4);
    dialogs.inputs.push_back(std::nullopt);
    dialogs.inputs.push_back(std::vector<std::string>{"-6"});
    dialogs.inputs.push_back(std::vector<std::string>{"loud"});
    dialogs.shown.clear();
    auto [a3, same] = open(three, 2, [&] {
        choose("pldRPCgain", 7);
        EXPECT_EQ(working(), three);
        press("pbOK");
    });
    EXPECT_EQ(same, three);
    auto [a4, still] = open(shifted, 2, [&] {
        choose("pldRPCgain", 7);
        press("pbOK");
    });
    EXPECT_EQ(still, shifted);
    auto [a5, kept] = open(three, 2, [&] {
        choose("pldRPCgain", 7);
        press("pbOK");
    });
    EXPECT_EQ(kept, three);
    ASSERT_EQ(dialogs.shown.size(), 4u);
    EXPECT_EQ(dialogs.shown[3].kind, "error");
    EXPECT_EQ(dialogs.shown[3].title, "Invaild User Input");
    EXPECT_EQ(dialogs.shown[3].text, "Only numercial values between -30 and +30 are accepted");
}

// Down is down whatever moves the bar: arrows, clicks beside the handle, dragging, wheel, keys.
TEST_F(RpcSetupTest, EveryWayOfScrollingAgrees) {
    open(std::nullopt, 1, [&] {
        auto index = [&] { return application->editors().rpc.scrollIndex(); };
        auto at = [&](QStyle::SubControl part) {
            QStyleOptionSlider opt;
            opt.initFrom(bar);
            opt.orientation = bar->orientation();
            opt.minimum = bar->minimum();
            opt.maximum = bar->maximum();
            opt.sliderPosition = opt.sliderValue = bar->value();
            opt.singleStep = bar->singleStep();
            opt.pageStep = bar->pageStep();
            opt.upsideDown = bar->invertedAppearance();
            opt.subControls = QStyle::SC_All;
            return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
        };
        auto click = [&](QStyle::SubControl part) { QTest::mouseClick(bar, Qt::LeftButton, {}, at(part).center()); };

        click(QStyle::SC_ScrollBarAddLine);
        EXPECT_EQ(index(), 1) << "the down arrow";
        EXPECT_EQ(labels()[0], "1");
        click(QStyle::SC_ScrollBarSubLine);
        EXPECT_EQ(index(), 0) << "the up arrow";
        click(QStyle::SC_ScrollBarAddPage);
        EXPECT_EQ(index(), 16) << "below the handle";
        click(QStyle::SC_ScrollBarSubPage);
        EXPECT_EQ(index(), 0) << "above the handle";

        const QRect handle = at(QStyle::SC_ScrollBarSlider);
        const QRect groove = at(QStyle::SC_ScrollBarGroove);
        QTest::mousePress(bar, Qt::LeftButton, {}, handle.center());
        QTest::mouseMove(bar, QPoint(handle.center().x(), groove.bottom() + 20));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(handle.center().x(), groove.bottom() + 20));
        EXPECT_EQ(index(), 43) << "dragged to the bottom";
        EXPECT_EQ(labels(), (std::vector<std::string>{"43", "48", "58", "63"}));

        wheel("txtRPCchnGain4", 120);
        EXPECT_LT(index(), 43) << "the wheel turned up";
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Home);
        EXPECT_EQ(index(), 0);
        QTest::keyClick(bar, Qt::Key_PageDown);
        EXPECT_EQ(index(), 16);
        press("pbCancel");
    });
}

TEST_F(RpcSetupTest, TabbingThroughKeepsNormalisedGains) {
    dialogs.inputs.push_back(std::vector<std::string>{"0"});
    const auto three = channels([](int k) { return k == 0 || k == 1 || k == 2; });
    auto [answer, chn] = open(three, 1, [&] {
        choose("pldRPCgain", 7);
        auto* e = qobject_cast<QLineEdit*>(in("txtRPCchnGain2"));
        EXPECT_EQ(e->cursorPosition(), 0) << "a long gain shows its sign first";
        testsupport::press(in("txtRPCchnGain1"));
        for (int i = 0; i < 10; ++i) testsupport::key(Qt::Key_Tab);
        EXPECT_EQ(c("txtRPCchnGain1").string(), "-9.54242509439325");
        press("pbOK");
    });
    EXPECT_EQ(answer, "OK");
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(chn.Gain[k], -20 * std::log10(3.0), 1e-12) << k;
}

TEST_F(RpcSetupTest, FastEditCaptionsLookEnabled) {
    // Drawn like the text of an enabled control, not the grey of a disabled one.
    auto darkest = [](QWidget* w) {
        const QImage img = w->grab().toImage();
        int dark = 255;
        for (int y = img.height() / 4; y < 3 * img.height() / 4; ++y)
            for (int x = 4; x < img.width() / 2; ++x) dark = std::min(dark, qGray(img.pixel(x, y)));
        return dark;
    };
    auto* popup = qobject_cast<QWidget*>(in("pldRPCgain"));
    win->show();
    ASSERT_TRUE(popup->isEnabled());
    QComboBox plain;
    plain.addItem("FastEdit");
    plain.resize(popup->size());
    plain.setFont(popup->font());
    EXPECT_LE(darkest(popup), darkest(&plain) + 40);
    win->hide();
}
