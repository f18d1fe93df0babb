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
// cells.cpp - the row's constructor: cells made in a loop, a process only
// when asked for, a spare cell under a condition.
#include "cells.h"

row::row(sc_module_name name, bool checked)
    : sc_module(name), clk("clk"), first("first"), last("last"), pulse("pulse"), spare(nullptr) {
    for (int i = 0; i < CELL_COUNT; ++i) {
        std::string n = "cell_" + std::to_string(i);
        cells[i] = new cell(n.c_str());
        cells[i]->clk(clk);
    }
    cells[0]->in(first);
    for (int i = 0; i + 1 < CELL_COUNT; ++i) {
        cells[i]->out(links[i]);
        cells[i + 1]->in(links[i]);
    }
    cells[CELL_COUNT - 1]->out(last);
    SC_METHOD(tick);
    sensitive << clk.pos();
    if (checked) {
        SC_METHOD(check);
        sensitive << last;
    } else {
        LOG("/* unchecked row */");
    }
    if (!checked) spare = new cell("spare");
    if (spare) {
        spare->clk(clk);
        spare->in(first);
        spare->out(spare_out);
    }
}

void row::tick() { pulse.write(!pulse.read()); }

void row::check() {
    if (last.read() < 0) LOG("negative // value");
}
// main.cpp - two rows, FIFOs and resolved lines declared in sc_main.
#include <systemc.h>

#include "cells.h"

int sc_main(int argc, char* argv[]) {
    std::printf("/* starting */\n");
    std::printf("//\n");
    sc_clock fast("fast", 2, SC_NS), slow("slow", sc_time(8, SC_NS));
    sc_signal<int> a("A"), b, c("C", 0);
    sc_signal<int> spare[2];
    sc_fifo<int> jobs("JOBS", 4), done(2);
    sc_signal_resolved bus_line("BUS_LINE");
    sc_buffer<int> kick("KICK");
    const char* raw = R"x(" sc_signal<int> ghost; ")x";
    (void)raw;

    row r1("R1", true), r2("R2", false);
    r1.clk(fast);
    r2.clk(slow);
    r1.first(a);
    r1.last(b);
    r2.first(b);
    r2.last(c);

    sc_start(100, SC_NS);
    return 0;
}
