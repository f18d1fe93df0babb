#pragma once
// Subcommand registry of korlc. Each cmd_*.cpp registers its subcommands with
// a static KorlcRegistrar, so adding a command never touches the dispatcher.
#include <string>
#include <vector>

namespace korlc {

// argv[0] is the subcommand name; the return value is the exit status.
using CommandFn = int (*)(int argc, char** argv);

struct Command {
    const char* name;
    const char* summary; // one line for `korlc --help`
    CommandFn run;
};

std::vector<Command>& registry();

struct Registrar {
    explicit Registrar(Command c) { registry().push_back(c); }
};

// True when argv holds -h or --help after the subcommand name.
bool wantsHelp(int argc, char** argv);

} // namespace korlc
