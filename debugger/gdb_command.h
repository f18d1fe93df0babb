// The commands Korl writes to gdb's machine interface.
#pragma once

#include <string>
#include <string_view>

namespace korl {

enum GdbCommand {
    CMD_RUN = 0,
    CMD_EXIT = 1,
    CMD_BREAK_INSERT = 2,
    CMD_BREAK_DELETE = 3,
    CMD_CONTINUE = 4,
    CMD_STEP = 5,
    CMD_NEXT = 6,
    CMD_FINISH = 7,
    CMD_UNTIL = 8,
    CMD_EVALUATE = 9,
    CMD_STACK_LIST = 10,
};

// Reader states; codes are fixed (they appear in the internal-error texts
// and are shared with the window layer). STATE_INTERRUPTED is Korl's own:
// a stop it caused to change breakpoints while the program runs.
enum GdbState {
    STATE_INIT = 0,
    STATE_EXEC = 1,
    STATE_RUNNING = 2,
    STATE_LISTEN = 3,
    STATE_EXIT = 4,
    STATE_BREAK_INSERT = 5,
    STATE_BREAK_DELETE = 6,
    STATE_STOP = 7,
    STATE_EVALUAE_EXPRESSION = 8,
    STATE_STACK_LIST = 9,
    STATE_INTERRUPTED = 10,
};

// Longest argument accepted; longer arguments are refused by the callers
// rather than cut, since a cut expression or path means something else.
constexpr std::size_t kMaxCommandArgument = 16 * 1024;

// The text written to gdb for `code` with `argument` (ignored by commands
// without one), ending in CR LF. Line ends inside the argument become
// blanks so one command can never turn into two.
std::string FormatGdbCommand(GdbCommand code, std::string_view argument = {});

// State set before the command is written.
GdbState StateForCommand(GdbCommand code);

// True for the commands that let the program run.
bool IsExecCommand(GdbCommand code);

// Breakpoint location: backslashes become slashes; a path with a blank is
// wrapped in escaped quotes; then "\"%s:%d\"".
std::string BreakpointLocation(std::string_view file, int line);

// Run to Cursor location: the plain path in quotes ("PATH:N"); this gdb
// refuses escaped quotes for -exec-until.
std::string UntilLocation(std::string_view file, int line);

// An expression as one machine-interface parameter: bare when it is a
// single word, else a quoted C string.
std::string QuoteExpression(std::string_view expression);

} // namespace korl
