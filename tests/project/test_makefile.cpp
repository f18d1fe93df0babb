#include <gtest/gtest.h>

#include <sys/stat.h>

#include "project/makefile.h"
#include "project/paths.h"
#include "test_util.h"

using namespace korl;
using korltest::TempDir;
using korltest::WriteFile;

namespace {

ToolLayout FixedTools() {
    ToolLayout t;
    t.toolRoot = "/opt/korl";
    t.toolchainRoot = "/usr";
    t.compiler = "/usr/bin/g++";
    t.demangler = "/usr/bin/c++filt";
    t.make = "/usr/bin/make";
    t.debugger = "/usr/bin/gdb";
    t.systemcInclude = "/usr/include";
    t.scvInclude = "/opt/korl/libraries/scv-1.0p2-sysc2.2/src";
    t.tlmInclude = "/usr/include";
    t.systemcLib = "/usr/lib/x86_64-linux-gnu";
    t.scvLib = "/opt/korl/libraries/lib-mingw32";
    return t;
}

// The common middle of the project makefile, for FixedTools() without SCV
// and without options.
const char* kMiddle =
    "SCV_INTROSPECTION = \n"
    "SYSTEMC_INCLUDE = \"/usr/include\"\n"
    "SCV_INCLUDE = \"/opt/korl/libraries/scv-1.0p2-sysc2.2/src\"\n"
    "TLM_INCLUDE = \"/usr/include\"\n"
    "SYSTEMC_LIB = \"/usr/lib/x86_64-linux-gnu\"\n"
    "\n"
    "CC      = \"/usr/bin/g++\"\n"
    "CPPFILT = \"/usr/bin/c++filt\"\n"
    "\n"
    "EXTRA_PRPS = \n"
    "EXTRA_INCS = \n"
    "EXTRA_LIBS = \n"
    "EXTRA_LIBPATHS = \n"
    "\n"
    "OPT     = -O3\n"
    "DEBUG   = -g -femit-class-debug-always\n"
    "OTHER   = -Wall -Wno-deprecated -fpermissive\n"
    "CFLAGS  = $(DEBUG) $(OTHER) $(EXTRA_PRPS)\n"
    "\n"
    "INCDIR = -I. -I$(SYSTEMC_INCLUDE) -I$(SCV_INCLUDE) -I$(TLM_INCLUDE) $(EXTRA_INCS)\n"
    "LIBDIR = -L. -L$(SYSTEMC_LIB) $(EXTRA_LIBPATHS)\n"
    "\n"
    "LIBS   =  -lsystemc $(EXTRA_LIBS)\n"
    "\n"
    "EXE    = $(MODULE)\n"
    "\n"
    "$(EXE): $(OBJS)\n"
    "\t$(CC) $(CFLAGS) $(INCDIR) $(LIBDIR) -o $@ $(OBJS) $(SCV_INTROSPECTION) $(LIBS) 2>&1 | $(CPPFILT)\n"
    "\n";

} // namespace

TEST(Makefile, CounterExampleExactText) {
    TempDir dir;
    WriteFile(dir / "main.cpp", "#include \"systemc.h\"\nint sc_main(int, char**) { return 0; }\n");
    WriteFile(dir / "counter.cpp", "#include \"counter.h\"\n");
    WriteFile(dir / "counter.h", "#include \"systemc.h\"\n");
    Project p;
    p.NewProject(dir / "counter.k1");
    p.AddExistingFiles({dir / "main.cpp", dir / "counter.cpp"});
    const std::string text = ProjectMakefileText(p, FixedTools(), false);
    EXPECT_EQ(text, std::string("MODULE = counter\n"
                                "SRCS = main.cpp counter.cpp \n"
                                "OBJS = main.o counter.o \n"
                                "\n") +
                        kMiddle +
                        "main.o : main.cpp \n"
                        "\t$(CC) $(CFLAGS) $(INCDIR) -c \"main.cpp\"\n"
                        "counter.o : counter.cpp counter.h \n"
                        "\t$(CC) $(CFLAGS) $(INCDIR) -c \"counter.cpp\"\n");
    // systemc.h was seen (and is not in the directory, so not listed).
    EXPECT_TRUE(p.Sources()[1].usesSystemC);
    EXPECT_FALSE(p.Sources()[1].usesScv);
}

TEST(Makefile, NoSourcesGivesEmptyListsAndNoRules) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "empty.k1");
    EXPECT_EQ(ProjectMakefileText(p, FixedTools(), true),
              std::string("MODULE = empty\nSRCS = \nOBJS = \n\n") + kMiddle);
}

TEST(Makefile, OptionListsBecomeFlags) {
    EXPECT_EQ(ExtraLibraryFlags("libfoo.a,util.o,m"), "-lfoo util.o ");
    EXPECT_EQ(ExtraLibraryFlags("foo.a,lib.a,m,,libx.so"), "");
    EXPECT_EQ(ExtraPreprocessorFlags("NDEBUG,TRACE"), "-DNDEBUG -DTRACE ");
    // Blanks around an entry go; inside one they stay, quoted for the shell.
    EXPECT_EQ(ExtraIncludeFlags(",inc,, ../x ,"), "-Iinc -I../x ");
    EXPECT_EQ(ExtraIncludeFlags("my inc,$(x)"), "'-Imy inc' '-I$$(x)' ");
    EXPECT_EQ(ExtraPreprocessorFlags(R"(S="a#b",Q='x')"), R"('-DS="a\#b"' '-DQ='\''x'\''' )");
    EXPECT_EQ(ExtraLibraryFlags("-x.o"), "./-x.o ");
    EXPECT_EQ(ExtraLibraryPathFlags("/opt/lib"), "-L/opt/lib ");
    EXPECT_TRUE(SplitOptionList(",,,").empty());
}

TEST(Makefile, PathsOutsideTheProjectAndWithBlanks) {
    TempDir dir;
    WriteFile(dir / "lib/x.cpp", "");
    WriteFile(dir / "p/my src/a b.cpp", "");
    Project p;
    p.NewProject(dir / "p/top.k1");
    p.AddExistingFiles({dir / "lib/x.cpp", dir / "p/my src/a b.cpp"});
    const std::string text = ProjectMakefileText(p, FixedTools(), false);
    const std::string x = dir / "lib/x.cpp";
    const std::string ab = dir / "p/my src/a b.cpp";
    EXPECT_NE(text.find("SRCS = " + x + " " + MakeDependencyPath(ab) + " \nOBJS = x.o a\\ b.o \n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("x.o : " + x + " \n\t$(CC) $(CFLAGS) $(INCDIR) -c \"" + x + "\"\n"),
              std::string::npos);
    EXPECT_NE(text.find("a\\ b.o : " + MakeDependencyPath(ab) + " \n\t$(CC) $(CFLAGS) $(INCDIR) -c \"" + ab +
                        "\"\n"),
              std::string::npos);
    EXPECT_EQ(MakeDependencyPath("/a b/c d.cpp"), "/a\\ b/c\\ d.cpp");
}

TEST(Makefile, ScvAnywhereSelectsTheScvLinkLineAndStays) {
    TempDir dir;
    WriteFile(dir / "a.cpp", "#include \"a.h\"\n");
    WriteFile(dir / "a.h", "#include <scv.h>\n");
    WriteFile(dir / "b.cpp", "\n");
    Project p;
    p.NewProject(dir / "s.k1");
    p.AddExistingFiles({dir / "a.cpp", dir / "b.cpp"});
    std::string text = ProjectMakefileText(p, FixedTools(), false);
    EXPECT_NE(text.find("SCV_INTROSPECTION = \"/opt/korl/libraries/lib-mingw32/scv_introspection.o\"\n\n"
                        "SYSTEMC_INCLUDE"),
              std::string::npos);
    EXPECT_NE(text.find("LIBS   =  -lsystemc -lscv -lcudd $(EXTRA_LIBS)\n"), std::string::npos);
    // The include goes away; the flag stays until the project is reopened.
    WriteFile(dir / "a.h", "\n");
    text = ProjectMakefileText(p, FixedTools(), true);
    EXPECT_NE(text.find("-lscv -lcudd"), std::string::npos);
    EXPECT_NE(text.find("a.o : a.cpp a.h \n"), std::string::npos);
    p.Load(dir / "s.k1");
    p.Save();
    text = ProjectMakefileText(p, FixedTools(), false);
    EXPECT_EQ(text.find("-lscv"), std::string::npos);
}

TEST(Makefile, IncludeScanRules) {
    TempDir dir;
    WriteFile(dir / "inc dir/cfg.h", "#include \"loop.h\"\n");
    WriteFile(dir / "loop.h", "#include \"loop.h\"\n#include \"cfg.h\"\n");
    WriteFile(dir / "m.cpp",
              "// #include \"old.h\"\n"
              "#include   <loop.h>  // comment \"x\"\n"
              "#include \"missing.h\"\n"
              "#include\t\"tab.h\"\n" +
                  std::string(600, ' ') +
                  "#include \"late.h\"\n"
                  "  #include \"cfg.h\"\n");
    WriteFile(dir / "old.h", "");
    WriteFile(dir / "tab.h", "");
    WriteFile(dir / "late.h", "");
    ProjectItem item = ProjectItem::FromPath(dir / "m.cpp");
    UpdateIncludes(item, false, "nothere,inc dir", dir.path());
    // Commented-out includes count; the long line is read in pieces; the tab
    // is not skipped; loop.h's "cfg.h" is found through the include
    // directory as typed; each file is listed once.
    EXPECT_EQ(item.includes, (std::vector<std::string>{"old.h", "loop.h", "inc dir/cfg.h", "late.h"}));
    EXPECT_NE(item.scanTime, 0);

    // Unchanged write time: no rescan.
    item.includes = {"stale"};
    UpdateIncludes(item, false, "", dir.path());
    EXPECT_EQ(item.includes, (std::vector<std::string>{"stale"}));
    UpdateIncludes(item, true, "", dir.path());
    EXPECT_EQ(item.includes, (std::vector<std::string>{"old.h", "loop.h", "late.h"}));

    // Neither a FIFO nor a directory is read (a FIFO would block).
    ASSERT_EQ(mkfifo((dir / "pipe.h").c_str(), 0600), 0);
    std::filesystem::create_directories(dir / "adir.h");
    WriteFile(dir / "odd.cpp", "#include \"pipe.h\"\n#include \"adir.h\"\n#include \"old.h\"\n");
    ProjectItem odd = ProjectItem::FromPath(dir / "odd.cpp");
    UpdateIncludes(odd, true, "", dir.path());
    EXPECT_EQ(odd.includes, (std::vector<std::string>{"old.h"}));
    ProjectItem fifo = ProjectItem::FromPath(dir / "pipe.h");
    UpdateIncludes(fifo, true, "", dir.path());
    EXPECT_TRUE(fifo.includes.empty());

    // A source that cannot be read contributes nothing.
    ProjectItem gone = ProjectItem::FromPath(dir / "gone.cpp");
    UpdateIncludes(gone, true, "", dir.path());
    EXPECT_TRUE(gone.includes.empty());
    EXPECT_EQ(gone.scanTime, 0);
}

TEST(Makefile, DeepIncludeChainsDoNotExhaustTheStack) {
    TempDir dir;
    const int n = 3000;
    for (int i = 0; i < n; ++i)
        WriteFile(dir / ("h" + std::to_string(i) + ".h"), "#include \"h" + std::to_string(i + 1) + ".h\"\n");
    WriteFile(dir / "top.cpp", "#include \"h0.h\"\n");
    ProjectItem item = ProjectItem::FromPath(dir / "top.cpp");
    UpdateIncludes(item, true, "", dir.path());
    EXPECT_EQ(item.includes.size(), static_cast<size_t>(n));
}

TEST(Makefile, SingleFileMakefileExactText) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "counter.k1");
    p.SetExtraPreprocessor("NDEBUG,TRACE");
    p.SetExtraLibraries("libfoo.a,util.o,m");
    const std::string src = dir / "sub dir/counter.cpp";
    EXPECT_EQ(FileMakefileText(p, FixedTools(), src),
              "SYSTEMC_INCLUDE = \"/usr/include\"\n"
              "SCV_INCLUDE = \"/opt/korl/libraries/scv-1.0p2-sysc2.2/src\"\n"
              "TLM_INCLUDE = \"/usr/include\"\n"
              "SYSTEMC_LIB = \"/usr/lib/x86_64-linux-gnu\"\n"
              "\n"
              "CC      = \"/usr/bin/g++\"\n"
              "\n"
              "EXTRA_PRPS = -DNDEBUG -DTRACE \n"
              "EXTRA_INCS = \n"
              "EXTRA_LIBS = -lfoo util.o \n"
              "EXTRA_LIBPATHS = \n"
              "\n"
              "OPT     = -O3\n"
              "DEBUG   = -g -femit-class-debug-always\n"
              "OTHER   = -Wall -Wno-deprecated -fpermissive -DSC_USE_SC_STRING_OLD\n"
              "CFLAGS  = $(DEBUG) $(OTHER) $(EXTRA_PRPS)\n"
              "\n"
              "INCDIR = -I. -I$(SYSTEMC_INCLUDE) -I$(SCV_INCLUDE) -I$(TLM_INCLUDE) $(EXTRA_INCS)\n"
              "LIBDIR = -L. -L$(SYSTEMC_LIB) $(EXTRA_LIBPATHS)\n"
              "\n"
              "LIBS   =  -lsystemc -lscv -lcudd $(EXTRA_LIBS)\n"
              "\n"
              "counter.o : " +
                  MakeDependencyPath(src) +
                  " \n"
                  "\t$(CC) $(CFLAGS) $(INCDIR) -c \"" +
                  src + "\"\n");
}

TEST(Makefile, UnwritableMakefileFailsCleanly) {
    TempDir dir;
    Project p;
    p.NewProject(dir / "a.k1");
    std::filesystem::create_directories(dir / "makefile/x");
    std::string error;
    EXPECT_FALSE(WriteProjectMakefile(p, FixedTools(), false, &error));
    EXPECT_NE(error.find("cannot write the makefile"), std::string::npos) << error;
    size_t entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
    EXPECT_EQ(entries, 2u); // a.k1 and the directory in the way

    std::filesystem::remove_all(dir / "makefile");
    ASSERT_TRUE(WriteFileMakefile(p, FixedTools(), dir / "a.cpp", &error));
    EXPECT_EQ(korltest::ReadFile(dir / "makefile"), FileMakefileText(p, FixedTools(), dir / "a.cpp"));
}
