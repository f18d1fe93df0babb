// master.h - a bus master that asks for the bus, writes a word, then
// reads it back.
#ifndef MASTER_H
#define MASTER_H

#include <systemc.h>

SC_MODULE(bus_master) {
    sc_in<bool> clk{"clk"};
    sc_out<bool> req;
    sc_in<bool> gnt;
    sc_out<sc_uint<16> > addr;
    sc_out<sc_uint<32> > wdata;
    sc_out<bool> write;
    sc_in<sc_uint<32> > rdata;

    void run();

    SC_HAS_PROCESS(bus_master);
    bus_master(sc_module_name name, unsigned base)
        : sc_module(name), req("REQ"), gnt("GNT"), addr("ADDR"), wdata("WDATA"), write("WRITE"), rdata("RDATA"),
          base_(base) {
        SC_THREAD(run);
        sensitive << clk.pos();
    }

private:
    unsigned base_;
};

inline void bus_master::run() {
    req.write(false);
    write.write(false);
    for (unsigned n = 0;; ++n) {
        req.write(true);
        do {
            wait();
        } while (!gnt.read());
        addr.write(base_ + (n % 4));
        wdata.write(0xC0DE0000u | n);
        write.write(true);
        wait();
        write.write(false);
        wait();
        if (rdata.read() != (0xC0DE0000u | n)) printf("%s: read back %08x\n", name(), rdata.read().to_uint());
        req.write(false);
        wait(3);
    }
}

#endif
