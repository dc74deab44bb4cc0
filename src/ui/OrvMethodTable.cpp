#include "ui/OrvMethodTable.h"

#include "base/OrvException.h"
#include "base/OrvLog.h"

void TOrvMethodTable::Add(const std::string& name, THandler handler) {
    handlers_[name] = std::move(handler);
}

bool TOrvMethodTable::Bind(const std::string& name, THandler handler) {
    const auto it = handlers_.find(name);
    if (it == handlers_.end()) return false;
    it->second = std::move(handler);
    return true;
}

bool TOrvMethodTable::Has(std::string_view name) const {
    return handlers_.find(name) != handlers_.end();
}

bool TOrvMethodTable::IsBound(std::string_view name) const {
    const auto it = handlers_.find(name);
    return it != handlers_.end() && static_cast<bool>(it->second);
}

bool TOrvMethodTable::Call(std::string_view name) const {
    const auto it = handlers_.find(name);
    if (it == handlers_.end())
        throw OrvException("[TOrvInterfaceEngine.ExecMethod] Unknown method \"" + std::string(name) + "\"!");
    if (!it->second) {
        TOrvLog::Instance().Write("[TOrvInterfaceEngine.ExecMethod] Method \"" + std::string(name) +
                                  "\" has no implementation yet.");
        return false;
    }
    // A copy, so a handler that rebinds or removes its own entry cannot pull
    // the function out from under itself.
    const THandler handler = it->second;
    handler();
    return true;
}

std::vector<std::string> TOrvMethodTable::Names() const {
    std::vector<std::string> names;
    names.reserve(handlers_.size());
    for (const auto& entry : handlers_) names.push_back(entry.first);
    return names;
}
