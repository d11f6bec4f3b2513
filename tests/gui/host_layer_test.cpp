#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gmock/gmock.h>
#include <sstream>

#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "host/qt/handles.h"
#include "host/qt/modal.h"
#include "host/qt/registry.h"

using namespace host;
using testing::HasSubstr;

namespace {

// A window with one control of each kind, all calling back into module "test".
struct TestWindow {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    QLineEdit* edit = add<QLineEdit>("txtEdit");
    QComboBox* combo = add<QComboBox>("pdList");
    QCheckBox* check = add<QCheckBox>("chkBox");
    QPushButton* button = add<QPushButton>("pbGo");
    QScrollBar* scroll = add<QScrollBar>("sldrScroll");
    QAction* action = nullptr;

    TestWindow() {
        window->setObjectName("figTest");
        window->setProperty("module", "test");
        combo->addItems({"one", "two", "three"});
        action = new QAction("&Item", window.get());
        action->setObjectName("menuItem");  // made in code, bound on its own
    }
    template <class T>
    T* add(const char* tag) {
        if (!window->layout()) new QVBoxLayout(window.get());
        auto* w = new T;
        w->setObjectName(tag);
        w->setProperty("callback", QString(tag) + "_Callback");
        window->layout()->addWidget(w);
        return w;
    }
};

class HostLayer : public testing::Test {
protected:
    Registry& registry = Registry::instance();
    std::ostringstream console;
    std::vector<std::string> calls;
    void SetUp() override {
        registry.setConsole(&console);
        Module& m = registry.add("test");
        for (const char* op : {"txtEdit_Callback", "pdList_Callback", "chkBox_Callback", "pbGo_Callback",
                               "sldrScroll_Callback", "menuItem_Callback"})
            m.add(op, [this, op](const Call& c) {
                calls.push_back(std::string(op) + " from " + c.source->objectName().toStdString() + " in " +
                                c.handles.window()->objectName().toStdString());
            });
        m.add("fails", [](const Call&) { throw std::runtime_error("the reason"); });
    }
    void TearDown() override {
        registry.remove("test");
        registry.setConsole(nullptr);
    }
};

}  // namespace

TEST_F(HostLayer, DispatchRunsByNameInsideTheTrap) {
    Call call;
    EXPECT_FALSE(registry.call("test", "fails", call));
    EXPECT_EQ(console.str(), "the reason\n");
    EXPECT_FALSE(registry.call("test", "nothing", call));
    EXPECT_THAT(console.str(), HasSubstr("Undefined operation 'nothing' of test"));
    EXPECT_FALSE(registry.call("nobody", "x", call));
    // A first argument that is not text does nothing at all.
    console.str("");
    EXPECT_FALSE(registry.dispatch("test", Value(3.0), call));
    EXPECT_TRUE(console.str().empty());
    EXPECT_TRUE(calls.empty());
}

TEST_F(HostLayer, EveryControlKindCallsBackOnUserActionOnly) {
    TestWindow t;
    bindCallbacks(t.window.get(), registry);
    bindCallback(t.action, t.window.get(), "test", "menuItem_Callback", registry);
    t.window->show();

    // Setting properties from code never calls back.
    ctl(t.edit).setString("12");
    ctl(t.combo).setValue(2);
    ctl(t.check).setValue(1);
    ctl(t.scroll).setValue(5);
    ctl(t.action).setChecked(true);
    EXPECT_TRUE(calls.empty());

    t.edit->setFocus();
    QTest::keyClicks(t.edit, "3");
    QTest::keyClick(t.edit, Qt::Key_Return);
    emit t.combo->activated(0);
    QTest::mouseClick(t.check, Qt::LeftButton, {}, QPoint(6, t.check->height() / 2));
    QTest::mouseClick(t.button, Qt::LeftButton);
    t.scroll->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    t.action->trigger();
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "txtEdit_Callback from txtEdit in figTest", "pdList_Callback from pdList in figTest",
                         "chkBox_Callback from chkBox in figTest", "pbGo_Callback from pbGo in figTest",
                         "sldrScroll_Callback from sldrScroll in figTest", "menuItem_Callback from menuItem in figTest"}));

    // A control whose kind has no user action cannot call back: the layout is refused.
    auto* label = new QLabel("x", t.window.get());
    label->setObjectName("lblWrong");
    label->setProperty("callback", "lblWrong_Callback");
    EXPECT_THAT([&] { bindCallbacks(t.window.get(), registry); },
                testing::ThrowsMessage<std::runtime_error>(testing::HasSubstr("'lblWrong' (QLabel) cannot call back")));
}

TEST_F(HostLayer, ControlPropertiesReadLikeTheRecords) {
    TestWindow t;
    Handles h(t.window.get());
    EXPECT_EQ(h["figTest"], t.window.get());
    EXPECT_THROW(h["pdMissing"], std::runtime_error);
    EXPECT_EQ(h.get<QComboBox>("pdList"), t.combo);
    EXPECT_THROW(h.get<QComboBox>("chkBox"), std::runtime_error);

    ctl(t.combo).setValue(3);
    EXPECT_EQ(ctl(t.combo).value(), 3);
    EXPECT_EQ(ctl(t.combo).string(), "three");
    ctl(t.combo).setValue(7);  // out of the list: nothing selected
    EXPECT_EQ(ctl(t.combo).value(), 0);
    ctl(t.check).setValue(1);
    EXPECT_EQ(ctl(t.check).value(), 1);
    ctl(t.edit).setEnabled(false);
    EXPECT_FALSE(ctl(t.edit).enabled());
    ctl(t.action).setChecked(true);
    EXPECT_TRUE(ctl(t.action).checked());
    ctl(t.action).setVisible(false);
    EXPECT_FALSE(ctl(t.action).visible());
    ctl(t.button).setTooltip("Two\nlines");
    EXPECT_EQ(ctl(t.button).tooltip(), "Two\nlines");
    ctl(t.window.get()).setName("Title");
    EXPECT_EQ(ctl(t.window.get()).name(), "Title");
    ctl(t.window.get()).setPointer("watch");
    EXPECT_EQ(ctl(t.window.get()).pointer(), "watch");
    ctl(t.window.get()).setPointer("arrow");
    EXPECT_EQ(ctl(t.window.get()).pointer(), "arrow");
    QLabel label;
    EXPECT_THROW(ctl(&label).setValue(1), std::runtime_error);
}

TEST_F(HostLayer, ModalWaitsNestAndEndByResumeOrClose) {
    QWidget outer, inner;
    outer.show();
    std::vector<std::string> order;
    QTimer::singleShot(0, [&] {
        inner.show();
        QTimer::singleShot(0, [&] {
            EXPECT_TRUE(isWaiting(&outer));
            EXPECT_TRUE(isWaiting(&inner));
            inner.close();  // closing by the frame ends the inner wait
        });
        order.push_back(uiwait(&inner) == WaitEnd::Closed ? "inner closed" : "inner resumed");
        uiresume(&outer);
    });
    order.push_back(uiwait(&outer) == WaitEnd::Resumed ? "outer resumed" : "outer closed");
    EXPECT_EQ(order, (std::vector<std::string>{"inner closed", "outer resumed"}));
    EXPECT_FALSE(isWaiting(&outer));
    uiresume(&outer);  // no wait: nothing happens
}

TEST_F(HostLayer, CloseRequestGoesToTheWindowsOperation) {
    TestWindow t;
    bool asked = false;
    registry.find("test")->add("closeFig_Callback", [&](const Call& c) {
        asked = true;
        closeWindow(c.handles.window());
    });
    t.window->setProperty("closeRequest", "closeFig_Callback");
    bindCallbacks(t.window.get(), registry);
    t.window->show();
    t.window->close();
    EXPECT_TRUE(t.window->isVisible());  // refused until the operation has run
    QCoreApplication::processEvents();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(t.window->isVisible());
}
