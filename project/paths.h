#pragma once
// Path text helpers shared by the project model and the makefile writer.
// Both "\" and "/" separate components, so project files written on Windows
// load here; what Korl writes itself uses "/". Comparisons are exact.
#include <cstdio>
#include <string>
#include <string_view>

namespace korl {

// The pieces of a path as the C runtime's splitter gives them: drive ("C:" or
// empty), directory (ends in a separator or is empty), base name, extension
// (from the last dot of the file name, dot included, or empty).
struct PathParts {
    std::string drive;
    std::string dir;
    std::string base;
    std::string ext;
};

bool IsSeparator(char c);
// "C:" and the like at the start: a path from a Windows machine, absolute.
bool StartsWithDrive(std::string_view path);
PathParts SplitPath(std::string_view path);

// Directory part (drive + dir) and file part (base + ext) of a path.
std::string DirectoryOf(std::string_view path);
std::string FileNameOf(std::string_view path);

// Extension from the last dot of the whole text ("" when there is none) and
// the text cut at its last dot.
std::string ExtensionOf(std::string_view name);
std::string StemOf(std::string_view name);

std::string ToForwardSlashes(std::string s);
std::string TrimWhitespace(std::string_view s);

// Stored form of `path` relative to the directory `base`, "../" for each
// level up; a path on another drive stays unchanged.
std::string MakeRelative(std::string_view path, std::string_view base);

// Collapses "." and ".." and repeated separators of an absolute directory and
// returns it with "/" separators and a trailing "/".
std::string NormalizeDirectory(std::string_view dir);

// Absolute directory (ending in "/") of a directory part read from a project
// file: empty means the project directory, a relative one is taken from the
// project directory, an absolute one stays where it is.
std::string ResolveStoredDirectory(std::string_view dirPart, std::string_view projectDir);

// Absolute, lexically normal form of a path given on a command line or by a
// file dialog, relative ones taken from `cwd` (the process's current
// directory when empty).
std::string AbsolutePath(std::string_view path, std::string_view cwd = {});

// A regular file (after following links): what can be read as text without
// blocking, unlike a FIFO or a device.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Opens a regular file for reading (nullptr for anything else), so a FIFO or
// device named in a project never blocks or floods the reader.
std::FILE* OpenRegularFile(const std::string& path, const char* mode);

} // namespace korl
