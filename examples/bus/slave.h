// slave.h - a memory slave answering on the shared bus when the address
// falls in its window.
#ifndef SLAVE_H
#define SLAVE_H

#include <systemc.h>

#define SLAVE_WORDS 64

SC_MODULE(memory_slave) {
    sc_in<bool> clk;
    sc_in<sc_uint<16> > addr;
    sc_in<sc_uint<32> > wdata;
    sc_in<bool> write;
    sc_out<sc_uint<32> > rdata;
    sc_out<bool> selected;

    sc_signal<bool> hit;

    void decode();
    void access();
    const char* banner() const { return R"txt(memory /* slave */ // window)txt"; }

    SC_HAS_PROCESS(memory_slave);
    memory_slave(sc_module_name name, unsigned base)
        : sc_module(name), clk("CLK"), addr("ADDR"), wdata("WDATA"), write("WRITE"), rdata("RDATA"),
          selected("SEL"), hit("HIT"), base_(base) {
        SC_METHOD(decode);
        sensitive << addr;
        SC_METHOD(access);
        sensitive << clk.pos();
        for (int i = 0; i < SLAVE_WORDS; ++i) mem_[i] = 0;
    }

private:
    unsigned base_;
    sc_uint<32> mem_[SLAVE_WORDS];
};

inline void memory_slave::decode() {
    const unsigned a = addr.read().to_uint();
    hit.write(a >= base_ && a < base_ + SLAVE_WORDS);
    selected.write(a >= base_ && a < base_ + SLAVE_WORDS);
}

inline void memory_slave::access() {
    if (!hit.read()) return;
    const unsigned at = addr.read().to_uint() - base_;
    if (write.read()) mem_[at] = wdata.read();
    rdata.write(mem_[at]);
}

#endif
