#include <gtest/gtest.h>

#include "project/buildrunner.h"
#include "project/jump.h"

using korl::ParseJumpLine;

namespace {
std::string Jump(const std::string& line) {
    auto t = ParseJumpLine(line);
    return t ? t->file + "@" + std::to_string(t->line) : "none";
}
} // namespace

TEST(JumpToSource, FileAndLineOfDiagnostics) {
    EXPECT_EQ(Jump("counter.cpp:7:3: warning: unused variable x"), "counter.cpp@7");
    EXPECT_EQ(Jump("b.cpp:2:26: error: 'undeclared' was not declared in this scope\r\n"), "b.cpp@2");
    EXPECT_EQ(Jump("counter.cpp:2: error: No such file or directory"), "counter.cpp@2");
    EXPECT_EQ(Jump("e.cpp:1:30: error: error: no match for call to '(S) ()'"), "e.cpp@1");
    EXPECT_EQ(Jump("inc/bad.h:4:28: error: 'class sc_core::sc_in<bool>' has no member named 'nosuch'"),
              "inc/bad.h@4");
    EXPECT_EQ(Jump("../common/counter.h:12:1: warning: x"), "../common/counter.h@12");
    EXPECT_EQ(Jump("/usr/include/sysc/kernel/sc_module.h:100:5: error: y"),
              "/usr/include/sysc/kernel/sc_module.h@100");
    // A drive written with a slash is part of the file.
    EXPECT_EQ(Jump("C:/work/x.cpp:4: error: parse error"), "C:/work/x.cpp@4");
    EXPECT_EQ(Jump("C:/work/x.cpp:4:9: warning: w"), "C:/work/x.cpp@4");
    // "fatal error:" has no ": " right before "error:".
    EXPECT_EQ(Jump("a.cpp:3:10: fatal error: too many errors"), "a.cpp@3");
}

TEST(JumpToSource, LinesWithoutAPosition) {
    for (const char* line :
         {"Compiling...", "counter.cpp", "In file included from f.cpp:1:", "n.cpp:1:5: note: declared here",
          "/tmp/kb/d.cpp:2: undefined reference to `foo()'", "fatal error: cannot open counter for writing",
          "cc1plus: error: No such file or directory", "error: at start", ":0: error: zero",
          "x.cpp:abc: error: no number", "x.cpp:99999999999: error: huge",
          "counter - 1 error(s), 0 warning(s)", ""}) {
        EXPECT_EQ(Jump(line), "none") << line;
    }
    // Only the first 1,024 bytes are read.
    EXPECT_EQ(Jump(std::string(1030, 'a') + ":1: error: far"), "none");
    EXPECT_EQ(Jump("x.cpp:5: error: " + std::string(5000, 'e')), "x.cpp@5");
}

TEST(JumpToSource, FilesAreResolvedFromTheProjectDirectory) {
    EXPECT_EQ(korl::ResolveJumpFile("counter.cpp", "/work/counter/"), "/work/counter/counter.cpp");
    EXPECT_EQ(korl::ResolveJumpFile("../common/counter.h", "/work/counter/"), "/work/common/counter.h");
    EXPECT_EQ(korl::ResolveJumpFile("./sub/x.h", "/work/counter/"), "/work/counter/sub/x.h");
    EXPECT_EQ(korl::ResolveJumpFile("/usr/include/systemc.h", "/work/counter/"), "/usr/include/systemc.h");
}

TEST(BuildProblems, PlaceAndMessageOfACountedLine) {
    using korl::ProblemOfLine;
    auto p = ProblemOfLine("counter.cpp:7:3: warning: unused variable x\r\n", false, "/p/");
    EXPECT_EQ(p.file, "/p/counter.cpp");
    EXPECT_EQ(p.line, 7);
    EXPECT_FALSE(p.error);
    EXPECT_EQ(p.message, "unused variable x");
    p = ProblemOfLine("inc/a.h:4:28: error: 'x' has no member", true, "/p/");
    EXPECT_EQ(p.file, "/p/inc/a.h");
    EXPECT_EQ(p.message, "'x' has no member");
    // Only the first "error: " is the line's own: a rewritten line keeps the rest.
    EXPECT_EQ(ProblemOfLine("m.cpp:12: error: error: parse error before x", true, "/p/").message,
              "error: parse error before x");
    EXPECT_EQ(ProblemOfLine("/abs/x.cpp:2:1: fatal error: y.h: No such file", true, "/p/").file,
              "/abs/x.cpp");
    // A line without a place keeps its whole text.
    p = ProblemOfLine("main.o: in function `f': undefined reference to `g'\r\n", true, "/p/");
    EXPECT_EQ(p.file, "");
    EXPECT_EQ(p.line, 0);
    EXPECT_EQ(p.message, "main.o: in function `f': undefined reference to `g'");
    // A line that counts both ways is an error.
    EXPECT_TRUE(ProblemOfLine("a.cpp:1:1: warning: x error: y", true, "/p/").error);
}
