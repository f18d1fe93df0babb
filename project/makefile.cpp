#include "project/makefile.h"

#include "base/atomic_file.h"
#include "project/paths.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace korl {

namespace {

// Bytes read per piece of a line: a longer line is scanned in pieces.
constexpr int kScanBuffer = 500;

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

std::string InProjectDir(const std::string& path, const std::string& projectDir) {
    if (path.empty() || path[0] == '/') return path;
    return projectDir + path;
}

// The include names of one file, in order; flags are set on the way.
std::vector<std::string> IncludesOfFile(ProjectItem& item, const std::string& path) {
    std::vector<std::string> names;
    FILE* f = OpenRegularFile(path, "r");
    if (!f) return names;
    char buf[kScanBuffer];
    while (std::fgets(buf, sizeof buf, f)) {
        const char* p = std::strstr(buf, "#include");
        if (!p) continue;
        p += 8;
        while (*p == ' ') ++p;
        if (*p == '"') ++p;
        if (*p == '<') ++p;
        std::string name(p);
        size_t q = name.rfind('"');
        if (q != std::string::npos) name.erase(q);
        size_t a = name.rfind('>');
        if (a != std::string::npos) name.erase(a);
        if (name == "systemc.h") item.usesSystemC = true;
        if (name == "scv.h") item.usesScv = true;
        names.push_back(std::move(name));
    }
    std::fclose(f);
    return names;
}

std::string ResolveInclude(const std::string& name, const std::string& includeDirs,
                           const std::string& projectDir) {
    if (name.empty()) return {};
    if (FileExists(InProjectDir(name, projectDir))) return name;
    for (const std::string& d : SplitOptionList(includeDirs)) {
        std::string candidate = d + "/" + name;
        if (FileExists(InProjectDir(candidate, projectDir))) return candidate;
    }
    return {};
}

bool Listed(const std::vector<std::string>& list, const std::string& s) {
    for (const std::string& x : list)
        if (x == s) return true;
    return false;
}

std::string LibraryBlock(const ToolLayout& tools) {
    std::string s;
    s += "SYSTEMC_INCLUDE = " + Quoted(tools.systemcInclude) + "\n";
    s += "SCV_INCLUDE = " + Quoted(tools.scvInclude) + "\n";
    s += "TLM_INCLUDE = " + Quoted(tools.tlmInclude) + "\n";
    s += "SYSTEMC_LIB = " + Quoted(tools.systemcLib) + "\n";
    s += "\n";
    return s;
}

std::string ExtraBlock(const Project& project) {
    std::string s;
    s += "EXTRA_PRPS = " + ExtraPreprocessorFlags(project.ExtraPreprocessor()) + "\n";
    s += "EXTRA_INCS = " + ExtraIncludeFlags(project.ExtraIncludes()) + "\n";
    s += "EXTRA_LIBS = " + ExtraLibraryFlags(project.ExtraLibraries()) + "\n";
    s += "EXTRA_LIBPATHS = " + ExtraLibraryPathFlags(project.ExtraLibraryPaths()) + "\n";
    s += "\n";
    return s;
}

// Characters that keep a name out of make's way entirely: a name made only
// of these is written as the makefile has always shown it.
bool IsPlainName(std::string_view s) {
    if (s.empty() || s[0] == '-' || s[0] == '~') return false;
    for (char c : s) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        c == '.' || c == '_' || c == '+' || c == '-' || c == '/' || c == '@' || c == ',';
        if (!ok) return false;
    }
    return true;
}

// A path that starts like an option or a home directory is given as "./...".
std::string Guarded(const std::string& path) {
    if (!path.empty() && (path[0] == '-' || path[0] == '~')) return "./" + path;
    return path;
}

// Characters make reads as syntax only on a rule line itself; inside a
// variable's expansion they are plain.
bool NeedsVariable(std::string_view s) { return s.find_first_of(";%=\t") != std::string_view::npos; }

// One rule: written directly when it can be, else through two variables so
// that ";", "%" and "=" in a name stay part of the name.
std::string Rule(const std::string& target, const std::vector<std::string>& deps, size_t index,
                 const std::string& command) {
    std::string depText;
    for (const std::string& d : deps) depText += MakeDependencyPath(Guarded(d)) + " ";
    std::string s;
    bool viaVariable = NeedsVariable(target);
    for (const std::string& d : deps) viaVariable = viaVariable || NeedsVariable(d);
    if (viaVariable) {
        const std::string n = std::to_string(index);
        s += "OBJ_" + n + " = " + MakeDependencyPath(Guarded(target)) + "\n";
        s += "DEPS_" + n + " = " + depText + "\n";
        s += "$(OBJ_" + n + ") : $(DEPS_" + n + ")\n";
    } else {
        s += MakeDependencyPath(Guarded(target)) + " : " + depText + "\n";
    }
    s += "\t$(CC) $(CFLAGS) $(INCDIR) -c " + command + "\n";
    return s;
}

// The debug information gdb needs to decode SystemC values, which Debian's
// library does not carry.
constexpr const char* kDebugLine = "DEBUG   = -g -femit-class-debug-always\n";
constexpr const char* kIncDirLine =
    "INCDIR = -I. -I$(SYSTEMC_INCLUDE) -I$(SCV_INCLUDE) -I$(TLM_INCLUDE) $(EXTRA_INCS)\n";
constexpr const char* kLibDirLine = "LIBDIR = -L. -L$(SYSTEMC_LIB) $(EXTRA_LIBPATHS)\n";

} // namespace

std::string MakefilePath(const Project& project) { return project.Directory() + kMakefileName; }

int64_t FileWriteTime(const std::string& path) {
    FILE* f = OpenRegularFile(path, "r");
    if (!f) return 0;
    struct stat st;
    int64_t t = 0;
    if (fstat(fileno(f), &st) == 0)
        t = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    std::fclose(f);
    return t;
}

void ScanIncludes(ProjectItem& item, const std::string& filePath, const std::string& includeDirs,
                  const std::string& projectDir) {
    // Depth first as nested includes are met, without recursion: a deep
    // chain of headers must not exhaust the stack.
    struct Frame {
        std::vector<std::string> names;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    stack.push_back({IncludesOfFile(item, filePath), 0});
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.names.size()) {
            stack.pop_back();
            continue;
        }
        const std::string name = top.names[top.next++];
        std::string resolved = ResolveInclude(name, includeDirs, projectDir);
        if (resolved.empty() || Listed(item.includes, resolved)) continue;
        item.includes.push_back(resolved);
        stack.push_back({IncludesOfFile(item, InProjectDir(resolved, projectDir)), 0});
    }
}

void UpdateIncludes(ProjectItem& item, bool force, const std::string& includeDirs,
                    const std::string& projectDir) {
    const std::string path = item.FullPath();
    const int64_t now = FileWriteTime(path);
    if (!force && now == item.scanTime) return;
    item.includes.clear();
    ScanIncludes(item, path, includeDirs, projectDir);
    item.scanTime = now;
}

std::vector<std::string> SplitOptionList(const std::string& text) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string ExtraPreprocessorFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) s += ShellWord("-D" + t) + " ";
    return s;
}

// Blanks around an entry only ever separated words; inside one they belong
// to the directory.
std::string ExtraIncludeFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) {
        const std::string dir = TrimWhitespace(t);
        if (!dir.empty()) s += ShellWord("-I" + dir) + " ";
    }
    return s;
}

std::string ExtraLibraryFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) {
        const std::string ext = ExtensionOf(t);
        if (ext == ".a") {
            const std::string lib = t.substr(0, t.size() - 2);
            if (lib.size() > 3 && lib.compare(0, 3, "lib") == 0) s += ShellWord("-l" + lib.substr(3)) + " ";
        } else if (ext == ".o") {
            s += ShellWord(Guarded(t)) + " ";
        }
    }
    return s;
}

std::string ExtraLibraryPathFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) {
        const std::string dir = TrimWhitespace(t);
        if (!dir.empty()) s += ShellWord("-L" + dir) + " ";
    }
    return s;
}

std::string ShellWord(std::string_view text) {
    bool safe = !text.empty();
    for (char c : text)
        safe = safe && ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                        std::strchr("._+-/@,=:%", c) != nullptr);
    if (safe) return std::string(text);
    std::string s = "'";
    for (char c : text) {
        if (c == '\'')
            s += "'\\''";
        else if (c == '$')
            s += "$$";
        else if (c == '#')
            s += "\\#";
        else
            s += c;
    }
    return s + "'";
}

std::string ShellQuoted(std::string_view text) {
    std::string s = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\' || c == '`' || c == '$') s += '\\';
        if (c == '$') s += '$';
        s += c;
    }
    return s + "\"";
}

std::string MakePath(const ProjectItem& item, const std::string& projectDir) {
    return item.directory == projectDir ? item.name : item.FullPath();
}

std::string MakeDependencyPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '\t' || c == '#' || c == ':' || c == ';' || c == '*' || c == '?' || c == '[')
            out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
}

char UnmakeableCharacterIn(const Project& project, std::string* path) {
    auto check = [&](const std::string& p) {
        char c = UnmakeableCharacter(p);
        if (c && path) *path = p;
        return c;
    };
    if (char c = check(project.FilePath())) return c;
    for (const ProjectItem& item : project.Sources())
        if (char c = check(item.FullPath())) return c;
    return 0;
}

std::string CheckBuildable(const Project& project) {
    std::string path;
    if (char c = UnmakeableCharacterIn(project, &path))
        return "Korl: cannot build: the name " + path + " contains " + UnmakeableCharacterText(c) +
               ", which make cannot express";
    for (const ProjectItem& item : project.Sources()) {
        struct stat st;
        const std::string full = item.FullPath();
        if (::stat(full.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            return "Korl: cannot build: the source " + full + " is not a regular file";
    }
    return {};
}

std::string ProjectMakefileText(Project& project, const ToolLayout& tools, bool force) {
    const std::string& dir = project.Directory();
    bool useScv = false;
    for (size_t i = 0; i < project.Sources().size(); ++i) {
        ProjectItem* item = project.MutableSource(i);
        UpdateIncludes(*item, force, project.ExtraIncludes(), dir);
        useScv = useScv || item->usesScv;
    }
    const auto& sources = project.Sources();

    // Names that need no escaping keep the makefile's familiar text; any
    // other name is escaped for make and quoted for the shell.
    const std::string exe = project.Title() + tools.exeSuffix;
    bool plain = IsPlainName(exe);
    for (const ProjectItem& item : sources) plain = plain && IsPlainName(StemOf(item.name) + ".o");

    std::string s;
    s += "MODULE = " + MakeDependencyPath(project.Title()) + "\n";
    s += "SRCS = ";
    for (const ProjectItem& item : sources) s += MakeDependencyPath(Guarded(MakePath(item, dir))) + " ";
    s += "\n";
    s += "OBJS = ";
    for (const ProjectItem& item : sources) s += MakeDependencyPath(Guarded(StemOf(item.name) + ".o")) + " ";
    s += "\n";
    s += "\n";
    if (useScv)
        s += "SCV_INTROSPECTION = " + Quoted(tools.scvLib + "/scv_introspection.o") + "\n\n";
    else
        s += "SCV_INTROSPECTION = \n";
    s += LibraryBlock(tools);
    s += "CC      = " + Quoted(tools.compiler) + "\n";
    s += "CPPFILT = " + Quoted(tools.demangler) + "\n";
    s += "\n";
    s += ExtraBlock(project);
    s += "OPT     = -O3\n";
    s += kDebugLine;
    s += "OTHER   = -Wall -Wno-deprecated -fpermissive\n";
    s += "CFLAGS  = $(DEBUG) $(OTHER) $(EXTRA_PRPS)\n";
    s += "\n";
    s += kIncDirLine;
    s += kLibDirLine;
    s += "\n";
    s += useScv ? "LIBS   =  -lsystemc -lscv -lcudd $(EXTRA_LIBS)\n" : "LIBS   =  -lsystemc $(EXTRA_LIBS)\n";
    s += "\n";
    s += std::string("EXE    = $(MODULE)") + tools.exeSuffix + "\n";
    s += "\n";
    s += "$(EXE): $(OBJS)\n";
    if (plain) {
        s += "\t$(CC) $(CFLAGS) $(INCDIR) $(LIBDIR) -o $@ $(OBJS) $(SCV_INTROSPECTION) $(LIBS) 2>&1 | "
             "$(CPPFILT)\n";
    } else {
        std::string objs;
        for (const ProjectItem& item : sources) objs += ShellQuoted(Guarded(StemOf(item.name) + ".o")) + " ";
        s += "\t$(CC) $(CFLAGS) $(INCDIR) $(LIBDIR) -o " + ShellQuoted(Guarded(exe)) + " " + objs +
             "$(SCV_INTROSPECTION) $(LIBS) 2>&1 | $(CPPFILT)\n";
    }
    s += "\n";
    for (size_t i = 0; i < sources.size(); ++i) {
        const ProjectItem& item = sources[i];
        const std::string sourcePath = ToForwardSlashes(MakePath(item, dir));
        std::vector<std::string> deps{sourcePath};
        for (const std::string& inc : item.includes)
            if (!UnmakeableCharacter(inc)) deps.push_back(inc);
        s += Rule(StemOf(item.name) + ".o", deps, i, ShellQuoted(Guarded(sourcePath)));
    }
    return s;
}

std::string FileMakefileText(const Project& project, const ToolLayout& tools, const std::string& sourcePath) {
    std::string s;
    s += LibraryBlock(tools);
    s += "CC      = " + Quoted(tools.compiler) + "\n";
    s += "\n";
    s += ExtraBlock(project);
    s += "OPT     = -O3\n";
    s += kDebugLine;
    s += "OTHER   = -Wall -Wno-deprecated -fpermissive -DSC_USE_SC_STRING_OLD\n";
    s += "CFLAGS  = $(DEBUG) $(OTHER) $(EXTRA_PRPS)\n";
    s += "\n";
    s += kIncDirLine;
    s += kLibDirLine;
    s += "\n";
    s += "LIBS   =  -lsystemc -lscv -lcudd $(EXTRA_LIBS)\n";
    s += "\n";
    s += Rule(StemOf(FileNameOf(sourcePath)) + ".o", {sourcePath}, 0, ShellQuoted(Guarded(sourcePath)));
    return s;
}

bool WriteMakefile(const std::string& directory, const std::string& text, std::string* error) {
    std::string dir = directory;
    if (!dir.empty() && dir.back() != '/') dir += '/';
    auto written = WriteFileAtomically(dir + kMakefileName, text);
    if (written) return true;
    if (error) *error = "Korl: cannot write the makefile (" + written.error().message + ")";
    return false;
}

bool WriteProjectMakefile(Project& project, const ToolLayout& tools, bool force, std::string* error) {
    if (std::string why = CheckBuildable(project); !why.empty()) {
        if (error) *error = why;
        return false;
    }
    return WriteMakefile(project.Directory(), ProjectMakefileText(project, tools, force), error);
}

bool WriteFileMakefile(const Project& project, const ToolLayout& tools, const std::string& sourcePath,
                       std::string* error) {
    if (char c = UnmakeableCharacter(sourcePath)) {
        if (error)
            *error = "Korl: cannot build: the name " + sourcePath + " contains " +
                     UnmakeableCharacterText(c) + ", which make cannot express";
        return false;
    }
    return WriteMakefile(project.Directory(), FileMakefileText(project, tools, sourcePath), error);
}

} // namespace korl
