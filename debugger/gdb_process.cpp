#include "debugger/gdb_process.h"

#include <dirent.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace korl {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

// Parent pid of `pid` from /proc, -1 when unknown.
pid_t ParentOf(pid_t pid) {
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* f = std::fopen(path, "r");
    if (!f) return -1;
    char buffer[1024];
    std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    // "pid (comm) state ppid ...": comm may hold blanks and parentheses
    char* close = std::strrchr(buffer, ')');
    if (!close) return -1;
    int ppid = -1;
    char state = 0;
    if (std::sscanf(close + 1, " %c %d", &state, &ppid) != 2) return -1;
    return pid_t(ppid);
}

// Every process below `root` (gdb's program and whatever it started).
std::vector<pid_t> Descendants(pid_t root) {
    std::vector<std::pair<pid_t, pid_t>> all; // pid, parent
    if (DIR* dir = ::opendir("/proc")) {
        while (dirent* e = ::readdir(dir)) {
            char* end = nullptr;
            long pid = std::strtol(e->d_name, &end, 10);
            if (end == e->d_name || *end != 0) continue;
            all.emplace_back(pid_t(pid), ParentOf(pid_t(pid)));
        }
        ::closedir(dir);
    }
    std::vector<pid_t> found{root};
    for (std::size_t i = 0; i < found.size(); ++i)
        for (auto& [pid, parent] : all)
            if (parent == found[i]) found.push_back(pid);
    found.erase(found.begin());
    return found;
}

} // namespace

namespace {

bool Fail(std::string* error, const char* text) {
    if (error) *error = text;
    return false;
}

} // namespace

bool GdbProcess::OpenTerminal(std::string* error) {
    // Echo off: the console shows typed keys itself.
    Result<PseudoTerminal> opened = OpenPseudoTerminal(false);
    if (!opened) return Fail(error, "Korl: cannot create pipe");
    tty = std::move(*opened);
    return true;
}

bool GdbProcess::Spawn(const std::vector<std::string>& argv, const std::string& dir, std::string* error,
                       bool onTerminal) {
    SpawnOptions options;
    options.argv = argv;
    options.workingDirectory = dir;
    // gdb's standard input is a socket so that writing after its end gives
    // an error instead of SIGPIPE.
    options.input = SpawnOptions::Input::Socket;
    options.terminal = onTerminal ? &tty : nullptr;
    Result<SpawnedProcess> child = korl::Spawn(options);
    if (!child) {
        const bool pipe = child.error().message.rfind("cannot create pipe", 0) == 0;
        return Fail(error, pipe ? "Korl: cannot create pipe" : "Korl: cannot create Process");
    }
    pid = child->pid;
    in = child->input;
    out = child->output;
    exitFd = child->exitFd;
    return true;
}

void GdbProcess::Kill(pid_t program) {
    if (pid <= 0) return;
    std::vector<pid_t> below = Descendants(pid);
    if (program > 0) below.push_back(program);
    // SIGKILL cannot be ignored; gdb's program runs in its own session, so
    // its group is ended apart from gdb's.
    for (pid_t p : below) {
        ::kill(-p, SIGKILL);
        ::kill(p, SIGKILL);
    }
    ::kill(-pid, SIGKILL);
    int status;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    pid = -1;
}

bool GdbProcess::Reap(int ms) {
    for (int i = 0; pid > 0 && i <= ms / 10; ++i) {
        int status;
        pid_t r = ::waitpid(pid, &status, WNOHANG);
        if (r == pid || (r < 0 && errno != EINTR)) {
            pid = -1;
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return pid <= 0;
}

void GdbProcess::CloseFds() {
    CloseFd(in);
    CloseFd(out);
    CloseFd(exitFd);
    tty.Close();
}

} // namespace korl
