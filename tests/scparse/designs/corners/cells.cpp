// cells.cpp - the row's constructor: cells made in a loop, a process only
// when asked for, a spare cell under a condition.
#include "cells.h"

row::row(sc_module_name name, bool checked)
    : sc_module(name), clk("clk"), first("first"), last("last"), pulse("pulse"), spare(nullptr) {
    for (int i = 0; i < CELL_COUNT; ++i) {
        std::string n = "cell_" + std::to_string(i);
        cells[i] = new cell(n.c_str());
        cells[i]->clk(clk);
    }
    cells[0]->in(first);
    for (int i = 0; i + 1 < CELL_COUNT; ++i) {
        cells[i]->out(links[i]);
        cells[i + 1]->in(links[i]);
    }
    cells[CELL_COUNT - 1]->out(last);
    SC_METHOD(tick);
    sensitive << clk.pos();
    if (checked) {
        SC_METHOD(check);
        sensitive << last;
    } else {
        LOG("/* unchecked row */");
    }
    if (!checked) spare = new cell("spare");
    if (spare) {
        spare->clk(clk);
        spare->in(first);
        spare->out(spare_out);
    }
}

void row::tick() { pulse.write(!pulse.read()); }

void row::check() {
    if (last.read() < 0) LOG("negative // value");
}
