// testbench.cpp - reset, count through one wrap-around, pause, count on.
#include "testbench.h"

void testbench::stimulus() {
    reset.write(true);
    enable.write(false);
    wait(2);  // two clock edges in reset

    reset.write(false);
    enable.write(true);
    int carries = 0;
    for (int cycle = 0; cycle < 20; ++cycle) {
        wait();
        if (carry.read()) ++carries;
    }

    enable.write(false);  // hold the count for a few cycles
    wait(3);
    enable.write(true);
    wait(2);

    // The count read here is the one of the previous edge; counter.vcd shows
    // every step.
    cout << "counter: count is " << count.read() << " after " << carries << " carry pulse(s) at "
         << sc_time_stamp() << endl;
    sc_stop();
}
