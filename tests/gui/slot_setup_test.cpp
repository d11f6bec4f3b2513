#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <gmock/gmock.h>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "editors/editors.h"
#include "host/qt/modal.h"

using testsupport::AppTest;

namespace {

class SlotSetupTest : public AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        start();
        dlg = ctx().figureList.figSlotSetup;
        rpcWindow = ctx().figureList.figRPCsetup;
        ASSERT_NE(dlg, nullptr);
        ASSERT_NE(rpcWindow, nullptr);
    }

    // Runs `script` inside the wait that starts next. After a failed assertion the waits are
    // ended, so a fault cannot hang the run.
    void inside(QWidget* window, std::function<void()> script) {
        QTimer::singleShot(0, window, [this, script] {
            script();
            if (HasFatalFailure())
                for (QWidget* w : {rpcWindow, dlg})
                    if (host::isWaiting(w)) host::uiresume(w);
        });
    }
    // Presses the main window's slot button, with `script` run inside the dialog's wait.
    void openFromMain(std::function<void()> script) {
        inside(dlg, std::move(script));
        press(main, "pbSlotSetup");
    }
    // Presses a row's RPC button, with `script` run inside the RPC dialog's nested wait.
    void openRpc(int slot, std::function<void()> script) {
        inside(rpcWindow, std::move(script));
        press(dlg, "pbPRCslotSetup" + std::to_string(slot));
    }

    QObject* in(QWidget* w, const std::string& tag) { return host::Handles(w)[tag]; }
    host::Control d(const std::string& tag) { return host::Control(in(dlg, tag)); }
    host::Control r(const std::string& tag) { return host::Control(in(rpcWindow, tag)); }

    void press(QWidget* w, const std::string& tag) { testsupport::press(in(w, tag)); }
    void tick(const std::string& tag) { testsupport::press(in(dlg, tag)); }
    // Typed and left with Tab: Enter would press the dialog's OK.
    void type(QWidget* w, const std::string& tag, const char* text) {
        testsupport::type(in(w, tag), text, false);
        testsupport::key(Qt::Key_Tab);
    }
    void choose(QWidget* w, const std::string& tag, int position) { testsupport::choose(in(w, tag), position); }
    // Cycles through the given numbers as the FastEdit random source.
    void drawFrom(std::vector<double> u) {
        application->editors().setUniform([u, k = std::size_t(0)]() mutable { return u[k++ % u.size()]; });
    }
    const editors::Slot& working() { return application->editors().slot.slot(); }
    model::Parameters::Slot& stored() { return state().parameters.slot; }

    QWidget* dlg = nullptr;
    QWidget* rpcWindow = nullptr;
};

std::vector<double> column(const model::SlotVector& v) { return {v.begin(), v.end()}; }

}  // namespace

TEST_F(SlotSetupTest, OpensOnTheRecordKeepsItOnlyOnOKAndStaysForTheNextOpening) {
    stored().DATAslotActive[2] = 0;
    stored().DATAslotMod[2] = 3;
    stored().RAslotActive[6] = 0;
    stored().RPCslotActiveChn[15] = 0;
    const auto before = stored();

    openFromMain([&] {
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(d("chkDATAslotActive3").value(), 0);
        EXPECT_FALSE(d("lstDATAslotMod3").enabled());
        EXPECT_EQ(d("lstDATAslotMod3").string(), "16-QAM");
        EXPECT_FALSE(d("txtRAslotValue7").enabled());
        EXPECT_FALSE(d("txtRAslotGain7").enabled());
        EXPECT_EQ(d("txtRAslotGain7").string(), "-3");
        EXPECT_FALSE(d("pbPRCslotSetup16").enabled());

        // Unchecking keeps the modulation; checking again shows it in the enabled list.
        choose(dlg, "lstDATAslotMod5", 2);
        tick("chkDATAslotActive5");
        EXPECT_FALSE(d("lstDATAslotMod5").enabled());
        EXPECT_EQ(working().DATAslotActive[4], 0);
        tick("chkDATAslotActive5");
        EXPECT_TRUE(d("lstDATAslotMod5").enabled());
        EXPECT_EQ(d("lstDATAslotMod5").value(), 2);
        EXPECT_EQ(working().DATAslotMod[4], 2);

        tick("chkRAslotActive7");
        EXPECT_TRUE(d("txtRAslotGain7").enabled());
        tick("chkRPCslotActive16");
        EXPECT_TRUE(d("pbPRCslotSetup16").enabled());
        press(dlg, "pbCancel");
    });
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(stored(), before);

    // The next opening shows the record passed then, not the discarded edits.
    openFromMain([&] {
        EXPECT_EQ(d("lstDATAslotMod5").value(), 1);
        EXPECT_EQ(d("chkRPCslotActive16").value(), 0);
        choose(dlg, "lstDATAslotMod5", 3);
        tick("chkRAslotActive1");
        press(dlg, "pbOK");
    });
    EXPECT_EQ(stored().DATAslotMod[4], 3);
    EXPECT_EQ(stored().RAslotActive[0], 0);
    EXPECT_EQ(stored().RPCslotActiveChn, before.RPCslotActiveChn);

    // The frame's close box is Cancel, and the window survives it.
    const auto kept = stored();
    openFromMain([&] {
        tick("chkDATAslotActive1");
        dlg->close();
    });
    EXPECT_EQ(stored(), kept);
    ASSERT_NE(ctx().figureList.figSlotSetup, nullptr);
    EXPECT_FALSE(dlg->isVisible());
    openFromMain([&] { press(dlg, "pbOK"); });
    EXPECT_EQ(stored(), kept);
    EXPECT_TRUE(console.str().empty()) << console.str();
}

TEST_F(SlotSetupTest, EditFieldsRoundAndLimitAndTheirTooltipsNameTheSlot) {
    EXPECT_EQ(d("txtRAslotValue16").tooltip(), "Sets the value of the\nRA burst for slot 16.\nValid Range: 0 or 1");
    EXPECT_EQ(d("txtRAslotGain7").tooltip(),
              "Sets the gain of the\nRA burst for slot 7\nrelative to the pilot channel power.\nValid Range: -30dB to +30dB");
    EXPECT_EQ(d("pbPRCslotSetup10").tooltip(), "Configures the\nRPC channel for slot 10.");

    struct Case {
        const char* tag;
        const char* typed;
        const char* shown;
    };
    openFromMain([&] {
        for (const Case& k : {Case{"txtRAslotValue2", "0.5", "1"}, Case{"txtRAslotValue2", "-0.4", "0"},
                              Case{"txtRAslotValue2", "xyz", "0"}, Case{"txtRAslotValue2", "1", "1"},
                              Case{"txtRAslotGain2", "45", "30"}, Case{"txtRAslotGain2", "2.4", "2"},
                              Case{"txtRAslotGain2", "5 -12", "2"}, Case{"txtRAslotGain2", "", "2"},
                              Case{"txtRAslotGain2", "-2.5", "-3"}}) {
            type(dlg, k.tag, k.typed);
            EXPECT_EQ(d(k.tag).string(), k.shown) << k.tag << " '" << k.typed << "'";
        }
        press(dlg, "pbOK");
    });
    EXPECT_EQ(stored().RAslotValue[1], 1);
    EXPECT_EQ(stored().RAslotGain[1], -3);
}

TEST_F(SlotSetupTest, FastEditSetsWholeColumns) {
    const std::vector<double> on(16, 1), off(16, 0);
    const std::vector<double> allBut4{1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0};
    const std::vector<double> odd{1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0};
    const std::vector<double> even{0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1};
    const std::vector<double> only4{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    openFromMain([&] {
        // The three activity selectors, with the controls each one enables.
        struct Activity {
            const char* popup;
            model::SlotVector editors::Slot::*field;
            const char* dependent;
        };
        for (const Activity& a : {Activity{"pldDATAactive", &editors::Slot::DATAslotActive, "lstDATAslotMod"},
                                  Activity{"pldRAactive", &editors::Slot::RAslotActive, "txtRAslotGain"},
                                  Activity{"pldRPCactive", &editors::Slot::RPCslotActiveChn, "pbPRCslotSetup"}}) {
            drawFrom({0.2, 0.5, 0.7, 0.49});
            const std::vector<double> random{0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0};
            int p = 1;
            for (const auto& expected : {on, allBut4, odd, only4, off, random}) {
                choose(dlg, a.popup, p);
                EXPECT_EQ(column(working().*a.field), expected) << a.popup << " " << p;
                for (int i = 1; i <= 16; ++i)
                    EXPECT_EQ(d(a.dependent + std::to_string(i)).enabled(), expected[i - 1] == 1) << a.popup << " " << p;
                ++p;
            }
            // A pop-up is a menu: after the choice it shows "FastEdit" again.
            EXPECT_EQ(d(a.popup).value(), 0);
        }

        drawFrom({0.1, 0.5, 0.9, 0.3});
        for (int p = 1; p <= 3; ++p) {
            choose(dlg, "pldDATAmod", p);
            EXPECT_EQ(column(working().DATAslotMod), std::vector<double>(16, p));
            EXPECT_EQ(d("lstDATAslotMod8").value(), p);
        }
        choose(dlg, "pldDATAmod", 4);
        EXPECT_EQ(column(working().DATAslotMod),
                  (std::vector<double>{1, 2, 3, 2, 1, 2, 3, 2, 1, 2, 3, 2, 1, 2, 3, 2}));
        EXPECT_EQ(d("lstDATAslotMod3").string(), "16-QAM");

        drawFrom({0.2, 0.8});
        int p = 1;
        for (const auto& expected : {off, on, even, odd, even}) {
            choose(dlg, "pldRAvalue", p++);
            EXPECT_EQ(column(working().RAslotValue), expected) << "RA value " << p - 1;
        }
        EXPECT_EQ(d("txtRAslotValue2").string(), "1");

        p = 1;
        for (double gain : {3, 0, -3, -6, -10}) {
            choose(dlg, "pldRAgain", p++);
            EXPECT_EQ(column(working().RAslotGain), std::vector<double>(16, gain));
        }
        EXPECT_EQ(d("txtRAslotGain4").string(), "-10");
        drawFrom({0.0001, 0.9999, 0.5});
        choose(dlg, "pldRAgain", 6);
        EXPECT_EQ(working().RAslotGain[0], -10);
        EXPECT_EQ(working().RAslotGain[1], 3);
        EXPECT_EQ(working().RAslotGain[2], -3);  // 6.5 rounds away from zero
        EXPECT_EQ(d("txtRAslotGain2").string(), "3");
        press(dlg, "pbOK");
    });
    EXPECT_EQ(stored().RAslotGain[1], 3);
    EXPECT_EQ(column(stored().DATAslotActive), std::vector<double>({0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0, 0, 1, 1, 0}));
}

TEST_F(SlotSetupTest, RpcCloneAndDefault) {
    auto& s = stored();
    s.RPCslotActiveChn = model::slotFill(0);
    s.RPCslotActiveChn[0] = 1;
    for (std::size_t j = 0; j < 59; ++j) {
        s.RPCslotActive(0, j) = j % 2;
        s.RPCslotGain(0, j) = -static_cast<double>(j % 7);
        s.RPCslotValue(1, j) = 0;
        s.RPCslotGain(1, j) = 5;
    }
    const auto slot1 = s.RPCslotActive.row(0);
    const auto gain1 = s.RPCslotGain.row(0);
    const auto gain2 = s.RPCslotGain.row(1);
    openFromMain([&] {
        choose(dlg, "pldRPCsetup", 2);
        for (std::size_t k = 0; k < 16; ++k) {
            const bool odd = k % 2 == 0;
            EXPECT_EQ(working().RPCslotActiveChn[k], odd ? 1 : 0) << "slot " << k + 1;
            EXPECT_EQ(d("chkRPCslotActive" + std::to_string(k + 1)).value(), odd ? 1 : 0);
            EXPECT_EQ(d("pbPRCslotSetup" + std::to_string(k + 1)).enabled(), odd);
            EXPECT_EQ(working().RPCslotGain.row(k), odd ? gain1 : gain2) << "slot " << k + 1;
        }
        EXPECT_EQ(working().RPCslotActive.row(14), slot1);
        EXPECT_EQ(working().RPCslotValue.row(15), s.RPCslotValue.row(1));

        choose(dlg, "pldRPCsetup", 1);
        for (std::size_t k = 0; k < 16; ++k) {
            EXPECT_EQ(working().RPCslotActiveChn[k], 1);
            EXPECT_EQ(working().RPCslotGain.row(k), gain1);
        }

        choose(dlg, "pldRPCsetup", 3);
        std::vector<double> first(59, 0);
        first[0] = 1;
        for (std::size_t k = 0; k < 16; ++k) {
            EXPECT_EQ(working().RPCslotActiveChn[k], k == 0 ? 1 : 0);
            EXPECT_EQ(working().RPCslotActive.row(k), first);
            EXPECT_EQ(working().RPCslotValue.row(k), first);
            EXPECT_EQ(working().RPCslotGain.row(k), std::vector<double>(59, 0));
        }
        EXPECT_TRUE(d("pbPRCslotSetup1").enabled());
        EXPECT_FALSE(d("pbPRCslotSetup2").enabled());
        press(dlg, "pbOK");
    });
    EXPECT_EQ(stored().RPCslotActiveChn[0], 1);
    EXPECT_EQ(stored().RPCslotActiveChn[1], 0);
    EXPECT_EQ(stored().RPCslotGain(0, 3), 0);
}

TEST_F(SlotSetupTest, RpcChannelsOfOneSlotThroughTheNestedDialog) {
    stored().RPCslotGain(4, 2) = -12;
    const auto before = stored();

    openFromMain([&] {
        openRpc(5, [&] {
            EXPECT_TRUE(rpcWindow->isVisible());
            EXPECT_EQ(r("figRPCsetup").name(), "RPC Setup: Slot #5");
            EXPECT_EQ(r("txtRPCchnGain3").string(), "-12");
            EXPECT_EQ(r("chkRPCchnActive1").value(), 1);
            EXPECT_EQ(r("chkRPCchnActive2").value(), 0);
            type(rpcWindow, "txtRPCchnGain1", "6");
            press(rpcWindow, "pbOK");
        });
        // Written back into slot 5's row only once the RPC dialog is left with OK.
        EXPECT_FALSE(rpcWindow->isVisible());
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ(working().RPCslotGain(4, 0), 6);
        EXPECT_EQ(working().RPCslotGain(3, 0), -3);

        openRpc(6, [&] {
            EXPECT_EQ(r("figRPCsetup").name(), "RPC Setup: Slot #6");
            EXPECT_EQ(r("txtRPCchnGain1").string(), "-3");
            type(rpcWindow, "txtRPCchnGain1", "9");
            press(rpcWindow, "pbCancel");
        });
        EXPECT_EQ(working().RPCslotGain(5, 0), -3);

        openRpc(7, [&] {
            type(rpcWindow, "txtRPCchnGain1", "9");
            rpcWindow->close();
        });
        EXPECT_EQ(working().RPCslotGain(6, 0), -3);
        EXPECT_TRUE(dlg->isVisible());
        // OK inside, Cancel outside: nothing reaches the application's record.
        press(dlg, "pbCancel");
    });
    EXPECT_EQ(stored(), before);

    openFromMain([&] {
        openRpc(5, [&] {
            EXPECT_EQ(r("txtRPCchnGain1").string(), "-3");
            type(rpcWindow, "txtRPCchnGain1", "6");
            press(rpcWindow, "pbOK");
        });
        press(dlg, "pbOK");
    });
    EXPECT_EQ(stored().RPCslotGain(4, 0), 6);
    EXPECT_EQ(stored().RPCslotGain(4, 2), -12);
    EXPECT_TRUE(console.str().empty()) << console.str();
}
