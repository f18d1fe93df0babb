// main.cpp - two rows, FIFOs and resolved lines declared in sc_main.
#include <systemc.h>

#include "cells.h"

int sc_main(int argc, char* argv[]) {
    std::printf("/* starting */\n");
    std::printf("//\n");
    sc_clock fast("fast", 2, SC_NS), slow("slow", sc_time(8, SC_NS));
    sc_signal<int> a("A"), b, c("C", 0);
    sc_signal<int> spare[2];
    sc_fifo<int> jobs("JOBS", 4), done(2);
    sc_signal_resolved bus_line("BUS_LINE");
    sc_buffer<int> kick("KICK");
    const char* raw = R"x(" sc_signal<int> ghost; ")x";
    (void)raw;

    row r1("R1", true), r2("R2", false);
    r1.clk(fast);
    r2.clk(slow);
    r1.first(a);
    r1.last(b);
    r2.first(b);
    r2.last(c);

    sc_start(100, SC_NS);
    return 0;
}
