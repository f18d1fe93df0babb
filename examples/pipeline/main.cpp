// main.cpp - runs the pipeline for a fixed time and records the clock and
// the running sum in pipeline.vcd.
#include "systemc.h"
#include "top.h"

int sc_main(int argc, char* argv[]) {
    sc_clock clk("clk", 10, SC_NS);
    sc_signal<int> sum;

    top design("design");
    design.clk(clk);

    sc_trace_file* trace = sc_create_vcd_trace_file("pipeline");
    sc_trace(trace, clk, "clk");
    sc_trace(trace, design.cons.sum, "sum");

    sc_start(200, SC_NS);

    sc_close_vcd_trace_file(trace);
    return 0;
}
