// main.cpp - connects the counter to its testbench and records the
// waveforms in counter.vcd.
#include "systemc.h"
#include "counter.h"
#include "testbench.h"

int sc_main(int argc, char* argv[]) {
    sc_clock            clk("clk", 10, SC_NS);
    sc_signal<bool>     reset, enable, carry;
    sc_signal<sc_uint<4> > count;

    counter dut("dut");
    dut.clk(clk);
    dut.reset(reset);
    dut.enable(enable);
    dut.count(count);
    dut.carry(carry);

    testbench tb("tb");
    tb.clk(clk);
    tb.reset(reset);
    tb.enable(enable);
    tb.count(count);
    tb.carry(carry);

    sc_trace_file* trace = sc_create_vcd_trace_file("counter");
    trace->set_time_unit(1, SC_NS);
    sc_trace(trace, clk, "clk");
    sc_trace(trace, reset, "reset");
    sc_trace(trace, enable, "enable");
    sc_trace(trace, count, "count");
    sc_trace(trace, carry, "carry");

    sc_start();  // runs until the testbench calls sc_stop()

    sc_close_vcd_trace_file(trace);
    return 0;
}
