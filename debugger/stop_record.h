// Stop records, frame listings and source positions.
#pragma once

#include "base/short_name.h"

#include <optional>
#include <string>
#include <string_view>

namespace korl {

// Longest stop-record field kept (longer values are cut).
constexpr std::size_t kMaxStopField = 4096;

struct StopRecord {
    std::string reason;
    std::string file; // full path, empty when unknown
    std::string from;
    std::string signalMeaning;
    std::string signalName; // "SIGINT" for Korl's own interrupt
    int line = -1;          // 1-based, -1 when the record has none
};

// Maps a debug-information path of the installed SystemC and SCV libraries
// into the tree below `toolRoot`; other paths come back unchanged.
std::string MapLibraryPath(std::string_view path, std::string_view toolRoot);

// Full, normalised path of `path` taken relative to `workingDir`; empty when
// the directory it names does not exist.
std::string ResolveSourcePath(std::string_view path, std::string_view workingDir);

// `record` begins at "*stopped". Clears and fills `out`; a "bkptno=" value
// goes to `resultNumber`, which is left alone otherwise.
void ParseStopRecord(std::string_view record, std::string_view toolRoot, std::string_view workingDir,
                     StopRecord& out, int& resultNumber);

// The "^done" reply of -stack-list-frames as the Stack pane's text.
std::string ParseFrameListing(std::string_view reply, std::string_view workingDir);

// Go to source from one line of the Stack pane: the file and 1-based line,
// nullopt when the line has no "line=".
struct SourceLocation {
    std::string file;
    int line = 0;
};
std::optional<SourceLocation> StackLineLocation(std::string_view stackLine, std::string_view projectDir);

} // namespace korl
