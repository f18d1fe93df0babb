// word_fifo.h - a small blocking FIFO channel of words.
#ifndef WORD_FIFO_H
#define WORD_FIFO_H

#include "systemc.h"
#include "word_if.h"

class word_fifo : public sc_channel, public word_if {
public:
    explicit word_fifo(sc_module_name name) : sc_channel(name), first(0), count(0) {}

    void put(int word) override;
    int get() override;
    int used() const override { return count; }

private:
    enum { depth = 4 };
    int data[depth];
    int first;
    int count;
    sc_event written;
    sc_event read;
};

#endif
