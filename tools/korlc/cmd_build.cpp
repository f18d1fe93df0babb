// korlc build, rebuild, compile: the build commands without windows. They
// print what the Compile pane would show, then the summary line.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "command.h"
#include "console_build.h"
#include "project/buildrunner.h"
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

int RunBuild(korl::BuildKind kind, const std::string& projectArg, const std::string& sourceArg) {
    std::string projectPath = korl::AbsolutePath(projectArg);
    if (!korl::FileExists(projectPath)) return Fail("cannot open project file " + projectPath);
    if (::access(projectPath.c_str(), R_OK) != 0)
        return Fail("cannot read project file " + projectPath + ": " + std::strerror(errno));

    korl::Project project;
    project.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    project.Load(projectPath);
    korl::ToolLayout tools = korl::CurrentToolLayout();

    std::string source;
    if (kind == korl::BuildKind::Compile) source = CompileSourcePath(project, sourceArg);

    korl::BuildResult result;
    result.errors = 1; // a build that never reports its end failed
    std::string error;
    if (!korlc::RunConsoleBuild(kind, project, source, &result, &error)) return Fail(error);
    return result.errors == 0 ? 0 : 1;
}

int BuildHelp(const char* name, const char* what) {
    std::printf("usage: korlc %s PROJECT.k1\n\n%s\n\n", name, what);
    std::printf(
        "Writes the makefile into the project directory, runs make there and prints\n"
        "what the Compile pane shows (compile and link commands shortened, make's own\n"
        "messages hidden, some compiler messages rewritten), then the summary line\n"
        "\"TARGET - N error(s), M warning(s)\". The makefile is deleted afterwards.\n"
        "Ctrl+C stops the build and everything it started, as Stop Build does.\n\n"
        "exit status: 0 no error, 1 errors (or stopped), 2 the build could not start\n");
    return 0;
}

int CmdBuild(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv))
        return BuildHelp("build",
                         "Builds the project's simulation executable (Build, F7): only what changed.");
    if (argc != 2) return Fail("usage: korlc build PROJECT.k1");
    return RunBuild(korl::BuildKind::Build, argv[1], {});
}

int CmdRebuild(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv))
        return BuildHelp("rebuild",
                         "Rebuilds the whole executable (Rebuild All): rescans every source's includes\n"
                         "and makes every target again (make -B).");
    if (argc != 2) return Fail("usage: korlc rebuild PROJECT.k1");
    return RunBuild(korl::BuildKind::RebuildAll, argv[1], {});
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
    if (argc != 3) return Fail("usage: korlc compile PROJECT.k1 SOURCE");
    return RunBuild(korl::BuildKind::Compile, argv[1], argv[2]);
}

korlc::Registrar buildCmd({"build", "build a project's simulation (Build)", CmdBuild});
korlc::Registrar rebuildCmd({"rebuild", "rebuild everything (Rebuild All)", CmdRebuild});
korlc::Registrar compileCmd({"compile", "compile one project source (Compile)", CmdCompile});

} // namespace
