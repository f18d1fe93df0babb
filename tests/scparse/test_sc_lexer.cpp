// The scanner as the design model shows it: comments and literals, line
// joining and counting, buffers, and the SystemC constructs of module,
// class and sc_main bodies.
#include <gtest/gtest.h>

#include <random>

#include "scan_helper.h"

using sctest::describe;
using sctest::scan;

namespace {

std::string scanModule(const std::string& source, const std::string& module) {
    DesignModel model;
    scan(model, source);
    return describe(model, module);
}

} // namespace

TEST(ScLexerComments, NestingLineCommentsAndEndOfFile) {
    // A nested comment returns to the top level: the port after it is lost
    // and the module never ends.
    EXPECT_EQ(scanModule("SC_MODULE(m) {\n /* a /* b */ c */ sc_in<bool> x;\n};\n", "m"), "");
    EXPECT_EQ(scanModule("SC_MODULE(m) {\n /* a */ sc_in<bool> x;\n};\n", "m"), "port in x @2\n");
    // "//" inside a comment eats the rest of its line, closer included.
    EXPECT_EQ(scanModule("SC_MODULE(m) {\n/* x // */\n sc_in<bool> hidden; */ sc_in<bool> seen;\n};\n", "m"),
              "port in seen @3\n");
    DesignModel model;
    auto messages = scan(model, "SC_MODULE(m) { /* never closed\n sc_in<bool> a;\n");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "unexpected eof in comment");
}

TEST(ScLexerLiterals, CommentMarkersInStringsOpenNoComment) {
    DesignModel model;
    scan(model,
         "SC_MODULE(m) {\n"
         "  sc_in<bool> a;\n"
         "  void f() { printf(\"/* hello\"); }\n"
         "  sc_out<int> b;\n"
         "  SC_CTOR(m) { printf(\"//\"); SC_METHOD(f); }\n"
         "};\n"
         "int sc_main(int argc, char* argv[]) {\n"
         "  printf(\"/////////\\n\");\n"
         "  m f(\"FETCH\");\n"
         "  return 0;\n"
         "}\n");
    EXPECT_EQ(describe(model, "m"), "port in a @2\nport out b @4\nprocess f @5\nfunction f @3\n");
    EXPECT_EQ(describe(model, "sc_main"), "instance f 'FETCH' @9\nobject f @9\n");
}

TEST(ScLexerLiterals, EscapedQuotesCharactersAndRawStrings) {
    EXPECT_EQ(scanModule("SC_MODULE(m) {\n"
                         "  void f() { s = \"a \\\" /* b\"; c = '\"'; d = '\\''; e = \"\\\\\"; }\n"
                         "  sc_in<bool> a;\n"
                         "  void g() { s = R\"(/* \" // )\"; t = R\"x(a )\" b // )x\"; u = u8R\"(*/)\"; }\n"
                         "  sc_in<bool> b;\n"
                         "};\n",
                         "m"),
              "port in a @3\nport in b @5\nfunction f @2\nfunction g @4\n");
}

TEST(ScLexerContinuations, BackslashNewlineJoinsLinesAndKeepsTheirNumbers) {
    DesignModel model;
    scan(model,
         "#define DECL(x) \\\n"
         "  void x() {\n"
         "// a comment that goes on \\\n"
         "sc_in<bool> ghost;\n"
         "SC_MODULE(m) {\n" // 5
         "  sc_in<bool> a, \\\r\n"
         "     b;\n"          // 7
         "  sc_out<int> c;\n" // 8
         "};\n");
    EXPECT_EQ(describe(model, "m"), "port in a @6\nport in b @7\nport out c @8\n");
    EXPECT_EQ(model.modules.size(), 1u);
}

TEST(ScLexerLines, LastLineWithoutNewlineIsScannedAsCode) {
    // "//" and "#" need their newline: without it the line is scanned.
    DesignModel a, b, c;
    scan(a, "// SC_MODULE(hidden) {");
    EXPECT_NE(a.findModule("hidden"), nullptr);
    scan(b, "// SC_MODULE(hidden) {\n");
    EXPECT_EQ(b.findModule("hidden"), nullptr);
    scan(c, "#define X\n# SC_MODULE(y)");
    EXPECT_NE(c.findModule("y"), nullptr);
}

TEST(ScLexerLines, BackedUpNewlinesAreCountedOnce) {
    DesignModel model;
    scan(model,
         "SC_MODULE(m)\n{\nsc_in<bool> a\n\n\n, b\n;\nsc_signal<int> s\n;\n"
         "SC_CTOR(m) : s(\"s\") {}\n sc_out<int> o;\n}\n");
    EXPECT_EQ(describe(model, "m"),
              "port in a @3\nport in b @6\nport out o @11\nsignal s @8\ninstance s @10\n");
}

TEST(ScLexerBuffers, LongMatchGrowsTheTextBufferAndKeepsLines) {
    DesignModel model;
    std::string src = "#define LONG " + std::string(330, 'x') + "\nSC_MODULE(m) {\n sc_in<bool> a;\n};\n";
    int size = 0, line = 0;
    scan(model, src, "t.cpp", {}, [&](SC_Lexer& lx) {
        size = lx.yytext_size;
        line = lx.yylineno;
    });
    EXPECT_EQ(size, 400);
    EXPECT_EQ(line, 5);
    EXPECT_EQ(describe(model, "m"), "port in a @3\n");
}

TEST(ScLexerBuffers, CleanupRestoresTheInitialBuffers) {
    DesignModel model;
    scan(model, "#" + std::string(1000, 'y') + "\n", "t.cpp", {}, [](SC_Lexer& lx) {
        EXPECT_GT(lx.yytext_size, 1000);
        lx.yycleanup();
        EXPECT_EQ(lx.yytext_size, 100);
        EXPECT_EQ(lx.yytext, lx.yystext);
        EXPECT_EQ(lx.yyleng, 0);
    });
}

TEST(ScLexerBuffers, OverflowStopsTheScanWithAnErrorValue) {
    const std::string longLine =
        "SC_MODULE(m) { sc_in<bool> a; };\n#" + std::string(300, 'z') + "\nSC_MODULE(n) {};\n";
    auto check = [&](const sctest::LexerHook& setup, const char* error) {
        DesignModel model;
        auto messages = scan(model, longLine, "t.cpp", setup);
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.back(), error);
        // What came before is kept; the scan stopped there.
        EXPECT_EQ(describe(model, "m"), "port in a @1\n");
        EXPECT_EQ(model.findModule("n"), nullptr);
    };
    check([](SC_Lexer& lx) { lx.yytext_max = 150; }, "lexer text buffer overflow (150)");
    check([](SC_Lexer& lx) { lx.yytextgrow = 0; }, "lexer text buffer overflow (100)");
    // A "#" line without its newline backs up over everything after the "#".
    DesignModel model;
    auto messages =
        scan(model, "#" + std::string(300, 'z'), "t.cpp", [](SC_Lexer& lx) { lx.yyunput_max = 100; });
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.back(), "lexer unput buffer overflow (100)");
}

TEST(ScLexerModule, HeadsOfBothKindsAndForwardDeclarations) {
    DesignModel model;
    scan(model,
         "class fwd;\n"
         "SC_MODULE(a) { sc_in<bool> x; };\n"
         "class b : public sc_module { public: sc_out<int> y; };\n"
         "class c : public sc_channel, public if_t { sc_inout<int> z; };\n"
         "class i : virtual public sc_interface { virtual void f() = 0; };\n"
         "struct plain { int v; };\n");
    ASSERT_EQ(model.modules.size(), 3u);
    EXPECT_EQ(describe(model, "b"), "port out y @3\n");
    EXPECT_EQ(describe(model, "c"), "port inout z @4\n");
    ASSERT_EQ(model.classes.size(), 2u);
    EXPECT_EQ(model.classes[0]->name, "i");
    EXPECT_EQ(model.classes[1]->name, "plain");
}

TEST(ScLexerModule, CommaDeclarationsArraysAndConstants) {
    DesignModel model;
    scan(model,
         "#define WIDTH 4\n"
         "const int DEPTH = 8;\n"
         "SC_MODULE(m) {\n"                                           // 3
         "  sc_in<bool> clk, rst;\n"                                  // 4
         "  sc_in<sc_uint<8> > data[WIDTH], more[DEPTH], odd[N+1];\n" // 5
         "  sc_port<sc_fifo_out_if<int> > p1, p2;\n"                  // 6
         "  sc_export<sc_signal_inout_if<int> > ex;\n"                // 7
         "  sc_signal<int> s1, s2[3];\n"                              // 8
         "  sc_fifo_in<int> fin;\n"                                   // 9
         "  sub *a, b;\n"                                             // 10
         "  int regs[16];\n"                                          // 11
         "};\n");
    EXPECT_EQ(describe(model, "m"),
              "port in clk @4\nport in rst @4\nport in data @5 [WIDTH]\nport in more @5 [DEPTH]\n"
              "port in odd @5 [N 1]\nport port p1 @6\nport port p2 @6\nport in fin @9\nexport ex @7\n"
              "signal s1 @8\nsignal s2 @8 [3]\nobject * a @10\nobject * b @10\nobject regs @11 [16]\n");
    auto m = model.findModule("m");
    EXPECT_EQ(m->ports[0]->interfaceType, "");
    EXPECT_EQ(m->ports[5]->interfaceType, "<sc_fifo_out_if<int> >");
    EXPECT_EQ(model.arrayLength(*m->ports[2]), 4);
    EXPECT_EQ(model.arrayLength(*m->ports[3]), 8);
    EXPECT_EQ(model.arrayLength(*m->ports[4]), -1);
}

TEST(ScLexerModule, InitialiserListNamesPortsSignalsAndClocks) {
    DesignModel model;
    scan(model,
         "SC_MODULE(m) {\n"
         "  sc_in<bool> a, b{\"B_PORT\"};\n"
         "  sc_signal<int> s;\n"
         "  sc_clock clk, clk2;\n"
         "  sub u;\n"
         "  SC_CTOR(m) : sc_module(name), a(\"A_PORT\"), s(\"S-1\", 5), clk(\"CLK\", 10, SC_NS),\n"
         "               clk2{\"CLK2\", sc_time(5, SC_NS)}, u(sc_gen_unique_name(\"u\")), n_(3) {}\n"
         "  int n_;\n"
         "};\n"
         "SC_MODULE(sub) {};\n");
    model.build();
    EXPECT_EQ(describe(model, "m"),
              "port in a 'A_PORT' @2\nport in b 'B_PORT' @2\nsignal s 'S-1' @3\nclock clk 'CLK' @4\n"
              "clock clk2 'CLK2' @4\nobject u @5\nobject n_ @8\n");
}

TEST(ScLexerModule, ConstructorRegistersProcessesAndInstancesWithTheirContext) {
    DesignModel model;
    scan(model,
         "SC_MODULE(top) {\n"
         "  leaf* cells[4];\n"
         "  leaf* extra;\n"
         "  void a(); void b(); void c(); void d();\n"
         "  SC_CTOR(top) {\n"                                     // 5
         "    for (int i = 0; i < 4; ++i) {\n"                    // 6
         "      std::string n = \"cell_\" + std::to_string(i);\n" // 7
         "      cells[i] = new leaf(n.c_str());\n"                // 8
         "    }\n"
         "    if (debug) SC_METHOD(a);\n"                                   // 10
         "    SC_THREAD(b);\n"                                              // 11
         "    if (x) { SC_METHOD(c); } else { extra = new leaf(\"X\"); }\n" // 12
         "    SC_CTHREAD(d, clk.pos());\n"                                  // 13
         "  }\n"
         "};\n");
    EXPECT_EQ(describe(model, "top"),
              "process a @10 cond\nprocess b @11\nprocess c @12 cond\nprocess d @13\n"
              "instance cells 'n.c_str()' @8 loop\ninstance extra 'X' @12 cond\n"
              "object * cells @2 [4]\nobject * extra @3\nfunction a @4\nfunction b @4\nfunction c @4\n"
              "function d @4\n");
}

TEST(ScLexerTopLevel, MemberImplementationsAndDeferredConstructors) {
    DesignModel model;
    scan(model,
         "void top::run() { wait(); }\n"
         "int top::helper(int x) { return x; }\n"
         "top::~top() { }\n"
         "top::top(sc_module_name n) : sc_module(n), s(\"sig\") {\n"
         "  for (int i = 0; i < 2; ++i) SC_THREAD(run);\n"
         "  l = new leaf(\"l\");\n"
         "}\n");
    ASSERT_EQ(model.memberImpls.size(), 3u);
    EXPECT_EQ(model.memberImpls[0]->name, "run");
    EXPECT_EQ(model.memberImpls[0]->ownerClass, "top");
    EXPECT_EQ(model.memberImpls[2]->name, "~top");
    ASSERT_EQ(model.deferredProcesses.size(), 1u);
    EXPECT_TRUE(model.deferredProcesses[0]->inLoop);
    ASSERT_EQ(model.deferredInstances.size(), 2u);
    EXPECT_EQ(model.deferredInstances[0]->label, "sig");
    EXPECT_EQ(model.deferredInstances[1]->label, "l");
    EXPECT_FALSE(model.deferredInstances[1]->inLoop);
}

TEST(ScLexerMain, CommaDeclarationsWithAndWithoutArguments) {
    DesignModel model;
    scan(model,
         "int sc_main(int argc, char* argv[]) {\n"
         "  sc_signal<sc_int<4> > id0, id1, id2;\n"                           // 2
         "  sc_signal<int> y(\"Y\"), w(\"W\", 3), z;\n"                       // 3
         "  sc_signal<bool> lanes[4], flag;\n"                                // 4
         "  sc_clock c1(\"C1\", 10, SC_NS), c2(\"C2\", sc_time(5, SC_NS));\n" // 5
         "  sc_fifo<int> f(\"F\", 4);\n"                                      // 6
         "  top t1(\"T1\"), t2(\"T2\");\n"                                    // 7
         "  top* p = new top(\"P\");\n"                                       // 8
         "  top* q;\n"                                                        // 9
         "  q = new top;\n"                                                   // 10
         "  cout << \"done\" << endl;\n"
         "  sc_start();\n"
         "  return 0;\n"
         "}\n");
    EXPECT_EQ(
        describe(model, "sc_main"),
        "signal id0 @2\nsignal id1 @2\nsignal id2 @2\nsignal y 'Y' @3\nsignal w 'W' @3\nsignal z @3\n"
        "signal lanes @4 [4]\nsignal flag @4\nclock c1 'C1' @5\nclock c2 'C2' @5\n"
        "instance f 'F' @6\ninstance t1 'T1' @7\ninstance t2 'T2' @7\ninstance p 'P' @8\ninstance q @10\n"
        "object f @6\nobject t1 @7\nobject t2 @7\nobject * p @8\nobject * q @9\n");
    // The builder makes the FIFO a channel with its name.
    model.build();
    EXPECT_EQ(model.root->signals.back()->name, "f");
    EXPECT_EQ(model.root->signals.back()->label, "F");
    EXPECT_EQ(model.root->signals.back()->channel, "sc_fifo");
}

TEST(ScLexerMain, LoopsInMainMarkTheirInstances) {
    DesignModel model;
    scan(model,
         "int sc_main(int, char**) {\n"
         "  node* n[8];\n"
         "  for (int i = 0; i < 8; ++i)\n"
         "    n[i] = new node(sc_gen_unique_name(\"node\"));\n" // 4
         "  node last(\"LAST\");\n"                             // 5
         "  while (more()) { step(); }\n"
         "  return 0;\n"
         "}\n");
    EXPECT_EQ(describe(model, "sc_main"),
              "instance n 'sc_gen_unique_name(\"node\")' @4 loop\ninstance last 'LAST' @5\n"
              "object * n @2 [8]\nobject last @5\n");
}

TEST(ScLexerBodies, ClassMembersConstructorsAndOperators) {
    DesignModel model;
    scan(model,
         "class packet {\n"
         "public:\n"
         "  packet();\n"
         "  ~packet();\n"
         "  int a, b;\n"
         "  char* name;\n"
         "  bool operator==(const packet& o) const { return a == o.a; }\n"
         "  int size() const { return \"}\"[0]; }\n"
         "};\n");
    ASSERT_EQ(model.classes.size(), 1u);
    const ClassRecord& c = *model.classes[0];
    ASSERT_EQ(c.objects.size(), 3u);
    EXPECT_EQ(c.objects[0]->name, "a");
    EXPECT_EQ(c.objects[1]->name, "b");
    EXPECT_EQ(c.objects[1]->type, "int");
    EXPECT_TRUE(c.objects[2]->pointer);
    ASSERT_EQ(c.functions.size(), 4u);
    EXPECT_EQ(c.functions[0]->name, "packet");
    EXPECT_EQ(c.functions[1]->name, "~packet");
    EXPECT_EQ(c.functions[2]->name, "operator==");
    EXPECT_EQ(c.functions[3]->name, "size");
}

// Scans with and without the memory of dead-end scan positions: both must
// give the same model for any input.
static std::string scanWith(const std::string& src, bool memo) {
    DesignModel model;
    sctest::scan(model, src, "t.cpp", [memo](SC_Lexer& lx) { lx.setDeadEndMemo(memo); });
    std::string out;
    for (const auto& m : model.modules) out += m->name + ":\n" + describe(*m);
    return out;
}

TEST(ScLexerRobustness, LongLinesStayLinearAndExact) {
    // "operator" makes every following character try a match to the end of
    // the line; a final "#" line without newline backs up over everything.
    std::string longLine(50000, 'x');
    std::string src = "SC_MODULE(m) {\n bool operator " + longLine + "\n + (int);\n sc_in<bool> a;\n};\n" +
                      std::string(30000, '#');
    EXPECT_EQ(scanWith(src, true), "m:\nport in a @4\nfunction operator+  @3\n");
}

TEST(ScLexerRobustness, RandomInputGivesTheSameModelWithAndWithoutMemo) {
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
                                         "'",
                                         "\\\n",
                                         "R\"(",
                                         ")\"",
                                         "for",
                                         "if",
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
                                         "\"q\"",
                                         "sc_clock",
                                         "sc_signal"};
    std::mt19937 rng(1234);
    for (int round = 0; round < 60; ++round) {
        std::string src;
        int n = 50 + static_cast<int>(rng() % 400);
        for (int i = 0; i < n; ++i) src += pieces[rng() % (sizeof pieces / sizeof *pieces)];
        ASSERT_EQ(scanWith(src, true), scanWith(src, false)) << src;
    }
}

TEST(ScLexerRobustness, ArbitraryBytesAndOverlongNames) {
    std::mt19937 rng(99);
    for (int round = 0; round < 20; ++round) {
        std::string src(5000, '\0');
        for (char& c : src) c = static_cast<char>(rng());
        scanWith(src, true);
    }
    // Names longer than the 250-character buffers are cut, never overflow.
    std::string name(1000, 'n');
    DesignModel model;
    scan(model, "SC_MODULE(m) { " + name + " " + name + "; };\n" + "int sc_main() { sub " + name + "(\"" +
                    name + "\"); }");
    auto m = model.findModule("m");
    ASSERT_EQ(m->objects.size(), 1u);
    EXPECT_EQ(m->objects[0]->name, std::string(249, 'n'));
    auto main = model.findModule("sc_main");
    ASSERT_EQ(main->instances.size(), 1u);
    EXPECT_EQ(main->instances[0]->name, std::string(245, 'n'));
    EXPECT_EQ(main->instances[0]->label.size(), 249u);
}
