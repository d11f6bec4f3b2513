#pragma once
// Reading and writing the properties controllers use, whatever the kind of control:
// `Value` (1-based list position, 0/1 of a check box, slider position), `String`, `Enable`,
// `Visible`, `Checked`, `TooltipString`, `Pointer`, `Name` (window title) and `FontSize`.
// Setting a property never fires the control's callback.
#include <QObject>
#include <string>
#include <string_view>

namespace host {

class Control {
public:
    explicit Control(QObject* object);

    double value() const;
    void setValue(double v);
    std::string string() const;
    void setString(std::string_view text);
    bool enabled() const;
    void setEnabled(bool on);
    bool visible() const;
    void setVisible(bool on);
    bool checked() const;
    void setChecked(bool on);
    std::string tooltip() const;
    void setTooltip(std::string_view text);
    // "arrow" or "watch".
    std::string pointer() const;
    void setPointer(std::string_view shape);
    std::string name() const;
    void setName(std::string_view title);
    double fontSize() const;  // points; 0 for objects without a font
    void setFontSize(double points);
    bool hasFont() const;

    QObject* object() const { return object_; }

private:
    QObject* object_;
};

inline Control ctl(QObject* object) { return Control(object); }

}  // namespace host
