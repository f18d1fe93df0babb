// korlc elaborate end to end: a multi-file design written the way SystemC
// designers write them, built with the real make, g++ and SystemC, then
// scanned into both browser trees with their jump locations.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string runKorlc(const std::string& args, int* status) {
    std::string cmd = std::string(KORLC_PATH) + " " + args + " 2>&1";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string after(const std::string& text, const std::string& marker) {
    size_t at = text.find(marker);
    return at == std::string::npos ? std::string() : text.substr(at);
}

class KorlcElaborate : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = ::testing::TempDir() + "korl_elab_" + std::to_string(::getpid()) + "/";
        ::mkdir(dir_.c_str(), 0755);
        ::mkdir((dir_ + "lib").c_str(), 0755);
        writeFile(dir_ + "design.k1",
                  "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=2\nNoOfHFiles=3\n"
                  "[Cpps]\nItem0=main.cpp\nItem1=top.cpp\n"
                  "[Hs]\nItem0=top.h\nItem1=leaf.h\nItem2=lib/pipe.h\n"
                  "[Extra]\nVCDFilename=design\nExtraPrp=\nExtraInc=\nExtraLib=\nExtraLibPath=\n");
        writeFile(dir_ + "leaf.h",
                  "#ifndef LEAF_H\n"
                  "#define LEAF_H\n"
                  "#include <systemc.h>\n"
                  "/* a counting leaf */ // with /* in a line comment\n"
                  "namespace blocks {\n"
                  "SC_MODULE(leaf) {\n"                                // 6
                  "    sc_in<bool> clk;\n"                             // 7
                  "    sc_out<int> q, carry;\n"                        // 8
                  "    sc_out<int> taps[2];\n"                         // 9
                  "    void count();\n"                                // 10
                  "    SC_CTOR(leaf) : q(\"q\"), carry(\"carry\") {\n" // 11
                  "        SC_METHOD(count);\n"                        // 12
                  "        sensitive << clk.pos();\n"
                  "        n = 0;\n"
                  "    }\n"
                  "    int n;\n" // 16
                  "};\n"
                  "inline void leaf::count() {\n" // 18
                  "    q.write(++n); carry.write(n > 9);\n"
                  "    taps[0].write(n); taps[1].write(-n);\n"
                  "}\n"
                  "}  // namespace blocks\n"
                  "#endif\n");
        writeFile(dir_ + "lib/pipe.h",
                  "#ifndef PIPE_H\n"
                  "#define PIPE_H\n"
                  "#include <systemc.h>\n"
                  "template <class T>\n"
                  "class pipe : public sc_module {\n" // 5
                  "public:\n"
                  "    sc_export<sc_fifo_in_if<T> > out;\n" // 7
                  "    sc_fifo<T> f;\n"
                  "    SC_CTOR(pipe) : out(\"out\"), f(\"f\", 4) { out(f); }\n"
                  "};\n"
                  "#endif\n");
        writeFile(dir_ + "top.h",
                  "#ifndef TOP_H\n"
                  "#define TOP_H\n"
                  "#include \"leaf.h\"\n"
                  "#include \"lib/pipe.h\"\n"
                  "using namespace blocks;\n"
                  "struct stats {\n"    // 6
                  "    int ticks;\n"    // 7
                  "    void reset();\n" // 8
                  "};\n"
                  "class top : public sc_module {\n" // 10
                  "public:\n"
                  "    sc_in<bool> clk;\n"       // 12
                  "    sc_signal<int> s, c;\n"   // 13
                  "    sc_signal<int> tap[2];\n" // 14
                  "    leaf l1;\n"               // 15
                  "    pipe<int> p;\n"           // 16
                  "    stats st;\n"              // 17
                  "    void run();\n"            // 18
                  "    SC_HAS_PROCESS(top);\n"
                  "    top(sc_module_name n);\n"
                  "};\n"
                  "#endif\n");
        writeFile(
            dir_ + "top.cpp",
            "#include \"top.h\"\n"
            "void stats::reset() { ticks = 0; }\n"
            "top::top(sc_module_name n) : sc_module(n), s(\"s\"), c(\"c\"), l1(\"l1\"), p(\"p\") {\n" // 3
            "    l1.clk(clk);\n"
            "    l1.q(s);\n"
            "    l1.carry(c);\n"
            "    l1.taps[0](tap[0]);\n"
            "    l1.taps[1](tap[1]);\n"
            "    SC_THREAD(run);\n" // 9
            "}\n"
            "void top::run() {\n" // 11
            "    for (;;) { wait(10, SC_NS); }\n"
            "}\n");
        writeFile(dir_ + "main.cpp",
                  "#include \"top.h\"\n"
                  "int sc_main(int argc, char* argv[]) {\n" // 2
                  "    sc_clock clk(\"clk\", 10, SC_NS);\n" // 3
                  "    top t(\"t\");\n"                     // 4
                  "    t.clk(clk);\n"
                  "    sc_start(100, SC_NS);\n"
                  "    return 0;\n"
                  "}\n");
    }
    void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
    std::string dir_;
};

const char* kTrees =
    "Design Browser\n"
    "  sc_main  [sc_main]  main.cpp:2\n"
    "    clk  [clock]  main.cpp:3\n"
    "    t  [module]  top.h:10  impl=top.h:10  site=main.cpp:4\n"
    "      clk  [in port]  top.h:12\n"
    "      s  [signal]  top.h:13\n"
    "      c  [signal]  top.h:13\n"
    "      tap[2]  [signal]  top.h:14\n"
    "        tap[0]  [signal]  top.h:14\n"
    "        tap[1]  [signal]  top.h:14\n"
    "      run  [process]  top.h:18  impl=top.cpp:11\n"
    "      l1  [module]  leaf.h:6  impl=leaf.h:6  site=top.cpp:3\n"
    "        clk  [in port]  leaf.h:7\n"
    "        q  [out port]  leaf.h:8\n"
    "        carry  [out port]  leaf.h:8\n"
    "        taps[2]  [out port]  leaf.h:9\n"
    "          taps[0]  [out port]  leaf.h:9\n"
    "          taps[1]  [out port]  leaf.h:9\n"
    "        count  [process]  leaf.h:10  impl=leaf.h:18\n"
    "      p  [module]  lib/pipe.h:5  impl=lib/pipe.h:5  site=top.cpp:3\n"
    "        out  [export]  lib/pipe.h:7\n"
    "        f  [signal]  lib/pipe.h:8\n"
    "Source Browser\n"
    "  sc_main  [sc_main]  main.cpp:2\n"
    "    clk  [clock]  main.cpp:3\n"
    "    t  [instance]  main.cpp:4  impl=top.h:10  site=main.cpp:4\n"
    "  top  [module]  top.h:10\n"
    "    clk  [in port]  top.h:12\n"
    "    s  [signal]  top.h:13\n"
    "    c  [signal]  top.h:13\n"
    "    tap  [signal]  top.h:14\n"
    "    run  [process]  top.h:18  impl=top.cpp:11  site=top.cpp:9\n"
    "    l1  [instance]  top.h:15  impl=leaf.h:6  site=top.cpp:3\n"
    "    p  [instance]  top.h:16  impl=lib/pipe.h:5  site=top.cpp:3\n"
    "    st  [object]  top.h:17\n"
    "  leaf  [module]  leaf.h:6\n"
    "    clk  [in port]  leaf.h:7\n"
    "    q  [out port]  leaf.h:8\n"
    "    carry  [out port]  leaf.h:8\n"
    "    taps  [out port]  leaf.h:9\n"
    "    count  [process]  leaf.h:10  impl=leaf.h:18  site=leaf.h:12\n"
    "    n  [object]  leaf.h:16\n"
    "  pipe  [module]  lib/pipe.h:5\n"
    "    out  [export]  lib/pipe.h:7\n"
    "    f  [signal]  lib/pipe.h:8\n"
    "  stats  [class]  top.h:6\n"
    "    reset  [function]  top.h:8\n"
    "    ticks  [object]  top.h:7\n";

} // namespace

TEST_F(KorlcElaborate, BuildsThenPrintsBothTreesWithTheirJumps) {
    int status = -1;
    std::string out = runKorlc("elaborate '" + dir_ + "design.k1' --jumps", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("design - 0 error(s)"), std::string::npos) << out;
    EXPECT_EQ(after(out, "Design Browser\n"), kTrees);
    EXPECT_TRUE(exists(dir_ + "design"));
    EXPECT_FALSE(exists(dir_ + "output.out"));
    EXPECT_FALSE(exists(dir_ + "makefile"));
}

TEST_F(KorlcElaborate, WithoutBuildReportsEachFileAndStopsAtAMissingOne) {
    int status = -1;
    std::string out = runKorlc("elaborate '" + dir_ + "design.k1' --no-build --report --jumps", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("error(s)"), std::string::npos);
    // Included headers first, once each, in order of first appearance.
    size_t top = out.find("== report of top.h ==\n"), leaf = out.find("== report of leaf.h ==\n"),
           pipe = out.find("== report of lib/pipe.h ==\n"), main = out.find("== report of main.cpp ==\n"),
           impl = out.find("== report of top.cpp ==\n");
    ASSERT_NE(main, std::string::npos) << out;
    EXPECT_LT(top, leaf);
    EXPECT_LT(leaf, pipe);
    EXPECT_LT(pipe, main);
    EXPECT_LT(main, impl);
    EXPECT_LT(leaf + 24, out.find("\n==", leaf + 24)) << "an empty report for leaf.h:\n" << out;
    EXPECT_EQ(after(out, "Design Browser\n"), kTrees);
    EXPECT_FALSE(exists(dir_ + "output.out"));

    // A source that is gone from the disk stops elaboration with the
    // console message; nothing is printed.
    std::string k1;
    {
        std::ifstream in(dir_ + "design.k1");
        k1.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    k1.replace(k1.find("NoOfCppFiles=2"), 14, "NoOfCppFiles=3");
    k1.replace(k1.find("[Hs]"), 4, "Item2=gone.cpp\n[Hs]");
    writeFile(dir_ + "design.k1", k1);
    out = runKorlc("elaborate '" + dir_ + "design.k1' --no-build", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("Error in Elaboration\nPlease contact vendor\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("Design Browser"), std::string::npos);
    EXPECT_NE(out.find("cannot open gone.cpp"), std::string::npos);
    EXPECT_FALSE(exists(dir_ + "output.out"));
}

TEST_F(KorlcElaborate, BuildErrorsStopBeforeElaboration) {
    writeFile(dir_ + "main.cpp", "int sc_main(int argc, char* argv[]) { return undeclared; }\n");
    writeFile(dir_ + "top.cpp", "int unused;\n");
    int status = -1;
    std::string out = runKorlc("elaborate '" + dir_ + "design.k1'", &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("1 error(s)"), std::string::npos) << out;
    EXPECT_EQ(out.find("Design Browser"), std::string::npos);
}

TEST(KorlcElaborateCli, HelpAndUsage) {
    int status = -1;
    std::string out = runKorlc("elaborate --help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("usage: korlc elaborate PROJECT.k1"), std::string::npos);
    out = runKorlc("elaborate", &status);
    EXPECT_EQ(status, 2);
    out = runKorlc("elaborate /nonexistent/x.k1 --no-build", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("cannot open project file"), std::string::npos);
}
