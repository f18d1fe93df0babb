// bus_system.h - two masters and two memory slaves on one shared bus; the
// arbiter's grant selects which master drives it.
#ifndef BUS_SYSTEM_H
#define BUS_SYSTEM_H

#include <systemc.h>

#include "arbiter.h"
#include "master.h"
#include "slave.h"

SC_MODULE(bus_system) {
    sc_in<bool> clk;
    sc_in<bool> slow_clk;
    sc_in<bool> reset;

    // Per-master request side.
    sc_signal<bool> req0, req1, gnt0, gnt1;
    sc_signal<sc_uint<16> > m0_addr, m1_addr;
    sc_signal<sc_uint<32> > m0_wdata, m1_wdata;
    sc_signal<bool> m0_write, m1_write;

    // The shared bus.
    sc_signal<sc_uint<16> > bus_addr;
    sc_signal<sc_uint<32> > bus_wdata, bus_rdata, s0_rdata, s1_rdata;
    sc_signal<bool> bus_write, s0_sel, s1_sel;

    arbiter arb;
    bus_master m0, m1;
    memory_slave* s0;
    memory_slave* s1;

    void drive();
    void collect();
    void heartbeat();

    SC_CTOR(bus_system)
        : clk("CLK"), slow_clk("SLOW_CLK"), reset("RESET"), req0("REQ0"), req1("REQ1"), gnt0("GNT0"),
          gnt1("GNT1"), bus_addr("BUS_ADDR"), bus_wdata("BUS_WDATA"), bus_rdata("BUS_RDATA"),
          bus_write("BUS_WRITE"), arb("ARBITER"), m0("MASTER0", 0x0000), m1("MASTER1", 0x0040) {
        printf("/* hello");
        printf(" */\n");
        arb.clk(clk);
        arb.reset(reset);
        arb.req0(req0);
        arb.req1(req1);
        arb.gnt0(gnt0);
        arb.gnt1(gnt1);

        m0.clk(clk);
        m0.req(req0);
        m0.gnt(gnt0);
        m0.addr(m0_addr);
        m0.wdata(m0_wdata);
        m0.write(m0_write);
        m0.rdata(bus_rdata);
        m1.clk(clk);
        m1.req(req1);
        m1.gnt(gnt1);
        m1.addr(m1_addr);
        m1.wdata(m1_wdata);
        m1.write(m1_write);
        m1.rdata(bus_rdata);

        s0 = new memory_slave("SLAVE0", 0x0000);
        s1 = new memory_slave("SLAVE1", 0x0040);
        s0->clk(clk);
        s0->addr(bus_addr);
        s0->wdata(bus_wdata);
        s0->write(bus_write);
        s0->rdata(s0_rdata);
        s0->selected(s0_sel);
        s1->clk(clk);
        s1->addr(bus_addr);
        s1->wdata(bus_wdata);
        s1->write(bus_write);
        s1->rdata(s1_rdata);
        s1->selected(s1_sel);

        SC_METHOD(drive);
        sensitive << gnt0 << gnt1 << m0_addr << m1_addr << m0_wdata << m1_wdata << m0_write << m1_write;
        SC_METHOD(collect);
        sensitive << s0_sel << s1_sel << s0_rdata << s1_rdata;
        SC_METHOD(heartbeat);
        sensitive << slow_clk.pos();
    }
};

inline void bus_system::drive() {
    const bool first = gnt0.read();
    bus_addr.write(first ? m0_addr.read() : m1_addr.read());
    bus_wdata.write(first ? m0_wdata.read() : m1_wdata.read());
    bus_write.write(first ? m0_write.read() : (gnt1.read() && m1_write.read()));
}

inline void bus_system::collect() {
    bus_rdata.write(s0_sel.read() ? s0_rdata.read() : s1_rdata.read());
}

inline void bus_system::heartbeat() {
    // A quote in a character literal opens no string: '"' // and no comment
    const char quote = '"';
    if (quote != '"') printf("unreachable\n");
}

#endif
