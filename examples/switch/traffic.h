// traffic.h - a packet source for every input and a statistics block on
// its own slow clock.
#ifndef TRAFFIC_H
#define TRAFFIC_H

#include "switch_parts.h"

SC_MODULE(traffic_gen) {
    sc_in<bool> clk;
    sc_out<bool> valid[N_PORTS];
    sc_out<sc_uint<8> > data[N_PORTS];

    void send() {
        unsigned seed = 1;
        for (;;) {
            wait();
            for (int i = 0; i < N_PORTS; ++i) {
                seed = seed * 1103515245u + 12345u;
                valid[i].write((seed >> 16) & 1);
                data[i].write((seed >> 8) & 0xff);
            }
        }
    }

    SC_CTOR(traffic_gen) : clk("CLK") {
        SC_THREAD(send);
        sensitive << clk.pos();
    }
};

SC_MODULE(stats) {
    sc_in<bool> clk;
    sc_in<sc_uint<8> > tx[N_PORTS];

    void count() {
        for (int i = 0; i < N_PORTS; ++i) seen_ += tx[i].read() != 0;
    }
    void report() { printf("%s: %u packets seen\n", name(), seen_); }

    SC_HAS_PROCESS(stats);
    stats(sc_module_name name, bool reporting) : sc_module(name), clk("CLK"), seen_(0) {
        SC_METHOD(count);
        sensitive << clk.pos();
        if (reporting) {
            SC_METHOD(report);
            sensitive << clk.neg();
            dont_initialize();
        } else
            SC_METHOD(quiet);
    }

private:
    void quiet() {}
    unsigned seen_;
};

#endif
