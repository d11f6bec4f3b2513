#include "host/qt/handles.h"

namespace host {

QObject* Handles::find(std::string_view tag) const {
    if (!window_) return nullptr;
    const QString name = QString::fromUtf8(tag.data(), static_cast<qsizetype>(tag.size()));
    if (window_->objectName() == name) return window_.data();
    return window_->findChild<QObject*>(name);
}

QObject* Handles::operator[](std::string_view tag) const {
    QObject* o = find(tag);
    if (!o)
        throw std::runtime_error("there is no control '" + std::string(tag) + "' in window '" +
                                 (window_ ? window_->objectName().toStdString() : std::string("(closed)")) + "'");
    return o;
}

bool Handles::inOtherWindow(const QObject* o) const {
    // Dialog windows made as children of this one are windows of their own, with their own
    // handles; menus (pop-ups) belong to the window whose bar holds them.
    for (const QObject* p = o; p && p != window_.data(); p = p->parent()) {
        const auto* w = qobject_cast<const QWidget*>(p);
        if (w && w->isWindow() && w->windowType() != Qt::Popup) return true;
    }
    return false;
}

std::vector<QObject*> Handles::all() const {
    std::vector<QObject*> out;
    if (!window_) return out;
    out.push_back(window_.data());
    for (QObject* o : window_->findChildren<QObject*>())
        if (!o->objectName().isEmpty() && !o->objectName().startsWith("qt_") && !inOtherWindow(o)) out.push_back(o);
    return out;
}

}  // namespace host
