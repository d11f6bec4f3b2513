#include "app/window_parts.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <stdexcept>

#include "app/app_context.h"
#include "host/qt/binder.h"
#include "host/qt/control.h"
#include "host/qt/handles.h"
#include "host/qt/layout.h"
#include "host/qt/modal.h"
#include "plots/screen_fit.h"

namespace app {

namespace {

// One entry of a menu; the operation is always the tag followed by _Callback.
struct MenuItem {
    const char* label;
    const char* tag;
    bool separatorAbove = false;
    bool hidden = false;
};

QMenu* addMenu(QWidget* menuParent, const char* label, const char* tag) {
    auto* menu = new QMenu(QString::fromUtf8(label), menuParent);
    menu->setObjectName(QString::fromUtf8(tag));
    return menu;
}

void addItems(QMenu* menu, std::initializer_list<MenuItem> items, QWidget* window, host::Registry& registry,
              bool checkable = false) {
    for (const MenuItem& item : items) {
        if (item.separatorAbove) menu->addSeparator();
        QAction* action = menu->addAction(QString::fromUtf8(item.label));
        action->setObjectName(QString::fromUtf8(item.tag));
        action->setCheckable(checkable);
        action->setVisible(!item.hidden);
        host::bindCallback(action, window, kCommonModule, QString::fromUtf8(item.tag) + "_Callback", registry);
    }
}

void showPicture(const host::Handles& handles, const char* tag, const QString& path) {
    QPixmap picture;
    if (!picture.load(path)) throw std::runtime_error("cannot read the image " + path.toStdString());
    handles.get<QLabel>(tag)->setPixmap(picture);
}

QWidget* openWindow(const QString& tag) {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == tag && !w->property("zunoClosing").toBool()) return w;
    return nullptr;
}

}  // namespace

MenuHeaders KV_AddMenu(QWidget* window, const std::string& platform, host::Registry& registry) {
    auto* main = qobject_cast<QMainWindow*>(window);
    if (!main) throw std::runtime_error("the menu bar needs the main window, not '" +
                                        (window ? window->objectName().toStdString() : std::string("(none)")) + "'");
    // A fresh bar each time, so that building the menus twice never doubles them.
    auto* bar = new QMenuBar(main);
    main->setMenuBar(bar);

    MenuHeaders menus;
    menus.File = addMenu(bar, "&File", "menuFile");
    addItems(menus.File,
             {{"&New", "menuFileNew"},
              {"&Open...", "menuFileOpen"},
              {"&Save", "menuFileSave"},
              {"Save &As...", "menuFileSaveAs"},
              {"Analyze I/Q File...", "menuFileAnalyzeIQ", true},
              {"E&xit", "menuFileExit", true}},
             window, registry);

    menus.Plot = addMenu(bar, "&Plot", "menuPlot");
    addItems(menus.Plot,
             {{"&Spectrum", "menuPlotSpectrum"},
              {"Spectrum Analyzer...", "menuPlotSpectrumAnalyzer"},
              {"&Waterfall", "menuPlotWaterfall"},
              {"I(t) Q(t)", "menuPlotIQTime", true},
              {"I(t) Q(t) Overlaid", "menuPlotIQTimeSameAxes"},
              {"&Eye Diagram", "menuPlotEyeDiagram"},
              {"S&catter Diagram", "menuPlotScatterDiagram"},
              {"&CCDF", "menuPlotCCDF", true},
              {"Measure...", "menuPlotMeasure", true}},
             window, registry);

    menus.Config = addMenu(bar, "&Configuration", "menuConfig");
    addItems(menus.Config, {{"Carriers and Noise...", "menuConfigCarriers"}, {"&Sig Gen I/O", "menuConfigSigGenIO", true}},
             window, registry);
    if (platform == "c") {
        menus.Config->addSeparator();
        QMenu* memory = addMenu(menus.Config, "&Baseband Generator", "menuConfigBBG1");
        menus.Config->addMenu(memory);
        // The controller sets the check marks from configuration.BBGtype.
        addItems(memory,
                 {{"Option 00&1 (8 Msamples)", "menuConfigBBG1Opt1"},
                  {"Option 00&2 (32 Msamples)", "menuConfigBBG1Opt2"}},
                 window, registry, true);
    }

    menus.Special = addMenu(bar, "&Special", "menuSpecial");
    addItems(menus.Special, {{"Save &Wave...", "menuSpecialSaveWave"}}, window, registry);
    menus.Special->menuAction()->setVisible(false);

    menus.Help = addMenu(bar, "&Help", "menuHelp");
    addItems(menus.Help, {{"&About", "menuHelpAbout"}}, window, registry);

    for (QMenu* m : {menus.File, menus.Plot, menus.Config, menus.Special, menus.Help}) bar->addMenu(m);
    return menus;
}

QWidget* KV_Splash(host::Registry& registry) {
    QWidget* splash = host::openFigureReusing("KV_Splash", "figureKV_Splash", nullptr, registry);
    if (!splash->isVisible()) splash->setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint);
    host::positionChildWindow(splash, nullptr);
    plots::fitOnScreen(splash);
    showPicture(host::Handles(splash), "txtLogo", ":/images/splash.jpg");
    splash->show();
    splash->raise();
    // Start-up keeps the event loop busy until the main window appears: paint the splash now.
    QApplication::processEvents();
    return splash;
}

void registerAboutBox(host::Registry& registry) {
    registry.add(kAboutModule).add("pbOK_Callback", [](const host::Call& call) {
        host::uiresume(call.handles.window());
    });
}

void KV_About(QWidget* parent, const model::AppInfo* app, host::Registry& registry) {
    const bool parentValid = parent && parent->isWindow();
    const bool reused = openWindow("figureKV_About") != nullptr;
    QPointer<QWidget> box =
        host::openFigureReusing("KV_About", "figureKV_About", parentValid ? parent : nullptr, registry);
    // The box lives only while this runs, also when a step fails. A bad parent leaves alone a
    // box that was already open before this call.
    struct Disposer {
        QPointer<QWidget>& box;
        bool own;
        ~Disposer() {
            if (own && box) {
                host::closeWindow(box);
                box->deleteLater();
            }
        }
    } disposer{box, !reused};
    if (!parentValid) throw std::runtime_error("Input argument must be a handle to parent");
    disposer.own = true;

    model::AppInfo blanks;
    if (!app) {
        blanks.Name = blanks.Rev = blanks.Date = blanks.Notes = " ";
        blanks.NotesLine2 = blanks.NotesLine3 = blanks.NotesLine4 = " ";
        blanks.NotesLine5 = blanks.NotesLine6 = blanks.NotesLine7 = " ";
        app = &blanks;
    }

    const host::Handles h(box);
    host::resizeAllFonts(h);
    host::ctl(box).setName(app->Name);
    host::ctl(h["lblRevision"])
        .setString(QString::fromStdString(app->Rev).left(7).leftJustified(7, QLatin1Char(' ')).toStdString());
    host::ctl(h["lblDate"]).setString(app->Date);
    host::ctl(h["lblNotes"]).setString(app->Notes);
    const std::string* lines[] = {&app->NotesLine2, &app->NotesLine3, &app->NotesLine4,
                                  &app->NotesLine5, &app->NotesLine6, &app->NotesLine7};
    for (int i = 0; i < 6; ++i) host::ctl(h["txtNotesLine" + std::to_string(i + 2)]).setString(*lines[i]);
    showPicture(h, "txtLogo", ":/images/Brennix.jpg");
    // Centred only now: the larger fonts and the texts change the box's size.
    box->adjustSize();
    host::positionChildWindow(box, parent);
    plots::fitOnScreen(box);

    box->setWindowModality(Qt::ApplicationModal);
    box->show();
    box->raise();
    box->activateWindow();
    host::uiwait(box);
}

}  // namespace app
