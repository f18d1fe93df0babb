#include "base/process.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string_view>

extern char** environ;

namespace korl {

namespace {

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

void SetNonBlocking(int fd) {
    if (fd >= 0) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
}

std::vector<char*> CStrings(std::vector<std::string>& v) {
    std::vector<char*> p;
    p.reserve(v.size() + 1);
    for (auto& s : v) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

} // namespace

PseudoTerminal::~PseudoTerminal() { Close(); }

PseudoTerminal::PseudoTerminal(PseudoTerminal&& other) noexcept
    : master_(other.master_), slave_(other.slave_), name_(std::move(other.name_)) {
    other.master_ = other.slave_ = -1;
}

PseudoTerminal& PseudoTerminal::operator=(PseudoTerminal&& other) noexcept {
    if (this != &other) {
        Close();
        master_ = other.master_;
        slave_ = other.slave_;
        name_ = std::move(other.name_);
        other.master_ = other.slave_ = -1;
    }
    return *this;
}

void PseudoTerminal::Close() {
    CloseFd(master_);
    CloseFd(slave_);
}

Result<PseudoTerminal> OpenPseudoTerminal(bool echo) {
    PseudoTerminal t;
    t.master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char slaveName[256] = {0};
    if (t.master_ < 0 || ::grantpt(t.master_) != 0 || ::unlockpt(t.master_) != 0 ||
        ::ptsname_r(t.master_, slaveName, sizeof slaveName) != 0)
        return SystemError("cannot create pseudo-terminal", errno ? errno : ENOTTY);
    t.slave_ = ::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (t.slave_ < 0) return SystemError("cannot create pseudo-terminal", errno);
    t.name_ = slaveName;
    if (!echo) {
        termios attrs{};
        if (::tcgetattr(t.slave_, &attrs) == 0) {
            attrs.c_lflag &= ~tcflag_t(ECHO | ECHONL);
            ::tcsetattr(t.slave_, TCSANOW, &attrs);
        }
    }
    SetNonBlocking(t.master_);
    return t;
}

std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra, bool cLocale) {
    std::vector<std::string> overrides = extra;
    if (cLocale) overrides.insert(overrides.begin(), "LC_ALL=C");
    auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                    [&](const std::string& o) { return nameOf(o) == nameOf(entry); });
        if (!replaced) env.emplace_back(entry);
    }
    // Later overrides win over earlier ones with the same name.
    for (std::size_t i = 0; i < overrides.size(); ++i) {
        bool later = false;
        for (std::size_t j = i + 1; j < overrides.size(); ++j)
            if (nameOf(overrides[j]) == nameOf(overrides[i])) later = true;
        if (!later) env.push_back(overrides[i]);
    }
    return env;
}

Result<SpawnedProcess> Spawn(const SpawnOptions& options) {
    if (options.argv.empty() || options.argv[0].empty()) return Error{"no program to start", 0};
    if (!options.workingDirectory.empty()) {
        struct stat st {};
        errno = 0;
        if (::stat(options.workingDirectory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return SystemError("cannot change to directory " + options.workingDirectory,
                               errno ? errno : ENOTDIR);
    }

    // [0]: the child's end, [1]: ours.
    int out[2] = {-1, -1};
    int in[2] = {-1, -1};
    auto closeAll = [&] {
        for (int* fd : {&out[0], &out[1], &in[0], &in[1]}) CloseFd(*fd);
    };
    const PseudoTerminal* tty = options.terminal;
    if (!tty) {
        int p[2];
        if (::pipe2(p, O_CLOEXEC) != 0) return SystemError("cannot create pipe", errno);
        out[1] = p[0]; // we read
        out[0] = p[1]; // the child writes
        if (options.input == SpawnOptions::Input::Pipe) {
            if (::pipe2(p, O_CLOEXEC) != 0) {
                int err = errno;
                closeAll();
                return SystemError("cannot create pipe", err);
            }
            in[0] = p[0];
            in[1] = p[1];
        } else if (options.input == SpawnOptions::Input::Socket) {
            if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, p) != 0) {
                int err = errno;
                closeAll();
                return SystemError("cannot create pipe", err);
            }
            ::shutdown(p[0], SHUT_WR);
            in[0] = p[0];
            in[1] = p[1];
        } else {
            in[0] = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        }
    }

    std::vector<std::string> args = options.argv;
    std::vector<std::string> env = ChildEnvironment(options.environment, options.cLocale);
    std::vector<char*> argp = CStrings(args);
    std::vector<char*> envp = CStrings(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (tty) {
        // Opened afresh in the new session (below), without O_NOCTTY, the
        // slave becomes the child's controlling terminal.
        posix_spawn_file_actions_addopen(&actions, 0, tty->name().c_str(), O_RDWR, 0);
        posix_spawn_file_actions_adddup2(&actions, 0, 1);
        posix_spawn_file_actions_adddup2(&actions, 0, 2);
    } else {
        if (in[0] >= 0) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[0], 1);
        posix_spawn_file_actions_adddup2(&actions, out[0], 2);
    }
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (tty) {
        // A new session is a new process group too.
        flags |= POSIX_SPAWN_SETSID;
    } else {
        posix_spawnattr_setpgroup(&attr, 0);
        flags |= POSIX_SPAWN_SETPGROUP;
    }
    posix_spawnattr_setflags(&attr, flags);

    pid_t pid = -1;
    int rc = ::posix_spawnp(&pid, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);

    // The child's ends belong to the child alone.
    CloseFd(in[0]);
    CloseFd(out[0]);
    if (rc != 0) {
        closeAll();
        return SystemError("cannot start " + options.argv[0], rc);
    }

    SpawnedProcess child;
    child.pid = pid;
    child.output = out[1];
    child.input = in[1];
    SetNonBlocking(child.output);
    SetNonBlocking(child.input);
    // Through syscall(): the glibc 2.36 header lacks C linkage for C++.
    child.exitFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (child.exitFd >= 0) ::fcntl(child.exitFd, F_SETFD, FD_CLOEXEC);
    return child;
}

std::vector<ProcessInfo> ProcessesInGroup(pid_t pgid) {
    std::vector<ProcessInfo> result;
    DIR* proc = ::opendir("/proc");
    if (!proc) return result;
    while (dirent* d = ::readdir(proc)) {
        char* end = nullptr;
        long pid = std::strtol(d->d_name, &end, 10);
        if (pid <= 0 || *end != '\0') continue;
        std::ifstream stat(std::string("/proc/") + d->d_name + "/stat");
        std::string text;
        if (!stat || !std::getline(stat, text)) continue;
        // "pid (comm) state ppid pgrp ...": comm may hold blanks and parentheses.
        std::size_t open = text.find('(');
        std::size_t close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close < open) continue;
        std::istringstream rest(text.substr(close + 1));
        std::string state;
        long ppid = 0, group = 0;
        if (!(rest >> state >> ppid >> group) || group != pgid || state == "Z" || state == "X") continue;
        result.push_back({static_cast<pid_t>(pid), text.substr(open + 1, close - open - 1)});
    }
    ::closedir(proc);
    std::sort(result.begin(), result.end(),
              [](const ProcessInfo& a, const ProcessInfo& b) { return a.pid < b.pid; });
    return result;
}

} // namespace korl
