// word_if.h - the interface a producer writes words into and a consumer
// reads them from.
#ifndef WORD_IF_H
#define WORD_IF_H

#include "systemc.h"

class word_if : virtual public sc_interface {
public:
    virtual void put(int word) = 0;
    virtual int get() = 0;
    virtual int used() const = 0;
};

#endif
