#include "project/childprocess.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

extern char** environ;

namespace korl {

namespace {

constexpr std::size_t kReadChunk = 16384;
constexpr std::size_t kReadPerCall = 65536;
constexpr std::size_t kMaxPendingInput = 65536;
constexpr auto kStopGrace = std::chrono::seconds(2);

std::string ErrorText(int err) { return std::strerror(err); }

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::vector<std::string> ChildEnvironment(const ChildProcessOptions& o) {
    std::vector<std::string> overrides = o.environment;
    if (o.cLocale) overrides.insert(overrides.begin(), "LC_ALL=C");
    auto nameOf = [](std::string_view entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** e = environ; e && *e; ++e) {
        std::string_view entry(*e);
        bool replaced = std::any_of(overrides.begin(), overrides.end(),
                                    [&](const std::string& o2) { return nameOf(o2) == nameOf(entry); });
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

std::vector<char*> CStrings(std::vector<std::string>& v) {
    std::vector<char*> p;
    p.reserve(v.size() + 1);
    for (auto& s : v) p.push_back(s.data());
    p.push_back(nullptr);
    return p;
}

bool IsLinkerName(const std::string& name) {
    if (name == "collect2" || name == "ld" || name.rfind("ld.", 0) == 0) return true;
    // "x86_64-linux-gnu-ld", "x86_64-linux-gnu-ld.bfd", cut to 15 bytes by the kernel.
    auto dash = name.rfind("-ld");
    return dash != std::string::npos && (dash + 3 == name.size() || name[dash + 3] == '.');
}

} // namespace

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

std::unique_ptr<ChildProcess> StartChildProcess(const ChildProcessOptions& options, std::string* error) {
    auto fail = [&](std::string text) -> std::unique_ptr<ChildProcess> {
        if (error) *error = std::move(text);
        return nullptr;
    };
    if (options.argv.empty() || options.argv[0].empty()) return fail("no program to start");
    if (!options.workingDirectory.empty()) {
        struct stat st {};
        if (::stat(options.workingDirectory.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return fail("cannot change to directory " + options.workingDirectory + ": " +
                        ErrorText(errno ? errno : ENOTDIR));
    }

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return fail("cannot create pipe: " + ErrorText(errno));
    int in[2] = {-1, -1};
    if (options.withInput) {
        if (::pipe2(in, O_CLOEXEC) != 0) {
            int err = errno;
            ::close(out[0]);
            ::close(out[1]);
            return fail("cannot create pipe: " + ErrorText(err));
        }
    } else {
        in[0] = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    }

    std::vector<std::string> args = options.argv;
    std::vector<std::string> env = ChildEnvironment(options);
    std::vector<char*> argp = CStrings(args);
    std::vector<char*> envp = CStrings(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in[0] >= 0) posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    if (!options.workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDirectory.c_str());

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    int rc = ::posix_spawnp(&pid, argp[0], &actions, &attr, argp.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);

    // The child's ends belong to the child alone.
    CloseFd(in[0]);
    CloseFd(out[1]);
    if (rc != 0) {
        CloseFd(in[1]);
        CloseFd(out[0]);
        return fail("cannot start " + options.argv[0] + ": " + ErrorText(rc));
    }

    std::unique_ptr<ChildProcess> child(new ChildProcess(options.maxLineLength));
    child->pid_ = pid;
    child->outFd_ = out[0];
    child->inFd_ = in[1];
    ::fcntl(child->outFd_, F_SETFL, ::fcntl(child->outFd_, F_GETFL) | O_NONBLOCK);
    if (child->inFd_ >= 0) ::fcntl(child->inFd_, F_SETFL, ::fcntl(child->inFd_, F_GETFL) | O_NONBLOCK);
    // Through syscall(): the glibc 2.36 header lacks C linkage for C++.
    child->pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (child->pidFd_ >= 0) ::fcntl(child->pidFd_, F_SETFD, FD_CLOEXEC);
    return child;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !reaped_) {
        ::killpg(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
    CloseFd(outFd_);
    CloseFd(inFd_);
    CloseFd(pidFd_);
}

void ChildProcess::tryReap() {
    if (reaped_ || pid_ <= 0) return;
    // Look first without reaping: while the zombie exists its group id
    // cannot be reused, so stragglers of a stopped build can still be killed.
    siginfo_t info{};
    if (::waitid(P_PID, pid_, &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno == ECHILD) reaped_ = true; // someone else reaped it; its status is lost
        return;
    }
    if (info.si_pid != pid_) return;
    if (stopping_) ::killpg(pid_, SIGKILL);
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid_, &status, 0);
    } while (r < 0 && errno == EINTR);
    reaped_ = true;
    if (r == pid_ && WIFEXITED(status)) {
        exitCode_ = WEXITSTATUS(status);
    } else if (r == pid_ && WIFSIGNALED(status)) {
        bySignal_ = true;
        exitCode_ = 128 + WTERMSIG(status);
    }
}

void ChildProcess::escalate() {
    if (stopping_ && !reaped_ && std::chrono::steady_clock::now() >= killAt_) ::killpg(pid_, SIGKILL);
}

std::vector<std::string> ChildProcess::readAvailable() {
    std::vector<std::string> lines;
    if (done_) return lines;
    escalate();
    tryReap(); // before reading: once reaped, everything it wrote is in the pipe
    std::size_t total = 0;
    char buf[kReadChunk];
    while (!outputEnded_ && total < kReadPerCall) {
        ssize_t n = ::read(outFd_, buf, sizeof buf);
        if (n > 0) {
            assembler_.feed(std::string_view(buf, static_cast<std::size_t>(n)), lines);
            total += static_cast<std::size_t>(n);
        } else if (n == 0) {
            outputEnded_ = true;
        } else if (errno == EINTR) {
            continue;
        } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
            // A process that has ended writes nothing more; whatever still
            // holds the pipe open was started by it and is not waited for.
            if (reaped_) outputEnded_ = true;
            break;
        } else {
            outputEnded_ = true;
        }
    }
    if (outputEnded_ && reaped_) {
        done_ = true;
        assembler_.reset();
    }
    return lines;
}

bool ChildProcess::finished() {
    if (done_) return true;
    escalate();
    tryReap();
    if (outputEnded_ && reaped_) {
        done_ = true;
        assembler_.reset();
    }
    return done_;
}

void ChildProcess::flushInput() {
    if (inFd_ < 0 || pendingInput_.empty()) return;
    // A child that has closed its input must not kill us with SIGPIPE.
    sigset_t pipeSet, old;
    sigemptyset(&pipeSet);
    sigaddset(&pipeSet, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSet, &old);
    std::size_t done = 0;
    bool broken = false;
    while (done < pendingInput_.size()) {
        ssize_t n = ::write(inFd_, pendingInput_.data() + done, pendingInput_.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            broken = !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
            break;
        }
    }
    if (broken) {
        timespec zero{0, 0};
        sigtimedwait(&pipeSet, nullptr, &zero); // swallow the SIGPIPE this write raised
        pendingInput_.clear();
        CloseFd(inFd_);
    } else {
        pendingInput_.erase(0, done);
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

bool ChildProcess::writeInput(std::string_view bytes) {
    if (inFd_ < 0) return false;
    if (pendingInput_.size() + bytes.size() > kMaxPendingInput) {
        flushInput();
        if (inFd_ < 0 || pendingInput_.size() + bytes.size() > kMaxPendingInput) return false;
    }
    pendingInput_.append(bytes);
    flushInput();
    return inFd_ >= 0;
}

void ChildProcess::closeInput() {
    pendingInput_.clear();
    CloseFd(inFd_);
}

StopReport ChildProcess::stop() {
    StopReport report;
    tryReap();
    if (reaped_) return report;
    for (const ProcessInfo& p : ProcessesInGroup(pid_)) {
        if (p.name == "cc1plus") {
            report.compilerRunning = true;
            report.message = "Compiling is canceled by user.\r\n";
        } else if (IsLinkerName(p.name)) {
            report.linkerRunning = true;
            report.message = "Linking is canceled by user.\r\n";
        }
    }
    ::killpg(pid_, SIGTERM);
    if (!stopping_) killAt_ = std::chrono::steady_clock::now() + kStopGrace;
    stopping_ = true;
    return report;
}

void ChildProcess::kill() {
    tryReap();
    if (reaped_) return;
    stopping_ = true;
    killAt_ = std::chrono::steady_clock::now();
    ::killpg(pid_, SIGKILL);
}

} // namespace korl
