#pragma once
// The makefile Korl writes into the project directory before every build:
// the project makefile (all sources, linked into the simulation) and the
// single-file one (Compile), plus the include scan that gives each source its
// dependency list.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "project/project.h"
#include "project/toollayout.h"

namespace korl {

inline constexpr const char* kMakefileName = "makefile";

// Where the build writes (and afterwards deletes) the makefile.
std::string MakefilePath(const Project& project);

// Last-write time of a file that can be opened for reading, else 0.
int64_t FileWriteTime(const std::string& path);

// Scans `filePath` for "#include" lines and appends every include that can be
// found to `item.includes`, recursing into each new one. Names are looked up
// relative to `projectDir`, then in each comma-separated directory of
// `includeDirs`; the resolved text is what is listed.
void ScanIncludes(ProjectItem& item, const std::string& filePath, const std::string& includeDirs,
                  const std::string& projectDir);

// Rescans a source when `force` is set or its write time differs from the
// time of the last scan. The SystemC/SCV flags are never reset.
void UpdateIncludes(ProjectItem& item, bool force, const std::string& includeDirs,
                    const std::string& projectDir);

// Comma-separated option text split as the C tokenizer does: empty entries
// vanish, blanks around entries stay.
std::vector<std::string> SplitOptionList(const std::string& text);
std::string ExtraPreprocessorFlags(const std::string& text); // "-DX " per entry
std::string ExtraIncludeFlags(const std::string& text);      // "-IX " per entry
std::string ExtraLibraryFlags(const std::string& text);      // libX.a -> "-lX ", X.o -> "X.o "
std::string ExtraLibraryPathFlags(const std::string& text);  // "-LX " per entry

// The source's name when it lies in the project directory, else its full path.
std::string MakePath(const ProjectItem& item, const std::string& projectDir);
// A path as a make target or prerequisite: blanks, tabs, "#", ":", ";" and
// the wildcard characters escaped with a backslash, "$" doubled.
std::string MakeDependencyPath(const std::string& path);
// One shell word for a recipe, as typed in an option: unchanged when it holds
// nothing the shell or make would read, else in single quotes ("$" doubled
// for make, "#" escaped).
std::string ShellWord(std::string_view text);
// A path in double quotes for a recipe, with the characters the shell reads
// inside them escaped and "$" doubled for make; nothing in it is ever run.
std::string ShellQuoted(std::string_view text);

// Why the project cannot be built (a name make cannot express, a source that
// is no regular file), or empty. The makefile writers refuse such projects.
std::string CheckBuildable(const Project& project);

// The project makefile; brings every source's include list up to date first.
std::string ProjectMakefileText(Project& project, const ToolLayout& tools, bool force);
// The makefile that compiles only `sourcePath` (a project source).
std::string FileMakefileText(const Project& project, const ToolLayout& tools, const std::string& sourcePath);

// Writes `text` as the makefile of `directory` (beside, then renamed). On
// failure nothing is left behind and `error` holds a message for the user.
bool WriteMakefile(const std::string& directory, const std::string& text, std::string* error);
bool WriteProjectMakefile(Project& project, const ToolLayout& tools, bool force,
                          std::string* error = nullptr);
bool WriteFileMakefile(const Project& project, const ToolLayout& tools, const std::string& sourcePath,
                       std::string* error = nullptr);

} // namespace korl
