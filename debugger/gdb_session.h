// One debugging run: gdb on pipes with the machine interface, the program
// on its own pseudo-terminal, a queue of requests each answered at its
// prompt. Nothing blocks and no thread is started: the owner watches the
// file descriptors (QSocketNotifier, poll()) and calls the On...() methods.
// Callbacks run inside those calls and inside the request methods; they may
// call any method of the session, but must not destroy it.
#pragma once

#include "debugger/gdb_command.h"
#include "debugger/gdb_process.h"
#include "debugger/line_builder.h"
#include "debugger/mi_machine.h"
#include "debugger/value_decoder.h"
#include "debugger/value_tree.h"

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace korl {

inline constexpr std::string_view kCanceledByUser = "Debugging is canceled by user\r\n";
inline constexpr std::string_view kGdbEnded = "Korl: gdb has ended unexpectedly\r\n";
inline constexpr std::string_view kGdbDidNotStart = "Korl: gdb did not start\r\n";
inline constexpr std::string_view kGdbNotAnswering = "Korl: gdb does not answer\r\n";
inline constexpr std::string_view kExecutionDone = "\r\nKorl: Execution Done!";
inline constexpr std::string_view kExecutionAborted = "\r\nKorl: Execution Aborted!";

struct GdbSessionCallbacks {
    // Text for the Virtual Console, appended unchanged (lines end in "\r\n";
    // the program's output arrives as it is written, partial lines included).
    std::function<void(std::string_view text)> output;
    // A stop: the file (full path, empty when unknown) and 0-based line
    // (-2 when the record had none); `stopped` follows at once.
    std::function<void(const std::string& file, int line0)> position;
    // The program stopped: refresh the panes, enable the stepping commands.
    std::function<void()> stopped;
    // gdb refused a stepping command: a message box with the caption "Korl".
    std::function<void(const std::string& text)> errorBox;
    // gdb has ended and all its output is handled; runs exactly once.
    // 1: normal end, 0: aborted (signal, Stop Debugging).
    std::function<void(int exitFlag)> ended;
};

struct GdbStartOptions {
    std::string gdbPath = "/usr/bin/gdb"; // tool-chain root + "/bin/gdb"
    std::string executable;               // title + suffix, in projectDir
    std::string projectDir;
    std::string toolRoot;
    std::vector<std::string> programArgs; // passed to the program as they are
    std::chrono::milliseconds requestTimeout{10000};
    std::chrono::milliseconds startTimeout{30000};
};

class Korl_GdbSession : private MiMachine::Listener {
public:
    explicit Korl_GdbSession(GdbSessionCallbacks callbacks);
    ~Korl_GdbSession() override; // ends gdb and the program without callbacks

    Korl_GdbSession(const Korl_GdbSession&) = delete;
    Korl_GdbSession& operator=(const Korl_GdbSession&) = delete;

    // Starts gdb (it has not answered yet: requests queue up until its first
    // prompt). False with `error` ("Korl: cannot create pipe", "Korl: cannot
    // create Process", "Korl: cannot find the program PATH") when it could not
    // be started; no session remains then. A gdb that does not reach its
    // first prompt within startTimeout ends the run ("Korl: gdb did not start").
    bool Start(const GdbStartOptions& options, std::string* error = nullptr);

    // Descriptors to watch for reading; -1 once the session has ended.
    int GdbFd() const { return process_.out; }
    int ConsoleFd() const { return process_.tty.master(); }
    void OnGdbReadable();
    void OnConsoleReadable();
    // Typed input waiting for the program to read; watch ConsoleFd() for writing then.
    bool ConsoleWantsWrite() const { return !consoleInput_.empty() && process_.tty.master() >= 0; }
    void OnConsoleWritable();
    // Milliseconds until OnTimer() is due, -1 when no request waits.
    int TimeoutMs() const;
    void OnTimer();

    // Program control. Each is queued behind earlier requests; ignored while
    // the program runs (Running()).
    void Run();
    void Continue();
    void StepInto();
    void StepOver();
    void StepOut();
    void RunToCursor(std::string_view file, int line);
    // Stop Debugging: ends the program and gdb; the end path runs at once.
    void Stop();

    // Requests. While the program runs after Run or Continue, breakpoint
    // changes interrupt it, take effect and let it go on unseen; during a
    // step they wait for its stop, as evaluations and frame listings do. A request that gdb does not answer
    // within the bound fails (number 0, kNoSymbol, stack unchanged).
    void InsertBreakpoint(std::string_view file, int line, std::function<void(int number, int line)> done);
    void DeleteBreakpoint(int number, std::function<void()> done = {});
    void DeleteBreakpoint(std::shared_ptr<const int> number, std::function<void()> done = {});
    void Evaluate(std::string_view expression, std::function<void(const EvalResult&)> done);
    // A watch decoded (an aggregate as its collapsed line).
    void EvaluateWatch(std::string_view expression, std::function<void(const std::string&)> done);
    // A watch as a tree; an array's next page of elements (from its "..." child).
    void EvaluateWatchTree(std::string_view expression, std::function<void(const WatchValue&)> done);
    void LoadArrayPage(std::string_view arrayExpression, std::size_t from,
                       std::function<void(const WatchValue&)> done);
    void ListFrames(std::function<void(bool ok, const std::vector<StackFrame>& frames)> done);

    // Typed console text for the program (CR and CR LF become LF).
    void WriteConsole(std::string_view text);

    bool Started() const { return process_.pid > 0; }
    bool Ended() const { return ended_; }
    // The program has been started and is not at a stop the user sees.
    bool Running() const { return runSent_ && !atStop_ && !ended_; }
    // Stopped at a prompt with a position shown (stepping allowed).
    bool AtStop() const { return atStop_ && !ended_; }
    int ExitFlag() const { return machine_ ? machine_->exitFlag : 1; }
    void SetExitFlag(int flag);
    pid_t GdbPid() const { return process_.pid; }
    pid_t ProgramPid() const { return programPid_; }
    GdbState State() const { return machine_ ? machine_->State() : STATE_INIT; }
    const StopRecord& LastStop() const;
    const std::vector<StackFrame>& Frames() const; // of the last listing

private:
    enum class Phase { NotStarted, Starting, Idle, Busy, Running, Unresponsive, Exiting, Ended };
    struct Request {
        GdbCommand code;
        std::string argument;
        std::shared_ptr<const int> lazyNumber; // deletion of a breakpoint still being inserted
        std::function<void(bool answered)> done;
        bool internal = false; // Korl's own continue after an interrupt
    };

    void Enqueue(Request request);
    void Pump();
    void SendNow(Request request);
    void Write(GdbCommand code, std::string_view argument);
    void FailAll();
    void Interrupt();
    void End();
    void KillProcesses();
    void CloseFds();
    void Emit(std::string_view text);

    // MiMachine::Listener
    void Show(std::string_view text) override;
    void Reply() override;
    void Send(GdbCommand code) override;
    void Position(const std::string& file, int line0) override;
    void Stopped() override;
    void ErrorBox(const std::string& text) override;
    void Record(std::string_view line) override;
    int OwnInterrupt(const StopRecord& stop) override;
    void Interrupted() override;

    GdbSessionCallbacks callbacks_;
    GdbStartOptions options_;
    std::unique_ptr<MiMachine> machine_;
    LineBuilder lines_;
    ConsoleStream console_;
    std::string consoleInput_;
    bool lastInputWasCR_ = false;

    GdbProcess process_;
    pid_t programPid_ = -1;
    long long nextToken_ = 1;
    bool programExited_ = false;

    Phase phase_ = Phase::NotStarted;
    bool ended_ = false;
    bool atStop_ = false;
    bool runSent_ = false;
    std::deque<Request> queue_;
    std::unique_ptr<Request> current_;
    GdbCommand lastExec_ = CMD_RUN;
    // While an answer's callback runs: how many requests it has put at the
    // front of the queue so far; -1 otherwise.
    std::ptrdiff_t followUps_ = -1;
    bool interruptPending_ = false;
    bool interruptStop_ = false;
    std::chrono::steady_clock::time_point deadline_{};
    bool deadlineSet_ = false;
};

// Drives a session with poll() for at most `maxWaitMs` (one round of
// events); returns false once the session has ended. For tools and tests.
bool PollSession(Korl_GdbSession& session, int maxWaitMs);

// The closing line of a debugged run, for AppendConsoleLine.
std::string_view RunEndText(int exitFlag);
// After a normal end: project directory + vcdFileName + ".vcd" when that
// file exists, else empty (the caller opens it in a wave window).
std::string VcdToOpenAfterRun(int exitFlag, std::string_view projectDir, std::string_view vcdFileName);
// Before a run: the previous dump (project directory + title + ".vcd") goes.
void DeletePreviousVcd(std::string_view projectDir, std::string_view title);

} // namespace korl
