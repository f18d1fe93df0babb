#include "debugger/gdb_session.h"

#include "debugger/mi_parser.h"
#include "debugger/mi_text.h"

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace korl {

namespace {

constexpr std::size_t kMaxConsoleInput = 64 * 1024;
constexpr std::size_t kMaxReadPerCall = 1024 * 1024;

} // namespace

Korl_GdbSession::Korl_GdbSession(GdbSessionCallbacks callbacks) : callbacks_(std::move(callbacks)) {}

Korl_GdbSession::~Korl_GdbSession() {
    if (process_.pid > 0 && !ended_) {
        ended_ = true;
        KillProcesses();
    }
    CloseFds();
}

bool Korl_GdbSession::Start(const GdbStartOptions& options, std::string* error) {
    auto fail = [&](const char* text) {
        if (error && text) *error = text;
        CloseFds();
        return false;
    };
    if (process_.pid > 0 || ended_) { // one run per session object
        if (error) *error = "Korl: cannot create Process";
        return false;
    }
    options_ = options;

    if (!process_.OpenTerminal(error)) return fail(nullptr);
    std::string exe = options.executable;
    std::string exePath = exe.empty() || exe[0] == '/'
                              ? exe
                              : (options.projectDir.empty() ? "." : options.projectDir) + "/" + exe;
    struct stat st;
    if (exe.empty() || ::stat(exePath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (error) *error = "Korl: cannot find the program " + exePath;
        process_.CloseFds();
        return false;
    }
    std::vector<std::string> args = {options.gdbPath,
                                     "-q",
                                     "-i",
                                     "mi",
                                     "--tty=" + process_.tty.name(),
                                     "-iex",
                                     "set print object on",
                                     "--args",
                                     StartsWith(exe, "-") ? "./" + exe : exe};
    for (const auto& a : options.programArgs) args.push_back(a);
    if (!process_.Spawn(args, options.projectDir.empty() ? "." : options.projectDir, error))
        return fail(nullptr);
    machine_ = std::make_unique<MiMachine>(static_cast<MiMachine::Listener&>(*this), options.toolRoot,
                                           options.projectDir);
    phase_ = Phase::Starting;
    deadline_ = std::chrono::steady_clock::now() + options.startTimeout;
    deadlineSet_ = true;
    return true;
}

void Korl_GdbSession::CloseFds() { process_.CloseFds(); }

void Korl_GdbSession::Emit(std::string_view text) {
    if (callbacks_.output && !text.empty()) callbacks_.output(text);
}

void Korl_GdbSession::OnGdbReadable() {
    if (ended_ || process_.out < 0) return;
    // what the program wrote comes before what gdb reports after it
    OnConsoleReadable();
    char buffer[65536];
    std::size_t total = 0;
    while (!ended_ && total < kMaxReadPerCall) {
        ssize_t n = ::read(process_.out, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (n <= 0) {
            if (phase_ != Phase::Exiting) {
                // gdb went without being asked: whatever ran is lost
                Emit(kGdbEnded);
                SetExitFlag(0);
            }
            End();
            return;
        }
        total += std::size_t(n);
        lines_.Feed(std::string_view(buffer, std::size_t(n)), [this](std::string_view line) {
            if (!ended_ && machine_) machine_->ProcessLine(line);
        });
    }
}

void Korl_GdbSession::OnConsoleReadable() {
    if (process_.tty.master() < 0) return;
    char buffer[16384];
    std::size_t total = 0;
    while (process_.tty.master() >= 0 && total < kMaxReadPerCall) {
        ssize_t n = ::read(process_.tty.master(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // EAGAIN, or EIO while no program holds the terminal
        total += std::size_t(n);
        Emit(console_.Feed(std::string_view(buffer, std::size_t(n))));
    }
    OnConsoleWritable();
}

void Korl_GdbSession::WriteConsole(std::string_view text) {
    if (ended_ || process_.tty.master() < 0) return;
    for (char c : text) {
        if (c == '\n' && lastInputWasCR_) {
            lastInputWasCR_ = false;
            continue;
        }
        lastInputWasCR_ = c == '\r';
        if (consoleInput_.size() < kMaxConsoleInput) consoleInput_ += c == '\r' ? '\n' : c;
    }
    OnConsoleWritable();
}

void Korl_GdbSession::OnConsoleWritable() {
    while (!consoleInput_.empty() && process_.tty.master() >= 0) {
        ssize_t n = ::write(process_.tty.master(), consoleInput_.data(), consoleInput_.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        consoleInput_.erase(0, std::size_t(n));
    }
}

int Korl_GdbSession::TimeoutMs() const {
    if (!deadlineSet_ || ended_) return -1;
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : int(left.count()) + 1;
}

void Korl_GdbSession::OnTimer() {
    if (!deadlineSet_ || ended_ || std::chrono::steady_clock::now() < deadline_) return;
    deadlineSet_ = false;
    if (phase_ == Phase::Starting) {
        // gdb never reached its first prompt: nothing can be debugged
        Emit(kGdbDidNotStart);
        SetExitFlag(0);
        End();
        return;
    }
    // gdb does not answer: fail what waits, keep the session stoppable. A
    // late prompt makes it usable again.
    Emit(kGdbNotAnswering);
    phase_ = Phase::Unresponsive;
    FailAll();
}

void Korl_GdbSession::FailAll() {
    std::unique_ptr<Request> current = std::move(current_);
    std::deque<Request> queue;
    queue.swap(queue_);
    if (machine_) {
        machine_->valueOk = false;
        machine_->valueText = std::string(kNoSymbol);
        machine_->resultNumber = 0;
        machine_->replyLine = 0;
        machine_->stackOk = false;
    }
    if (current && current->done) current->done(false);
    for (auto& r : queue)
        if (r.done) r.done(false);
}

void Korl_GdbSession::Write(GdbCommand code, std::string_view argument) {
    // Every command carries a token, so that a late answer to a request
    // given up on is never taken for the answer to the next one.
    const long long token = nextToken_++;
    if (machine_) machine_->CommandSent(code, token);
    if (IsExecCommand(code)) lastExec_ = code;
    std::string text = std::to_string(token) + FormatGdbCommand(code, argument);
    std::size_t done = 0;
    while (process_.in >= 0 && done < text.size()) {
        ssize_t n = ::send(process_.in, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // gdb has gone; its end arrives on the output
        done += std::size_t(n);
    }
}

void Korl_GdbSession::Enqueue(Request request) {
    if (ended_ || phase_ == Phase::Exiting || phase_ == Phase::Unresponsive || phase_ == Phase::NotStarted) {
        if (request.done) request.done(false);
        return;
    }
    // gdb takes no program command while the program runs (and a queued one
    // would fire unasked at the next stop)
    if (IsExecCommand(request.code) && runSent_ && !atStop_ && !request.internal) {
        if (request.done) request.done(false);
        return;
    }
    bool breakpoint = request.code == CMD_BREAK_INSERT || request.code == CMD_BREAK_DELETE;
    if (followUps_ >= 0 && !IsExecCommand(request.code)) {
        // Asked from an answer's callback: the next step of that evaluation
        // goes before anything queued later (a step pressed meanwhile would
        // otherwise move the program before the value is read).
        queue_.insert(queue_.begin() + std::min<std::ptrdiff_t>(followUps_, std::ptrdiff_t(queue_.size())),
                      std::move(request));
        ++followUps_;
    } else {
        queue_.push_back(std::move(request));
    }
    if (phase_ == Phase::Running && breakpoint) Interrupt();
    if (followUps_ < 0) Pump(); // else Reply() pumps once the callback has returned
}

void Korl_GdbSession::Interrupt() {
    // A step, finish or until cannot be resumed after an interrupt; the
    // change waits for the stop that ends it.
    if (interruptPending_ || programPid_ <= 0 || programExited_ ||
        (lastExec_ != CMD_CONTINUE && lastExec_ != CMD_RUN))
        return; // taken at the next stop
    if (::kill(programPid_, SIGINT) == 0) interruptPending_ = true;
}

void Korl_GdbSession::Pump() {
    while (!ended_ && phase_ == Phase::Idle && !current_) {
        if (interruptStop_) {
            // Only breakpoint changes are made at Korl's own stop; the rest
            // waits for a stop the user sees.
            auto it = queue_.begin();
            while (it != queue_.end() && it->code != CMD_BREAK_INSERT && it->code != CMD_BREAK_DELETE) ++it;
            if (it == queue_.end()) {
                interruptStop_ = false;
                Request go{CMD_CONTINUE, {}, nullptr, {}, true};
                SendNow(std::move(go));
                return;
            }
            Request r = std::move(*it);
            queue_.erase(it);
            SendNow(std::move(r));
            return;
        }
        if (queue_.empty()) return;
        Request r = std::move(queue_.front());
        queue_.pop_front();
        SendNow(std::move(r));
    }
}

void Korl_GdbSession::SendNow(Request request) {
    std::string argument = request.argument;
    if (request.lazyNumber) argument = std::to_string(*request.lazyNumber);
    GdbCommand code = request.code;
    if (IsExecCommand(code)) {
        runSent_ = true;
        phase_ = Phase::Running;
        atStop_ = false;
        deadlineSet_ = false;
        auto done = std::move(request.done);
        Write(code, argument);
        if (done) done(true);
        return;
    }
    phase_ = Phase::Busy;
    current_ = std::make_unique<Request>(std::move(request));
    deadline_ = std::chrono::steady_clock::now() + options_.requestTimeout;
    deadlineSet_ = true;
    Write(code, argument);
}

// --- program control ---------------------------------------------------

void Korl_GdbSession::Run() { Enqueue({CMD_RUN, {}, nullptr, {}}); }
void Korl_GdbSession::Continue() { Enqueue({CMD_CONTINUE, {}, nullptr, {}}); }
void Korl_GdbSession::StepInto() { Enqueue({CMD_STEP, {}, nullptr, {}}); }
void Korl_GdbSession::StepOver() { Enqueue({CMD_NEXT, {}, nullptr, {}}); }
void Korl_GdbSession::StepOut() { Enqueue({CMD_FINISH, {}, nullptr, {}}); }

void Korl_GdbSession::RunToCursor(std::string_view file, int line) {
    if (file.empty() || line < 1) return;
    Enqueue({CMD_UNTIL, UntilLocation(file, line), nullptr, {}});
}

void Korl_GdbSession::SetExitFlag(int flag) {
    if (machine_) machine_->exitFlag = flag;
}

const StopRecord& Korl_GdbSession::LastStop() const {
    static const StopRecord kNone;
    return machine_ ? machine_->stop : kNone;
}

const std::vector<StackFrame>& Korl_GdbSession::Frames() const {
    static const std::vector<StackFrame> kNone;
    return machine_ ? machine_->frames : kNone;
}

void Korl_GdbSession::Stop() {
    if (ended_ || process_.pid <= 0) return;
    SetExitFlag(0);
    Emit(kCanceledByUser);
    End();
}

void Korl_GdbSession::KillProcesses() {
    process_.Kill(programPid_ > 0 && !programExited_ ? programPid_ : -1);
}

void Korl_GdbSession::End() {
    if (ended_) return;
    ended_ = true;
    phase_ = Phase::Ended;
    deadlineSet_ = false;
    atStop_ = false;

    // gdb closed its output after -gdb-exit: give it a moment to leave by itself.
    if (process_.pid > 0 && machine_ && machine_->State() == STATE_EXIT) process_.Reap(1000);
    KillProcesses();
    // What the program wrote last is shown before the end.
    OnConsoleReadable();
    consoleInput_.clear();
    CloseFds();
    FailAll();
    if (callbacks_.ended) callbacks_.ended(ExitFlag());
}

// --- requests ------------------------------------------------------------

void Korl_GdbSession::InsertBreakpoint(std::string_view file, int line, std::function<void(int, int)> done) {
    std::string location = BreakpointLocation(file, line);
    if (location.size() > kMaxCommandArgument) {
        if (done) done(0, line);
        return;
    }
    Enqueue({CMD_BREAK_INSERT, location, nullptr, [this, line, done](bool answered) {
                 int number = answered && machine_ ? machine_->resultNumber : 0;
                 int at = answered && machine_ && machine_->replyLine > 0 ? machine_->replyLine : line;
                 if (done) done(number, at);
             }});
}

void Korl_GdbSession::DeleteBreakpoint(int number, std::function<void()> done) {
    Enqueue({CMD_BREAK_DELETE, std::to_string(number), nullptr, [done](bool) {
                 if (done) done();
             }});
}

void Korl_GdbSession::DeleteBreakpoint(std::shared_ptr<const int> number, std::function<void()> done) {
    Enqueue({CMD_BREAK_DELETE, {}, std::move(number), [done](bool) {
                 if (done) done();
             }});
}

void Korl_GdbSession::Evaluate(std::string_view expression, std::function<void(const EvalResult&)> done) {
    std::string argument = QuoteExpression(expression);
    if (argument.size() > kMaxCommandArgument) {
        if (done) done(EvalResult{false, std::string(kExpressionTooLong)});
        return;
    }
    Enqueue({CMD_EVALUATE, argument, nullptr, [this, done](bool answered) {
                 EvalResult r;
                 r.ok = answered && machine_ && machine_->valueOk;
                 r.value = answered && machine_ ? machine_->valueText : std::string(kNoSymbol);
                 if (done) done(r);
             }});
}

namespace {

// Asks a step-by-step evaluation's expressions one after the other; the
// chain holds itself only while a request is outstanding.
template <class Eval, class Done>
void Drive(Korl_GdbSession& session, std::shared_ptr<Eval> eval, Done done) {
    auto step = std::make_shared<std::function<void()>>();
    *step = [&session, eval, done, weak = std::weak_ptr<std::function<void()>>(step)]() {
        if (eval->Done()) {
            done(eval->Result());
            return;
        }
        auto self = weak.lock();
        session.Evaluate(eval->NextExpression(), [eval, self](const EvalResult& r) {
            eval->Supply(r);
            (*self)();
        });
    };
    (*step)();
}

} // namespace

void Korl_GdbSession::EvaluateWatch(std::string_view expression,
                                    std::function<void(const std::string&)> done) {
    EvaluateWatchTree(expression, [done](const WatchValue& v) {
        if (done) done(v.value);
    });
}

void Korl_GdbSession::EvaluateWatchTree(std::string_view expression,
                                        std::function<void(const WatchValue&)> done) {
    Drive(*this, std::make_shared<WatchTreeEvaluation>(std::string(expression)), [done](const WatchValue& v) {
        if (done) done(v);
    });
}

void Korl_GdbSession::LoadArrayPage(std::string_view arrayExpression, std::size_t from,
                                    std::function<void(const WatchValue&)> done) {
    std::shared_ptr<WatchTreeEvaluation> page = WatchTreeEvaluation::Page(std::string(arrayExpression), from);
    Drive(*this, page, [done](const WatchValue& v) {
        if (done) done(v);
    });
}

void Korl_GdbSession::ListFrames(std::function<void(bool, const std::vector<StackFrame>&)> done) {
    Enqueue({CMD_STACK_LIST, {}, nullptr, [this, done](bool answered) {
                 bool ok = answered && machine_ && machine_->stackOk;
                 if (done) done(ok, Frames());
             }});
}

// --- what the state machine reports ---------------------------------------

void Korl_GdbSession::Show(std::string_view text) { Emit(text); }

void Korl_GdbSession::Reply() {
    if (phase_ == Phase::Starting || phase_ == Phase::Unresponsive) {
        phase_ = Phase::Idle;
        deadlineSet_ = false;
        Pump();
        return;
    }
    if (phase_ != Phase::Busy) return;
    deadlineSet_ = false;
    phase_ = Phase::Idle;
    std::unique_ptr<Request> done = std::move(current_);
    if (done && done->done) {
        followUps_ = 0;
        done->done(true);
        followUps_ = -1;
    }
    Pump();
}

void Korl_GdbSession::Send(GdbCommand code) {
    if (code == CMD_EXIT) {
        phase_ = Phase::Exiting;
        programExited_ = true;
        atStop_ = false;
        FailAll();
    }
    Write(code, {});
}

void Korl_GdbSession::Position(const std::string& file, int line0) {
    if (callbacks_.position) callbacks_.position(file, line0);
}

void Korl_GdbSession::Stopped() {
    if (ended_) return;
    phase_ = Phase::Idle;
    atStop_ = true;
    deadlineSet_ = false;
    if (current_) {
        // a refused request never reaches its own prompt
        std::unique_ptr<Request> r = std::move(current_);
        if (r->done) r->done(false);
    }
    if (callbacks_.stopped) callbacks_.stopped();
    Pump();
}

void Korl_GdbSession::ErrorBox(const std::string& text) {
    if (callbacks_.errorBox) callbacks_.errorBox(text);
}

void Korl_GdbSession::Record(std::string_view line) {
    // The program's pid, to interrupt it and to end it with gdb.
    if (StartsWith(line, "=thread-group-started")) {
        MiRecord r;
        if (ParseMiRecord(line, r) && r.results.Find("pid")) {
            programPid_ = pid_t(r.results.Num("pid", -1));
            programExited_ = false;
        }
    } else if (StartsWith(line, "=thread-group-exited")) {
        programExited_ = true;
    }
}

int Korl_GdbSession::OwnInterrupt(const StopRecord& stop) {
    if (!interruptPending_ || stop.signalName != "SIGINT") return 0;
    interruptPending_ = false;
    // A step that our signal cut short shows where it is; a continue goes on unseen.
    return lastExec_ == CMD_CONTINUE || lastExec_ == CMD_RUN ? 1 : 2;
}

void Korl_GdbSession::Interrupted() {
    phase_ = Phase::Idle;
    interruptStop_ = true;
    Pump();
}

// --- helpers ---------------------------------------------------------------

bool PollSession(Korl_GdbSession& session, int maxWaitMs) {
    if (session.Ended()) return false;
    pollfd fds[2];
    int n = 0;
    if (session.GdbFd() >= 0) fds[n++] = {session.GdbFd(), POLLIN, 0};
    int consoleIndex = -1;
    if (session.ConsoleFd() >= 0) {
        consoleIndex = n;
        fds[n++] = {session.ConsoleFd(), short(POLLIN | (session.ConsoleWantsWrite() ? POLLOUT : 0)), 0};
    }
    int wait = maxWaitMs;
    int due = session.TimeoutMs();
    if (due >= 0 && (wait < 0 || due < wait)) wait = due;
    int r = ::poll(fds, nfds_t(n), wait);
    if (r > 0) {
        // console first: the program's output comes before gdb reports the stop or end
        if (consoleIndex >= 0 && (fds[consoleIndex].revents & POLLOUT)) session.OnConsoleWritable();
        if (consoleIndex >= 0 && (fds[consoleIndex].revents & (POLLIN | POLLHUP | POLLERR)))
            session.OnConsoleReadable();
        if (n > 0 && consoleIndex != 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR)))
            session.OnGdbReadable();
    }
    session.OnTimer();
    return !session.Ended();
}

std::string_view RunEndText(int exitFlag) { return exitFlag ? kExecutionDone : kExecutionAborted; }

std::string VcdToOpenAfterRun(int exitFlag, std::string_view projectDir, std::string_view vcdFileName) {
    if (!exitFlag || vcdFileName.empty()) return {};
    std::string dir(projectDir);
    if (!dir.empty() && dir.back() != '/') dir += '/';
    std::string path = dir + std::string(vcdFileName) + ".vcd";
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? path : std::string();
}

void DeletePreviousVcd(std::string_view projectDir, std::string_view title) {
    std::string dir(projectDir);
    if (!dir.empty() && dir.back() != '/') dir += '/';
    ::unlink((dir + std::string(title) + ".vcd").c_str());
}

} // namespace korl
