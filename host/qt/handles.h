#pragma once
// The controls of one window by tag (objectName). Lookups are live, so items added after the
// layout was loaded (the menu bar) are found as well.
#include <QPointer>
#include <QWidget>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace host {

class Handles {
public:
    Handles() = default;
    explicit Handles(QWidget* window) : window_(window) {}

    QWidget* window() const { return window_; }
    bool valid() const { return !window_.isNull(); }
    // The window itself when its own tag is asked for; nullptr when there is no such control.
    QObject* find(std::string_view tag) const;
    bool has(std::string_view tag) const { return find(tag) != nullptr; }
    // Throws std::runtime_error naming the tag and the window when it is missing.
    QObject* operator[](std::string_view tag) const;
    template <class T>
    T* get(std::string_view tag) const {
        T* t = qobject_cast<T*>((*this)[tag]);
        if (!t) throw std::runtime_error("control '" + std::string(tag) + "' is not of the expected kind");
        return t;
    }
    // Every object of the window that carries a tag, the window first; not those of the dialog
    // windows made as its children.
    std::vector<QObject*> all() const;

private:
    bool inOtherWindow(const QObject* o) const;

    QPointer<QWidget> window_;
};

}  // namespace host
