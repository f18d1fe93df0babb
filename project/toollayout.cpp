#include "project/toollayout.h"

#include "project/paths.h"

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace korl {

namespace {

std::string StripTrailingSlashes(std::string s) {
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s;
}

std::string ParentOf(const std::string& dir) {
    std::string d = StripTrailingSlashes(dir);
    size_t pos = d.rfind('/');
    if (pos == std::string::npos) return d;
    return pos == 0 ? "/" : d.substr(0, pos);
}

// First token of `text` that starts with `flag`, without the flag.
std::string FirstFlagValue(const std::string& text, const std::string& flag) {
    std::istringstream in(text);
    std::string tok;
    while (in >> tok)
        if (tok.compare(0, flag.size(), flag) == 0 && tok.size() > flag.size())
            return tok.substr(flag.size());
    return {};
}

struct PkgDirs {
    bool found = false;
    std::string include;
    std::string lib;
};

PkgDirs QueryPackage(const ToolProbe& probe, const std::string& pkg) {
    PkgDirs d;
    std::string out;
    if (!probe.pkgConfig || !probe.pkgConfig("--exists " + pkg, &out)) return d;
    d.found = true;
    // System directories are left out of --cflags and --libs; the variables
    // still name them.
    if (probe.pkgConfig("--cflags-only-I " + pkg, &out)) d.include = FirstFlagValue(out, "-I");
    if (d.include.empty() && probe.pkgConfig("--variable=includedir " + pkg, &out)) d.include = out;
    if (probe.pkgConfig("--libs-only-L " + pkg, &out)) d.lib = FirstFlagValue(out, "-L");
    if (d.lib.empty() && probe.pkgConfig("--variable=libarchdir " + pkg, &out)) d.lib = out;
    if (d.lib.empty() && probe.pkgConfig("--variable=libdir " + pkg, &out)) d.lib = out;
    return d;
}

const std::string* Override(const ToolOverrides& o, const char* key) {
    auto it = o.find(key);
    return it != o.end() && !it->second.empty() ? &it->second : nullptr;
}

} // namespace

ToolProbe ToolProbe::System() {
    ToolProbe p;
    p.fileExists = [](const std::string& path) { return FileExists(path); };
    p.directoryExists = [](const std::string& path) { return DirectoryExists(path); };
    p.pkgConfig = [](const std::string& args, std::string* out) {
        out->clear();
        const std::string cmd = "pkg-config " + args + " 2>/dev/null";
        FILE* f = popen(cmd.c_str(), "r");
        if (!f) return false;
        char buf[1024];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            if (out->size() < 8192) out->append(buf, n);
        int status = pclose(f);
        *out = TrimWhitespace(*out);
        return status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    p.findInPath = [](const std::string& program) -> std::string {
        const char* env = std::getenv("PATH");
        std::string path = env ? env : "/usr/local/bin:/usr/bin:/bin";
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find(':', start);
            if (end == std::string::npos) end = path.size();
            std::string dir = path.substr(start, end - start);
            if (dir.empty()) dir.assign(1, '.');
            std::string candidate = dir;
            candidate += '/';
            candidate += program;
            if (FileExists(candidate) && access(candidate.c_str(), X_OK) == 0) return dir;
            start = end + 1;
        }
        return {};
    };
    return p;
}

std::string ToolRootFor(const std::string& executablePath) {
    std::string dir = DirectoryOf(ToForwardSlashes(executablePath));
    size_t pos = dir.find("/bin/");
    if (pos != std::string::npos) return dir.substr(0, pos);
    return StripTrailingSlashes(dir);
}

ToolLayout ResolveToolLayout(const std::string& executablePath, const ToolOverrides& overrides,
                             const ToolProbe& probe) {
    ToolLayout t;
    t.toolRoot = ToolRootFor(executablePath);
    if (auto* v = Override(overrides, ToolLayout::kToolRoot)) t.toolRoot = StripTrailingSlashes(*v);

    if (probe.fileExists && probe.fileExists(t.toolRoot + "/mingw/bin/g++")) {
        t.toolchainRoot = t.toolRoot + "/mingw";
    } else {
        std::string dir = probe.findInPath ? probe.findInPath("g++") : std::string();
        t.toolchainRoot = dir.empty() ? "/usr" : ParentOf(dir);
    }
    if (auto* v = Override(overrides, ToolLayout::kToolchainRoot)) t.toolchainRoot = StripTrailingSlashes(*v);
    t.compiler = t.toolchainRoot + "/bin/g++";
    t.demangler = t.toolchainRoot + "/bin/c++filt";
    t.make = t.toolchainRoot + "/bin/make";
    t.debugger = t.toolchainRoot + "/bin/gdb";

    const std::string libs = t.toolRoot + "/libraries";
    const std::string bundledScvInclude = libs + "/scv-1.0p2-sysc2.2/src";
    const std::string bundledLib = libs + "/lib-mingw32";
    if (probe.directoryExists && probe.directoryExists(libs)) {
        t.bundledLibraries = true;
        t.systemcInclude = libs + "/systemc-2.1.v1/src";
        t.scvInclude = bundledScvInclude;
        t.tlmInclude = libs + "/TLM-2005-04-08/tlm";
        t.systemcLib = bundledLib;
        t.scvLib = bundledLib;
    } else {
        PkgDirs sc = QueryPackage(probe, "systemc");
        t.systemcInclude = sc.include.empty() ? "/usr/include" : sc.include;
        t.systemcLib = sc.lib.empty() ? "/usr/lib/x86_64-linux-gnu" : sc.lib;
        PkgDirs tlm = QueryPackage(probe, "tlm");
        t.tlmInclude = tlm.include.empty() ? t.systemcInclude : tlm.include;
        PkgDirs scv = QueryPackage(probe, "scv");
        t.scvInclude = scv.found && !scv.include.empty() ? scv.include : bundledScvInclude;
        t.scvLib = scv.found && !scv.lib.empty() ? scv.lib : bundledLib;
    }

    struct {
        const char* key;
        std::string* field;
    } const fields[] = {
        {ToolLayout::kCompiler, &t.compiler},
        {ToolLayout::kDemangler, &t.demangler},
        {ToolLayout::kMake, &t.make},
        {ToolLayout::kDebugger, &t.debugger},
        {ToolLayout::kSystemCInclude, &t.systemcInclude},
        {ToolLayout::kScvInclude, &t.scvInclude},
        {ToolLayout::kTlmInclude, &t.tlmInclude},
        {ToolLayout::kSystemCLib, &t.systemcLib},
        {ToolLayout::kScvLib, &t.scvLib},
    };
    for (const auto& f : fields)
        if (auto* v = Override(overrides, f.key)) *f.field = *v;
    return t;
}

std::string CurrentExecutablePath() {
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return {};
    buf[n] = '\0';
    return buf;
}

ToolLayout CurrentToolLayout(const ToolOverrides& overrides) {
    return ResolveToolLayout(CurrentExecutablePath(), overrides);
}

} // namespace korl
