// The scanner as its report shows it: comments, line counting, buffers and
// the SystemC constructs of module, class and sc_main bodies.
#include <gtest/gtest.h>

#include <random>

#include "scan_helper.h"
#include "scparse/sc_rules.h"

using sctest::scan;

TEST(ScLexerComments, NestedOpenerNeedsOneCloserEachAndEndsInInitial) {
    // The nested comment returns to INITIAL, so the port after it is not seen
    // as a port, and the module never ends.
    std::string r = scan("SC_MODULE(m) {\n /* a /* b */ c */ sc_in<bool> x;\n};\n");
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 1 \n");
    // Without nesting the body goes on.
    r = scan("SC_MODULE(m) {\n /* a */ sc_in<bool> x;\n};\n");
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 1 \nsc_in : x : 2 \nends at : 3 \n");
}

TEST(ScLexerComments, LineCommentInsideCommentHidesTheCloser) {
    std::string r = scan("SC_MODULE(m) {\n/* x // */\n sc_in<bool> hidden; */ sc_in<bool> seen;\n};\n");
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 1 \nsc_in : seen : 3 \nends at : 4 \n");
    // A "#" inside a comment also eats the rest of its line.
    r = scan("SC_MODULE(m) {\n/* # */\n*/ sc_out<int> o;}");
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 1 \nsc_out : o : 3 \nends at : 3 \n");
}

TEST(ScLexerComments, EofInCommentGoesToStandardOutput) {
    testing::internal::CaptureStdout();
    std::string r = scan("SC_MODULE(m) { /* never closed\n sc_in<bool> a;\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "unexpected eof in comment\n");
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 1 \n");
}

TEST(ScLexerLines, LastLineWithoutNewlineIsScannedAsCode) {
    // "//" and "#" need their newline: without it the line is scanned.
    EXPECT_EQ(scan("// SC_MODULE(hidden) {"), "\ncurrent module is : hidden \nbegins at : 1 \n");
    EXPECT_EQ(scan("// SC_MODULE(hidden) {\n"), "");
    EXPECT_EQ(scan("#define X\n# SC_MODULE(y)"), "\ncurrent module is : y \n");
    EXPECT_EQ(scan(""), "");
}

TEST(ScLexerLines, BackedUpNewlinesAreCountedOnce) {
    // Every identifier at a line end reads the newline ahead and pushes it
    // back; a quoted name without its closing quote backs up over lines.
    std::string r = scan(
        "SC_MODULE(m)\n{\nsc_in<bool> a\n\n\n, b\n;\nsc_signal<int> s\n;\n"
        "SC_CTOR(m) : s(\"s\n\") {}\n}\n");
    EXPECT_EQ(r,
              "\ncurrent module is : m \nbegins at : 2 \nsc_in : a : 3 \nsc_in : b : 6 \nsc_signal : s : 8 \n"
              "Constructor begins at : 10\nConstructor ends at : 11\nends at : 12 \n");
}

TEST(ScLexerBuffers, LongMatchGrowsTheTextBufferAndKeepsLines) {
    DesignModel model;
    std::string src = "#define LONG " + std::string(330, 'x') + "\nSC_MODULE(m) {\n sc_in<bool> a;\n};\n";
    int size = 0, line = 0;
    std::string r = sctest::scan(model, src, "t.cpp", {}, [&](SC_Lexer& lx) {
        size = lx.yytext_size;
        line = lx.yylineno;
    });
    EXPECT_EQ(size, 400);
    EXPECT_EQ(line, 5);
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 2 \nsc_in : a : 3 \nends at : 4 \n");
}

TEST(ScLexerBuffers, CleanupRestoresTheInitialBuffers) {
    DesignModel model;
    sctest::scan(model, "#" + std::string(1000, 'y') + "\n", "t.cpp", {}, [](SC_Lexer& lx) {
        EXPECT_GT(lx.yytext_size, 1000);
        lx.yycleanup();
        EXPECT_EQ(lx.yytext_size, 100);
        EXPECT_EQ(lx.yytext, lx.yystext);
        EXPECT_EQ(lx.yyleng, 0);
    });
}

TEST(ScLexerBuffersDeathTest, OverflowsReportTheSizeAndExit) {
    DesignModel model;
    auto capText = [](SC_Lexer& lx) { lx.yytext_max = 150; };
    EXPECT_EXIT(sctest::scan(model, "#" + std::string(300, 'z') + "\n", "t.cpp", capText),
                testing::ExitedWithCode(1), "lexer text buffer overflow \\(150\\)\n");
    auto noGrow = [](SC_Lexer& lx) { lx.yytextgrow = 0; };
    EXPECT_EXIT(sctest::scan(model, "#" + std::string(300, 'z') + "\n", "t.cpp", noGrow),
                testing::ExitedWithCode(1), "lexer text buffer overflow \\(100\\)\n");
    // A "#" line without its newline backs up over everything after the "#".
    auto capUnput = [](SC_Lexer& lx) { lx.yyunput_max = 100; };
    EXPECT_EXIT(sctest::scan(model, "#" + std::string(300, 'z'), "t.cpp", capUnput),
                testing::ExitedWithCode(1), "lexer unput buffer overflow \\(100\\)\n");
}

TEST(ScLexerModule, HeadsOfBothKindsGiveModuleRecords) {
    DesignModel model;
    std::string r = scan(model,
                         "SC_MODULE(a) {\n};\n"
                         "class b : public sc_core::sc_module {\n};\n"
                         "struct c : sc_channel { };\n"
                         "class fwd;\n"
                         "class ifc : virtual public sc_interface { virtual void f() = 0; };\n"
                         "struct plain { int x; };\n");
    EXPECT_EQ(r,
              "\ncurrent module is : a \nbegins at : 1 \nends at : 2 \n"
              "\nclass or struct b begins at 3\ncurrent module is : b \nends at : 4 \n"
              "\nclass or struct c begins at 5\ncurrent channel is : c \nends at : 5 \n"
              "\nclass or struct fwd begins at 6\nclass or struct fwd ends at : 6 \n"
              "\nclass or struct ifc begins at 7\ncurrent interface is : ifc \n"
              "Function f is declared as virtual void at 7\nstruct ifc ends at : 7 \n"
              "\nclass or struct plain begins at 8\nclass or struct plain begins at 8\n"
              "class item x is declared as int at 8\nstruct plain ends at : 8 \n");
    ASSERT_EQ(model.modules.size(), 3u);
    EXPECT_EQ(model.modules[1]->name, "b");
    EXPECT_EQ(model.modules[1]->line, 3);
    ASSERT_EQ(model.classes.size(), 2u);
    EXPECT_EQ(model.classes[0]->name, "ifc");
    EXPECT_EQ(model.classes[1]->objects[0]->type, "int");
}

TEST(ScLexerModule, PortsSignalsExportsAndArrays) {
    DesignModel model;
    std::string r = scan(model,
                         "SC_MODULE(m) {\n"
                         "  sc_in<bool> clk, rst;\n"
                         "  sc_out<sc_uint<8> > q;\n"
                         "  sc_inout_rv<4> bus[2];\n"
                         "  sc_port<sc_fifo_out_if< sc_uint<4> > > p1, p2;\n"
                         "  sc_export<tlm_if> ex;\n"
                         "  sc_signal<int> s;\n"
                         "  sc_in_clk c;\n"
                         "};\n");
    EXPECT_EQ(r,
              "\ncurrent module is : m \nbegins at : 1 \n"
              "sc_in : clk : 2 \nsc_in : rst : 2 \nsc_out : q : 3 \n"
              "sc_inout : bus : 4 \nabove item is an array of size 2\n"
              "sc_port of type <sc_fifo_out_if< sc_uint<4> > > : p1 : 5 \n"
              "sc_port of type  : p2 : 5 \n"
              "sc_export of type <tlm_if> : ex : 6 \n"
              "sc_signal : s : 7 \nsc_in : c : 8 \nends at : 9 \n");
    auto m = model.findModule("m");
    ASSERT_EQ(m->ports.size(), 7u);
    EXPECT_EQ(m->ports[0]->direction, 1);
    EXPECT_EQ(m->ports[2]->direction, 2);
    EXPECT_EQ(m->ports[3]->direction, 3);
    EXPECT_EQ(m->ports[4]->direction, 0);
    EXPECT_EQ(m->ports[4]->interfaceType, "<sc_fifo_out_if< sc_uint<4> > >");
    EXPECT_EQ(m->ports[5]->interfaceType, "");
    EXPECT_EQ(m->exports[0]->interfaceType, "<tlm_if>");
    EXPECT_EQ(m->signals[0]->file, "t.cpp");
}

TEST(ScLexerModule, MembersFunctionsOperatorsAndDestructor) {
    DesignModel model;
    std::string r = scan(model,
                         "SC_MODULE(m) {\n"
                         "  sub *p, q;\n"
                         "  fifo<int, 4> f[8];\n"
                         "  void run();\n"
                         "  int get(int a) const { if (a) { return 1; } return 0; }\n"
                         "  bool operator==(const m& o) const;\n"
                         "  sc_clock tick;\n"
                         "  ~m() { }\n"
                         "  SC_HAS_PROCESS(m);\n"
                         "  m(sc_module_name n);\n"
                         "};\n");
    EXPECT_EQ(r,
              "\ncurrent module is : m \nbegins at : 1 \n"
              "module item p is declared as sub at 2\nmodule item q is declared as sub pointer at 2\n"
              "module item f is declared as fifo<int, 4> at 3\nabove module item is an array of size 8\n"
              "Function run is declared as void at 4\nFunction get is declared as int at 5\n"
              "operator == is overloaded as bool at 6\n"
              "module  clock tick is declared at 7\n"
              "destructor begins at : 8\ndestructor ends at : 8\n"
              "Constructor begins at : 10\nConstructor ends at : 10\nends at : 11 \n");
    auto m = model.findModule("m");
    ASSERT_EQ(m->objects.size(), 3u);
    EXPECT_TRUE(m->objects[1]->pointer);
    ASSERT_EQ(m->functions.size(), 3u);
    EXPECT_EQ(m->functions[0]->implLine, 0);
    EXPECT_EQ(m->functions[1]->implLine, 5);
    EXPECT_EQ(m->functions[2]->name, "operator==");
    EXPECT_EQ(m->clocks[0]->name, "tick");
}

TEST(ScLexerModule, ConstructorBodyRegistersProcessesAndInstances) {
    DesignModel model;
    std::string r = scan(model,
                         "SC_MODULE(top) {\n"
                         "  sub *s1; sub s2; sc_signal<bool> sig;\n"
                         "  SC_CTOR(top) : s2(\"s2\"), sig(\"sig\") {\n"
                         "    SC_METHOD(comb); sensitive << sig << clk.pos();\n"
                         "    SC_CTHREAD(seq, clk.neg());\n"
                         "    SC_THREAD(drive); sensitive_pos << clk; sensitive_neg(rst);\n"
                         "    s1 = new sub(\"s1\");\n"
                         "    if (x) { y(); }\n"
                         "  }\n"
                         "};\n");
    EXPECT_EQ(r,
              "\ncurrent module is : top \nbegins at : 1 \n"
              "module item s1 is declared as sub pointer at 2\nmodule item s2 is declared as sub at 2\n"
              "sc_signal : sig : 2 \n"
              "Constructor begins at : 3\n"
              "object s2 is instantiated as \"s2\"\nobject sig is instantiated as \"sig\"\n"
              "SC_METHOD : comb : 4 \nsensitive to : sig : 4 \nsensitive to : clk.pos : 4 \n"
              "SC_CTHREAD : seq : 5 \n"
              "SC_THREAD : drive : 6 \nsensitive to positive edge of : clk : 6 \n"
              "sensitive to negatove edge of : rst : 6 \n"
              "object s1 of type sub is instantiated as \"s1\n"
              "Constructor ends at : 9\nends at : 10 \n");
    auto m = model.findModule("top");
    ASSERT_EQ(m->processes.size(), 3u);
    EXPECT_EQ(m->processes[1]->name, "seq");
    ASSERT_EQ(m->instances.size(), 3u);
    EXPECT_EQ(m->instances[0]->label, "\"s2");
    EXPECT_EQ(m->instances[2]->name, "s1");
    EXPECT_EQ(m->instances[2]->line, 7);
}

TEST(ScLexerTopLevel, MemberImplementationsAndDeferredConstructors) {
    DesignModel model;
    std::string r = scan(model,
                         "void top::run() { while (true) { wait(); } }\n"
                         "int top::get() const { return 1; }\n"
                         "top::~top() { }\n"
                         "top::top(sc_module_name n) : sc_module(n), s(\"s\") {\n"
                         "  SC_THREAD(run);\n"
                         "}\n"
                         "namespace ns {\n"
                         "template <class T> unsigned long fifo<T>::size() { return 0; }\n"
                         "}\n");
    EXPECT_EQ(r,
              "Process run is declared as void top at 1\n"
              "Function get is declared as top at 2\n"
              "Destructor top is implemented at 3\ndestructor ends here : 3\n"
              "class constructor top is implemented at 4\n"
              "object s is instantiated as \"s\"\n"
              "SC_THREAD : run : 5 \nConstructor ends at : 6\n"
              "Function size is declared as unsigned long fifo<T> at 8\n");
    ASSERT_EQ(model.memberImpls.size(), 4u);
    EXPECT_EQ(model.memberImpls[0]->ownerClass, "top");
    EXPECT_EQ(model.memberImpls[0]->implLine, 1);
    EXPECT_EQ(model.memberImpls[0]->line, 0);
    EXPECT_EQ(model.memberImpls[2]->name, "~top");
    EXPECT_EQ(model.memberImpls[3]->ownerClass, "fifo<T>");
    ASSERT_EQ(model.deferredProcesses.size(), 1u);
    EXPECT_EQ(model.deferredProcesses[0]->ownerClass, "top");
    ASSERT_EQ(model.deferredInstances.size(), 1u);
    EXPECT_EQ(model.deferredInstances[0]->label, "\"s");
}

TEST(ScLexerTopLevel, ConstructorWithoutModuleNameWaitsForOne) {
    std::string r = scan(
        "top::top(int n) { SC_THREAD(lost); }\n"
        "SC_MODULE(x) { sc_in<bool> a; };\n"
        "void f(sc_module_name n) { SC_METHOD(late); }\n");
    EXPECT_EQ(r,
              "class constructor top is implemented at 3\nSC_METHOD : late : 3 \nConstructor ends at : 3\n");
}

TEST(ScLexerMain, DeclarationsInstancesAndSignals) {
    DesignModel model;
    std::string r = scan(model,
                         "int sc_main(int argc, char* argv[]) {\n"
                         "  sc_clock clk(\"clk\", 10, SC_NS);\n"
                         "  sc_signal<sc_uint<8> > a, b(\"b\");\n"
                         "  top t(\"t\"), u(\"u\");\n"
                         "  fifo<int> *f = new fifo<int>(\"f\");\n"
                         "  sub *g = new sub;\n"
                         "  counter;\n"
                         "  int n = 3, k;\n"
                         "  t.clk(clk);\n"
                         "  sc_start(100, SC_NS);\n"
                         "  return 0;\n"
                         "}\n");
    EXPECT_EQ(r,
              "\nmain body\nbegins at : 1\n"
              "main clock clk is declared at 2\n"
              "main signal a is declared as \"b\" at 3\n"
              "object t is instantiated as \"t at 4\nobject t is declared as top at 4\n"
              "object u is instantiated as \"u at 4\nobject u is declared as top at 4\n"
              "object f is declared as fifo<int> pointer at 5\nobject f is instantiated as \"f at 5\n"
              "object g is declared as sub pointer at 6\nobject g is instantiated at 6\n"
              "object counter is declared as  at 7\n"
              "object n is declared as int at 8\n"
              "ends at : 12\n");
    auto m = model.findModule("sc_main");
    ASSERT_TRUE(m);
    EXPECT_TRUE(m->main);
    EXPECT_EQ(m->line, 1);
    ASSERT_EQ(m->instances.size(), 4u);
    EXPECT_EQ(m->instances[3]->label, "");
    ASSERT_EQ(m->signals.size(), 1u);
    EXPECT_EQ(m->objects[4]->type, "");
    EXPECT_EQ(m->clocks[0]->name, "clk");
    r = scan("int sc_main(int c, char** v) {\n sc_signal<bool> s(\"sig\");\n}\n");
    EXPECT_EQ(r, "\nmain body\nbegins at : 1\nmain signal s is declared as \"sig\" at 2\nends at : 3\n");
}

TEST(ScLexerBodies, BracesInLiteralsAreCounted) {
    // The "{" in the string opens a level that never closes.
    std::string r = scan("SC_MODULE(m) {\n void f() { printf(\"{\"); }\n sc_in<bool> a;\n};\n");
    EXPECT_EQ(r, "\ncurrent module is : m \nbegins at : 1 \nFunction f is declared as void at 2\n");
}

TEST(ScLexerBodies, ClassMembersConstructorsAndOperators) {
    DesignModel model;
    std::string r = scan(model,
                         "class pkt {\n"
                         "public:\n"
                         "  pkt();\n"
                         "  pkt(int a) : v(a) { }\n"
                         "  virtual ~pkt();\n"
                         "  int v, w[4];\n"
                         "  char *name;\n"
                         "  bool operator==(const pkt& o) const { return v == o.v; }\n"
                         "  ~pkt2() { }\n"
                         "};\n");
    EXPECT_EQ(r,
              "\nclass or struct pkt begins at 1\nclass or struct pkt begins at 1\n"
              "Constructor pkt is declared as  at 3\nConstructor pkt is declared as  at 4\n"
              "Destructor pkt is declared as virtual at 5\n"
              "class item v is declared as int at 6\nclass item w is declared as int at 6\n"
              "above class item is an array of size 4\n"
              "class item name is declared as char pointer at 7\n"
              "operator == is overloaded as bool at 8\n"
              "destructor of class pkt2 begins at : 9\ndestructor ends at : 9\n"
              "struct pkt ends at : 10 \n");
    ASSERT_EQ(model.classes.size(), 1u);
    auto& c = *model.classes[0];
    ASSERT_EQ(c.functions.size(), 5u);
    EXPECT_EQ(c.functions[2]->name, "~pkt");
    EXPECT_EQ(c.functions[2]->implLine, 5);
    EXPECT_EQ(c.functions[4]->name, "~pkt2");
    ASSERT_EQ(c.objects.size(), 3u);
    EXPECT_TRUE(c.objects[2]->pointer);
}

// Scans with and without the memory of dead-end scan positions: both must
// give the same report for any input.
static std::string scanWith(const std::string& src, bool memo) {
    DesignModel model;
    return sctest::scan(model, src, "t.cpp", [memo](SC_Lexer& lx) { lx.setDeadEndMemo(memo); });
}

TEST(ScLexerRobustness, LongLinesStayLinearAndExact) {
    // "operator" makes every following character try a match to the end of
    // the line; a final "#" line without newline backs up over everything.
    std::string longLine(50000, 'x');
    std::string src = "SC_MODULE(m) {\n bool operator " + longLine + "\n + (int);\n sc_in<bool> a;\n};\n" +
                      std::string(30000, '#');
    std::string r = scanWith(src, true);
    EXPECT_EQ(r,
              "\ncurrent module is : m \nbegins at : 1 \noperator  +  is overloaded as bool at 3\n"
              "sc_in : a : 4 \nends at : 5 \n");
}

TEST(ScLexerRobustness, RandomInputGivesTheSameReportWithAndWithoutMemo) {
    static const char* const pieces[] = {"SC_MODULE",
                                         "(",
                                         ")",
                                         "{",
                                         "}",
                                         ";",
                                         ",",
                                         "<",
                                         ">",
                                         "::",
                                         "\n",
                                         " ",
                                         "#",
                                         "//",
                                         "/*",
                                         "*/",
                                         "\"",
                                         "operator",
                                         "sc_in",
                                         "sc_port",
                                         "SC_CTOR",
                                         "SC_METHOD",
                                         "sensitive",
                                         "a",
                                         "b1",
                                         ".pos",
                                         "=",
                                         "new",
                                         "sc_main",
                                         "class",
                                         "[",
                                         "]",
                                         "~",
                                         "*",
                                         "int",
                                         "void",
                                         "sc_module_name",
                                         "x(",
                                         "\"q\""};
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; ++round) {
        std::string src;
        int n = 50 + static_cast<int>(rng() % 400);
        for (int i = 0; i < n; ++i) src += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        testing::internal::CaptureStdout();
        std::string with = scanWith(src, true);
        std::string without = scanWith(src, false);
        testing::internal::GetCapturedStdout();
        ASSERT_EQ(with, without) << src;
    }
}

TEST(ScLexerRobustness, ArbitraryBytesAndOverlongNames) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        std::string src(5000, '\0');
        for (char& c : src) c = static_cast<char>(rng());
        testing::internal::CaptureStdout();
        scanWith(src, true);
        testing::internal::GetCapturedStdout();
    }
    // Names longer than the 250-character buffers are cut, never overflow.
    std::string name(1000, 'n');
    DesignModel model;
    std::string r = sctest::scan(model, "SC_MODULE(m) { " + name + " " + name + "; };\n" +
                                            "int sc_main() { sub " + name + "(\"" + name + "\"); }");
    auto m = model.findModule("m");
    ASSERT_EQ(m->objects.size(), 1u);
    EXPECT_EQ(m->objects[0]->name, std::string(249, 'n'));
    auto main = model.findModule("sc_main");
    ASSERT_EQ(main->instances.size(), 1u);
    EXPECT_EQ(main->instances[0]->name, std::string(245, 'n'));
    EXPECT_EQ(main->instances[0]->label.size(), 249u);
}
