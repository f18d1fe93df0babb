// top.h - a producer and a consumer joined by the FIFO channel.
#ifndef TOP_H
#define TOP_H

#include "systemc.h"
#include "producer.h"
#include "consumer.h"
#include "word_fifo.h"

SC_MODULE(top) {
    sc_in<bool> clk;

    sc_signal<int> written;
    sc_signal<int> remaining;

    producer  prod;
    consumer  cons;
    word_fifo fifo;

    SC_CTOR(top) : prod("prod", 8), cons("cons"), fifo("fifo") {
        prod.clk(clk);
        prod.out(fifo);
        prod.level[0](written);
        prod.level[1](remaining);
        cons.clk(clk);
        cons.in(fifo);
    }
};

#endif
