#include "host/qt/layout.h"

#include <QApplication>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QUiLoader>
#include <cmath>
#include <map>
#include <stdexcept>

#include "host/qt/binder.h"
#include "host/qt/control.h"

namespace host {

namespace {

std::map<QString, std::function<QWidget*(QWidget*)>>& factories() {
    static std::map<QString, std::function<QWidget*(QWidget*)>> f;
    return f;
}

class Loader : public QUiLoader {
public:
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override {
        auto it = factories().find(className);
        if (it == factories().end()) return QUiLoader::createWidget(className, parent, name);
        QWidget* w = it->second(parent);
        w->setObjectName(name);
        return w;
    }
};

}  // namespace

void registerWidgetFactory(const QString& className, std::function<QWidget*(QWidget* parent)> factory) {
    factories()[className] = std::move(factory);
}

QWidget* loadLayout(std::string_view name, QWidget* parent) {
    const QString path = ":/ui/" + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())) + ".ui";
    QFile file(path);
    if (!file.open(QFile::ReadOnly)) throw std::runtime_error("cannot open the layout " + path.toStdString());
    Loader loader;
    QWidget* w = loader.load(&file, parent);
    if (!w) throw std::runtime_error("cannot load the layout " + path.toStdString() + ": " + loader.errorString().toStdString());
    if (parent) w->setWindowFlags(w->windowFlags() | Qt::Window);
    w->hide();
    return w;
}

QWidget* loadFigure(std::string_view name, QWidget* parent, Registry& registry) {
    QWidget* w = loadLayout(name, parent);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QApplication::palette().color(QPalette::Window));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
    bindCallbacks(w, registry);
    positionChildWindow(w, parent);
    return w;
}

QWidget* openFigureReusing(std::string_view name, std::string_view tag, QWidget* parent, Registry& registry) {
    const QString t = QString::fromUtf8(tag.data(), static_cast<qsizetype>(tag.size()));
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == t && !w->property("zunoClosing").toBool()) return w;
    return loadFigure(name, parent, registry);
}

void positionChildWindow(QWidget* child, QWidget* parent) {
    if (!child) return;
    child->ensurePolished();
    if (!child->testAttribute(Qt::WA_Resized)) child->resize(child->sizeHint());
    QRect area;
    if (parent) {
        area = parent->geometry();
    } else if (QScreen* s = child->screen() ? child->screen() : QGuiApplication::primaryScreen()) {
        area = s->geometry();
    }
    const QSize size = child->size();
    child->move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
}

void resizeAllFonts(const Handles& handles, double dpi) {
    if (dpi < 0) {
        QScreen* s = handles.window() && handles.window()->screen() ? handles.window()->screen()
                                                                     : QGuiApplication::primaryScreen();
        // With high-DPI scaling a 120 dpi screen reports 96 logical dpi and a pixel ratio of 1.25.
        dpi = s ? s->logicalDotsPerInch() * s->devicePixelRatio() : 0;
    }
    if (dpi != 96) return;
    // Read every size first: enlarging a container would otherwise enlarge its children twice.
    std::vector<std::pair<QObject*, double>> sizes;
    for (QObject* o : handles.all()) {
        Control c(o);
        if (c.hasFont()) sizes.emplace_back(o, c.fontSize());
    }
    for (auto [o, size] : sizes) Control(o).setFontSize(std::round(1.1 * size));
}

}  // namespace host
