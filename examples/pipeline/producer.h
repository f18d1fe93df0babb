// producer.h - writes a run of words into the FIFO, one per clock, and
// shows how far it got on two level outputs.
#ifndef PRODUCER_H
#define PRODUCER_H

#include "systemc.h"
#include "word_if.h"

SC_MODULE(producer) {
    sc_in<bool>    clk;
    sc_port<word_if> out;
    sc_out<int>    level[2];   // words written, words still to write

    void run();

    SC_HAS_PROCESS(producer);
    producer(sc_module_name name, int words);

private:
    int total;
};

#endif
