// Every command of vantorctl, registered group by group.
#pragma once

namespace vantor::cli {

class Cli;

// Every group, in the order vantorctl lists them.
void AddAllCommands(Cli& cli);

}  // namespace vantor::cli
