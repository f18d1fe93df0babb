#pragma once
// Where the tool chain and the SystemC, SCV and TLM trees are. Resolved once
// at start-up from the path of the running executable; the window layer may
// override single entries from its "Tools" settings group.
#include <functional>
#include <map>
#include <string>

namespace korl {

// Appended to the title to name the simulation executable.
inline constexpr const char* kExecutableSuffix = "";

struct ToolLayout {
    std::string toolRoot;      // no trailing "/"
    std::string toolchainRoot; // holds bin/g++ (a bundled "mingw" folder, or e.g. "/usr")
    std::string compiler;      // toolchainRoot + "/bin/g++"
    std::string demangler;     // toolchainRoot + "/bin/c++filt"
    std::string make;          // toolchainRoot + "/bin/make"
    std::string debugger;      // toolchainRoot + "/bin/gdb"
    std::string systemcInclude;
    std::string scvInclude;
    std::string tlmInclude;
    std::string systemcLib; // the makefile's SYSTEMC_LIB
    std::string scvLib;     // holds scv_introspection.o and libscv
    std::string exeSuffix = kExecutableSuffix;
    bool bundledLibraries = false; // the tool root holds a "libraries" tree

    // Override keys, as stored in the settings group "Tools".
    static constexpr const char* kToolRoot = "ToolRoot";
    static constexpr const char* kToolchainRoot = "ToolchainRoot";
    static constexpr const char* kCompiler = "Compiler";
    static constexpr const char* kDemangler = "Demangler";
    static constexpr const char* kMake = "Make";
    static constexpr const char* kDebugger = "Debugger";
    static constexpr const char* kSystemCInclude = "SystemCInclude";
    static constexpr const char* kScvInclude = "ScvInclude";
    static constexpr const char* kTlmInclude = "TlmInclude";
    static constexpr const char* kSystemCLib = "SystemCLib";
    static constexpr const char* kScvLib = "ScvLib";
};

using ToolOverrides = std::map<std::string, std::string>;

// What resolving asks of the system; tests replace it.
struct ToolProbe {
    std::function<bool(const std::string&)> fileExists;
    std::function<bool(const std::string&)> directoryExists;
    // Trimmed standard output of `pkg-config ARGS`, or nullopt-like empty
    // string with false when pkg-config fails.
    std::function<bool(const std::string& args, std::string* out)> pkgConfig;
    // Directory holding `program` on PATH ("" when not found).
    std::function<std::string(const std::string& program)> findInPath;

    static ToolProbe System();
};

// Tool root: the executable's directory cut at the first "/bin/"; the
// directory itself when it lies in no bin folder.
std::string ToolRootFor(const std::string& executablePath);

ToolLayout ResolveToolLayout(const std::string& executablePath, const ToolOverrides& overrides = {},
                             const ToolProbe& probe = ToolProbe::System());

// Absolute path of the running executable ("" when unknown).
std::string CurrentExecutablePath();

// Layout of the running program without overrides (korlc).
ToolLayout CurrentToolLayout(const ToolOverrides& overrides = {});

} // namespace korl
