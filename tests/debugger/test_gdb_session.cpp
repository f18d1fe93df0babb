// The session against the real gdb, on programs built for the tests.
#include "debug_programs.h"
#include "session_harness.h"
#include "debugger/breakpoint_table.h"
#include "debugger/gdb_session.h"
#include "debugger/sim_context.h"
#include "debugger/watch_list.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <map>

using namespace korl;
using korl_test::Gone;
using korl_test::Harness;
using korl_test::LineOf;

namespace {

class GdbSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        dir_ = korl_test::ProgramDir(&error);
        ASSERT_FALSE(dir_.empty()) << error;
        source_ = dir_ + "/watch_types.cpp";
    }
    std::string dir_, source_;
};

} // namespace

TEST_F(GdbSessionTest, BreakpointsInMainMethodAndThreadWithEveryWatchKind) {
    Harness h;
    ASSERT_TRUE(h.Start("watch_types"));
    int lMain = LineOf(source_, "int scaled = scale"), lTick = LineOf(source_, "count_out.write(count)"),
        lRun = LineOf(source_, "seen = count_in.read()");
    // the table inserts in its order; a breakpoint on a blank line moves to where gdb put it
    BreakpointTable table;
    std::vector<std::string> moves;
    table.SetMovedCallback([&](const std::string& f, int from, int to) {
        moves.push_back(f + ":" + std::to_string(from) + "->" + std::to_string(to));
    });
    table.SetSession(&h.session);
    int lFirst = LineOf(source_, "int plain_int = -42");
    for (int l : {lMain, lTick, lRun, lFirst - 3}) table.AddBreakpoint(source_, l);
    table.AddBreakpoint("nosuch.cpp", 3);
    h.session.Run();
    ASSERT_TRUE(h.NextStop()) << h.console;
    EXPECT_EQ(h.positions.back(), std::make_pair(source_, lFirst - 1));
    std::vector<int> numbers;
    for (auto& r : table.Records()) numbers.push_back(r.number);
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3, 4, 0}));
    EXPECT_EQ(moves, (std::vector<std::string>{source_ + ":" + std::to_string(lFirst - 3) + "->" +
                                               std::to_string(lFirst)}));
    EXPECT_TRUE(table.Has(source_, lFirst));
    std::string context = "unread";
    ReadSimContext(h.session, [&](const std::string& t) { context = t; });
    ASSERT_TRUE(h.Until([&] { return context != "unread"; }));
    EXPECT_EQ(context, "0 s, delta 0"); // before sc_start: no process runs

    // toggling the moved breakpoint off deletes it in gdb
    table.AddBreakpoint(source_, lFirst);
    EXPECT_FALSE(table.Has(source_, lFirst));
    h.session.Continue();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.positions.back(), std::make_pair(source_, lMain - 1));
    EXPECT_EQ(h.session.LastStop().reason, "breakpoint-hit");

    const std::map<std::string, std::string> expected = {{"plain_int", "-42"},
                                                         {"flag", "true"},
                                                         {"ratio", "0.625"},
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
                                                         {"no_such_symbol", "No symbol in current context"},
                                                         {"plain_int * 2", "-84"}};
    for (auto& [expr, value] : expected) EXPECT_EQ(h.Watch(expr), value) << expr;
    EXPECT_EQ(h.Watch("label"), "\"watch me\"");

    // an Examine pane's rows, refreshed together
    WatchList pane;
    pane.EndEdit(0, "u64");
    pane.EndEdit(1, "lv8");
    pane.RefreshAll(h.session);
    ASSERT_TRUE(h.Until([&] { return !pane.Rows()[1].value.empty(); }));
    EXPECT_EQ(pane.Rows()[0].value, "4886718345");
    EXPECT_EQ(pane.Rows()[1].value, "01zx10zx");
    EXPECT_EQ(pane.Rows()[2].value, "");

    h.session.Continue();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), lTick);
    EXPECT_EQ(h.Watch("count"), "1");
    EXPECT_EQ(h.Watch("count_out"), "0");
    EXPECT_EQ(h.Watch("clk"), "true");
    context = "unread";
    ReadSimContext(h.session, [&](const std::string& t) { context = t; });
    ASSERT_TRUE(h.Until([&] { return context != "unread"; }));
    EXPECT_EQ(context, "0 s, delta 1, prod.tick");
    std::string stack;
    h.session.ListFrames([&](bool ok, const std::vector<StackFrame>& frames) {
        stack = ok ? StackText(frames, dir_) : "failed";
    });
    ASSERT_TRUE(h.Until([&] { return !stack.empty(); }));
    EXPECT_EQ(stack.rfind("0  producer::tick  watch_types.cpp:" + std::to_string(lTick) + "\r\n", 0), 0u)
        << stack;
    EXPECT_NE(stack.find("  in libsystemc-2.3.4.so\r\n"), std::string::npos) << stack;
    EXPECT_EQ(stack.find("\r\n\r\n"), std::string::npos) << stack;

    table.RemoveBreakpoint(source_, lTick);
    h.session.Continue();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), lRun);
    EXPECT_EQ(h.Watch("count_in"), "0");
    std::string nibble = h.Watch("nibble_in");
    EXPECT_EQ(nibble.size(), 4u) << nibble;

    table.RemoveBreakpoint(source_, lRun);
    h.session.Continue();
    ASSERT_TRUE(h.Until([&] { return h.session.Ended(); })) << h.console;
    EXPECT_EQ(h.exitFlag, 1);
    EXPECT_EQ(h.endedCount, 1);
    EXPECT_NE(h.console.find("scaled -126 u8 200 flag 1"), std::string::npos) << h.console;
    EXPECT_EQ(h.console.find("Internal error"), std::string::npos) << h.console;
    EXPECT_EQ(h.console.find("^error"), std::string::npos) << h.console;
    // the dump the simulation wrote opens after a normal end only
    EXPECT_EQ(VcdToOpenAfterRun(1, dir_, "watch_types"), dir_ + "/watch_types.vcd");
    EXPECT_EQ(VcdToOpenAfterRun(0, dir_, "watch_types"), "");
    EXPECT_EQ(VcdToOpenAfterRun(1, dir_, "no_such_dump"), "");
}

TEST_F(GdbSessionTest, StepNextFinishAndUntilStopWhereGdbSays) {
    Harness h;
    ASSERT_TRUE(h.Start("watch_types"));
    int lMain = LineOf(source_, "int scaled = scale");
    h.session.InsertBreakpoint(source_, lMain, {});
    h.session.Run();
    ASSERT_TRUE(h.NextStop());
    h.session.StepInto();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), LineOf(source_, "int product = v * factor"));
    EXPECT_EQ(h.session.LastStop().reason, "end-stepping-range");
    h.session.StepOver();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), LineOf(source_, "return product;"));
    h.session.StepOut();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), lMain);
    EXPECT_EQ(h.session.LastStop().reason, "function-finished");
    h.session.RunToCursor(source_, lMain + 1);
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), lMain + 1);
    EXPECT_EQ(h.session.LastStop().reason, "location-reached");
    EXPECT_TRUE(h.boxes.empty());
    h.session.Stop();
    EXPECT_EQ(h.endedCount, 1);
    EXPECT_EQ(h.exitFlag, 0);
}

TEST_F(GdbSessionTest, BreakpointAndRunToCursorInADirectoryWithBlanks) {
    Harness h;
    std::string blankDir = dir_ + "/dir with blank";
    std::string file = blankDir + "/blank.cpp";
    int lMain = LineOf(file, "int v = twice");
    BreakpointTable table;
    table.AddBreakpoint(file, lMain);
    GdbStartOptions o;
    o.executable = "blank";
    o.projectDir = blankDir;
    ASSERT_TRUE(StartDebugging(h.session, table, o));
    ASSERT_TRUE(h.NextStop()) << h.console;
    EXPECT_EQ(h.positions.back(), std::make_pair(file, lMain - 1));
    EXPECT_GT(table.Records()[0].number, 0);
    h.session.RunToCursor(file, lMain + 1);
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), lMain + 1);
    EXPECT_EQ(h.Watch("v"), "42");
    h.session.Continue();
    ASSERT_TRUE(h.Until([&] { return h.session.Ended(); }));
    EXPECT_NE(h.console.find("42\r\n"), std::string::npos);
    EXPECT_EQ(h.exitFlag, 1);
    EXPECT_EQ(RunEndText(h.exitFlag), "\r\nKorl: Execution Done!");
}

TEST_F(GdbSessionTest, StepOutInOutermostFrameThenSegmentationFault) {
    Harness h;
    ASSERT_TRUE(h.Start("crash"));
    h.session.InsertBreakpoint("crash.cpp", 11, {});
    h.session.Run();
    ASSERT_TRUE(h.NextStop());
    auto where = h.positions.back();
    h.session.StepOut();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.boxes, (std::vector<std::string>{"Step Out command is meaningful in the outermost frame."}));
    EXPECT_EQ(h.positions.back(), where);
    EXPECT_TRUE(h.session.AtStop());
    h.session.Continue();
    ASSERT_TRUE(h.Until([&] { return h.session.Ended(); }));
    EXPECT_NE(h.console.find("about to crash\r\n"), std::string::npos) << h.console;
    EXPECT_NE(h.console.find("Segmentation fault\r\nProgram Exited Abnormally\r\n"), std::string::npos)
        << h.console;
    EXPECT_EQ(h.exitFlag, 0);
    EXPECT_EQ(RunEndText(h.exitFlag), "\r\nKorl: Execution Aborted!");
}

TEST_F(GdbSessionTest, StepOutOfAMethodIntoTheLibraryStaysAStopWithoutSource) {
    Harness h;
    ASSERT_TRUE(h.Start("watch_types"));
    h.session.InsertBreakpoint("watch_types.cpp", 12, {});
    h.session.Run();
    ASSERT_TRUE(h.NextStop());
    EXPECT_EQ(h.Line(), 12);
    // Out of the method: SystemC's scheduler has no source here.
    for (int i = 0; i < 2; ++i) {
        h.session.StepOut();
        ASSERT_TRUE(h.NextStop()) << "Step Out " << i + 1 << "\n" << h.console;
        EXPECT_TRUE(h.session.AtStop());
        EXPECT_TRUE(h.positions.back().first.empty()) << h.positions.back().first;
    }
    EXPECT_EQ(h.console.find("*stopped"), std::string::npos) << h.console;
    EXPECT_EQ(h.console.find("(gdb)"), std::string::npos) << h.console;
    // Stepping goes on from there.
    h.session.Continue();
    ASSERT_TRUE(h.NextStop()) << h.console;
    EXPECT_EQ(h.Line(), 12);
    h.session.Stop();
}

// Evaluations asked from an answer (the next step of a watch) go before a
// step pressed meanwhile, so the value read is the one of this stop.
TEST_F(GdbSessionTest, FollowUpEvaluationsGoBeforeAQueuedStep) {
    Harness h;
    ASSERT_TRUE(h.Start("watch_types"));
    h.session.InsertBreakpoint("watch_types.cpp", 13, {});
    h.session.Run();
    ASSERT_TRUE(h.NextStop());
    std::vector<std::string> order;
    h.session.Evaluate("count", [&](const EvalResult&) {
        order.push_back("first");
        h.session.Evaluate("count", [&](const EvalResult& r) { order.push_back("follow-up " + r.value); });
    });
    h.session.StepOver();
    ASSERT_TRUE(h.NextStop());
    ASSERT_EQ(order.size(), 2u);
    EXPECT_EQ(order[0], "first");
    EXPECT_EQ(order[1].rfind("follow-up ", 0), 0u);
    EXPECT_EQ(h.Line(), 14);
    h.session.Stop();
}

TEST_F(GdbSessionTest, EveryFailedStartEndsInBoundedTimeWithNothingLeft) {
    namespace fs = std::filesystem;
    const std::string scratch =
        (fs::temp_directory_path() / ("korl_dbg_start_" + std::to_string(::getpid()))).string();
    fs::create_directories(scratch);

    // no program: refused at once, naming it
    {
        Harness h;
        GdbStartOptions o;
        o.executable = "no_such_program";
        o.projectDir = scratch;
        std::string error;
        EXPECT_FALSE(h.session.Start(o, &error));
        EXPECT_EQ(error, "Korl: cannot find the program " + scratch + "/no_such_program");
        EXPECT_EQ(h.endedCount, 0);
    }
    // a program that cannot be started: gdb refuses the run, the session ends itself
    {
        std::ofstream(scratch + "/not_runnable") << "plain text\n";
        Harness h;
        ASSERT_TRUE(h.Start("not_runnable", scratch));
        h.session.Run();
        pid_t gdb = h.session.GdbPid();
        ASSERT_TRUE(h.Until([&] { return h.session.Ended(); }, 5000)) << h.console;
        EXPECT_EQ(h.endedCount, 1);
        EXPECT_EQ(h.exitFlag, 0);
        EXPECT_NE(h.console.find("Korl: the program cannot be started: "), std::string::npos) << h.console;
        EXPECT_EQ(h.console.find("Internal error"), std::string::npos) << h.console;
        h.session.Stop(); // after the end: nothing more happens
        EXPECT_EQ(h.endedCount, 1);
        EXPECT_TRUE(Gone(gdb));
    }
    // a gdb that exits at once, and one that never answers
    {
        const std::string quick = scratch + "/quick_gdb", mute = scratch + "/mute_gdb";
        std::ofstream(quick) << "#!/bin/sh\nexit 0\n";
        std::ofstream(mute) << "#!/bin/sh\nexec sleep 30\n";
        fs::permissions(quick, fs::perms::owner_all);
        fs::permissions(mute, fs::perms::owner_all);
        std::ofstream(scratch + "/prog") << "x";
        for (const std::string& gdbPath : {quick, mute}) {
            Harness h;
            GdbStartOptions o;
            o.gdbPath = gdbPath;
            o.executable = "prog";
            o.projectDir = scratch;
            o.startTimeout = std::chrono::milliseconds(800);
            std::string error;
            ASSERT_TRUE(h.session.Start(o, &error)) << error;
            pid_t gdb = h.session.GdbPid();
            h.session.Run();
            auto begin = std::chrono::steady_clock::now();
            ASSERT_TRUE(h.Until([&] { return h.session.Ended(); }, 5000)) << gdbPath;
            EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(3));
            EXPECT_EQ(h.endedCount, 1);
            EXPECT_EQ(h.exitFlag, 0);
            EXPECT_NE(h.console.find(gdbPath == quick ? kGdbEnded : kGdbDidNotStart), std::string::npos)
                << h.console;
            EXPECT_TRUE(Gone(gdb));
        }
    }
    // no gdb at all
    {
        Harness none;
        GdbStartOptions o;
        o.gdbPath = "/nonexistent/gdb";
        o.executable = "prog";
        o.projectDir = scratch;
        std::string error;
        EXPECT_FALSE(none.session.Start(o, &error));
        EXPECT_EQ(error, "Korl: cannot create Process");
    }
    fs::remove_all(scratch);
}

TEST_F(GdbSessionTest, ConsoleShowsThePromptAndTakesTypedLines) {
    Harness h;
    ASSERT_TRUE(h.Start("console"));
    h.session.Run();
    ASSERT_TRUE(h.Until([&] { return h.console.find("Name? ") != std::string::npos; })) << h.console;
    EXPECT_EQ(h.console, "Name? "); // shown before the program reads, no line end
    h.session.WriteConsole("World");
    h.session.WriteConsole("\r\n");
    ASSERT_TRUE(h.Until([&] { return h.session.Ended(); }));
    EXPECT_NE(h.console.find("Name? Hello, World!\r\npartial line without end"), std::string::npos)
        << h.console;
    EXPECT_EQ(h.exitFlag, 1);

    // the Enter key arrives as CR LF, possibly split: the program gets one LF
    Harness typed;
    ASSERT_TRUE(typed.Start("typed"));
    typed.session.Run();
    ASSERT_TRUE(typed.Until([&] { return typed.console == "Name? "; })) << typed.console;
    typed.session.WriteConsole("Wo\r");
    typed.session.WriteConsole("\n");
    ASSERT_TRUE(typed.Until([&] { return typed.session.Ended(); }));
    EXPECT_NE(typed.console.find("Name? got 3: 87 111 10\r\nmore 0\r\n"), std::string::npos) << typed.console;
}

TEST_F(GdbSessionTest, BreakpointWhileRunningTakesEffectAndStopLeavesNothingBehind) {
    Harness h;
    ASSERT_TRUE(h.Start("spin"));
    h.session.Run();
    ASSERT_TRUE(h.Until([&] { return h.console.find("spinning") != std::string::npos; }));
    ASSERT_TRUE(h.Until([&] { return h.session.ProgramPid() > 0; }));
    EXPECT_TRUE(h.session.Running());

    // a watch asked while running waits for the stop; a breakpoint interrupts, goes in, and the run goes on
    std::string counter;
    int stopsWhenEvaluated = -1;
    h.session.EvaluateWatch("counter",
                            [&](const std::string& v) { counter = v, stopsWhenEvaluated = h.stops; });
    int number = -1;
    int line = LineOf(dir_ + "/spin.cpp", "counter = counter + 1");
    h.session.InsertBreakpoint("spin.cpp", line, [&](int n, int) { number = n; });
    ASSERT_TRUE(h.NextStop()) << h.console;
    EXPECT_GT(number, 0);
    EXPECT_EQ(h.Line(), line);
    ASSERT_TRUE(h.Until([&] { return !counter.empty(); }));
    EXPECT_NE(counter.find_first_of("0123456789"), std::string::npos) << counter;
    EXPECT_EQ(stopsWhenEvaluated, 1);
    EXPECT_EQ(h.stops, 1); // the interrupt itself was not shown

    // remove it and go on; a breakpoint set and removed while it runs is not seen as a stop
    h.session.DeleteBreakpoint(number);
    h.session.Continue();
    ASSERT_TRUE(h.Until([&] { return h.session.Running() && h.session.State() == STATE_LISTEN; }));
    int idle = -1;
    bool removed = false;
    h.session.InsertBreakpoint("spin.cpp", LineOf(dir_ + "/spin.cpp", "counter = 0;"),
                               [&](int n, int) { idle = n; });
    ASSERT_TRUE(h.Until([&] { return idle >= 0; }));
    EXPECT_GT(idle, number);
    h.session.DeleteBreakpoint(idle, [&] { removed = true; });
    ASSERT_TRUE(h.Until([&] { return removed && h.session.State() == STATE_LISTEN; }));
    EXPECT_EQ(h.stops, 1);
    EXPECT_TRUE(h.session.Running());
    EXPECT_EQ(h.console.find("Internal error"), std::string::npos) << h.console;

    // stop debugging while it runs: gdb and the program (which ignores signals) end
    pid_t program = h.session.ProgramPid(), gdb = h.session.GdbPid();
    h.session.Stop();
    EXPECT_EQ(h.endedCount, 1);
    EXPECT_EQ(h.exitFlag, 0);
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while ((!Gone(program) || !Gone(gdb)) && std::chrono::steady_clock::now() < end) ::usleep(10000);
    EXPECT_TRUE(Gone(program));
    EXPECT_TRUE(Gone(gdb));
    EXPECT_EQ(h.session.GdbFd(), -1);
}

TEST_F(GdbSessionTest, ARequestGdbDoesNotAnswerFailsWithinItsBound) {
    // A hung gdb cannot be made to order: this stand-in prompts once and then
    // never answers.
    std::string fake = dir_ + "/hung_gdb.sh";
    std::ofstream(fake) << "#!/bin/sh\necho '(gdb) '\nexec sleep 60\n";
    ::chmod(fake.c_str(), 0755);
    Harness h;
    GdbStartOptions o;
    o.gdbPath = fake;
    o.executable = "watch_types";
    o.projectDir = dir_;
    o.requestTimeout = std::chrono::milliseconds(300);
    ASSERT_TRUE(h.session.Start(o));
    std::string value;
    h.session.Evaluate("x", [&](const EvalResult& r) { value = r.value; });
    ASSERT_TRUE(h.Until([&] { return !value.empty(); }, 5000));
    EXPECT_EQ(value, "No symbol in current context");
    EXPECT_NE(h.console.find("gdb does not answer"), std::string::npos);
    pid_t gdb = h.session.GdbPid();
    h.session.Stop();
    EXPECT_EQ(h.endedCount, 1);
    EXPECT_TRUE(Gone(gdb));
}
