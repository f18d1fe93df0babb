// switch_parts.h - the crossbar and the output queues of a four-port
// packet switch. A packet is one byte: its two top bits name the output.
#ifndef SWITCH_PARTS_H
#define SWITCH_PARTS_H

#include <systemc.h>

#define N_PORTS 4

SC_MODULE(crossbar) {
    sc_in<bool> clk;
    sc_in<bool> in_valid[N_PORTS];
    sc_in<sc_uint<8> > in_data[N_PORTS];
    sc_out<bool> out_valid[N_PORTS];
    sc_out<sc_uint<8> > out_data[N_PORTS];

    void route() {
        bool busy[N_PORTS] = {};
        for (int i = 0; i < N_PORTS; ++i) {
            out_valid[i].write(false);
        }
        for (int i = 0; i < N_PORTS; ++i) {
            if (!in_valid[i].read()) continue;
            const unsigned to = in_data[i].read().range(7, 6);
            if (busy[to]) continue; // lost: a real switch would hold it
            busy[to] = true;
            out_valid[to].write(true);
            out_data[to].write(in_data[i].read());
        }
    }

    SC_CTOR(crossbar) : clk("CLK") {
        SC_METHOD(route);
        sensitive << clk.pos();
    }
};

SC_MODULE(output_queue) {
    sc_in<bool> core_clk, line_clk;
    sc_in<bool> valid;
    sc_in<sc_uint<8> > data;
    sc_out<sc_uint<8> > line;

    sc_fifo<sc_uint<8> > queue;

    void accept() {
        if (valid.read() && queue.num_free() > 0) queue.nb_write(data.read());
    }
    void drain() {
        for (;;) {
            wait();
            sc_uint<8> packet;
            if (queue.nb_read(packet)) line.write(packet);
        }
    }

    SC_CTOR(output_queue)
        : core_clk("CORE_CLK"), line_clk("LINE_CLK"), valid("VALID"), data("DATA"), line("LINE"), queue("QUEUE", 8) {
        SC_METHOD(accept);
        sensitive << core_clk.pos();
        SC_THREAD(drain);
        sensitive << line_clk.pos();
    }
};

#endif
