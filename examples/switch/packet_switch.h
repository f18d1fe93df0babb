// packet_switch.h - crossbar plus one output queue per port; the queues
// are made in a loop and named at run time.
#ifndef PACKET_SWITCH_H
#define PACKET_SWITCH_H

#include <cstdio>

#include "switch_parts.h"

SC_MODULE(packet_switch) {
    sc_in<bool> core_clk, line_clk;
    sc_in<bool> rx_valid[N_PORTS];
    sc_in<sc_uint<8> > rx_data[N_PORTS];
    sc_out<sc_uint<8> > tx_data[N_PORTS];

    sc_signal<bool> xb_valid[N_PORTS];
    sc_signal<sc_uint<8> > xb_data[N_PORTS];

    crossbar xbar;
    output_queue* queues[N_PORTS];

    SC_CTOR(packet_switch) : core_clk("CORE_CLK"), line_clk("LINE_CLK"), xbar("XBAR") {
        xbar.clk(core_clk);
        for (int i = 0; i < N_PORTS; ++i) {
            xbar.in_valid[i](rx_valid[i]);
            xbar.in_data[i](rx_data[i]);
            xbar.out_valid[i](xb_valid[i]);
            xbar.out_data[i](xb_data[i]);

            char name[16];
            std::snprintf(name, sizeof name, "queue%d", i);
            queues[i] = new output_queue(name);
            queues[i]->core_clk(core_clk);
            queues[i]->line_clk(line_clk);
            queues[i]->valid(xb_valid[i]);
            queues[i]->data(xb_data[i]);
            queues[i]->line(tx_data[i]);
        }
    }
};

#endif
