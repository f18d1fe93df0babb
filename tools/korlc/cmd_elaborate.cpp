// korlc elaborate: the Elaborate command without windows. Builds the project
// as Build does, scans its included headers and sources with the SystemC
// scanner, builds the design model and prints both browser trees.
#include <fcntl.h>
#include "base/result.h"
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
#include "scparse/elaborate.h"

namespace {

const char* kHelp =
    "usage: korlc elaborate PROJECT.k1 [--no-build] [--report] [--jumps]\n\n"
    "Elaborate (Ctrl+F5) without windows: builds the project as Build does and,\n"
    "when the build has no error and the executable exists, scans the headers the\n"
    "sources include and then the sources with Korl's SystemC scanner, builds the\n"
    "design model and prints the Design Browser tree and then the Source Browser\n"
    "tree, one node a line, indented by depth:\n\n"
    "  TEXT  [IMAGE]  FILE:LINE\n\n"
    "IMAGE is the node's kind (sc_main, module, in port, out port, inout port,\n"
    "sc_port, export, signal, process, clock, instance, function, object, class),\n"
    "FILE:LINE its declaration (Goto Declaration, double-click).\n\n"
    "  --no-build  scan without building (for projects that do not build here)\n"
    "  --report    print each file's report lines before the trees\n"
    "  --jumps     add the other jumps of the node's context menu:\n"
    "              impl=FILE:LINE (Goto Implementation), site=FILE:LINE\n"
    "              (Goto Instantiation or Goto Registeration)\n\n"
    "exit status: 0 elaborated, 1 build errors, no executable or a file that\n"
    "could not be scanned, 2 the command could not start\n";

int Fail(const std::string& message) {
    std::fprintf(stderr, "korlc elaborate: %s\n", message.c_str());
    return 2;
}

std::string Location(const scparse::SourceLocation& loc) { return loc.file + ":" + std::to_string(loc.line); }

void PrintTree(const std::vector<scparse::BrowserNode>& nodes, scparse::BrowserTree tree, bool jumps,
               int depth) {
    for (const auto& node : nodes) {
        std::string line(static_cast<size_t>(depth) * 2, ' ');
        line += node.text + "  [" + scparse::imageName(node.image) + "]";
        if (node.record) {
            line += "  " + Location(scparse::jumpLocation(*node.record, scparse::kGotoDeclaration));
            if (jumps) {
                for (int cmd : scparse::contextCommands(tree, node.image)) {
                    if (cmd == scparse::kGotoImplementation)
                        line += "  impl=" + Location(scparse::jumpLocation(*node.record, cmd));
                    else if (cmd != scparse::kGotoDeclaration)
                        line += "  site=" + Location(scparse::jumpLocation(*node.record, cmd));
                }
            }
        }
        line += "\n";
        std::fputs(line.c_str(), stdout);
        PrintTree(node.children, tree, jumps, depth + 1);
    }
}

// Runs the build before elaboration; true when it ended without error and
// left the executable.
bool Build(korl::Project& project, int* status) {
    korl::BuildResult result;
    result.errors = 1; // a build that never reports its end failed
    std::string error;
    if (!korlc::RunConsoleBuild(korl::BuildKind::Elaborate, project, {}, 0, &result, &error)) {
        *status = Fail(error);
        return false;
    }
    *status = 1;
    if (result.errors != 0) return false;
    if (!result.executableExists) {
        std::fprintf(stderr, "korlc elaborate: no executable %s after the build\n",
                     result.executablePath.c_str());
        return false;
    }
    return true;
}

int CmdElaborate(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    std::string projectArg;
    bool build = true, report = false, jumps = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--no-build")
            build = false;
        else if (arg == "--report")
            report = true;
        else if (arg == "--jumps")
            jumps = true;
        else if (!arg.empty() && arg[0] == '-')
            return Fail("unknown option " + arg);
        else if (projectArg.empty())
            projectArg = arg;
        else
            return Fail("usage: korlc elaborate PROJECT.k1 [--no-build] [--report] [--jumps]");
    }
    if (projectArg.empty())
        return Fail("usage: korlc elaborate PROJECT.k1 [--no-build] [--report] [--jumps]");

    std::string projectPath = korl::AbsolutePath(projectArg);
    if (!korl::FileExists(projectPath)) return Fail("cannot open project file " + projectPath);
    if (::access(projectPath.c_str(), R_OK) != 0)
        return Fail("cannot read project file " + projectPath + ": " + korl::SystemText(errno));
    korl::Project project;
    project.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    if (!project.Load(projectPath)) return Fail(project.LastError());
    const std::string dir = project.Directory();

    if (build) {
        int status = 0;
        if (!Build(project, &status)) return status;
    } else {
        // The build brings the include lists up to date; without it, scan here.
        for (size_t i = 0; i < project.Sources().size(); ++i)
            korl::UpdateIncludes(*project.MutableSource(i), false, project.ExtraIncludes(), dir);
    }

    std::vector<scparse::ElabSource> sources;
    for (const auto& item : project.Sources()) sources.push_back({item.directory, item.name, item.includes});
    const std::vector<std::string> files = scparse::elaborationFileList(sources, dir);

    DesignModel model;
    scparse::ElaborationOptions options;
    if (report)
        options.onReport = [](const std::string& path, const std::string& text) {
            std::printf("== report of %s ==\n%s", path.c_str(), text.c_str());
            if (!text.empty() && text.back() != '\n') std::fputc('\n', stdout);
        };
    scparse::ElaborationResult result = scparse::runElaboration(model, files, dir, options);
    for (const auto& message : result.messages)
        std::fprintf(stderr, "korlc elaborate: %s\n", message.c_str());
    if (!result.completed) {
        korlc::PrintPaneText(result.consoleText + "\r\n");
        std::fprintf(stderr, "korlc elaborate: cannot open %s\n", result.failedFile.c_str());
        return 1;
    }
    for (const std::string& s : result.skipped) std::fprintf(stderr, "korlc elaborate: %s\n", s.c_str());

    std::puts("Design Browser");
    PrintTree(scparse::fillDesignBrowser(model.root), scparse::BrowserTree::Design, jumps, 1);
    std::puts("Source Browser");
    PrintTree(scparse::fillSourceBrowser(model.modules, model.classes), scparse::BrowserTree::Source, jumps,
              1);
    return result.skipped.empty() ? 0 : 1;
}

korlc::Registrar elaborateCmd({"elaborate", "analyse the sources into both browser trees (Elaborate)",
                               CmdElaborate});

} // namespace
