// units.h - the processor's units: program counter, instruction memory,
// fetch, decode, register file, control, ALU, branch unit, load/store
// unit, data memory, hazard detection and write-back.
#ifndef UNITS_H
#define UNITS_H

#include "cpu_types.h"

SC_MODULE(pc_reg) {
    sc_in<bool> clk, reset, stall, branch_taken;
    sc_in<cpu_word> branch_target;
    sc_out<cpu_word> pc;

    void update() {
        if (reset.read())
            pc.write(0);
        else if (branch_taken.read())
            pc.write(branch_target.read());
        else if (!stall.read())
            pc.write(pc.read() + 4);
    }

    SC_CTOR(pc_reg)
        : clk("CLK"), reset("RESET"), stall("STALL"), branch_taken("BR_TAKEN"), branch_target("BR_TARGET"),
          pc("PC") {
        SC_METHOD(update);
        sensitive << clk.pos();
    }
};

SC_MODULE(imem) {
    sc_in<cpu_word> addr;
    sc_out<cpu_word> instr;

    void read() { instr.write(rom_[(addr.read() >> 2) % 16]); }

    SC_CTOR(imem) : addr("ADDR"), instr("INSTR") {
        SC_METHOD(read);
        sensitive << addr;
        for (int i = 0; i < 16; ++i) rom_[i] = (OP_ADDI << 26) | (1 << 16) | i; // addi r1, r0, i
    }

private:
    cpu_word rom_[16];
};

SC_MODULE(fetch_unit) {
    sc_in<bool> clk;
    sc_in<bool> stall;
    sc_in<cpu_word> pc_in, instr_in;
    sc_out<cpu_word> ir, pc_out;

    void latch() {
        if (stall.read()) return;
        ir.write(instr_in.read());
        pc_out.write(pc_in.read());
    }

    SC_CTOR(fetch_unit)
        : clk("CLK"), stall("STALL"), pc_in("PC_IN"), instr_in("INSTR_IN"), ir("IR"), pc_out("PC_OUT") {
        SC_METHOD(latch);
        sensitive << clk.pos();
    }
};

SC_MODULE(decoder) {
    sc_in<cpu_word> ir;
    sc_out<opcode_t> opcode;
    sc_out<reg_index> rs, rt, rd;
    sc_out<cpu_word> imm;

    void decode() {
        const cpu_word w = ir.read();
        opcode.write(FIELD(w, 31, 26));
        rs.write(FIELD(w, 25, 21));
        rt.write(FIELD(w, 20, 16));
        rd.write(FIELD(w, 15, 11));
        imm.write(FIELD(w, 15, 0));
    }

    SC_CTOR(decoder) : ir("IR"), opcode("OPCODE"), rs("RS"), rt("RT"), rd("RD"), imm("IMM") {
        SC_METHOD(decode);
        sensitive << ir;
    }
};

SC_MODULE(reg_file) {
    static const int N_REGS = 8;

    sc_in<bool> clk;
    sc_in<reg_index> rs, rt, rd;
    sc_in<cpu_word> wdata;
    sc_in<bool> wen;
    sc_out<cpu_word> rdata1, rdata2;

    // registers are read combinationally \
    sc_in<bool> ghost;
    sc_signal<cpu_word> regs[N_REGS];

    void read() {
        rdata1.write(regs[rs.read() % N_REGS].read());
        rdata2.write(regs[rt.read() % N_REGS].read());
    }
    void write() {
        if (wen.read() && rd.read() != 0) regs[rd.read() % N_REGS].write(wdata.read());
    }

    SC_CTOR(reg_file)
        : clk("CLK"), rs("RS"), rt("RT"), rd("RD"), wdata("WDATA"), wen("WEN"), rdata1("RDATA1"),
          rdata2("RDATA2") {
        SC_METHOD(read);
        sensitive << rs << rt;
        for (int i = 0; i < N_REGS; ++i) sensitive << regs[i];
        SC_METHOD(write);
        sensitive << clk.pos();
    }
};

SC_MODULE(control) {
    sc_in<opcode_t> opcode;
    sc_out<sc_uint<4> > alu_op;
    sc_out<bool> mem_read, mem_write, reg_write, is_branch, use_imm;

    void decide() {
        const unsigned op = opcode.read();
        alu_op.write(op == OP_BEQ ? 1 : 0);
        mem_read.write(op == OP_LW);
        mem_write.write(op == OP_SW);
        reg_write.write(op == OP_ADD || op == OP_ADDI || op == OP_LW);
        is_branch.write(op == OP_BEQ);
        use_imm.write(op == OP_ADDI || op == OP_LW || op == OP_SW);
    }

    SC_CTOR(control)
        : opcode("OPCODE"), alu_op("ALU_OP"), mem_read("MEM_READ"), mem_write("MEM_WRITE"),
          reg_write("REG_WRITE"), is_branch("IS_BRANCH"), use_imm("USE_IMM") {
        SC_METHOD(decide);
        sensitive << opcode;
    }
};

SC_MODULE(alu) {
    sc_in<cpu_word> a, b, imm;
    sc_in<bool> use_imm;
    sc_in<sc_uint<4> > op;
    sc_out<cpu_word> result;
    sc_out<bool> zero;

    void compute() {
        const cpu_word rhs = use_imm.read() ? imm.read() : b.read();
        const cpu_word r = op.read() == 1 ? cpu_word(a.read() - rhs) : cpu_word(a.read() + rhs);
        result.write(r);
        zero.write(r == 0);
    }

    SC_CTOR(alu)
        : a("A"), b("B"), imm("IMM"), use_imm("USE_IMM"), op("OP"), result("RESULT"), zero("ZERO") {
        SC_METHOD(compute);
        sensitive << a << b << imm << use_imm << op;
    }
};

SC_MODULE(branch_unit) {
    sc_in<bool> is_branch, zero;
    sc_in<cpu_word> pc, imm;
    sc_out<bool> taken;
    sc_out<cpu_word> target;

    void resolve() {
        taken.write(is_branch.read() && zero.read());
        target.write(pc.read() + 4 + (imm.read() << 2));
    }

    SC_CTOR(branch_unit)
        : is_branch("IS_BRANCH"), zero("ZERO"), pc("PC"), imm("IMM"), taken("TAKEN"), target("TARGET") {
        SC_METHOD(resolve);
        sensitive << is_branch << zero << pc << imm;
    }
};

SC_MODULE(lsu) {
    sc_in<cpu_word> addr, store_data, mem_rdata;
    sc_in<bool> mem_read, mem_write;
    sc_out<cpu_word> mem_addr, mem_wdata, load_data;
    sc_out<bool> mem_we;

    void route() {
        mem_addr.write(addr.read());
        mem_wdata.write(store_data.read());
        mem_we.write(mem_write.read());
        load_data.write(mem_read.read() ? mem_rdata.read() : cpu_word(0));
    }

    SC_CTOR(lsu)
        : addr("ADDR"), store_data("STORE_DATA"), mem_rdata("MEM_RDATA"), mem_read("MEM_READ"),
          mem_write("MEM_WRITE"), mem_addr("MEM_ADDR"), mem_wdata("MEM_WDATA"), load_data("LOAD_DATA"),
          mem_we("MEM_WE") {
        SC_METHOD(route);
        sensitive << addr << store_data << mem_rdata << mem_read << mem_write;
    }
};

SC_MODULE(dmem) {
    sc_in<bool> clk, we;
    sc_in<cpu_word> addr, wdata;
    sc_out<cpu_word> rdata;

    void access() {
        const unsigned at = (addr.read() >> 2) % 64;
        if (we.read()) cells_[at] = wdata.read();
        rdata.write(cells_[at]);
    }

    SC_CTOR(dmem) : clk("CLK"), we("WE"), addr("ADDR"), wdata("WDATA"), rdata("RDATA") {
        SC_METHOD(access);
        sensitive << clk.pos();
        for (int i = 0; i < 64; ++i) cells_[i] = 0;
    }

private:
    cpu_word cells_[64];
};

SC_MODULE(hazard_unit) {
    sc_in<reg_index> rs, rt, load_rd;
    sc_in<bool> load_pending;
    sc_out<bool> stall;

    void detect() {
        stall.write(load_pending.read() && load_rd.read() != 0 &&
                    (load_rd.read() == rs.read() || load_rd.read() == rt.read()));
    }

    SC_CTOR(hazard_unit) : rs("RS"), rt("RT"), load_rd("LOAD_RD"), load_pending("LOAD_PENDING"), stall("STALL") {
        SC_METHOD(detect);
        sensitive << rs << rt << load_rd << load_pending;
    }
};

SC_MODULE(writeback) {
    sc_in<bool> mem_read, reg_write;
    sc_in<cpu_word> load_data, alu_result;
    sc_out<cpu_word> wdata;
    sc_out<bool> wen;

    void select() {
        wdata.write(mem_read.read() ? load_data.read() : alu_result.read());
        wen.write(reg_write.read());
    }

    SC_CTOR(writeback)
        : mem_read("MEM_READ"), reg_write("REG_WRITE"), load_data("LOAD_DATA"), alu_result("ALU_RESULT"),
          wdata("WDATA"), wen("WEN") {
        SC_METHOD(select);
        sensitive << mem_read << reg_write << load_data << alu_result;
    }
};

#endif
