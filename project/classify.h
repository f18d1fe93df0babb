#pragma once
// Classification of the lines that make, the compiler, the linker and the
// demangler print during a build: what the Compile pane shows for a line and
// whether it counts as an error or a warning.
#include <string>
#include <string_view>

namespace korl {

struct BuildLineContext {
    std::string targetName;        // shown in "... is up to date." (title + suffix, or stem + ".o")
    std::string projectTitle;      // names the executable the linker could not write
    std::string exeSuffix;         // "" here, ".exe" on Windows
    std::string makeName = "make"; // make prefixes its own lines with this ("make:", "make[1]:")
};

struct ClassifiedLine {
    std::string shown; // text for the pane, every line ending in "\r\n"; empty = hidden
    unsigned errors = 0;
    unsigned warnings = 0;
};

ClassifiedLine ClassifyBuildLine(std::string_view line, const BuildLineContext& context);

// True for a line that make printed about itself ("make: ...", "make[2]: ...").
bool IsMakeLine(std::string_view line, std::string_view makeName);

// True for the compiler's quotation of the user's source under a diagnostic
// ("   12 |   x = y;", "      |   ^~", "  +++ |+#include <x>"). Such lines are
// shown as they are and never counted: the quoted code may itself contain
// "error:" or "#error".
bool IsSourceExcerptLine(std::string_view line);

} // namespace korl
