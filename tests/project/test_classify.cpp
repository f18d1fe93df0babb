// Lines below are what g++ 12, GNU make 4.3 and ld print with LC_ALL=C for
// broken sources, copied from real builds.
#include <gtest/gtest.h>

#include "project/classify.h"

using korl::BuildLineContext;
using korl::ClassifyBuildLine;

namespace {

BuildLineContext Context(std::string target = "counter") {
    BuildLineContext c;
    c.targetName = std::move(target);
    c.projectTitle = "counter";
    return c;
}

struct Case {
    const char* line;
    const char* shown;
    unsigned errors;
    unsigned warnings;
};

void Check(const std::vector<Case>& cases, const BuildLineContext& context) {
    for (const Case& c : cases) {
        auto r = ClassifyBuildLine(c.line, context);
        EXPECT_EQ(r.shown, c.shown) << c.line;
        EXPECT_EQ(r.errors, c.errors) << c.line;
        EXPECT_EQ(r.warnings, c.warnings) << c.line;
    }
}

} // namespace

TEST(ClassifyBuildLine, CommandEchoes) {
    Check(
        {
            {R"("/usr/bin/g++" -g -Wall -Wno-deprecated -fpermissive  -I. -I"/usr/include" -c "counter.cpp")",
             "Compiling...\r\ncounter.cpp\r\n", 0, 0},
            {R"("/usr/bin/g++" -g -Wall -c "/home/me/lib dir/x.cpp")",
             "Compiling...\r\n/home/me/lib dir/x.cpp\r\n", 0, 0},
            {R"("/usr/bin/g++" -g -Wall -I. -L. -o counter counter.o main.o  -lsystemc  2>&1 | "/usr/bin/c++filt")",
             "Linking...\r\n", 0, 0},
            // Names with the shell's special characters come escaped; the
            // pane shows them as they are.
            {R"("/usr/bin/g++" -g -c "q\"uo\\te \$(shell touch PWNED) \`x\`.cpp")",
             "Compiling...\r\nq\"uo\\te $(shell touch PWNED) `x`.cpp\r\n", 0, 0},
            // The compiler driver speaking for itself is not an echo, and its
            // errors count.
            {"g++: error: unrecognized command-line option '-fnothing'",
             "g++: error: unrecognized command-line option '-fnothing'\r\n", 1, 0},
            {"g++: fatal error: no input files", "g++: fatal error: no input files\r\n", 1, 0},
            {"g++: error: nothere.o: No such file or directory",
             "g++: error: nothere.o: No such file or directory\r\n", 1, 0},
        },
        Context());
}

TEST(ClassifyBuildLine, MakeChatterIsHiddenExceptUpToDate) {
    Check(
        {
            {"make: 'counter' is up to date.", "counter is up to date.\r\n", 0, 0},
            {"make[1]: 'd.o' is up to date.", "counter is up to date.\r\n", 0, 0},
            {"make: *** [makefile:34: main.o] Error 1", "", 0, 0},
            // make giving up is an error, shown whole.
            {"make: *** No rule to make target 'x.cpp', needed by 'x.o'.  Stop.",
             "make: *** No rule to make target 'x.cpp', needed by 'x.o'.  Stop.\r\n", 1, 0},
            {"makefile:4: *** missing separator.  Stop.", "makefile:4: *** missing separator.  Stop.\r\n", 1,
             0},
            // What make says while a stopped build ends is no error of its own.
            {"make: *** wait: No child processes.  Stop.", "", 0, 0},
            {"make: Nothing to be done for 'x.o'.", "", 0, 0},
            {"make[2]: Entering directory '/tmp/kb'", "", 0, 0},
            {"make: Target 'all' not remade because of errors.", "", 0, 0},
            // Only make's own prefix at the start of the line counts.
            {"remake: error: x", "remake: error: x\r\n", 1, 0},
            {"make[x]: error: y", "make[x]: error: y\r\n", 1, 0},
        },
        Context());
    // Compile names the object.
    Check({{"make: 'counter.o' is up to date.", "counter.o is up to date.\r\n", 0, 0}}, Context("counter.o"));
    BuildLineContext gmake = Context();
    gmake.makeName = "gmake";
    Check({{"gmake: *** [makefile:6: a.o] Error 1", "", 0, 0},
           {"make: *** [makefile:6: a.o] Error 1", "make: *** [makefile:6: a.o] Error 1\r\n", 0, 0}},
          gmake);
}

TEST(ClassifyBuildLine, LinkerMessages) {
    Check(
        {
            {"collect2: error: ld returned 1 exit status", "", 0, 0},
            {"/usr/bin/ld: d.o: in function `main':", "/usr/bin/ld: d.o: in function `main':\r\n", 0, 0},
            {"/tmp/kb/d.cpp:2: undefined reference to `foo()'",
             "/tmp/kb/d.cpp:2: undefined reference to `foo()'\r\n", 1, 0},
            {"/usr/bin/ld: cannot open output file d: Permission denied",
             "fatal error: cannot open counter for writing\r\n", 1, 0},
            // Only the first half of the output-file rule: on to the next
            // rules, where the linker's failure to open counts.
            {"/usr/bin/ld: cannot open output file dd: Is a directory",
             "/usr/bin/ld: cannot open output file dd: Is a directory\r\n", 1, 0},
            // The linker's missing files keep their names.
            {"/usr/bin/ld: cannot find nothere.o: No such file or directory",
             "/usr/bin/ld: cannot find nothere.o: No such file or directory\r\n", 1, 0},
            {"/usr/bin/ld: cannot find -lnothere: No such file or directory",
             "/usr/bin/ld: cannot find -lnothere: No such file or directory\r\n", 1, 0},
            {"/usr/bin/ld: cannot find -lfoo", "/usr/bin/ld: cannot find -lfoo\r\n", 1, 0},
            {"b.cpp:1: multiple definition of `f()'; a.o:a.cpp:1: first defined here",
             "b.cpp:1: multiple definition of `f()'; a.o:a.cpp:1: first defined here\r\n", 1, 0},
        },
        Context());
    BuildLineContext windows = Context();
    windows.exeSuffix = ".exe";
    Check({{"ld: cannot open output file counter.exe: Permission denied",
            "fatal error: cannot open counter.exe for writing\r\n", 1, 0}},
          windows);
}

TEST(ClassifyBuildLine, CompilerDiagnostics) {
    Check(
        {
            {"a.cpp:1:10: fatal error: missing.h: No such file or directory",
             "a.cpp:1: error: No such file or directory\r\n", 1, 0},
            {"counter.cpp:2:21: counter.h: No such file or directory",
             "counter.cpp:2: error: No such file or directory\r\n", 1, 0},
            {"cc1plus: fatal error: nothere.cpp: No such file or directory",
             "cc1plus: fatal error: nothere.cpp: No such file or directory\r\n", 1, 0},
            {"e.cpp:1:30: error: no match for call to '(S) ()'",
             "e.cpp:1:30: error: error: no match for call to '(S) ()'\r\n", 1, 0},
            {"main.cpp:12: no match for call to (sc_in) ()",
             "main.cpp:12: error: no match for call to (sc_in) ()\r\n", 1, 0},
            {"main.cpp:12: error: parse error before x",
             "main.cpp:12: error: error: parse error before x\r\n", 1, 0},
            {"x.cpp:3: syntax error at end", "x.cpp:3: error: syntax error at end\r\n", 1, 0},
            {"c.cpp:1:2: error: #error stop here", "c.cpp:1:2: error: error: #error stop here\r\n", 1, 0},
            {"#error at line start", " error: #error at line start\r\n", 1, 0},
            {"b.cpp:2:26: error: 'undeclared' was not declared in this scope",
             "b.cpp:2:26: error: 'undeclared' was not declared in this scope\r\n", 1, 0},
            {"b.cpp:2:15: warning: unused variable 'x' [-Wunused-variable]",
             "b.cpp:2:15: warning: unused variable 'x' [-Wunused-variable]\r\n", 0, 1},
            {"x.cpp:1: error: warning: both", "x.cpp:1: error: warning: both\r\n", 1, 1},
            {"In file included from f.cpp:1:", "In file included from f.cpp:1:\r\n", 0, 0},
            {"inc/bad.h: In member function 'void bad::run()':",
             "inc/bad.h: In member function 'void bad::run()':\r\n", 0, 0},
            {"n.cpp:1:5: note: declared here", "n.cpp:1:5: note: declared here\r\n", 0, 0},
            {"compilation terminated.", "compilation terminated.\r\n", 0, 0},
            {"", "\r\n", 0, 0},
        },
        Context());
}

TEST(ClassifyBuildLine, QuotedSourceLinesAreShownButNeverCounted) {
    Check(
        {
            {"    1 | #error stop here", "    1 | #error stop here\r\n", 0, 0},
            {"      |  ^~~~~", "      |  ^~~~~\r\n", 0, 0},
            {"   12 |   printf(\"error: %d\", g++);", "   12 |   printf(\"error: %d\", g++);\r\n", 0, 0},
            {"      |                                              ;",
             "      |                                              ;\r\n", 0, 0},
            {"  +++ |+#include <cstdio>", "  +++ |+#include <cstdio>\r\n", 0, 0},
            {" 12345 |", " 12345 |\r\n", 0, 0},
        },
        Context());
    EXPECT_FALSE(korl::IsSourceExcerptLine("1 | x"));
    EXPECT_FALSE(korl::IsSourceExcerptLine("   12 x | y"));
    EXPECT_FALSE(korl::IsSourceExcerptLine("   |x error: y"));
}
