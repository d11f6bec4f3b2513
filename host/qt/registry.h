#pragma once
// Modules and their operations by name, and the dispatch rule with its error trap: an
// operation called through the registry that throws has its message written to the console
// (standard output) and the application goes on.
#include <QObject>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "host/core/value.h"
#include "host/qt/handles.h"

namespace host {

// What an operation receives: the control or menu item that called (may be null) and the
// handles of its window.
struct Call {
    QObject* source = nullptr;
    Handles handles;
};

using Operation = std::function<void(const Call&)>;

class Module {
public:
    explicit Module(std::string name) : name_(std::move(name)) {}
    const std::string& name() const { return name_; }
    void add(std::string operation, Operation op) { ops_[std::move(operation)] = std::move(op); }
    bool has(std::string_view operation) const { return ops_.find(std::string(operation)) != ops_.end(); }
    // Runs the operation; throws std::runtime_error when the module has none of that name.
    void invoke(std::string_view operation, const Call& call) const;

private:
    std::string name_;
    std::map<std::string, Operation, std::less<>> ops_;
};

class Registry {
public:
    // The one registry of the process.
    static Registry& instance();

    Module& add(std::string name);  // replaces a module of the same name
    Module& module(std::string_view name);  // the module of that name, made when missing
    void remove(std::string_view name);
    Module* find(std::string_view name);
    bool has(std::string_view module, std::string_view operation);

    // The dispatch rule: a first argument that is text names the operation, which runs inside
    // the trap; any other first argument does nothing. Returns true when the operation ran to
    // its end.
    bool dispatch(std::string_view module, const Value& first, const Call& call = {});
    bool call(std::string_view module, std::string_view operation, const Call& call = {});

    // Where trapped messages go; standard output unless a test redirects it.
    void setConsole(std::ostream* out) { console_ = out; }

private:
    std::map<std::string, std::unique_ptr<Module>, std::less<>> modules_;
    std::ostream* console_ = nullptr;
};

}  // namespace host
