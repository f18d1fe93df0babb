// counter.cpp - the clocked process of the counter.
#include "counter.h"

void counter::tick() {
    bool wraps = false;
    if (reset.read()) {
        value = 0;
    } else if (enable.read()) {
        wraps = (value == 15);
        value = value + 1;  // a 4-bit value rolls over to 0 by itself
    }
    count.write(value);
    carry.write(wraps);
}
