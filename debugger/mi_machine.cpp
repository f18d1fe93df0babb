#include "debugger/mi_machine.h"

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

void MiMachine::CommandSent(GdbCommand code) {
    state_ = StateForCommand(code);
    if (IsExecCommand(code)) lastExec_ = code;
}

void MiMachine::InternalError(const char* stateName) {
    listener_.Show(std::string("Internal error in ") + stateName + " state\r\n");
}

void MiMachine::ProcessLine(std::string_view line) {
    if (IsDroppedRecord(line)) {
        listener_.Record(line);
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
                std::size_t at = line.find("bkpt=");
                resultNumber = 0;
                replyLine = 0;
                if (at != std::string_view::npos) {
                    std::string_view tuple = line.substr(at + 5);
                    if (auto v = FieldValue(tuple, "")) resultNumber = int(ParseDecimal(*v));
                    if (auto v = FieldValue(tuple, "line=")) replyLine = int(ParseDecimal(*v));
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
                valueText = ReplyValue(line);
                valueOk = true;
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
                stackText = ParseFrameListing(line, workingDir_);
                stackOk = true;
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
    ParseStopRecord(record, toolRoot_, workingDir_, stop, resultNumber);
    if (!before.empty()) listener_.Show(before);
    const std::string& reason = stop.reason;
    if (StartsWith(reason, "exited")) {
        state_ = STATE_EXIT;
        listener_.Send(CMD_EXIT);
    } else if (StartsWith(reason, "breakpoint-hit") || StartsWith(reason, "end-stepping-range") ||
               StartsWith(reason, "function-finished") || StartsWith(reason, "location-reached")) {
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

void MiMachine::ErrorReport(std::string_view line, std::size_t at) {
    std::string_view rest = line.substr(at);
    std::size_t msg = rest.find("msg=");
    std::string text =
        msg == std::string_view::npos ? std::string() : std::string(rest.substr(msg + 4, kMaxErrorMessage));
    if (text.find("finish") != std::string::npos) text = std::string(kStepOutRefused);
    state_ = STATE_STOP;
    listener_.ErrorBox(text);
}

} // namespace korl
