#include "debugger/mi_machine.h"

#include "debugger/mi_parser.h"
#include "debugger/mi_text.h"
#include "debugger/value_decoder.h"

namespace korl {

namespace {

bool IsPrompt(std::string_view line) { return StartsWith(line, "(gdb) "); }

// Records that never reach the console: notify, exec "*running", and the
// console, target and log streams.
bool IsDroppedRecord(std::string_view line) {
    if (line.size() >= 2 && line[1] == '"' && (line[0] == '~' || line[0] == '&' || line[0] == '@'))
        return true;
    return StartsWith(line, "=") || StartsWith(line, "*running");
}

} // namespace

MiMachine::MiMachine(Listener& listener, std::string toolRoot, std::string workingDir)
    : listener_(listener), toolRoot_(std::move(toolRoot)), workingDir_(std::move(workingDir)) {}

void MiMachine::CommandSent(GdbCommand code, long long token) {
    state_ = StateForCommand(code);
    token_ = token;
    skipPrompt_ = false;
    if (IsExecCommand(code)) lastExec_ = code;
}

// A result record carrying another request's token is the late answer of
// a request that was given up: it and its prompt are dropped.
bool MiMachine::Stale(std::string_view line) {
    if (line.empty() || line[0] < '0' || line[0] > '9') return false;
    long long token = ParseDecimal(line, -1);
    if (token == token_) return false;
    skipPrompt_ = true;
    listener_.Record(line);
    return true;
}

std::string_view MiMachine::Untokened(std::string_view line) {
    std::size_t i = 0;
    while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
    return i < line.size() && line[i] == '^' ? line.substr(i) : line;
}

void MiMachine::InternalError(const char* stateName) {
    listener_.Show(std::string("Internal error in ") + stateName + " state\r\n");
}

void MiMachine::ProcessLine(std::string_view rawLine) {
    if (IsDroppedRecord(rawLine)) {
        listener_.Record(rawLine);
        return;
    }
    std::string_view line = Untokened(rawLine);
    if (line.size() != rawLine.size() && state_ != STATE_LISTEN && Stale(rawLine)) return;
    if (skipPrompt_ && IsPrompt(line)) {
        skipPrompt_ = false;
        return;
    }
    switch (state_) {
        case STATE_INIT:
            if (IsPrompt(line))
                listener_.Reply();
            else
                InternalError("STATE_INIT");
            return;
        case STATE_EXEC:
            if (StartsWith(line, "^running"))
                state_ = STATE_RUNNING;
            else if (StartsWith(line, "^error") && lastExec_ != CMD_RUN)
                ErrorReport(line, 0); // a refused stepping command; the program stays where it was
            else if (StartsWith(line, "^error"))
                RunRefused(line);
            else
                InternalError("STATE_EXEC");
            return;
        case STATE_RUNNING:
            if (IsPrompt(line))
                state_ = STATE_LISTEN;
            else
                InternalError("STATE_RUNNING");
            return;
        case STATE_LISTEN: {
            std::size_t at = line.find("*stopped");
            if (at != std::string_view::npos) {
                StopRecordLine(line, at);
                return;
            }
            at = line.find("~\"");
            if (at != std::string_view::npos) {
                if (at > 0) listener_.Show(line.substr(0, at));
                return;
            }
            at = line.find("^error");
            if (at != std::string_view::npos) {
                if (at > 0) listener_.Show(line.substr(0, at));
                ErrorReport(line, at);
                return;
            }
            listener_.Show(line);
            return;
        }
        case STATE_EXIT:
            return;
        case STATE_BREAK_INSERT:
            if (StartsWith(line, "^done")) {
                MiRecord r;
                ParseMiRecord(line, r);
                resultNumber = 0;
                replyLine = 0;
                if (const MiValue* bkpt = r.results.Find("bkpt")) {
                    resultNumber = int(bkpt->Num("number", 0));
                    replyLine = int(bkpt->Num("line", 0));
                }
            } else if (StartsWith(line, "^error")) {
                resultNumber = 0;
                replyLine = 0;
            } else if (StartsWith(line, "^")) {
                listener_.Show(line);
            } else if (IsPrompt(line)) {
                listener_.Reply();
            } else {
                InternalError("STATE_BREAK_INSERT");
            }
            return;
        case STATE_BREAK_DELETE:
            if (StartsWith(line, "^done"))
                ;
            else if (StartsWith(line, "^"))
                listener_.Show(line);
            else if (IsPrompt(line))
                listener_.Reply();
            else
                InternalError("STATE_BREAK_DELETE");
            return;
        case STATE_STOP:
            if (IsPrompt(line)) {
                state_ = STATE_LISTEN;
                listener_.Position(stop.file, stop.line - 1);
                listener_.Stopped();
            } else {
                InternalError("STATE_STOP");
            }
            return;
        case STATE_EVALUAE_EXPRESSION:
            if (StartsWith(line, "^done")) {
                MiRecord r;
                valueOk = ParseMiRecord(line, r) && r.results.Find("value");
                valueText = valueOk ? std::string(r.results.Str("value")).substr(0, kMaxValueText)
                                    : std::string(kNoSymbol);
            } else if (StartsWith(line, "^error")) {
                valueText = std::string(kNoSymbol);
                valueOk = false;
            } else if (StartsWith(line, "^")) {
                listener_.Show(line);
            } else if (IsPrompt(line)) {
                listener_.Reply();
            } else {
                InternalError("STATE_EVALUAE_EXPRESSION");
            }
            return;
        case STATE_STACK_LIST:
            if (StartsWith(line, "^done")) {
                MiRecord r;
                stackOk = ParseMiRecord(line, r);
                if (stackOk) {
                    frames = FramesFrom(r.results, workingDir_);
                    stackText = StackText(frames, workingDir_);
                } else {
                    listener_.Show(kStackError);
                }
            } else if (StartsWith(line, "^error")) {
                stackOk = false;
                listener_.Show(kStackError);
            } else if (StartsWith(line, "^")) {
                listener_.Show(line);
            } else if (IsPrompt(line)) {
                listener_.Reply();
            } else {
                InternalError("STATE_STACK_LIST");
            }
            return;
        case STATE_INTERRUPTED:
            if (IsPrompt(line)) {
                state_ = STATE_LISTEN;
                listener_.Interrupted();
            } else {
                InternalError("STATE_INTERRUPTED");
            }
            return;
    }
}

void MiMachine::StopRecordLine(std::string_view line, std::size_t at) {
    std::string_view before = line.substr(0, at);
    std::string_view record = line.substr(at);
    MiRecord parsed;
    if (!ParseMiRecord(record, parsed)) {
        // not a record after all: program output that happens to hold the word
        listener_.Show(line);
        return;
    }
    StopRecordFrom(parsed, toolRoot_, workingDir_, stop, resultNumber);
    if (!before.empty()) listener_.Show(before);
    const std::string& reason = stop.reason;
    if (StartsWith(reason, "exited")) {
        state_ = STATE_EXIT;
        listener_.Send(CMD_EXIT);
    } else if (reason.empty() || StartsWith(reason, "breakpoint-hit") ||
               StartsWith(reason, "end-stepping-range") || StartsWith(reason, "function-finished") ||
               StartsWith(reason, "location-reached")) {
        // gdb gives no reason for a finish that ends in a frame without
        // debug information: a stop all the same.
        state_ = STATE_STOP;
    } else if (StartsWith(reason, "signal-received")) {
        int own = listener_.OwnInterrupt(stop);
        if (own != 0) {
            state_ = own == 1 ? STATE_INTERRUPTED : STATE_STOP;
            return;
        }
        exitFlag = 0;
        listener_.Show(stop.signalMeaning + "\r\nProgram Exited Abnormally\r\n");
        state_ = STATE_EXIT;
        listener_.Send(CMD_EXIT);
    } else if (before.empty()) {
        listener_.Show(line);
    }
}

namespace {
std::string ErrorMessage(std::string_view record) {
    MiRecord r;
    ParseMiRecord(record, r);
    std::string text(r.results.Str("msg"));
    if (text.empty()) {
        std::size_t msg = record.find("msg=");
        if (msg != std::string_view::npos) text = std::string(record.substr(msg + 4));
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text.substr(0, kMaxErrorMessage);
}
} // namespace

void MiMachine::RunRefused(std::string_view line) {
    exitFlag = 0;
    listener_.Show("Korl: the program cannot be started: " + ErrorMessage(line) + "\r\n");
    state_ = STATE_EXIT;
    listener_.Send(CMD_EXIT);
}

void MiMachine::ErrorReport(std::string_view line, std::size_t at) {
    std::string text = ErrorMessage(line.substr(at));
    if (text.find("finish") != std::string::npos) text = std::string(kStepOutRefused);
    state_ = STATE_STOP;
    listener_.ErrorBox(text);
}

} // namespace korl
