#pragma once
// The one way every numeric field of the application reads what was typed into it, and the
// status where a window says why it kept a value.
#include <QObject>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

namespace host {

// A unit a field takes, and what one of it is in the unit the field stores ("kHz", 1e3).
struct EntryUnit {
    std::string name;
    double factor = 1;
};

// How a field reads: its name as the window shows it ("Output power"), the units it takes
// (none: a bare number only) and what a bare number counts in the field's stored unit (the
// unit the field shows next to it).
struct NumericField {
    std::string label;
    std::vector<EntryUnit> units;
    double bareFactor = 1;
};

// The field's number in its stored unit. Text that is not one number, optionally followed by
// one of the field's units (case ignored), gives nothing, and the window's status says so:
// `Output power: "abc" is not a number; kept -30 dBm`, `kept` being the value the field keeps
// as the caller shows it. A good entry clears that message again.
std::optional<double> readField(QObject* field, const NumericField& how, const std::string& kept);

// The units of a unit pop-up, item by item: its item texts with factors 1, 1e3, 1e6, ...
std::vector<EntryUnit> thousandsUnits(QObject* popup);

// Shows `text` where `w`'s window tells its status: its label tagged lblStatus, else its status
// bar, else those of the window it sits on.
void showWindowStatus(QWidget* w, const std::string& text);
// What that status shows now.
std::string windowStatus(QWidget* w);

}  // namespace host
