// The reader's state machine: fed gdb's output line by line, it tells
// prompts, replies and stop records apart and decides what the Virtual
// Console shows. No I/O: what it causes goes to a Listener.
#pragma once

#include "debugger/gdb_command.h"
#include "debugger/stop_record.h"

#include <string>
#include <string_view>
#include <vector>

namespace korl {

inline constexpr std::string_view kStepOutRefused = "Step Out command is meaningful in the outermost frame.";
inline constexpr std::string_view kStackError = "Error in stack evaluation\r\n";
// Longest error message handed to the message box.
constexpr std::size_t kMaxErrorMessage = 4096;

class MiMachine {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        // Text for the Virtual Console (ends in "\r\n" unless cut).
        virtual void Show(std::string_view text) = 0;
        // The closing prompt of a request (states INIT, BREAK_INSERT,
        // BREAK_DELETE, EVALUAE_EXPRESSION, STACK_LIST).
        virtual void Reply() = 0;
        // A command the machine sends itself (-gdb-exit after the end).
        virtual void Send(GdbCommand code) = 0;
        // The prompt after a stop: position (0-based line, -2 without one), then the stop.
        virtual void Position(const std::string& file, int line0) = 0;
        virtual void Stopped() = 0;
        // gdb refused a stepping command; the text goes to a message box.
        virtual void ErrorBox(const std::string& text) = 0;
        // A record dropped from the console (notify, exec, stream records).
        virtual void Record(std::string_view line) {}
        // A "signal-received" stop that Korl caused itself: 0 not Korl's,
        // 1 handled unseen (Interrupted() at the prompt), 2 shown as a stop.
        virtual int OwnInterrupt(const StopRecord& stop) { return 0; }
        // The prompt after such a stop.
        virtual void Interrupted() {}
    };

    MiMachine(Listener& listener, std::string toolRoot, std::string workingDir);

    GdbState State() const { return state_; }
    // Set before a command is written; `code` tells which exec command runs.
    // `token` is the one written before the command (-1 without one).
    void CommandSent(GdbCommand code, long long token = -1);
    void SetState(GdbState state) { state_ = state; }

    // One line as the line builder made it (ending in "\r\n").
    void ProcessLine(std::string_view line);

    int resultNumber = 0;
    int replyLine = 0; // "line=" of the last breakpoint reply
    bool valueOk = false;
    std::string valueText;
    std::vector<StackFrame> frames;
    std::string stackText; // made from `frames`
    bool stackOk = false;
    StopRecord stop;
    int exitFlag = 1;

private:
    void InternalError(const char* stateName);
    void StopRecordLine(std::string_view line, std::size_t at);
    void ErrorReport(std::string_view line, std::size_t at);
    void RunRefused(std::string_view line);
    bool Stale(std::string_view line);
    static std::string_view Untokened(std::string_view line);

    Listener& listener_;
    std::string toolRoot_, workingDir_;
    GdbState state_ = STATE_INIT;
    GdbCommand lastExec_ = CMD_RUN;
    long long token_ = -1;
    bool skipPrompt_ = false;
};

} // namespace korl
