#pragma once
// Starting child processes: argument vector, working directory, environment,
// where standard input comes from, and an own process group so that stopping
// the child can end everything it started. Standard output and error share
// one pipe. Reading, waiting and stopping are the owner's business.
#include <sys/types.h>

#include <string>
#include <vector>

#include "base/result.h"

namespace korl {

// A pseudo-terminal pair: give a program the slave's name (for a debugger's
// inferior) or its standard streams (SpawnOptions::terminal); read and write
// the master. The slave stays open here, so reading the master does not fail
// while no program holds the terminal.
class PseudoTerminal {
public:
    PseudoTerminal() = default;
    ~PseudoTerminal();
    PseudoTerminal(PseudoTerminal&& other) noexcept;
    PseudoTerminal& operator=(PseudoTerminal&& other) noexcept;

    int master() const { return master_; } // non-blocking
    int slave() const { return slave_; }
    const std::string& name() const { return name_; }
    void Close();

private:
    friend Result<PseudoTerminal> OpenPseudoTerminal(bool echo);
    int master_ = -1;
    int slave_ = -1;
    std::string name_;
};

// `echo` false suits a console that shows typed keys itself.
Result<PseudoTerminal> OpenPseudoTerminal(bool echo);

struct SpawnOptions {
    enum class Input {
        Null,   // /dev/null
        Pipe,   // a pipe; the parent's end is SpawnedProcess::input
        Socket, // a socket: writing after the child's end fails with EPIPE instead of killing by SIGPIPE
                // when the writer uses send(MSG_NOSIGNAL)
    };
    std::vector<std::string> argv; // argv[0]: program path, or a name searched in PATH
    std::string workingDirectory;  // empty: the current directory
    Input input = Input::Null;
    bool cLocale = true;                  // LC_ALL=C, so tools print the texts the caller reads
    std::vector<std::string> environment; // extra "NAME=value" entries, override inherited ones
    // When given, the child's standard streams are this terminal's slave and
    // the terminal becomes its controlling terminal (its own session); `input`
    // is then ignored and SpawnedProcess::output is -1 (read the master).
    const PseudoTerminal* terminal = nullptr;
};

// File descriptors of a started child; the caller owns them (close-on-exec,
// output and input non-blocking). -1 where there is none.
struct SpawnedProcess {
    pid_t pid = -1; // also the process group id
    int output = -1;
    int input = -1;
    int exitFd = -1; // pidfd: readable once the child has ended (-1 when the system has none)
};

// Errors: "no program to start", "cannot change to directory DIR: reason",
// "cannot create pipe: reason", "cannot start PROGRAM: reason".
Result<SpawnedProcess> Spawn(const SpawnOptions& options);

// The environment a child gets: the inherited one with the overrides applied.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& overrides, bool cLocale);

// Processes of the group `pgid` that have not ended (zombies left out), with
// their command names as /proc gives them, in pid order.
struct ProcessInfo {
    pid_t pid;
    std::string name;
};
std::vector<ProcessInfo> ProcessesInGroup(pid_t pgid);

} // namespace korl
