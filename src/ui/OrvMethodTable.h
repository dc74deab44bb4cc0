// The handlers the interface's scripts may call with "ExecMethod": a table of
// names and functions, owned by whoever implements them (the game's shell).
// The interface engine checks every "ExecMethod" of a loaded file against it,
// so a misspelt name is a load error instead of a silent no-op.
//
//   TOrvMethodTable table;
//   table.Add("WTitle_BQuit_MouseUp", [&] { Quit(); });
//   table.Add("WTitle_BNewGame_MouseUp");          // named, not bound yet
//   engine.Owner = &table;
#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class TOrvMethodTable {
public:
    using THandler = std::function<void()>;

    // Adds or replaces a handler. An empty function names the handler
    // without an implementation: calling it reports that (see Call).
    void Add(const std::string& name, THandler handler = nullptr);
    // Binds an implementation to a name already in the table; false when the
    // name is not there (nothing is added then).
    bool Bind(const std::string& name, THandler handler);
    // Whether the name is in the table (exact letter case).
    bool Has(std::string_view name) const;
    // Whether the name is there with an implementation.
    bool IsBound(std::string_view name) const;
    // Runs the handler. Throws OrvException "[TOrvInterfaceEngine.ExecMethod]
    // Unknown method "X"!" for a name not in the table. A named handler
    // without an implementation does nothing but say so in the log, and
    // returns false; true after running one.
    bool Call(std::string_view name) const;
    // Every name, sorted.
    std::vector<std::string> Names() const;
    size_t Count() const { return handlers_.size(); }

private:
    std::map<std::string, THandler, std::less<>> handlers_;
};
