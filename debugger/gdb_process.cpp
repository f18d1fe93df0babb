#include "debugger/gdb_process.h"

#include "debugger/mi_text.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

extern char** environ;

namespace korl {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void SetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
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
    // The program's terminal: echo off, since the console shows typed keys itself.
    ptyMaster = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char slaveName[256] = {0};
    if (ptyMaster < 0 || ::grantpt(ptyMaster) != 0 || ::unlockpt(ptyMaster) != 0 ||
        ::ptsname_r(ptyMaster, slaveName, sizeof slaveName) != 0)
        return Fail(error, "Korl: cannot create pipe");
    ptySlave = ::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (ptySlave < 0) return Fail(error, "Korl: cannot create pipe");
    termios attrs{};
    if (::tcgetattr(ptySlave, &attrs) == 0) {
        attrs.c_lflag &= ~tcflag_t(ECHO | ECHONL);
        ::tcsetattr(ptySlave, TCSANOW, &attrs);
    }
    SetNonBlocking(ptyMaster);

    ptyName = slaveName;
    return true;
}

bool GdbProcess::Spawn(const std::vector<std::string>& argvIn, const std::string& dirIn, std::string* error,
                       int terminal) {
    // gdb's standard input is a socket so that writing after its end gives
    // an error instead of SIGPIPE.
    int inFds[2], outFds[2], status[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, inFds) != 0)
        return Fail(error, "Korl: cannot create pipe");
    if (::pipe2(outFds, O_CLOEXEC) != 0) {
        ::close(inFds[0]), ::close(inFds[1]);
        return Fail(error, "Korl: cannot create pipe");
    }
    if (::pipe2(status, O_CLOEXEC) != 0) {
        ::close(inFds[0]), ::close(inFds[1]), ::close(outFds[0]), ::close(outFds[1]);
        return Fail(error, "Korl: cannot create pipe");
    }
    ::shutdown(inFds[0], SHUT_WR);

    // Everything the child needs is prepared before fork.
    std::vector<std::string> args = argvIn;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e)
        if (!StartsWith(*e, "LC_ALL=")) env.emplace_back(*e);
    env.emplace_back("LC_ALL=C");
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    const char* dir = dirIn.c_str();

    pid_t pid = ::fork();
    if (pid < 0) {
        for (int fd : {inFds[0], inFds[1], outFds[0], outFds[1], status[0], status[1]}) ::close(fd);
        return Fail(error, "Korl: cannot create Process");
    }
    if (pid == 0) {
        if (terminal >= 0) {
            // the program's own session, with the terminal as its controlling one
            ::setsid();
            ::ioctl(terminal, TIOCSCTTY, 0);
        } else {
            ::setpgid(0, 0);
        }
        ::signal(SIGPIPE, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        int err = 0;
        const int stdinFd = terminal >= 0 ? terminal : inFds[0];
        const int stdoutFd = terminal >= 0 ? terminal : outFds[1];
        if (::chdir(dir) != 0 || ::dup2(stdinFd, 0) < 0 || ::dup2(stdoutFd, 1) < 0 ||
            ::dup2(stdoutFd, 2) < 0) {
            err = errno;
        } else {
            ::execve(argv[0], argv.data(), envp.data());
            err = errno;
        }
        (void)!::write(status[1], &err, sizeof err);
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    ::close(inFds[0]);
    ::close(outFds[1]);
    ::close(status[1]);
    int err = 0;
    ssize_t n;
    do n = ::read(status[0], &err, sizeof err);
    while (n < 0 && errno == EINTR);
    ::close(status[0]);
    in = inFds[1];
    out = outFds[0];
    if (n > 0) {
        int st;
        ::waitpid(pid, &st, 0);
        return Fail(error, "Korl: cannot create Process");
    }
    this->pid = pid;
    SetNonBlocking(out);
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
    CloseFd(ptyMaster);
    CloseFd(ptySlave);
}

} // namespace korl
