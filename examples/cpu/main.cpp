// main.cpp - runs the processor for a few hundred cycles and records the
// program counter in cpu.vcd.
#include <systemc.h>

#include "cpu_top.h"

int sc_main(int argc, char* argv[]) {
    sc_clock clk("CLK", 10, SC_NS);
    sc_signal<bool> reset("RESET");
    sc_signal<cpu_word> pc("PC");

    printf("/////////\n");
    cpu_top cpu("CPU", argc > 1);
    cpu.clk(clk);
    cpu.reset(reset);
    cpu.pc_probe(pc);

    sc_trace_file* trace = sc_create_vcd_trace_file("cpu");
    sc_trace(trace, clk, "clk");
    sc_trace(trace, pc, "pc");

    reset.write(true);
    sc_start(20, SC_NS);
    reset.write(false);
    sc_start(2, SC_US);

    sc_close_vcd_trace_file(trace);
    return 0;
}
