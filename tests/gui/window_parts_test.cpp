// The menu bar, the splash window, the about box and the window placement helpers.
#include <QApplication>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <map>
#include <gtest/gtest.h>
#include <sstream>

#include "app/window_parts.h"
#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "host/qt/handles.h"
#include "host/qt/layout.h"
#include "host/qt/registry.h"

namespace {

QWidget* openWindow(const char* tag) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == tag && !w->property("zunoClosing").toBool()) return w;
    return nullptr;
}

void disposeWindow(const char* tag) {
    while (QWidget* w = openWindow(tag)) {
        host::closeWindow(w);
        delete w;
    }
}

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

std::string text(QWidget* window, const char* tag) { return host::ctl(host::Handles(window)[tag]).string(); }

// "label tag" per entry; "---" for a separator; hidden entries in parentheses; checkable ones
// marked [x]; submenus indented below their entry.
void outline(QMenu* menu, const std::string& indent, std::ostringstream& out) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
            out << indent << "---\n";
            continue;
        }
        QObject* named = a->menu() ? static_cast<QObject*>(a->menu()) : a;
        std::string line = a->text().toStdString() + " " + named->objectName().toStdString();
        if (a->isCheckable()) line += " [x]";
        out << indent << (a->isVisible() ? line : "(" + line + ")") << "\n";
        if (a->menu()) outline(a->menu(), indent + "  ", out);
    }
}

std::string outline(QMenuBar* bar) {
    std::ostringstream out;
    for (QAction* a : bar->actions()) {
        const std::string line = a->text().toStdString() + " " + a->menu()->objectName().toStdString();
        out << (a->isVisible() ? line : "(" + line + ")") << "\n";
        outline(a->menu(), "  ", out);
    }
    return out.str();
}

class WindowParts : public testing::Test {
protected:
    host::Registry registry;
    std::ostringstream console;
    QTimer rescue;

    void SetUp() override {
        registry.setConsole(&console);
        app::registerAboutBox(registry);
    }
    void TearDown() override {
        disposeWindow("figureKV_About");
        disposeWindow("figureKV_Splash");
        flushDeletes();
    }

    // Runs `inside` while KV_About waits; a last resort closes the box should the test's own
    // action fail to end the wait.
    void whileAboutWaits(std::function<void(QWidget*)> inside) {
        rescue.setSingleShot(true);
        rescue.disconnect();
        QObject::connect(&rescue, &QTimer::timeout, [] {
            ADD_FAILURE() << "the about box did not end its wait";
            disposeWindow("figureKV_About");
        });
        QTimer::singleShot(0, &rescue, [this, inside] {
            rescue.start(20000);
            QWidget* box = openWindow("figureKV_About");
            ASSERT_NE(box, nullptr);
            inside(box);
        });
    }
};

TEST_F(WindowParts, MenuBarFollowsTheTableAndPlatform) {
    QMainWindow main;
    main.setObjectName("main");
    const app::MenuHeaders menus = app::KV_AddMenu(&main, "c", registry);
    EXPECT_EQ(outline(main.menuBar()),
              "&File menuFile\n"
              "  &New menuFileNew\n"
              "  &Open... menuFileOpen\n"
              "  &Save menuFileSave\n"
              "  Save &As... menuFileSaveAs\n"
              "  ---\n"
              "  Analyze I/Q File... menuFileAnalyzeIQ\n"
              "  ---\n"
              "  E&xit menuFileExit\n"
              "&Plot menuPlot\n"
              "  &Spectrum menuPlotSpectrum\n"
              "  Spectrum Analyzer... menuPlotSpectrumAnalyzer\n"
              "  &Waterfall menuPlotWaterfall\n"
              "  ---\n"
              "  I(t) Q(t) menuPlotIQTime\n"
              "  I(t) Q(t) Overlaid menuPlotIQTimeSameAxes\n"
              "  &Eye Diagram menuPlotEyeDiagram\n"
              "  S&catter Diagram menuPlotScatterDiagram\n"
              "  ---\n"
              "  &CCDF menuPlotCCDF\n"
              "  ---\n"
              "  Measure... menuPlotMeasure\n"
              "&Configuration menuConfig\n"
              "  Carriers and Noise... menuConfigCarriers\n"
              "  ---\n"
              "  &Sig Gen I/O menuConfigSigGenIO\n"
              "  ---\n"
              "  &Baseband Generator menuConfigBBG1\n"
              "    Option 00&1 (8 Msamples) menuConfigBBG1Opt1 [x]\n"
              "    Option 00&2 (32 Msamples) menuConfigBBG1Opt2 [x]\n"
              "(&Special menuSpecial)\n"
              "  Save &Wave... menuSpecialSaveWave\n"
              "&Help menuHelp\n"
              "  &About menuHelpAbout\n");

    const host::Handles h(&main);
    EXPECT_EQ(h["menuFile"], menus.File);
    EXPECT_EQ(h["menuPlot"], menus.Plot);
    EXPECT_EQ(h["menuConfig"], menus.Config);
    EXPECT_EQ(h["menuSpecial"], menus.Special);
    EXPECT_EQ(h["menuHelp"], menus.Help);
    // Hidden entries are found by tag but report themselves hidden.
    EXPECT_FALSE(host::ctl(h["menuSpecial"]).visible());
    EXPECT_TRUE(host::ctl(h["menuPlotEyeDiagram"]).visible());
    EXPECT_TRUE(host::ctl(h["menuPlotCCDF"]).visible());

    QMainWindow other;
    other.setObjectName("main");
    app::KV_AddMenu(&other, "b", registry);
    const std::string plain = outline(other.menuBar());
    EXPECT_NE(plain.find("&Configuration menuConfig\n  Carriers and Noise... menuConfigCarriers\n  ---\n"
                         "  &Sig Gen I/O menuConfigSigGenIO\n(&Special"),
              std::string::npos)
        << plain;
    EXPECT_FALSE(host::Handles(&other).has("menuConfigBBG1Opt1"));

    // Building the menus again replaces them rather than adding a second set.
    app::KV_AddMenu(&main, "c", registry);
    EXPECT_EQ(main.menuBar()->actions().size(), 5);
    EXPECT_EQ(main.findChildren<QMenu*>("menuFile").size(), 1);

    EXPECT_THROW(app::KV_AddMenu(nullptr, "c", registry), std::runtime_error);
}

TEST_F(WindowParts, MenuItemsCallTheirCommonOperation) {
    QMainWindow main;
    main.setObjectName("main");
    std::vector<std::string> calls;
    host::Module& common = registry.add("rfCommonUI");
    app::KV_AddMenu(&main, "c", registry);
    std::vector<QAction*> items;
    for (QAction* a : main.findChildren<QAction*>())
        if (!a->objectName().isEmpty()) {
            items.push_back(a);
            common.add(a->objectName().toStdString() + "_Callback", [&calls, &main, a](const host::Call& call) {
                EXPECT_EQ(call.source, a);
                EXPECT_EQ(call.handles.window(), &main);
                calls.push_back(a->objectName().toStdString());
            });
        }
    EXPECT_EQ(items.size(), 21u);

    std::vector<std::string> expected;
    for (QAction* a : items) {
        a->trigger();
        expected.push_back(a->objectName().toStdString());
    }
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(console.str(), "");

    // An operation the controller lacks ends in the trap's console line, not in a crash.
    registry.remove("rfCommonUI");
    registry.add("rfCommonUI");
    host::Handles(&main).get<QAction>("menuHelpAbout")->trigger();
    EXPECT_EQ(console.str(), "Undefined operation 'menuHelpAbout_Callback' of rfCommonUI\n");
}

TEST_F(WindowParts, SplashIsCentredShowsItsPictureAndIsReused) {
    QWidget* splash = app::KV_Splash(registry);
    ASSERT_NE(splash, nullptr);
    EXPECT_EQ(splash->objectName(), "figureKV_Splash");
    EXPECT_TRUE(splash->isVisible());
    const QRect screen = splash->screen()->geometry();
    EXPECT_LE((splash->frameGeometry().center() - screen.center()).manhattanLength(), 6);
    const QLabel* logo = host::Handles(splash).get<QLabel>("txtLogo");
    EXPECT_FALSE(logo->pixmap().isNull());
    EXPECT_EQ(logo->pixmap().size(), QPixmap(":/images/splash.jpg").size());
    if (const char* dir = std::getenv("ZUNO_SCREENSHOTS")) splash->grab().save(QString(dir) + "/splash.png");

    EXPECT_EQ(app::KV_Splash(registry), splash);
}

TEST_F(WindowParts, TheApplicationIconIsAmongTheImages) {
    // zuno-fwd gives it to every window; the desktop's copy is installed beside the entry.
    const QImage icon = QIcon(":/images/org.zuno.ZunoFwd.svg").pixmap(64, 64).toImage();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.width(), 64);
    EXPECT_EQ(qAlpha(icon.pixel(32, 32)), 255) << "drawn, not left transparent";
}

TEST_F(WindowParts, AboutBoxShowsTheApplicationAndWaitsForOK) {
    QWidget parent;
    parent.setObjectName("main");
    parent.setGeometry(100, 50, 600, 500);  // on the screen: centred on it, the box stays there too
    parent.show();
    const model::AppInfo info;

    QPoint boxCentre;
    std::map<std::string, std::string> texts;
    whileAboutWaits([&](QWidget* box) {
        EXPECT_TRUE(box->isVisible());
        EXPECT_TRUE(box->isModal());
        boxCentre = box->geometry().center();
        texts["title"] = host::ctl(box).name();
        for (const char* tag : {"lblRevision", "lblDate", "lblNotes", "txtNotesLine2", "txtNotesLine7"})
            texts[tag] = text(box, tag);
        EXPECT_FALSE(host::Handles(box).get<QLabel>("txtLogo")->pixmap().isNull());
        if (const char* dir = std::getenv("ZUNO_SCREENSHOTS")) box->grab().save(QString(dir) + "/about.png");
        host::Handles(box).get<QPushButton>("pbOK")->click();
    });
    app::KV_About(&parent, &info, registry);

    EXPECT_EQ(texts["title"], "1xEV Forward Link");
    EXPECT_EQ(texts["lblRevision"], QString::fromUtf8(zuno::kVersion.data(), qsizetype(zuno::kVersion.size())).leftJustified(7).toStdString());
    EXPECT_EQ(texts["lblDate"], "03-Dec-2001");
    EXPECT_EQ(texts["lblNotes"], "Release Notes:");
    EXPECT_EQ(texts["txtNotesLine2"], "1xEV Forward Link Signal Generation Applet for");
    EXPECT_EQ(texts["txtNotesLine7"], info.NotesLine7);
    // Within the window frame's few pixels.
    EXPECT_LE((boxCentre - parent.geometry().center()).manhattanLength(), 6);
    // Gone for good once it returns.
    EXPECT_EQ(openWindow("figureKV_About"), nullptr);
    flushDeletes();
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "figureKV_About");
    EXPECT_EQ(console.str(), "");
}

TEST_F(WindowParts, AboutBoxWithoutRecordShowsBlanksAndEndsWhenClosed) {
    QWidget parent;
    parent.setGeometry(100, 100, 600, 400);
    std::string title, revision, notes;
    whileAboutWaits([&](QWidget* box) {
        title = host::ctl(box).name();
        revision = text(box, "lblRevision");
        notes = text(box, "txtNotesLine4");
        box->close();  // by its frame
    });
    app::KV_About(&parent, nullptr, registry);
    EXPECT_EQ(title, " ");
    EXPECT_EQ(revision, "       ");
    EXPECT_EQ(notes, " ");
    EXPECT_EQ(openWindow("figureKV_About"), nullptr);

    // Short revisions are padded, long ones cut to seven characters.
    model::AppInfo info;
    info.Rev = "B.1";
    whileAboutWaits([&](QWidget* box) {
        revision = text(box, "lblRevision");
        host::Handles(box).get<QPushButton>("pbOK")->click();
    });
    app::KV_About(&parent, &info, registry);
    EXPECT_EQ(revision, "B.1    ");
}

TEST_F(WindowParts, AboutBoxRefusesAParentThatIsNoWindow) {
    QWidget window;
    auto* button = new QPushButton(&window);
    const model::AppInfo info;
    for (QWidget* bad : {static_cast<QWidget*>(nullptr), static_cast<QWidget*>(button)}) {
        try {
            app::KV_About(bad, &info, registry);
            ADD_FAILURE() << "no error";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "Input argument must be a handle to parent");
        }
        EXPECT_EQ(openWindow("figureKV_About"), nullptr);
    }
    flushDeletes();
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->objectName(), "figureKV_About");
}

TEST(WindowPlacement, CentresOnParentOrScreen) {
    QWidget parent;
    parent.setGeometry(50, 40, 400, 300);
    QWidget child;
    child.resize(200, 100);
    host::positionChildWindow(&child, &parent);
    EXPECT_EQ(child.pos(), QPoint(150, 140));

    // Larger than its parent: the child reaches past the parent's left and top edges.
    child.resize(600, 500);
    host::positionChildWindow(&child, &parent);
    EXPECT_EQ(child.pos(), QPoint(-50, -60));

    child.resize(200, 100);
    host::positionChildWindow(&child, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(child.pos(), QPoint(screen.x() + (screen.width() - 200) / 2, screen.y() + (screen.height() - 100) / 2));
    EXPECT_EQ(child.size(), QSize(200, 100));
}

TEST(WindowPlacement, FontsGrowOnlyAtNinetySixDpi) {
    QWidget window;
    window.setObjectName("win");
    auto* small = new QLabel("a", &window);
    small->setObjectName("lblSmall");
    small->setFont(QFont("Sans", 8));
    auto* large = new QLabel("b", &window);
    large->setObjectName("lblLarge");
    large->setFont(QFont("Sans", 10));

    host::resizeAllFonts(host::Handles(&window), 120);
    EXPECT_EQ(small->font().pointSizeF(), 8);
    EXPECT_EQ(large->font().pointSizeF(), 10);

    // A dialog window made as a child of this one has handles of its own and grows only once.
    auto* dialog = new QWidget(&window, Qt::Window);
    dialog->setObjectName("figDialog");
    auto* inDialog = new QLabel("c", dialog);
    inDialog->setObjectName("lblInDialog");
    inDialog->setFont(QFont("Sans", 10));
    host::resizeAllFonts(host::Handles(dialog), 96);

    host::resizeAllFonts(host::Handles(&window), 96);
    EXPECT_EQ(small->font().pointSizeF(), 9);
    EXPECT_EQ(large->font().pointSizeF(), 11);
    EXPECT_EQ(inDialog->font().pointSizeF(), 11);
}

}  // namespace
