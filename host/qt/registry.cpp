#include "host/qt/registry.h"

#include <iostream>
#include <stdexcept>

namespace host {

void Module::invoke(std::string_view operation, const Call& call) const {
    auto it = ops_.find(operation);
    if (it == ops_.end())
        throw std::runtime_error("Undefined operation '" + std::string(operation) + "' of " + name_);
    it->second(call);
}

Registry& Registry::instance() {
    static Registry registry;
    return registry;
}

Module& Registry::add(std::string name) {
    auto module = std::make_unique<Module>(name);
    Module& m = *module;
    modules_[std::move(name)] = std::move(module);
    return m;
}

Module& Registry::module(std::string_view name) {
    if (Module* m = find(name)) return *m;
    return add(std::string(name));
}

void Registry::remove(std::string_view name) {
    auto it = modules_.find(name);
    if (it != modules_.end()) modules_.erase(it);
}

Module* Registry::find(std::string_view name) {
    auto it = modules_.find(name);
    return it == modules_.end() ? nullptr : it->second.get();
}

bool Registry::has(std::string_view module, std::string_view operation) {
    const Module* m = find(module);
    return m && m->has(operation);
}

bool Registry::dispatch(std::string_view module, const Value& first, const Call& call) {
    if (!first.isText()) return false;
    return this->call(module, first.text(), call);
}

bool Registry::call(std::string_view module, std::string_view operation, const Call& call) {
    std::ostream& out = console_ ? *console_ : std::cout;
    try {
        Module* m = find(module);
        if (!m) throw std::runtime_error("Undefined module '" + std::string(module) + "'");
        m->invoke(operation, call);
        return true;
    } catch (const std::exception& e) {
        out << e.what() << std::endl;
    } catch (...) {
        out << "Unknown error in " << module << " " << operation << std::endl;
    }
    return false;
}

}  // namespace host
