#pragma once
// A build run on the terminal, shared by the commands that build first.
#include <string>

#include "project/buildrunner.h"
#include "project/project.h"

namespace korlc {

// Writes Compile-pane text to standard output with its "\r\n" as "\n".
void PrintPaneText(const std::string& text);

// Runs one build of `project` to its end, printing what the Compile pane
// would show. Ctrl+C, SIGTERM and SIGHUP stop it as Stop Build does, so no
// make or compiler outlives korlc. False with *error when it could not start.
// `jobs` 0: one per processor.
bool RunConsoleBuild(korl::BuildKind kind, korl::Project& project, const std::string& source, unsigned jobs,
                     korl::BuildResult* result, std::string* error);

} // namespace korlc
