// producer.cpp - the constructor registers the thread outside the class.
#include "producer.h"

producer::producer(sc_module_name name, int words) : sc_module(name), total(words) {
    SC_THREAD(run);
    sensitive << clk.pos();
}

void producer::run() {
    for (int i = 0; i < total; ++i) {
        wait();
        out->put(i * 3);
        level[0].write(i + 1);
        level[1].write(total - i - 1);
    }
}
