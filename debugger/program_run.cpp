#include "debugger/program_run.h"

#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace korl {

namespace {
constexpr std::size_t kMaxInput = 64 * 1024;
constexpr std::size_t kMaxReadPerCall = 1024 * 1024;
} // namespace

std::vector<std::string> SplitProgramArguments(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            else if (c == '\\' && quote == '"' && i + 1 < text.size() &&
                     (text[i + 1] == '"' || text[i + 1] == '\\'))
                word += text[++i];
            else
                word += c;
        } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (inWord) words.push_back(std::move(word));
            word.clear();
            inWord = false;
        } else if (c == '"' || c == '\'') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) words.push_back(std::move(word));
    return words;
}

Korl_ProgramRun::Korl_ProgramRun(Callbacks callbacks) : callbacks_(std::move(callbacks)) {}

Korl_ProgramRun::~Korl_ProgramRun() {
    if (!ended_) process_.Kill(-1);
    process_.CloseFds();
}

bool Korl_ProgramRun::Start(const std::string& executable, const std::vector<std::string>& args,
                            const std::string& dir, std::string* error) {
    if (process_.pid > 0 || ended_) {
        if (error) *error = "Korl: cannot create Process";
        return false;
    }
    const std::string base = dir.empty() ? "." : dir;
    std::string path = !executable.empty() && executable[0] == '/' ? executable : base + "/" + executable;
    struct stat st;
    if (executable.empty() || ::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "Korl: cannot find the program " + path;
        return false;
    }
    if (!process_.OpenTerminal(error)) return false;
    std::vector<std::string> argv{path};
    argv.insert(argv.end(), args.begin(), args.end());
    if (!process_.Spawn(argv, base, error, true)) {
        process_.CloseFds();
        return false;
    }
    return true;
}

void Korl_ProgramRun::OnConsoleReadable() {
    char buffer[16384];
    std::size_t total = 0;
    while (process_.tty.master() >= 0 && total < kMaxReadPerCall) {
        ssize_t n = ::read(process_.tty.master(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += std::size_t(n);
        std::string text = console_.Feed(std::string_view(buffer, std::size_t(n)));
        if (callbacks_.output && !text.empty()) callbacks_.output(text);
    }
    OnConsoleWritable();
}

void Korl_ProgramRun::OnConsoleWritable() {
    while (!input_.empty() && process_.tty.master() >= 0) {
        ssize_t n = ::write(process_.tty.master(), input_.data(), input_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        input_.erase(0, std::size_t(n));
    }
}

void Korl_ProgramRun::WriteConsole(std::string_view text) {
    if (ended_) return;
    for (char c : text) {
        if (c == '\n' && lastWasCR_) {
            lastWasCR_ = false;
            continue;
        }
        lastWasCR_ = c == '\r';
        if (input_.size() < kMaxInput) input_ += c == '\r' ? '\n' : c;
    }
    OnConsoleWritable();
}

void Korl_ProgramRun::OnTimer() {
    if (ended_ || process_.pid <= 0) return;
    int status = 0;
    pid_t r = ::waitpid(process_.pid, &status, WNOHANG);
    if (r == 0 || (r < 0 && errno == EINTR)) return;
    process_.pid = -1;
    if (r == 0 || r < 0) {
        End(0);
        return;
    }
    exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    End(WIFEXITED(status) ? 1 : 0);
}

void Korl_ProgramRun::Stop() {
    if (ended_ || process_.pid <= 0) return;
    if (callbacks_.output) callbacks_.output(kRunCanceledByUser);
    End(0);
}

void Korl_ProgramRun::End(int exitFlag) {
    if (ended_) return;
    ended_ = true;
    exitFlag_ = exitFlag;
    // what it started goes with it (its own session: the group has its pid)
    if (process_.pid > 0) ::kill(-process_.pid, SIGKILL);
    process_.Kill(-1);
    OnConsoleReadable(); // what it wrote last comes before the end
    input_.clear();
    process_.CloseFds();
    if (callbacks_.ended) callbacks_.ended(exitFlag);
}

bool PollRun(Korl_ProgramRun& run, int maxWaitMs) {
    if (run.Ended()) return false;
    pollfd fd{run.ConsoleFd(), short(POLLIN | (run.ConsoleWantsWrite() ? POLLOUT : 0)), 0};
    int wait = run.TimeoutMs();
    if (maxWaitMs >= 0 && (wait < 0 || maxWaitMs < wait)) wait = maxWaitMs;
    if (::poll(&fd, fd.fd >= 0 ? 1 : 0, wait) > 0) {
        if (fd.revents & POLLOUT) run.OnConsoleWritable();
        if (fd.revents & (POLLIN | POLLHUP | POLLERR)) run.OnConsoleReadable();
    }
    run.OnTimer();
    return !run.Ended();
}

} // namespace korl
