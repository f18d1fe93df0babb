// testbench.h - drives the counter and checks what it counts.
#ifndef TESTBENCH_H
#define TESTBENCH_H

#include "systemc.h"

SC_MODULE(testbench) {
    sc_in<bool>        clk;
    sc_out<bool>       reset;
    sc_out<bool>       enable;
    sc_in<sc_uint<4> > count;
    sc_in<bool>        carry;

    void stimulus();

    SC_CTOR(testbench) {
        SC_THREAD(stimulus);
        sensitive << clk.pos();
    }
};

#endif
