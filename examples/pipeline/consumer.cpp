// consumer.cpp - the consumer's processes.
#include "consumer.h"

void consumer::take() {
    int total = 0;
    for (;;) {
        wait();
        total += in->get();
        sum.write(total);
    }
}

void consumer::watch() {
    cout << sc_time_stamp() << " sum " << sum.read() << endl;
}
