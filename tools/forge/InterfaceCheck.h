// The part of "forge --check" that proves the interface file complete: the
// file reads back with the game's structure rules, every object and handler
// the game's code looks up exists, every script command is well formed and
// names what exists, every picture and sound it names is shipped (and every
// picture listed for loading), every font exists, every caption fits its
// control in its font, and the language files name only real objects.
#pragma once

#include <string>
#include <vector>

#include "Forge.h"
#include "ForgeCheck.h"

namespace forge {

// The game's handlers that scripts may call with ExecMethod.
const std::vector<std::string>& GameHandlerNames();

// The interface objects the game's code looks up by name, for the scenes of
// this build (chapter and level pages, artefact names).
std::vector<std::string> GameObjectNames(const TContentBuild& build);

// Adds the interface's problems (and a note with its counts) to the report.
// handlers: the names ExecMethod may call (normally GameHandlerNames()).
void CheckInterface(const TContentBuild& build, const std::vector<std::string>& handlers, TCheckReport& report);

// The commands of a script as the game cuts them: ';' outside double quotes
// ends a command; text after the last ';' is returned in rest.
std::vector<std::string> SplitScript(const std::string& script, std::string* rest);

}  // namespace forge
