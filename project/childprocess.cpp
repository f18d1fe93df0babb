#include "project/childprocess.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace korl {

namespace {

constexpr std::size_t kReadChunk = 16384;
constexpr std::size_t kReadPerCall = 65536;
constexpr std::size_t kMaxPendingInput = 65536;
constexpr auto kStopGrace = std::chrono::seconds(2);

void CloseFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

bool IsLinkerName(const std::string& name) {
    if (name == "collect2" || name == "ld" || name.rfind("ld.", 0) == 0) return true;
    // "x86_64-linux-gnu-ld", "x86_64-linux-gnu-ld.bfd", cut to 15 bytes by the kernel.
    auto dash = name.rfind("-ld");
    return dash != std::string::npos && (dash + 3 == name.size() || name[dash + 3] == '.');
}

} // namespace

std::unique_ptr<ChildProcess> StartChildProcess(const ChildProcessOptions& options, std::string* error,
                                                int* code) {
    SpawnOptions spawn;
    spawn.argv = options.argv;
    spawn.workingDirectory = options.workingDirectory;
    spawn.input = options.withInput ? SpawnOptions::Input::Pipe : SpawnOptions::Input::Null;
    spawn.cLocale = options.cLocale;
    spawn.environment = options.environment;
    auto started = Spawn(spawn);
    if (!started) {
        if (error) *error = started.error().message;
        if (code) *code = started.error().code;
        return nullptr;
    }
    std::unique_ptr<ChildProcess> child(new ChildProcess(options.maxLineLength));
    child->pid_ = started->pid;
    child->outFd_ = started->output;
    child->inFd_ = started->input;
    child->pidFd_ = started->exitFd;
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
