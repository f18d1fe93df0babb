// libFuzzer target: gdb machine-interface output through the line builder
// and the reader's state machine, in the transcript form of the debugger
// tests: "> -command" sets the state a command sets, "< text" is a line gdb
// printed, "<| text" bytes without a line end; other lines go in as output.
// Value replies then feed the watch decoder and stack replies the Stack
// pane's parsing.
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "debugger/line_builder.h"
#include "debugger/mi_machine.h"
#include "debugger/mi_text.h"
#include "debugger/stop_record.h"
#include "debugger/value_decoder.h"
#include "debugger/value_tree.h"

using namespace korl;

namespace {

GdbCommand CommandOf(std::string_view c) {
    static const std::pair<std::string_view, GdbCommand> table[] = {
        {"-exec-run", CMD_RUN},
        {"-gdb-exit", CMD_EXIT},
        {"-break-insert", CMD_BREAK_INSERT},
        {"-break-delete", CMD_BREAK_DELETE},
        {"-exec-continue", CMD_CONTINUE},
        {"-exec-step", CMD_STEP},
        {"-exec-next", CMD_NEXT},
        {"-exec-finish", CMD_FINISH},
        {"-exec-until", CMD_UNTIL},
        {"-data-evaluate-expression", CMD_EVALUATE},
        {"-stack-list-frames", CMD_STACK_LIST}};
    for (auto& [text, code] : table)
        if (StartsWith(c, text)) return code;
    return CMD_STACK_LIST;
}

struct Replay : MiMachine::Listener {
    MiMachine machine{*this, "/opt/korl", "/tmp/"};
    GdbState requestState = STATE_INIT;
    std::deque<std::string> values;
    size_t shown = 0;

    void Show(std::string_view t) override { shown += t.size(); }
    void Reply() override {
        if (requestState == STATE_EVALUAE_EXPRESSION && values.size() < 64)
            values.push_back(machine.valueText);
        if (requestState == STATE_EVALUAE_EXPRESSION) {
            PrintedNode node;
            ParsePrintedValue(machine.valueText, node);
        }
        if (requestState == STATE_STACK_LIST)
            for (const StackFrame& f : machine.frames) FrameText(f, "/tmp/");
    }
    void Send(GdbCommand) override {}
    void Position(const std::string& file, int line0) override {
        if (line0 < -2) __builtin_trap();
        ProjectShortName(file, "/tmp/");
    }
    void Stopped() override {}
    void ErrorBox(const std::string& text) override {
        if (text.size() > kMaxErrorMessage) __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Replay r;
    LineBuilder builder(4096);
    auto feed = [&](std::string_view bytes) {
        builder.Feed(bytes, [&](std::string_view line) { r.machine.ProcessLine(line); });
    };
    for (size_t at = 0, end; at < input.size(); at = end + 1) {
        end = input.find('\n', at);
        if (end == std::string_view::npos) end = input.size();
        const std::string_view line = input.substr(at, end - at);
        if (StartsWith(line, "> -")) {
            r.machine.CommandSent(CommandOf(line.substr(2)));
            r.requestState = r.machine.State();
        } else if (StartsWith(line, "<| ")) {
            feed(line.substr(3));
        } else if (StartsWith(line, "< ")) {
            feed(std::string(line.substr(2)) + "\n");
        } else if (!StartsWith(line, "#")) {
            feed(std::string(line) + (end < input.size() ? "\n" : ""));
        }
    }

    // The values gdb gave, as the answers of one watch's decoding.
    std::deque<std::string> answers = r.values;
    int asked = 0;
    EvaluateWatch("top.sig", [&](const std::string&) {
        EvalResult result;
        if (answers.empty() || ++asked > 256) return result;
        result.ok = true;
        result.value = answers.front();
        answers.pop_front();
        return result;
    });
    for (const std::string& v : r.values) ParseWordList(v, 4);
    ParseFrameListing(input, "/tmp/");
    return 0;
}
