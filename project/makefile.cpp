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

// make would expand "$" in a recipe; the shell still sees the path quoted.
std::string MakeCommandPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '$') out += '$';
        out += c;
    }
    return out;
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
    for (const std::string& t : SplitOptionList(text)) s += "-D" + t + " ";
    return s;
}

std::string ExtraIncludeFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) s += "-I" + t + " ";
    return s;
}

std::string ExtraLibraryFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) {
        const std::string ext = ExtensionOf(t);
        if (ext == ".a") {
            const std::string lib = t.substr(0, t.size() - 2);
            if (lib.size() > 3 && lib.compare(0, 3, "lib") == 0) s += "-l" + lib.substr(3) + " ";
        } else if (ext == ".o") {
            s += t + " ";
        }
    }
    return s;
}

std::string ExtraLibraryPathFlags(const std::string& text) {
    std::string s;
    for (const std::string& t : SplitOptionList(text)) s += "-L" + t + " ";
    return s;
}

std::string MakePath(const ProjectItem& item, const std::string& projectDir) {
    return item.directory == projectDir ? item.name : item.FullPath();
}

std::string MakeDependencyPath(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == ' ' || c == '#') out += '\\';
        if (c == '$') out += '$';
        out += c;
    }
    return out;
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

    std::string s;
    s += "MODULE = " + project.Title() + "\n";
    s += "SRCS = ";
    for (const ProjectItem& item : sources) s += MakePath(item, dir) + " ";
    s += "\n";
    s += "OBJS = ";
    for (const ProjectItem& item : sources) s += StemOf(item.name) + ".o ";
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
    s += "\t$(CC) $(CFLAGS) $(INCDIR) $(LIBDIR) -o $@ $(OBJS) $(SCV_INTROSPECTION) $(LIBS) 2>&1 | "
         "$(CPPFILT)\n";
    s += "\n";
    for (const ProjectItem& item : sources) {
        const std::string sourcePath = ToForwardSlashes(MakePath(item, dir));
        s += StemOf(item.name) + ".o : " + MakeDependencyPath(sourcePath) + " ";
        for (const std::string& inc : item.includes) s += MakeDependencyPath(inc) + " ";
        s += "\n";
        s += "\t$(CC) $(CFLAGS) $(INCDIR) -c " + Quoted(MakeCommandPath(sourcePath)) + "\n";
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
    s += StemOf(FileNameOf(sourcePath)) + ".o : " + MakeDependencyPath(sourcePath) + " \n";
    s += "\t$(CC) $(CFLAGS) $(INCDIR) -c " + Quoted(MakeCommandPath(sourcePath)) + "\n";
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
    return WriteMakefile(project.Directory(), ProjectMakefileText(project, tools, force), error);
}

bool WriteFileMakefile(const Project& project, const ToolLayout& tools, const std::string& sourcePath,
                       std::string* error) {
    return WriteMakefile(project.Directory(), FileMakefileText(project, tools, sourcePath), error);
}

} // namespace korl
