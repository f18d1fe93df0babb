// counter.h - a 4-bit synchronous up-counter with enable and carry.
//
// On every rising clock edge: reset clears the count, otherwise enable
// advances it by one. carry is high for the cycle in which the count wraps
// from 15 back to 0, so counters can be chained.
#ifndef COUNTER_H
#define COUNTER_H

#include "systemc.h"

SC_MODULE(counter) {
    sc_in<bool>         clk;
    sc_in<bool>         reset;   // synchronous, active high
    sc_in<bool>         enable;
    sc_out<sc_uint<4> > count;
    sc_out<bool>        carry;

    void tick();

    SC_CTOR(counter) : value(0) {
        SC_METHOD(tick);
        sensitive << clk.pos();
        dont_initialize();
    }

private:
    sc_uint<4> value;  // the register behind the count output
};

#endif
