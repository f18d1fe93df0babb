// cells.h - constructs that trip a scanner: literals holding comment
// markers and braces, continued lines, comma declarations, a constructor
// written in a source file, loops and conditions.
#ifndef CELLS_H
#define CELLS_H

#include <systemc.h>

#include <string>

#define CELL_COUNT 3
#define LOG(text)                  \
    do {                           \
        std::printf("%s\n", text); \
    } while (0)

struct stats_t {
    int hits, misses;
    const char* label = "{ /* not a comment */";
};

SC_MODULE(cell) {
    sc_in<bool> clk;
    sc_in<int> in;
    sc_out<int> out;
    sc_export<sc_signal_inout_if<int> > tap;
    sc_signal<int> state;

    void step() {
        const char* a = "a \" // still a string";
        const char b = '\'', c = '"', d = '{';
        const char* e = R"raw(/* ) " })raw";
        (void)a, (void)b, (void)c, (void)d, (void)e;
        state.write(in.read() + 1);
        out.write(state.read());
    }

    SC_CTOR(cell) : clk("clk"), in("in"), out("out"), tap("tap"), state("state") {
        tap(state);
        SC_METHOD(step);
        sensitive << clk.pos();
    }
};

// A row of cells made in a constructor written in cells.cpp.
SC_MODULE(row) {
    sc_in<bool> clk;
    sc_in<int> first;
    sc_out<int> last;
    sc_signal<int> links[CELL_COUNT - 1];
    sc_buffer<bool> pulse;
    sc_signal<int> spare_out;
    cell* cells[CELL_COUNT];
    cell* spare;

    void tick();
    void check();

    SC_HAS_PROCESS(row);
    row(sc_module_name name, bool checked);
};

#endif
