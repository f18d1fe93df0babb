// word_fifo.cpp - blocking put and get of the FIFO channel.
#include "word_fifo.h"

void word_fifo::put(int word) {
    while (count == depth) wait(read);
    data[(first + count) % depth] = word;
    ++count;
    written.notify(SC_ZERO_TIME);
}

int word_fifo::get() {
    while (count == 0) wait(written);
    const int word = data[first];
    first = (first + 1) % depth;
    --count;
    read.notify(SC_ZERO_TIME);
    return word;
}
