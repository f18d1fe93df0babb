// gdb as a child process: its machine interface on a socket (input) and a
// pipe (output), the debugged program on its own pseudo-terminal, all in a
// process group of their own so that ending the run leaves nothing behind.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "base/process.h"

namespace korl {

struct GdbProcess {
    int in = -1;        // gdb's standard input (commands), a socket: no SIGPIPE
    int out = -1;       // gdb's standard output and error, non-blocking
    PseudoTerminal tty; // the program's terminal; its name goes to gdb's --tty=
    int exitFd = -1;    // readable once gdb (or the program) has ended
    pid_t pid = -1;

    // Opens the terminal (echo off: the console shows typed keys itself).
    bool OpenTerminal(std::string* error);
    // Starts `argv` (argv[0] a path) in `dir` with LC_ALL=C. On failure
    // `error` holds "Korl: cannot create pipe" or "Korl: cannot create Process".
    // With `onTerminal` the opened terminal is the child's standard input,
    // output and error, in a session of its own.
    bool Spawn(const std::vector<std::string>& argv, const std::string& dir, std::string* error,
               bool onTerminal = false);
    // Kills gdb, the program and everything below them, and reaps gdb.
    void Kill(pid_t program);
    // Waits up to `ms` for gdb to leave by itself; true when it has.
    bool Reap(int ms);
    void CloseFds();
};

} // namespace korl
