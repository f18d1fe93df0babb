// The state machine fed real gdb transcripts line by line, and the decoder
// fed the values those transcripts hold.
#include "debugger/line_builder.h"
#include "debugger/mi_machine.h"
#include "debugger/mi_text.h"
#include "debugger/value_decoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>

using namespace korl;

namespace {

const std::string kData = std::string(KORL_SOURCE_DIR) + "/tests/debugger/data/";
// the directory the transcripts show as the recording directory
const std::string kShownRoot = "/home/user/fixtures";

std::vector<std::string> ReadLines(const std::string& name) {
    std::ifstream in(kData + name);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

std::string Unshown(std::string text) {
    for (std::size_t at; (at = text.find("\\r")) != std::string::npos;) text.replace(at, 2, "\r");
    return text;
}

GdbCommand CommandOf(const std::string& c) {
    static const std::pair<const char*, GdbCommand> table[] = {{"-exec-run", CMD_RUN},
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
    ADD_FAILURE() << "unknown command " << c;
    return CMD_EXIT;
}

struct Replay : MiMachine::Listener {
    std::string shown;
    std::vector<std::string> positions; // "file:line0"
    std::vector<std::string> boxes;
    std::vector<int> numbers;
    std::vector<std::string> values, stacks;
    int replies = 0, stops = 0;
    bool exitSent = false;
    GdbState lastRequestState = STATE_INIT;
    MiMachine machine{*this, "/opt/korl", kShownRoot};

    void Show(std::string_view t) override { shown += t; }
    void Reply() override {
        ++replies;
        if (lastRequestState == STATE_BREAK_INSERT) numbers.push_back(machine.resultNumber);
        if (lastRequestState == STATE_EVALUAE_EXPRESSION) values.push_back(machine.valueText);
        if (lastRequestState == STATE_STACK_LIST) stacks.push_back(machine.stackText);
    }
    void Send(GdbCommand code) override { exitSent = exitSent || code == CMD_EXIT; }
    void Position(const std::string& f, int l) override { positions.push_back(f + ":" + std::to_string(l)); }
    void Stopped() override { ++stops; }
    void ErrorBox(const std::string& t) override { boxes.push_back(t); }

    void Run(const std::string& name) {
        LineBuilder builder;
        for (const std::string& l : ReadLines(name)) {
            if (StartsWith(l, "> ")) {
                // Korl sends nothing after the end, and -gdb-exit only itself;
                // lines without '-' were typed into the program
                if (exitSent || !StartsWith(l, "> -") || StartsWith(l, "> -gdb-exit")) continue;
                GdbCommand code = CommandOf(l.substr(2));
                machine.CommandSent(code);
                lastRequestState = machine.State();
            } else if (StartsWith(l, "< ") || StartsWith(l, "<| ")) {
                bool complete = StartsWith(l, "< ");
                builder.Feed(Unshown(l.substr(complete ? 2 : 3)) + (complete ? "\n" : ""),
                             [&](std::string_view line) { machine.ProcessLine(line); });
            }
        }
    }
};

} // namespace

TEST(TranscriptTest, NoTranscriptOfARunnableProgramGivesAnInternalError) {
    for (const char* name :
         {"session.txt", "crash.txt", "blank_path.txt", "console_pipe.txt", "console_tty.txt"}) {
        Replay r;
        r.Run(name);
        EXPECT_EQ(r.shown.find("Internal error"), std::string::npos) << name << ":\n" << r.shown;
        EXPECT_TRUE(r.exitSent) << name;
    }
}

TEST(TranscriptTest, SessionStopsValuesAndStacks) {
    Replay r;
    r.Run("session.txt");
    // the recording directory does not exist here, so stop files are empty
    // unless it does; compare only the lines
    std::vector<std::string> lines;
    for (auto& p : r.positions) lines.push_back(p.substr(p.rfind(':') + 1));
    EXPECT_EQ(lines, (std::vector<std::string>{"52", "89", "46", "47", "89", "90", "12", "32"}));
    EXPECT_EQ(r.stops, 8);
    EXPECT_EQ(r.numbers, (std::vector<int>{1, 2, 3, 4, 0}));
    EXPECT_EQ(r.machine.exitFlag, 1);
    ASSERT_GE(r.values.size(), 6u);
    EXPECT_EQ(r.values[0], "-42");
    EXPECT_EQ(r.values[3], "0x55555556e17f \"hello\""); // escapes decoded
    EXPECT_NE(std::find(r.values.begin(), r.values.end(), std::string(kNoSymbol)), r.values.end());
    EXPECT_NE(r.shown.find("SystemC 2.3.4-Accellera"), std::string::npos);
    EXPECT_NE(r.shown.find("scaled -126 u8 200"), std::string::npos);
    EXPECT_EQ(r.shown.find("~\""), std::string::npos);
    EXPECT_EQ(r.shown.find("=library-loaded"), std::string::npos);
    ASSERT_FALSE(r.stacks.empty());
    EXPECT_NE(r.stacks[0].find("\r\n1  sc_elab_and_sim  in libsystemc-2.3.4.so\r\n"), std::string::npos)
        << r.stacks[0];
    EXPECT_NE(r.stacks[0].find("\r\n4  _start  in ??\r\n"), std::string::npos) << r.stacks[0];
    EXPECT_EQ(r.stacks[0].find("\r\n\r\n"), std::string::npos) << r.stacks[0];
}

TEST(TranscriptTest, CrashRefusesStepOutThenEndsAbnormally) {
    Replay r;
    r.Run("crash.txt");
    EXPECT_EQ(r.boxes, (std::vector<std::string>{std::string(kStepOutRefused)}));
    ASSERT_EQ(r.positions.size(), 2u);
    EXPECT_EQ(r.positions[0], r.positions[1]); // the position is reported again, unchanged
    EXPECT_NE(r.shown.find("about to crash\r\nSegmentation fault\r\nProgram Exited Abnormally\r\n"),
              std::string::npos);
    EXPECT_EQ(r.machine.exitFlag, 0);
}

TEST(TranscriptTest, UntilRefusalMissingProgramAndSharedPipes) {
    Replay blank;
    blank.Run("blank_path.txt");
    EXPECT_EQ(blank.boxes, (std::vector<std::string>{"unmatched quote"}));
    EXPECT_NE(blank.shown.find("42\r\n"), std::string::npos);

    // a program that cannot run ends the session, saying why
    Replay missing;
    missing.Run("missing_program.txt");
    EXPECT_EQ(missing.machine.State(), STATE_EXIT);
    EXPECT_NE(missing.shown.find("Korl: the program cannot be started: No executable file specified."),
              std::string::npos)
        << missing.shown;
    EXPECT_EQ(missing.shown.find("Internal error"), std::string::npos);
    EXPECT_TRUE(missing.exitSent);
    EXPECT_EQ(missing.machine.exitFlag, 0);

    // output on gdb's own pipe: the partial last line is cut before gdb's record
    Replay pipe;
    pipe.Run("console_pipe.txt");
    EXPECT_NE(pipe.shown.find("Name? Hello, World!\r\npartial line without end"), std::string::npos);
    EXPECT_EQ(pipe.shown.find("Inferior"), std::string::npos);
}

TEST(TranscriptTest, EveryRecordedValueKindDecodes) {
    // expression -> reply value, as recorded
    std::map<std::string, EvalResult> table;
    std::string pending;
    for (const std::string& l : ReadLines("session.txt")) {
        if (StartsWith(l, "> -data-evaluate-expression "))
            pending = l.substr(28);
        else if (!pending.empty() && StartsWith(l, "< ^done"))
            table[pending] = {true, ReplyValue(l)}, pending.clear();
        else if (!pending.empty() && StartsWith(l, "< ^error"))
            table[pending] = {false, std::string(kNoSymbol)}, pending.clear();
    }
    auto eval = [&](const std::string& e) -> EvalResult {
        auto it = table.find(e);
        if (it == table.end() && e.find("@") != std::string::npos) // one word recorded without "@"
            it = table.find(e.substr(0, e.find('@')));
        return it == table.end() ? EvalResult{false, std::string(kNoSymbol)} : it->second;
    };
    const std::map<std::string, std::string> expected = {
        {"plain_int", "-42"},
        {"flag", "true"},
        {"u8", "200"},
        {"u64", "4886718345"},
        {"s16", "-1234"},
        {"big_u", "5373003642731685151011"},
        {"big_s", "-1311768467294899695"},
        {"bv8", "10100101"},
        {"bv40", "1000000000000000000000000000000000000101"},
        {"lv8", "01zx10zx"},
        {"lv40", "x000000000000000000000000000000000000z01"},
        {"lz", "z"},
        {"lx", "x"},
        {"count_sig", "0"},
        {"enable_sig", "false"},
        {"clk", "false"},
        {"prod.count_out", "0"},
        {"cons.count_in", "0"},
        {"prod.clk", "false"},
        {"no_such_symbol", std::string(kNoSymbol)},
    };
    for (auto& [expr, value] : expected) EXPECT_EQ(EvaluateWatch(expr, eval), value) << expr;
}

TEST(TranscriptTest, HugeOutputLinesAndValuesPassWhole) {
    Replay r;
    LineBuilder builder;
    auto feed = [&](const std::string& text) {
        builder.Feed(text, [&](std::string_view l) { r.machine.ProcessLine(l); });
    };
    feed("(gdb) \n");
    r.machine.CommandSent(CMD_RUN);
    feed("^running\n(gdb) \n");
    std::string mega(1 << 20, 'o');
    feed(mega + "\n");
    EXPECT_EQ(r.shown, mega + "\r\n");
    feed("*stopped,reason=\"breakpoint-hit\",frame={file=\"" + std::string(300000, 'f') +
         "\",line=\"7\"}\n(gdb) \n");
    ASSERT_EQ(r.stops, 1);
    r.machine.CommandSent(CMD_EVALUATE);
    std::string value(100 * 1024, 'v');
    feed("^done,value=\"" + value + "\"\n(gdb) \n");
    EXPECT_EQ(r.machine.valueText, value);
    r.machine.CommandSent(CMD_EVALUATE);
    feed("^error,msg=\"" + std::string(200000, 'e') + "\"\n(gdb) \n");
    EXPECT_EQ(r.machine.valueText, kNoSymbol);
    EXPECT_EQ(r.shown.find("Internal error"), std::string::npos);
}
