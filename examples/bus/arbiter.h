// arbiter.h - round-robin arbitration between two bus masters.
#ifndef ARBITER_H
#define ARBITER_H

#include <systemc.h>

SC_MODULE(arbiter) {
    sc_in<bool> clk;
    sc_in<bool> reset;
    sc_in<bool> req0, req1;
    sc_out<bool> gnt0, gnt1;

    void arbitrate();

    SC_CTOR(arbiter)
        : clk("CLK"), reset("RESET"), req0("REQ0"), req1("REQ1"), gnt0("GNT0"), gnt1("GNT1"), last_(1) {
        SC_METHOD(arbitrate);
        sensitive << clk.pos();
    }

private:
    int last_; // master granted last, for fairness
};

inline void arbiter::arbitrate() {
    if (reset.read()) {
        gnt0.write(false);
        gnt1.write(false);
        last_ = 1;
        return;
    }
    // Keep a grant while its master still requests; otherwise turn.
    bool g0 = false, g1 = false;
    if (req0.read() && (last_ == 1 || !req1.read())) {
        g0 = true;
    } else if (req1.read()) {
        g1 = true;
    }
    if (g0) last_ = 0;
    if (g1) last_ = 1;
    gnt0.write(g0);
    gnt1.write(g1);
}

#endif
