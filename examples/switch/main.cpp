// main.cpp - four traffic sources into the switch; three clocks: the core,
// the line side and the statistics.
#include <systemc.h>

#include "packet_switch.h"
#include "traffic.h"

int sc_main(int argc, char* argv[]) {
    sc_clock core_clk("CORE_CLK", 4, SC_NS), line_clk("LINE_CLK", 10, SC_NS);
    sc_clock stats_clk("STATS_CLK", sc_time(1, SC_US));

    sc_signal<bool> rx_valid[N_PORTS];
    sc_signal<sc_uint<8> > rx_data[N_PORTS], tx_data[N_PORTS];
    // Spare lines the testbench leaves unused.
    sc_signal<sc_int<4> > id0, id1, id2, id3;
    sc_signal<int> y("Y"), w("W");

    traffic_gen gen("GEN");
    packet_switch sw("SWITCH");
    stats st("STATS", argc > 1);
    gen.clk(core_clk);
    sw.core_clk(core_clk);
    sw.line_clk(line_clk);
    st.clk(stats_clk);
    for (int i = 0; i < N_PORTS; ++i) {
        gen.valid[i](rx_valid[i]);
        gen.data[i](rx_data[i]);
        sw.rx_valid[i](rx_valid[i]);
        sw.rx_data[i](rx_data[i]);
        sw.tx_data[i](tx_data[i]);
        st.tx[i](tx_data[i]);
    }

    sc_trace_file* trace = sc_create_vcd_trace_file("switch");
    sc_trace(trace, core_clk, "core_clk");
    sc_trace(trace, tx_data[0], "tx0");

    sc_start(5, SC_US);
    sc_close_vcd_trace_file(trace);
    return 0;
}
