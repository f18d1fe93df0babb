#pragma once
// A child process with its standard output and error merged on one pipe, an
// optional pipe to its standard input, run in its own process group so that
// stopping it ends everything it started.
//
// Nothing here blocks or uses threads: the owner watches outputFd() (and
// exitFd()) for readability, from poll() in a console program or from
// socket notifiers in the window program, and calls readAvailable() when
// either is ready. finished() turns true only after every line the child
// wrote has been returned by readAvailable(), so end handling always comes
// after the output.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/process.h"
#include "project/lineassembler.h"

namespace korl {

struct ChildProcessOptions {
    std::vector<std::string> argv;        // argv[0]: program path, or a name searched in PATH
    std::string workingDirectory;         // empty: the current directory
    bool withInput = false;               // stdin on a pipe (writeInput); otherwise /dev/null
    bool cLocale = true;                  // LC_ALL=C, so tools print the texts the classifier reads
    std::vector<std::string> environment; // extra "NAME=value" entries, override inherited ones
    std::size_t maxLineLength = LineAssembler::kDefaultMaxLength;
};

// Tools of the build found running when it was stopped.
struct StopReport {
    bool compilerRunning = false; // cc1plus
    bool linkerRunning = false;   // collect2 or ld
    // "Compiling is canceled by user.\r\n", "Linking is canceled by user.\r\n"
    // or empty; the one found last wins.
    std::string message;
};

class ChildProcess {
public:
    ~ChildProcess(); // a child still running is killed with its group and reaped
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // Readable when output is waiting or the pipe has closed; -1 once the
    // end of the output has been seen (stop watching it then).
    int outputFd() const { return outputEnded_ ? -1 : outFd_; }
    // Readable once the process has ended (a pidfd); -1 when the system has
    // none (then call finished() from a timer) or after it has been reaped.
    int exitFd() const { return reaped_ ? -1 : pidFd_; }

    // Reads what is there without blocking (at most about 64 KiB per call, so
    // a chatty child cannot starve an event loop) and returns the complete
    // lines. Call it whenever outputFd() or exitFd() is readable.
    std::vector<std::string> readAvailable();

    // True once the process has ended and all of its output has been read
    // and returned. A partial last line is dropped then.
    bool finished();
    bool running() { return !finished(); }

    // Exit status once finished: the exit code, or 128 + signal number.
    int exitCode() const { return exitCode_; }
    bool exitedBySignal() const { return bySignal_; }

    // Sends bytes to the child's standard input without blocking; what the
    // pipe cannot take now is kept (up to 64 KiB) and sent by later calls.
    // False when the input is closed or not a pipe, or the backlog is full.
    bool writeInput(std::string_view bytes);
    void closeInput();

    // Stop Build: looks which tools of the group are running, then asks the
    // whole group to end (SIGTERM, so make deletes half-written targets).
    // Members still there when the process itself has ended, or two
    // seconds later, are killed.
    StopReport stop();
    // Kills the whole group at once.
    void kill();
    bool stopRequested() const { return stopping_; }

private:
    friend std::unique_ptr<ChildProcess> StartChildProcess(const ChildProcessOptions&, std::string*, int*);
    explicit ChildProcess(std::size_t maxLineLength) : assembler_(maxLineLength) {}
    void tryReap();
    void escalate();
    void flushInput();

    pid_t pid_ = -1;
    int outFd_ = -1;
    int inFd_ = -1;
    int pidFd_ = -1;
    LineAssembler assembler_;
    bool outputEnded_ = false;
    bool reaped_ = false;
    bool done_ = false;
    int exitCode_ = -1;
    bool bySignal_ = false;
    bool stopping_ = false;
    std::chrono::steady_clock::time_point killAt_{};
    std::string pendingInput_;
};

// Starts the child. On failure returns null and says why in `error`
// (program not found, working directory missing, ...) and, when the system
// gave one, its errno value in `code`.
std::unique_ptr<ChildProcess> StartChildProcess(const ChildProcessOptions& options, std::string* error,
                                                int* code = nullptr);

} // namespace korl
