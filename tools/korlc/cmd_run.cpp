// korlc run: Debug > Run without windows. Builds the project, runs the
// simulation without gdb on its own terminal and passes its output through.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include "command.h"
#include "console_build.h"
#include "debugger/gdb_session.h"
#include "debugger/program_run.h"
#include "project/buildrunner.h"
#include "project/paths.h"
#include "project/project.h"

namespace {

const char kHelp[] =
    "usage: korlc run PROJECT.k1 [--input TEXT] [-- ARGS...]\n\n"
    "Run without debugging: builds the project (the Compile pane's text is printed),\n"
    "then runs the simulation without gdb in the project directory and prints its\n"
    "console output as it arrives. ARGS are the program's arguments; without \"--\"\n"
    "the project's ProgramArgs option is used. --input TEXT is typed into its console\n"
    "(a line end added) as it starts. It ends with the Virtual Console's closing\n"
    "line. Ctrl+C stops the run.\n\n"
    "exit status: 0 Execution Done, 1 Execution Aborted, 2 the build failed or the\n"
    "program could not start\n";

std::atomic<bool> g_stop{false};
extern "C" void OnRunStopSignal(int) { g_stop = true; }

int Fail(const std::string& message) {
    std::fprintf(stderr, "korlc run: %s\n", message.c_str());
    return 2;
}

int CmdRun(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string projectArg, input;
    bool haveInput = false, haveArgs = false;
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--") {
            haveArgs = true;
            for (++i; i < argc; ++i) args.push_back(argv[i]);
        } else if (a == "--input" && i + 1 < argc) {
            input = argv[++i];
            haveInput = true;
        } else if (!a.empty() && a[0] == '-') {
            return Fail("unknown option " + a + "\nusage: korlc run PROJECT.k1 [--input TEXT] [-- ARGS...]");
        } else if (projectArg.empty()) {
            projectArg = a;
        } else {
            return Fail("more than one project: " + a);
        }
    }
    if (projectArg.empty()) return Fail("usage: korlc run PROJECT.k1 [--input TEXT] [-- ARGS...]");
    std::string projectPath = korl::AbsolutePath(projectArg);
    if (!korl::FileExists(projectPath)) return Fail("cannot open project file " + projectPath);
    korl::Project project;
    project.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    if (!project.Load(projectPath)) return Fail("cannot read project file " + projectPath);

    korl::BuildResult build;
    build.errors = 1;
    std::string error;
    if (!korlc::RunConsoleBuild(korl::BuildKind::Build, project, {}, 0, &build, &error)) return Fail(error);
    if (build.errors != 0 || !build.executableExists) return 2;

    struct sigaction sa {};
    sa.sa_handler = OnRunStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    korl::DeletePreviousVcd(project.Directory(), project.Title());
    int exitFlag = 0;
    korl::Korl_ProgramRun run({[](std::string_view text) { korlc::PrintPaneText(std::string(text)); },
                               [&](int flag) { exitFlag = flag; }});
    if (!haveArgs) args = korl::SplitProgramArguments(project.ProgramArguments());
    if (!run.Start(build.executablePath, args, project.Directory(), &error)) return Fail(error);
    if (haveInput) run.WriteConsole(input + "\n");
    while (korl::PollRun(run, 100))
        if (g_stop.exchange(false)) run.Stop();
    korlc::PrintPaneText(std::string(korl::RunEndText(exitFlag)) + "\r\n");
    return exitFlag == 1 ? 0 : 1;
}

korlc::Registrar runCmd({"run", "build and run a project's simulation without the debugger (Run)", CmdRun});

} // namespace
