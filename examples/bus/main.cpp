// main.cpp - the bus system with a fast bus clock and a slow housekeeping
// clock; records the grants in bus.vcd.
#include <systemc.h>

#include "bus_system.h"

int sc_main(int argc, char* argv[]) {
    sc_clock clk("CLK", 10, SC_NS, 0.5), slow_clk("SLOW_CLK", sc_time(80, SC_NS));
    sc_signal<bool> reset("RESET");

    bus_system bus("BUS");
    bus.clk(clk);
    bus.slow_clk(slow_clk);
    bus.reset(reset);

    sc_trace_file* trace = sc_create_vcd_trace_file("bus");
    sc_trace(trace, clk, "clk");
    sc_trace(trace, bus.gnt0, "gnt0");
    sc_trace(trace, bus.gnt1, "gnt1");

    reset.write(true);
    sc_start(25, SC_NS);
    reset.write(false);
    sc_start(2, SC_US);

    sc_close_vcd_trace_file(trace);
    return 0;
}
