// Run without debugging: the simulation on its own pseudo-terminal, its
// output to the Virtual Console as it is written, typed text to it, and
// the same end as a debugged run (exit flag 1 when it ended by itself,
// 0 when it was killed by a signal or stopped). Driven like the gdb
// session: the owner watches ConsoleFd() and calls the On...() methods.
#pragma once

#include "debugger/gdb_process.h"
#include "debugger/line_builder.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

// A project's program-arguments text split into words: blanks separate,
// single and double quotes group, a backslash takes the next character.
std::vector<std::string> SplitProgramArguments(std::string_view text);

inline constexpr std::string_view kRunCanceledByUser = "Run is canceled by user\r\n";

class Korl_ProgramRun {
public:
    struct Callbacks {
        std::function<void(std::string_view text)> output;
        std::function<void(int exitFlag)> ended; // exactly once
    };
    explicit Korl_ProgramRun(Callbacks callbacks);
    ~Korl_ProgramRun(); // kills the program without callbacks

    Korl_ProgramRun(const Korl_ProgramRun&) = delete;
    Korl_ProgramRun& operator=(const Korl_ProgramRun&) = delete;

    // Starts `executable` (a path; relative ones from `dir`) in `dir`.
    // False with `error` when it could not be started.
    bool Start(const std::string& executable, const std::vector<std::string>& args, const std::string& dir,
               std::string* error = nullptr);

    int ConsoleFd() const { return process_.tty.master(); }
    void OnConsoleReadable();
    bool ConsoleWantsWrite() const { return !input_.empty() && process_.tty.master() >= 0; }
    void OnConsoleWritable();
    // The program's end is looked for this often (ms), -1 once ended.
    int TimeoutMs() const { return ended_ ? -1 : 50; }
    void OnTimer();

    void WriteConsole(std::string_view text); // CR and CR LF become LF
    void Stop();                              // kills it; ends with exit flag 0
    bool Ended() const { return ended_; }
    int ExitFlag() const { return exitFlag_; }
    int ExitCode() const { return exitCode_; }
    pid_t Pid() const { return process_.pid; }

private:
    void End(int exitFlag);

    Callbacks callbacks_;
    GdbProcess process_;
    ConsoleStream console_;
    std::string input_;
    bool lastWasCR_ = false;
    bool ended_ = false;
    int exitFlag_ = 1;
    int exitCode_ = -1;
};

// Drives a run with poll() for at most `maxWaitMs`; false once it has ended.
bool PollRun(Korl_ProgramRun& run, int maxWaitMs);

} // namespace korl
