// consumer.h - reads words from the FIFO and exports their running sum.
#ifndef CONSUMER_H
#define CONSUMER_H

#include "systemc.h"
#include "word_if.h"

SC_MODULE(consumer) {
    sc_in<bool>      clk;
    sc_port<word_if> in;
    sc_export<sc_signal_in_if<int> > sum_out;

    sc_signal<int> sum;

    void take();
    void watch();

    SC_CTOR(consumer) : sum("sum") {
        sum_out(sum);
        SC_THREAD(take);
        sensitive << clk.pos();
        SC_METHOD(watch);
        sensitive << sum;
        dont_initialize();
    }
};

#endif
