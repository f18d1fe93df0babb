#pragma once
// Jump to source from a Compile pane line: "x.cpp:12:5: error: ..." names
// x.cpp, line 12.
#include <optional>
#include <string>
#include <string_view>

namespace korl {

struct JumpTarget {
    std::string file; // as the line gives it: relative to the project directory, or absolute
    int line = 0;     // 1-based
};

// The file and line an error or warning line points at; nothing for other
// lines. Only the first 1,024 bytes of the line are read.
std::optional<JumpTarget> ParseJumpLine(std::string_view paneLine);

// Full path of a jump target's file: a file without directory lies in the
// project directory, a relative directory is taken from there.
std::string ResolveJumpFile(std::string_view file, std::string_view projectDirectory);

} // namespace korl
