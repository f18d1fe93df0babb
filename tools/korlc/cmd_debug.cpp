// korlc debug: Start Debugging without windows. Builds with the debug
// flags, runs the program under gdb and prints each stop, the watches and
// the stack; the actions to take at the stops come from the command line.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "command.h"
#include "console_build.h"
#include "debugger/breakpoint_table.h"
#include "debugger/gdb_session.h"
#include "debugger/program_run.h"
#include "debugger/sim_context.h"
#include "debugger/stop_record.h"
#include "debugger/value_tree.h"
#include "project/buildrunner.h"
#include "project/paths.h"
#include "project/project.h"
#include "project/toollayout.h"

namespace {

const char kHelp[] =
    "usage: korlc debug PROJECT.k1 [--break FILE:LINE]... [--watch EXPR]... [--stack]\n"
    "                   [--actions LIST] [--max-stops N] [--input TEXT] [-- ARGS...]\n\n"
    "Start Debugging without windows: builds the project with the debug flags (the\n"
    "Compile pane's text is printed), runs it under gdb with the breakpoints set and\n"
    "prints the program's console output as it arrives. At every stop it prints\n\n"
    "  stopped at FILE:LINE (REASON) at TIME, delta D, PROCESS\n\n"
    "(FILE is the name alone for a file in the project directory, else the full path;\n"
    "the part from \" at\" on only where the simulation context can be read), then\n"
    "\"EXPR = VALUE\" for each --watch in the order given, decoded as the Examine\n"
    "panes show it (an array or struct as its collapsed line), then with --stack the\n"
    "Stack pane's lines.\n\n"
    "  --break FILE:LINE  a breakpoint; FILE from the current directory, else from\n"
    "                     the project directory\n"
    "  --actions LIST     what to do at each stop, comma-separated: continue, step,\n"
    "                     next, finish, until:FILE:LINE; continue once it is used up\n"
    "  --max-stops N      stop debugging after N stops\n"
    "  --input TEXT       typed into the program's console (a line end added) as it starts\n"
    "  -- ARGS...         the program's arguments (else the project's ProgramArgs)\n\n"
    "It ends with the Virtual Console's closing line. Ctrl+C stops debugging.\n\n"
    "exit status: 0 Execution Done, 1 Execution Aborted, 2 the build failed or gdb\n"
    "could not start\n";

std::atomic<bool> g_stopRequested{false};

extern "C" void OnDebugStopSignal(int) { g_stopRequested = true; }

int Fail(const std::string& message) {
    std::fprintf(stderr, "korlc debug: %s\n", message.c_str());
    return 2;
}

// FILE:LINE with FILE from the current directory, else from the project's.
bool Location(const std::string& text, const korl::Project& project, std::string& file, int& line) {
    std::size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0) return false;
    char* end = nullptr;
    long n = std::strtol(text.c_str() + colon + 1, &end, 10);
    if (!end || *end != 0 || n < 1 || n > 100000000) return false;
    std::string name = text.substr(0, colon);
    file = korl::AbsolutePath(name);
    if (!korl::FileExists(file)) {
        std::string fromProject = korl::AbsolutePath(name, project.Directory());
        if (korl::FileExists(fromProject)) file = fromProject;
    }
    line = int(n);
    return true;
}

struct Options {
    std::string project;
    std::vector<std::string> breaks, watches, actions;
    bool stack = false;
    long maxStops = -1;
    bool haveInput = false;
    std::string input;
    bool haveArgs = false;
    std::vector<std::string> args;
};

std::vector<std::string> SplitList(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!item.empty()) out.push_back(item);
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return out;
}

bool ParseOptions(int argc, char** argv, Options& o, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                error = a + " needs a value";
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--") {
            o.haveArgs = true;
            for (++i; i < argc; ++i) o.args.push_back(argv[i]);
        } else if (a == "--break") {
            if (!value(v)) return false;
            o.breaks.push_back(v);
        } else if (a == "--watch") {
            if (!value(v)) return false;
            o.watches.push_back(v);
        } else if (a == "--stack") {
            o.stack = true;
        } else if (a == "--actions") {
            if (!value(v)) return false;
            for (auto& item : SplitList(v)) o.actions.push_back(item);
        } else if (a == "--max-stops") {
            if (!value(v)) return false;
            char* end = nullptr;
            o.maxStops = std::strtol(v.c_str(), &end, 10);
            if (!end || *end || o.maxStops < 0) {
                error = "--max-stops needs a number";
                return false;
            }
        } else if (a == "--input") {
            if (!value(o.input)) return false;
            o.haveInput = true;
        } else if (!a.empty() && a[0] == '-') {
            error = "unknown option " + a;
            return false;
        } else if (o.project.empty()) {
            o.project = a;
        } else {
            error = "more than one project: " + a;
            return false;
        }
    }
    if (o.project.empty()) error = "no project given";
    for (const auto& act : o.actions)
        if (act != "continue" && act != "step" && act != "next" && act != "finish" &&
            act.rfind("until:", 0) != 0)
            error = "unknown action " + act;
    return error.empty();
}

// The stop line: "stopped at FILE:LINE (REASON) at CONTEXT".
std::string StopLine(const korl::StopRecord& stop, const std::string& projectDir,
                     const std::string& context) {
    std::string where;
    if (!stop.file.empty() && stop.line > 0)
        where = korl::ProjectShortName(stop.file, projectDir) + ":" + std::to_string(stop.line);
    else
        where = korl::ShortFunctionName(stop.frame.func) +
                (stop.frame.from.empty() ? std::string() : " in " + stop.frame.from);
    std::string text = "stopped at " + where + " (" + stop.reason + ")";
    if (!context.empty()) text += " at " + context;
    return text;
}

void Print(const std::string& text) { korlc::PrintPaneText(text); }

int CmdDebug(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    Options o;
    std::string error;
    if (!ParseOptions(argc, argv, o, error)) return Fail(error + "\n" + std::string(kHelp).substr(0, 160));

    std::string projectPath = korl::AbsolutePath(o.project);
    if (!korl::FileExists(projectPath)) return Fail("cannot open project file " + projectPath);
    korl::Project project;
    project.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    if (!project.Load(projectPath)) return Fail("cannot read project file " + projectPath);

    std::vector<std::pair<std::string, int>> breakpoints;
    for (const auto& b : o.breaks) {
        std::string file;
        int line = 0;
        if (!Location(b, project, file, line)) return Fail("--break needs FILE:LINE, not " + b);
        breakpoints.emplace_back(file, line);
    }

    korl::BuildResult build;
    build.errors = 1;
    if (!korlc::RunConsoleBuild(korl::BuildKind::Debug, project, {}, 0, &build, &error)) return Fail(error);
    if (build.errors != 0 || !build.executableExists) return 2;

    korl::ToolLayout tools = korl::CurrentToolLayout();
    korl::GdbStartOptions start;
    if (!tools.debugger.empty()) start.gdbPath = tools.debugger;
    start.executable = build.executablePath;
    start.projectDir = project.Directory();
    start.toolRoot = tools.toolRoot;
    start.programArgs = o.haveArgs ? o.args : korl::SplitProgramArguments(project.ProgramArguments());
    korl::DeletePreviousVcd(start.projectDir, project.Title());

    bool stopped = false;
    int exitFlag = -1;
    korl::GdbSessionCallbacks callbacks;
    callbacks.output = [](std::string_view text) { Print(std::string(text)); };
    callbacks.stopped = [&] { stopped = true; };
    callbacks.errorBox = [](const std::string& text) { Print("Korl: " + text + "\n"); };
    callbacks.ended = [&](int flag) { exitFlag = flag; };
    korl::Korl_GdbSession session(std::move(callbacks));
    korl::BreakpointTable table;
    for (const auto& [file, line] : breakpoints) table.AddBreakpoint(file, line);

    struct sigaction sa {};
    sa.sa_handler = OnDebugStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    if (!korl::StartDebugging(session, table, start, &error)) {
        table.SetSession(nullptr);
        return Fail(error);
    }
    if (o.haveInput) session.WriteConsole(o.input + "\n");

    long stops = 0;
    std::size_t nextAction = 0;
    bool showing = false;
    while (korl::PollSession(session, 100)) {
        if (g_stopRequested.exchange(false)) session.Stop();
        if (!stopped || showing || session.Ended()) continue;
        stopped = false;
        showing = true;
        ++stops;
        // Everything of one stop is asked at once; the requests queue in order.
        auto context = std::make_shared<std::string>();
        auto values = std::make_shared<std::vector<std::string>>(o.watches.size());
        auto frames = std::make_shared<std::vector<korl::StackFrame>>();
        auto left = std::make_shared<int>(1 + int(o.watches.size()) + (o.stack ? 1 : 0));
        auto finished = [&, context, values, frames, left] {
            if (--*left > 0) return;
            Print(StopLine(session.LastStop(), project.Directory(), *context) + "\n");
            for (std::size_t i = 0; i < o.watches.size(); ++i)
                Print(o.watches[i] + " = " + (*values)[i] + "\n");
            if (o.stack) Print(korl::StackText(*frames, project.Directory()));
            showing = false;
            if (o.maxStops >= 0 && stops >= o.maxStops) {
                session.Stop();
                return;
            }
            std::string action = nextAction < o.actions.size() ? o.actions[nextAction++] : "continue";
            if (action == "step")
                session.StepInto();
            else if (action == "next")
                session.StepOver();
            else if (action == "finish")
                session.StepOut();
            else if (action.rfind("until:", 0) == 0) {
                std::string file;
                int line = 0;
                if (Location(action.substr(6), project, file, line))
                    session.RunToCursor(file, line);
                else
                    session.Continue();
            } else
                session.Continue();
        };
        korl::ReadSimContext(session, [context, finished](const std::string& t) {
            *context = t;
            finished();
        });
        for (std::size_t i = 0; i < o.watches.size(); ++i)
            session.EvaluateWatch(o.watches[i], [values, i, finished](const std::string& v) {
                (*values)[i] = v;
                finished();
            });
        if (o.stack)
            session.ListFrames([frames, finished](bool, const std::vector<korl::StackFrame>& f) {
                *frames = f;
                finished();
            });
    }
    table.SetSession(nullptr);
    const int flag = exitFlag < 0 ? session.ExitFlag() : exitFlag;
    Print(std::string(korl::RunEndText(flag)) + "\r\n");
    return flag == 1 ? 0 : 1;
}

korlc::Registrar debugCmd({"debug", "build and debug a project's simulation under gdb (Start Debugging)",
                           CmdDebug});

} // namespace
