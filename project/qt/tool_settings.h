#pragma once
// Where the user has pointed Korl at other tools: the settings group "Tools"
// (ToolRoot, Make, Compiler, Debugger, SystemCInclude, ...).
#include "project/toollayout.h"

namespace korl {

// The non-empty values of the "Tools" group, keyed as ToolLayout names them.
ToolOverrides ToolOverridesFromSettings();

// The layout of the running program with those overrides applied.
ToolLayout ToolLayoutFromSettings();

} // namespace korl
