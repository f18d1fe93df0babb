// korlc build, rebuild, compile: the build commands without windows. They
// print what the Compile pane would show, then the summary line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include <vector>

#include "command.h"
#include "console_build.h"
#include "project/buildrunner.h"
#include "project/makefile.h"
#include "project/paths.h"
#include "project/project.h"
#include "project/toollayout.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "korlc: %s\n", message.c_str());
    return 2;
}

// The file to compile: as given from the current directory, or else from the
// project directory.
std::string CompileSourcePath(const korl::Project& project, const std::string& arg) {
    std::string fromCwd = korl::AbsolutePath(arg);
    if (project.IsProjectSource(fromCwd)) return fromCwd;
    std::string fromProject = korl::AbsolutePath(arg, project.Directory());
    if (project.IsProjectSource(fromProject)) return fromProject;
    return fromCwd;
}

struct BuildArgs {
    std::string project;
    std::string source;
    unsigned jobs = 0; // one per processor
};

// PROJECT [SOURCE] and --jobs N / -jN / --jobs=N in any order; false on a
// usage error.
bool ParseBuildArgs(int argc, char** argv, int positional, BuildArgs* out) {
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        std::string value;
        if (a == "--jobs" || a == "-j") {
            if (i + 1 >= argc) return false;
            value = argv[++i];
        } else if (a.rfind("--jobs=", 0) == 0) {
            value = a.substr(7);
        } else if (a.rfind("-j", 0) == 0 && a.size() > 2) {
            value = a.substr(2);
        } else {
            rest.push_back(a);
            continue;
        }
        if (value.empty() || value.size() > 4 || value.find_first_not_of("0123456789") != std::string::npos)
            return false;
        out->jobs = static_cast<unsigned>(std::stoul(value));
        if (out->jobs == 0) return false;
    }
    if (static_cast<int>(rest.size()) != positional) return false;
    out->project = rest[0];
    if (positional > 1) out->source = rest[1];
    return true;
}

int RunBuild(korl::BuildKind kind, const BuildArgs& args) {
    std::string projectPath = korl::AbsolutePath(args.project);
    korl::Project project;
    project.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    if (!project.Load(projectPath)) return Fail(project.LastError());

    std::string source;
    if (kind == korl::BuildKind::Compile) source = CompileSourcePath(project, args.source);

    // A project that cannot be built safely is a failed build, not a usage error.
    if (kind != korl::BuildKind::Compile) {
        if (std::string why = korl::CheckBuildable(project); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
    }

    korl::BuildResult result;
    result.errors = 1; // a build that never reports its end failed
    std::string error;
    if (!korlc::RunConsoleBuild(kind, project, source, args.jobs, &result, &error)) return Fail(error);
    return result.errors == 0 ? 0 : 1;
}

int BuildHelp(const char* name, const char* what) {
    std::printf("usage: korlc %s [--jobs N] PROJECT.k1\n\n%s\n\n", name, what);
    std::printf(
        "Writes the makefile into the project directory, runs make there and prints\n"
        "what the Compile pane shows (compile and link commands shortened, make's own\n"
        "messages hidden, some compiler messages rewritten), then the summary line\n"
        "\"TARGET - N error(s), M warning(s)\". The makefile is deleted afterwards.\n"
        "make runs N jobs at once (--jobs N, -jN; default: one per processor), each\n"
        "compiler's messages kept together under its \"Compiling...\" line.\n"
        "A failed make, or a build that leaves no executable, counts as an error.\n"
        "Ctrl+C stops the build and everything it started, as Stop Build does.\n\n"
        "exit status: 0 no error, 1 errors (or stopped), 2 the build could not start\n");
    return 0;
}

int CmdBuild(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv))
        return BuildHelp("build",
                         "Builds the project's simulation executable (Build, F7): only what changed.");
    BuildArgs args;
    if (!ParseBuildArgs(argc, argv, 1, &args)) return Fail("usage: korlc build [--jobs N] PROJECT.k1");
    return RunBuild(korl::BuildKind::Build, args);
}

int CmdRebuild(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv))
        return BuildHelp("rebuild",
                         "Rebuilds the whole executable (Rebuild All): rescans every source's includes\n"
                         "and makes every target again (make -B).");
    BuildArgs args;
    if (!ParseBuildArgs(argc, argv, 1, &args)) return Fail("usage: korlc rebuild [--jobs N] PROJECT.k1");
    return RunBuild(korl::BuildKind::RebuildAll, args);
}

int CmdCompile(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) {
        std::printf(
            "usage: korlc compile PROJECT.k1 SOURCE\n\n"
            "Compiles one project source into its object file (Compile, Ctrl+F7), with\n"
            "the single-file makefile; nothing is linked. SOURCE is taken from the\n"
            "current directory, or else from the project directory, and must be one of\n"
            "the project's sources.\n\n"
            "Prints what the Compile pane shows, then \"STEM.o - N error(s), M warning(s)\".\n"
            "Ctrl+C stops the compile as Stop Build does.\n\n"
            "exit status: 0 no error, 1 errors (or stopped), 2 the compile could not start\n");
        return 0;
    }
    BuildArgs args;
    if (!ParseBuildArgs(argc, argv, 2, &args)) return Fail("usage: korlc compile PROJECT.k1 SOURCE");
    return RunBuild(korl::BuildKind::Compile, args);
}

korlc::Registrar buildCmd({"build", "build a project's simulation (Build)", CmdBuild});
korlc::Registrar rebuildCmd({"rebuild", "rebuild everything (Rebuild All)", CmdRebuild});
korlc::Registrar compileCmd({"compile", "compile one project source (Compile)", CmdCompile});

} // namespace
