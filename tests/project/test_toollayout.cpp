#include <gtest/gtest.h>

#include "project/paths.h"
#include "project/toollayout.h"
#include "test_util.h"

using namespace korl;

namespace {

// Answers like Debian's libsystemc-dev: system directories are left out of
// the flags and only named by the variables; there is no scv package.
ToolProbe DebianLikeProbe(std::vector<std::string>* asked = nullptr) {
    ToolProbe p;
    p.fileExists = [](const std::string&) { return false; };
    p.directoryExists = [](const std::string&) { return false; };
    p.findInPath = [](const std::string& prog) {
        return prog == "g++" ? std::string("/usr/bin") : std::string();
    };
    p.pkgConfig = [asked](const std::string& args, std::string* out) {
        if (asked) asked->push_back(args);
        out->clear();
        if (args.find(" scv") != std::string::npos) return false;
        if (args.rfind("--variable=includedir", 0) == 0) *out = "/usr/include";
        if (args == "--variable=libarchdir systemc") *out = "/usr/lib/x86_64-linux-gnu";
        return true;
    };
    return p;
}

} // namespace

TEST(ToolLayout, ToolRootIsCutAtTheFirstBinFolder) {
    EXPECT_EQ(ToolRootFor("/opt/korl/bin/korl"), "/opt/korl");
    EXPECT_EQ(ToolRootFor("/a/bin/x/bin/korl"), "/a");
    EXPECT_EQ(ToolRootFor("/usr/bin/korl"), "/usr");
    EXPECT_EQ(ToolRootFor("/home/ann/build/tools/korlc/korlc"), "/home/ann/build/tools/korlc");
    EXPECT_EQ(ToolRootFor("/home/ann/binary/korl"), "/home/ann/binary");
}

TEST(ToolLayout, SystemToolChainAndPkgConfigDirectories) {
    ToolLayout t = ResolveToolLayout("/opt/korl/bin/korl", {}, DebianLikeProbe());
    EXPECT_EQ(t.toolRoot, "/opt/korl");
    EXPECT_EQ(t.toolchainRoot, "/usr");
    EXPECT_EQ(t.compiler, "/usr/bin/g++");
    EXPECT_EQ(t.demangler, "/usr/bin/c++filt");
    EXPECT_EQ(t.make, "/usr/bin/make");
    EXPECT_EQ(t.debugger, "/usr/bin/gdb");
    EXPECT_EQ(t.systemcInclude, "/usr/include");
    EXPECT_EQ(t.systemcLib, "/usr/lib/x86_64-linux-gnu");
    EXPECT_EQ(t.tlmInclude, "/usr/include");
    EXPECT_EQ(t.scvInclude, "/opt/korl/libraries/scv-1.0p2-sysc2.2/src");
    EXPECT_EQ(t.scvLib, "/opt/korl/libraries/lib-mingw32");
    EXPECT_EQ(t.exeSuffix, "");
    EXPECT_FALSE(t.bundledLibraries);

    // A SystemC outside the system directories shows in the flags.
    ToolProbe custom = DebianLikeProbe();
    custom.pkgConfig = [](const std::string& args, std::string* out) {
        *out = args == "--cflags-only-I systemc" ? "-I/opt/sc/include -DX"
               : args == "--libs-only-L systemc" ? "-L/opt/sc/lib-linux64"
                                                 : "";
        return args.find("tlm") == std::string::npos && args.find("scv") == std::string::npos;
    };
    t = ResolveToolLayout("/opt/korl/bin/korl", {}, custom);
    EXPECT_EQ(t.systemcInclude, "/opt/sc/include");
    EXPECT_EQ(t.systemcLib, "/opt/sc/lib-linux64");
    EXPECT_EQ(t.tlmInclude, "/opt/sc/include");

    // No pkg-config and no g++ on PATH: the Debian places.
    ToolProbe none = DebianLikeProbe();
    none.pkgConfig = [](const std::string&, std::string*) { return false; };
    none.findInPath = [](const std::string&) { return std::string(); };
    t = ResolveToolLayout("/x/korl", {}, none);
    EXPECT_EQ(t.toolchainRoot, "/usr");
    EXPECT_EQ(t.systemcInclude, "/usr/include");
    EXPECT_EQ(t.systemcLib, "/usr/lib/x86_64-linux-gnu");
}

TEST(ToolLayout, BundledInstallationAndOverrides) {
    korltest::TempDir dir;
    korltest::WriteFile(dir / "mingw/bin/g++", "");
    std::filesystem::create_directories(dir / "libraries");
    std::vector<std::string> asked;
    ToolProbe probe = DebianLikeProbe(&asked);
    probe.fileExists = [](const std::string& p) { return FileExists(p); };
    probe.directoryExists = [](const std::string& p) { return DirectoryExists(p); };
    const std::string root = dir.path().substr(0, dir.path().size() - 1);
    ToolLayout t = ResolveToolLayout(dir / "bin/korl", {}, probe);
    EXPECT_EQ(t.toolRoot, root);
    EXPECT_EQ(t.toolchainRoot, root + "/mingw");
    EXPECT_EQ(t.compiler, root + "/mingw/bin/g++");
    EXPECT_EQ(t.systemcInclude, root + "/libraries/systemc-2.1.v1/src");
    EXPECT_EQ(t.scvInclude, root + "/libraries/scv-1.0p2-sysc2.2/src");
    EXPECT_EQ(t.tlmInclude, root + "/libraries/TLM-2005-04-08/tlm");
    EXPECT_EQ(t.systemcLib, root + "/libraries/lib-mingw32");
    EXPECT_TRUE(t.bundledLibraries);
    EXPECT_TRUE(asked.empty());

    ToolOverrides o{{ToolLayout::kToolRoot, "/elsewhere/"},
                    {ToolLayout::kToolchainRoot, "/opt/gcc"},
                    {ToolLayout::kDebugger, "/opt/gdb/bin/gdb"},
                    {ToolLayout::kSystemCInclude, "/sc/inc"},
                    {ToolLayout::kSystemCLib, ""}}; // empty: not overridden
    t = ResolveToolLayout(dir / "bin/korl", o, probe);
    EXPECT_EQ(t.toolRoot, "/elsewhere");
    EXPECT_EQ(t.compiler, "/opt/gcc/bin/g++");
    EXPECT_EQ(t.debugger, "/opt/gdb/bin/gdb");
    EXPECT_EQ(t.systemcInclude, "/sc/inc");
    EXPECT_EQ(t.systemcLib, "/usr/lib/x86_64-linux-gnu");
}

TEST(ToolLayout, FindsTheInstalledSystemC) {
    ToolLayout t = ResolveToolLayout("/nonexistent/build/korlc");
    EXPECT_TRUE(FileExists(t.compiler)) << t.compiler;
    EXPECT_TRUE(FileExists(t.make)) << t.make;
    EXPECT_TRUE(FileExists(t.systemcInclude + "/systemc.h")) << t.systemcInclude;
    EXPECT_TRUE(FileExists(t.tlmInclude + "/tlm")) << t.tlmInclude;
    EXPECT_TRUE(FileExists(t.systemcLib + "/libsystemc.so")) << t.systemcLib;
    EXPECT_FALSE(CurrentExecutablePath().empty());
}
