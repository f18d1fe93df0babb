// Scan rate of the SystemC scanner on a large generated design: prints
// lines/s and MB/s for the scan of one file into a design model, once for
// declaration-heavy text (a declaration on every line) and once for
// implementation code. Profile with: perf record bench_scparse 16
//   bench_scparse [MEGABYTES]   (default 32)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <string>

#include "scparse/design_model.h"
#include "scparse/sc_lexer.h"

namespace {

std::string module(int i) {
    std::string n = "blk" + std::to_string(i);
    return "// block " + n +
           ": a registered adder with a FIFO port\n"
           "#include <systemc.h>\n"
           "/* generated /* nested */ */\n"
           "SC_MODULE(" +
           n +
           ") {\n"
           "    sc_in<bool> clk, rst;\n"
           "    sc_in<sc_uint<16> > a, b;\n"
           "    sc_out<sc_uint<17> > sum;\n"
           "    sc_port<sc_fifo_out_if<int> > fifo;\n"
           "    sc_signal<bool> valid;\n"
           "    sc_clock tick;\n"
           "    sc_uint<17> acc[4];\n"
           "    sub *child;\n"
           "    void add();\n"
           "    int helper(int x) { if (x > 0) { return x * 2; } return -x; }\n"
           "    SC_CTOR(" +
           n +
           ") : clk(\"CLK\"), rst(\"RST\"), a(\"A\"), b(\"B\"), sum(\"SUM\"),\n"
           "        valid(\"valid\"), tick(\"TICK\", 10, SC_NS) {\n"
           "        SC_METHOD(add);\n"
           "        sensitive << clk.pos() << rst;\n"
           "        child = new sub(\"child\");\n"
           "        printf(\"/* " +
           n +
           " */ ready\\n\");\n"
           "    }\n"
           "};\n"
           "void " +
           n +
           "::add() {\n"
           "    if (rst.read()) { sum.write(0); return; }\n"
           "    sum.write(a.read() + b.read()); // add the inputs\n"
           "}\n\n";
}

// Implementation code: few declarations, long bodies and comments, as most
// lines of a real design are.
std::string bodies(int i) {
    std::string n = "alu" + std::to_string(i);
    std::string text = "/*\n * " + n +
                       ": arithmetic unit, behavioural model.\n */\n"
                       "void " +
                       n + "::step() {\n";
    for (int k = 0; k < 12; ++k)
        text += "    // stage " + std::to_string(k) +
                "\n"
                "    if (op.read() == " +
                std::to_string(k) +
                ") {\n"
                "        sc_uint<32> lhs = a.read(), rhs = b.read();\n"
                "        result.write((lhs + rhs * " +
                std::to_string(k + 1) +
                ") & 0xffffffffu);\n"
                "        cout << \"stage " +
                std::to_string(k) +
                " at \" << sc_time_stamp() << endl;\n"
                "    }\n";
    return text + "}\n\n";
}

} // namespace

static int measure(const char* what, std::string (*generate)(int), size_t target);

int main(int argc, char** argv) {
    const double megabytes = argc > 1 ? std::atof(argv[1]) : 32.0;
    const size_t target = static_cast<size_t>(megabytes * 1024 * 1024);
    int rc = measure("declarations (a record on every line)", module, target);
    return rc ? rc : measure("implementation code (bodies and comments)", bodies, target);
}

static int measure(const char* what, std::string (*generate)(int), size_t target) {
    std::string text;
    text.reserve(target + 4096);
    for (int i = 0; text.size() < target; ++i) text += generate(i);
    text +=
        "int sc_main(int argc, char* argv[]) {\n    blk0 top(\"top\");\n    sc_start();\n    return 0;\n}\n";
    size_t lines = 0;
    for (char c : text) lines += c == '\n';

    const std::string dir = "/tmp/korl_bench_scparse_" + std::to_string(::getpid());
    const std::string src = dir + ".cpp";
    FILE* out = std::fopen(src.c_str(), "wb");
    if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
        std::fprintf(stderr, "bench_scparse: cannot write %s\n", src.c_str());
        return 1;
    }
    std::fclose(out);

    // The machine is shared: CPU time gives the scanner's own rate, wall
    // time what a user would wait.
    double best = 1e30, bestWall = 1e30;
    size_t modules = 0;
    for (int run = 0; run < 3; ++run) {
        DesignModel model;
        auto start = std::chrono::steady_clock::now();
        std::clock_t cpuStart = std::clock();
        {
            SC_Lexer lexer(model);
            FILE* in = std::fopen(src.c_str(), "r");
            lexer.yyin = in;
            lexer.yycreate();
            // Elaboration names project files relative to the project directory.
            lexer.setFileName("design.cpp");
            lexer.yylex();
            std::fclose(in);
        }
        double s = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (s < best) best = s;
        if (wall < bestWall) bestWall = wall;
        modules = model.modules.size();
    }
    std::remove(src.c_str());
    const double mb = static_cast<double>(text.size()) / (1024.0 * 1024.0);
    std::printf("%s:\n  scanned %.1f MB, %zu lines, %zu modules in %.3f s CPU, %.3f s wall (best of 3)\n",
                what, mb, lines, modules, best, bestWall);
    std::printf("  %.0f lines/s, %.1f MB/s\n", static_cast<double>(lines) / best, mb / best);
    return 0;
}
