// korlc new, add, remove, show, set, makefile: the project commands without
// windows. korlc never asks: a close prompt is answered No.
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <strings.h>
#include <string>
#include <vector>

#include "command.h"
#include "project/filelock.h"
#include "project/ini.h"
#include "project/makefile.h"
#include "project/paths.h"
#include "project/project.h"
#include "project/toollayout.h"

namespace {

using korl::Project;

int Usage(const char* text, bool help) {
    std::fputs(text, help ? stdout : stderr);
    return help ? 0 : 2;
}

// Opens an existing project file; a missing, unreadable or garbage one is
// an error with the path and the reason.
bool OpenProject(const char* cmd, const std::string& arg, Project& p) {
    const std::string path = korl::AbsolutePath(arg);
    p.SetClosePrompt([](const std::string&, korl::PromptButtons) { return korl::PromptAnswer::No; });
    if (!p.Load(path)) {
        std::fprintf(stderr, "korlc %s: %s\n", cmd, p.LastError().c_str());
        return false;
    }
    return true;
}

// Held from reading the project to saving it, so that commands changing one
// project at the same time queue up instead of losing each other's changes.
std::unique_ptr<korl::ProjectFileLock> LockProject(const char* cmd, const std::string& arg) {
    auto lock = std::make_unique<korl::ProjectFileLock>(korl::AbsolutePath(arg));
    if (!lock->Locked()) std::fprintf(stderr, "korlc %s: warning: %s\n", cmd, lock->Error().c_str());
    return lock;
}

bool SaveProject(const char* cmd, Project& p) {
    if (p.Save()) return true;
    std::fprintf(stderr, "korlc %s: %s\n", cmd, p.LastError().c_str());
    return false;
}

// A file named on the command line: from the current directory, or else
// from the project directory.
std::optional<korl::ItemTag> FindProjectFile(const Project& p, const std::string& arg) {
    if (auto tag = p.FindItem(korl::AbsolutePath(arg))) return tag;
    return p.FindItem(korl::AbsolutePath(arg, p.Directory()));
}

// ---- new -------------------------------------------------------------------

const char* kNewHelp =
    "usage: korlc new PROJECT[.k1]\n"
    "Creates an empty project file (\".k1\" is appended when the name has none).\n"
    "An existing file is never replaced; an empty name, or one that names a\n"
    "directory (ending in \"/\", \".\" or \"..\"), is refused.\n";

int CmdNew(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) return Usage(kNewHelp, true);
    if (argc != 2) return Usage(kNewHelp, false);
    const std::string arg = argv[1];
    const std::string name = korl::FileNameOf(arg);
    if (arg.empty() || name.empty() || name == "." || name == ".." ||
        Project::ProjectFileNameFor(name) == ".k1") {
        std::fprintf(stderr, "korlc new: '%s' is not a project name\n", arg.c_str());
        return 2;
    }
    if (char c = korl::UnmakeableCharacter(arg)) {
        std::fprintf(stderr, "korlc new: cannot create %s: the name contains %s, which make cannot express\n",
                     arg.c_str(), korl::UnmakeableCharacterText(c).c_str());
        return 2;
    }
    const std::string path = Project::ProjectFileNameFor(korl::AbsolutePath(arg));
    auto lock = LockProject("new", path);
    if (korl::FileExists(path) || korl::DirectoryExists(path)) {
        std::fprintf(stderr, "korlc new: %s already exists\n", path.c_str());
        return 1;
    }
    Project p;
    if (!p.NewProject(path)) {
        std::fprintf(stderr, "korlc new: %s\n", p.LastError().c_str());
        return 1;
    }
    std::printf("Created %s\n", path.c_str());
    return 0;
}

// ---- add -------------------------------------------------------------------

const char* kAddHelp =
    "usage: korlc add PROJECT.k1 FILE...\n"
    "Adds existing files as Add Existing File does: .c, .cpp and .cc files to the\n"
    "sources, .h and .hpp files to the headers (exact case); other files and\n"
    "files already in their list are skipped. The project file is saved.\n"
    "A name make cannot express (a newline, '|', a backslash) is refused: exit 2.\n";

int CmdAdd(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) return Usage(kAddHelp, true);
    if (argc < 3) return Usage(kAddHelp, false);
    // Names make cannot express are refused before anything is read.
    for (int i = 2; i < argc; ++i)
        if (char c = korl::UnmakeableCharacter(argv[i])) {
            std::fprintf(stderr,
                         "korlc add: cannot add %s: the name contains %s, which make cannot express\n",
                         argv[i], korl::UnmakeableCharacterText(c).c_str());
            return 2;
        }
    auto lock = LockProject("add", argv[1]);
    Project p;
    if (!OpenProject("add", argv[1], p)) return 2;
    int status = 0;
    std::vector<std::string> files;
    for (int i = 2; i < argc; ++i) {
        const std::string path = korl::AbsolutePath(argv[i]);
        if (!korl::FileExists(path)) {
            std::fprintf(stderr, "korlc add: no such file: %s\n", path.c_str());
            status = 1;
            continue;
        }
        files.push_back(path);
    }
    const korl::AddFilesResult r = p.AddExistingFiles(files);
    for (uint32_t i : r.addedSources) std::printf("Added source %s\n", p.Sources()[i].FullPath().c_str());
    for (uint32_t i : r.addedHeaders) std::printf("Added header %s\n", p.Headers()[i].FullPath().c_str());
    for (const auto& f : r.duplicates) std::printf("Already in the project: %s\n", f.c_str());
    for (const auto& f : r.ignored) std::printf("Not a source or header file, ignored: %s\n", f.c_str());
    if (!SaveProject("add", p)) return 1;
    return status;
}

// ---- remove ----------------------------------------------------------------

const char* kRemoveHelp =
    "usage: korlc remove PROJECT.k1 FILE\n"
    "Removes a source or header from the project (the file itself stays).\n"
    "FILE is taken from the current directory, or else from the project directory.\n";

int CmdRemove(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) return Usage(kRemoveHelp, true);
    if (argc != 3) return Usage(kRemoveHelp, false);
    auto lock = LockProject("remove", argv[1]);
    Project p;
    if (!OpenProject("remove", argv[1], p)) return 2;
    std::optional<korl::ItemTag> tag = FindProjectFile(p, argv[2]);
    if (!tag) {
        std::fprintf(stderr, "korlc remove: not in the project: %s\n", argv[2]);
        return 1;
    }
    std::optional<korl::ProjectItem> gone = p.RemoveItem(*tag);
    if (!SaveProject("remove", p)) return 1;
    std::printf("Removed %s\n", gone->FullPath().c_str());
    return 0;
}

// ---- show ------------------------------------------------------------------

const char* kShowHelp =
    "usage: korlc show PROJECT.k1\n"
    "Prints the title, the sources with the includes the include scan finds,\n"
    "the headers and the five options.\n";

int CmdShow(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) return Usage(kShowHelp, true);
    if (argc != 2) return Usage(kShowHelp, false);
    Project p;
    if (!OpenProject("show", argv[1], p)) return 2;
    std::printf("Title: %s\n", p.Title().c_str());
    std::printf("Project file: %s\n", p.FilePath().c_str());
    std::printf("Sources (%zu):\n", p.Sources().size());
    for (size_t i = 0; i < p.Sources().size(); ++i) {
        korl::ProjectItem* item = p.MutableSource(i);
        korl::UpdateIncludes(*item, true, p.ExtraIncludes(), p.Directory());
        std::printf("  %s\n", korl::MakeRelative(item->FullPath(), p.Directory()).c_str());
        for (const auto& inc : item->includes) std::printf("    includes %s\n", inc.c_str());
    }
    std::printf("Headers (%zu):\n", p.Headers().size());
    for (const auto& item : p.Headers())
        std::printf("  %s\n", korl::MakeRelative(item.FullPath(), p.Directory()).c_str());
    std::printf("Options:\n");
    std::printf("  VCDFilename=%s\n", p.VcdFileName().c_str());
    std::printf("  ExtraPrp=%s\n", p.ExtraPreprocessor().c_str());
    std::printf("  ExtraInc=%s\n", p.ExtraIncludes().c_str());
    std::printf("  ExtraLib=%s\n", p.ExtraLibraries().c_str());
    std::printf("  ExtraLibPath=%s\n", p.ExtraLibraryPaths().c_str());
    return 0;
}

// ---- set -------------------------------------------------------------------

const char* kSetHelp =
    "usage: korlc set PROJECT.k1 OPTION VALUE\n"
    "Sets one project option as the Project Options sheet does and saves:\n"
    "  VCDFilename  (vcd)           VCD file name; path and extension are dropped\n"
    "  ExtraPrp     (preprocessor)  comma-separated definitions; blanks removed\n"
    "  ExtraInc     (includes)      comma-separated include directories; trimmed\n"
    "  ExtraLib     (libraries)     comma-separated libX.a and X.o files; blanks removed\n"
    "  ExtraLibPath (libpaths)      comma-separated library directories; trimmed\n"
    "  ProgramArgs (args)           the simulation's arguments (quotes group words); trimmed\n"
    "Prints the value as stored.\n";

bool SameName(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

int CmdSet(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) return Usage(kSetHelp, true);
    if (argc != 4) return Usage(kSetHelp, false);
    Project p;
    const char* opt = argv[2];
    const std::string value = argv[3];
    using Setter = bool (Project::*)(const std::string&);
    using Getter = const std::string& (Project::*)() const;
    struct Option {
        const char* key;
        const char* alias;
        Setter set;
        Getter get;
    } const options[] = {
        {"VCDFilename", "vcd", &Project::SetVcdFileName, &Project::VcdFileName},
        {"ExtraPrp", "preprocessor", &Project::SetExtraPreprocessor, &Project::ExtraPreprocessor},
        {"ExtraInc", "includes", &Project::SetExtraIncludes, &Project::ExtraIncludes},
        {"ExtraLib", "libraries", &Project::SetExtraLibraries, &Project::ExtraLibraries},
        {"ExtraLibPath", "libpaths", &Project::SetExtraLibraryPaths, &Project::ExtraLibraryPaths},
        {"ProgramArgs", "args", &Project::SetProgramArguments, &Project::ProgramArguments},
    };
    const Option* chosen = nullptr;
    for (const Option& o : options)
        if (SameName(opt, o.key) || SameName(opt, o.alias)) chosen = &o;
    if (!chosen) {
        std::fprintf(stderr, "korlc set: unknown option '%s'\n", opt);
        return Usage(kSetHelp, false);
    }
    auto lock = LockProject("set", argv[1]);
    if (!OpenProject("set", argv[1], p)) return 2;
    (p.*chosen->set)(value);
    if (!SaveProject("set", p)) return 1;
    const std::string& stored = (p.*chosen->get)();
    std::printf("%s=%s\n", chosen->key, stored.c_str());
    if (stored.size() > korl::IniFile::kMaxValue)
        std::fprintf(stderr, "korlc set: warning: only the first %zu characters are read back\n",
                     korl::IniFile::kMaxValue);
    return 0;
}

// ---- makefile --------------------------------------------------------------

const char* kMakefileHelp =
    "usage: korlc makefile PROJECT.k1 [--compile SOURCE]\n"
    "Prints the makefile that Build would write into the project directory, or\n"
    "with --compile the one that compiles only SOURCE (a project source, taken\n"
    "from the current directory or else from the project directory).\n"
    "Nothing is written.\n";

int CmdMakefile(int argc, char** argv) {
    if (korlc::wantsHelp(argc, argv)) return Usage(kMakefileHelp, true);
    std::string projectArg, source;
    bool compile = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--compile") == 0) {
            if (compile || i + 1 >= argc) return Usage(kMakefileHelp, false);
            compile = true;
            source = argv[++i];
        } else if (projectArg.empty()) {
            projectArg = argv[i];
        } else {
            return Usage(kMakefileHelp, false);
        }
    }
    if (projectArg.empty()) return Usage(kMakefileHelp, false);
    Project p;
    if (!OpenProject("makefile", projectArg, p)) return 2;
    const korl::ToolLayout tools = korl::CurrentToolLayout();
    if (!compile) {
        if (std::string why = korl::CheckBuildable(p); !why.empty()) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
        const std::string text = korl::ProjectMakefileText(p, tools, false);
        std::fwrite(text.data(), 1, text.size(), stdout);
        return 0;
    }
    std::optional<korl::ItemTag> tag = FindProjectFile(p, source);
    if (!tag || tag->kind != korl::ItemKind::Source) {
        std::fprintf(stderr, "Cannot compile this file because it is not a project source file.\n");
        return 1;
    }
    const std::string text = korl::FileMakefileText(p, tools, p.Item(*tag)->FullPath());
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}

const korlc::Registrar kNew({"new", "create an empty project file", CmdNew});
const korlc::Registrar kAdd({"add", "add existing sources and headers to a project", CmdAdd});
const korlc::Registrar kRemove({"remove", "remove a file from a project", CmdRemove});
const korlc::Registrar kShow({"show", "print a project's files, includes and options", CmdShow});
const korlc::Registrar kSet({"set", "set one of the five project options", CmdSet});
const korlc::Registrar kMakefile({"makefile", "print the makefile Build or Compile would write",
                                  CmdMakefile});

} // namespace
