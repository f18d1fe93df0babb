// Stop records, frame listings and source positions.
#pragma once

#include "base/short_name.h"

#include <string>
#include <string_view>
#include <vector>

namespace korl {

// Longest stop-record field kept (longer values are cut).
constexpr std::size_t kMaxStopField = 4096;

struct MiValue;
struct MiRecord;

// One frame of a stop or a frame listing, as gdb gave it.
struct StackFrame {
    int level = -1;
    std::string func;    // as gdb names it ("??" when unknown)
    std::string file;    // full path of an existing source; empty for library code and frames without one
    std::string gdbFile; // "file=" as gdb gave it
    int line = -1;
    std::string from; // the library, last path component
    std::string addr;
};

struct StopRecord {
    std::string reason;
    std::string file; // full path, empty when unknown
    std::string from;
    std::string signalMeaning;
    std::string signalName; // "SIGINT" for Korl's own interrupt
    int line = -1;          // 1-based, -1 when the record has none
    int bkptno = 0;
    StackFrame frame;
};

// Maps a debug-information path of the installed SystemC and SCV libraries
// into the tree below `toolRoot`; other paths come back unchanged.
std::string MapLibraryPath(std::string_view path, std::string_view toolRoot);

// Full, normalised path of `path` taken relative to `workingDir`; empty when
// the directory it names does not exist.
std::string ResolveSourcePath(std::string_view path, std::string_view workingDir);

// A parsed "*stopped" record. Clears and fills `out`; a "bkptno=" value
// goes to `resultNumber`, which is left alone otherwise.
void StopRecordFrom(const MiRecord& record, std::string_view toolRoot, std::string_view workingDir,
                    StopRecord& out, int& resultNumber);
// The same from the record's text (beginning at "*stopped"); a malformed
// record leaves `out` cleared.
void ParseStopRecord(std::string_view record, std::string_view toolRoot, std::string_view workingDir,
                     StopRecord& out, int& resultNumber);

// One frame tuple; `toolRoot` maps library paths (empty: library frames get no file).
StackFrame FrameFrom(const MiValue& frame, std::string_view toolRoot, std::string_view workingDir);
// The frames of a "^done,stack=[...]" reply.
std::vector<StackFrame> FramesFrom(const MiValue& results, std::string_view workingDir);
std::vector<StackFrame> ParseFrameListing(std::string_view reply, std::string_view workingDir);

// A function name for display: no parameter list, long template argument
// lists shortened to "<...>".
std::string ShortFunctionName(std::string_view func);
// "N  function  file:line" for a frame with source, "N  function  in library"
// for the others (FILE by the project rule of ProjectShortName).
std::string FrameText(const StackFrame& frame, std::string_view projectDir);
// The status text of a stop without source: "Stopped in FUNCTION in LIBRARY"
// (or without the library when gdb names none).
std::string NoSourcePositionText(const StackFrame& frame);
// All frames, one line each ending in "\r\n".
std::string StackText(const std::vector<StackFrame>& frames, std::string_view projectDir);

} // namespace korl
