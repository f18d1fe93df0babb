// cpu_top.h - the processor: twelve units joined by named signals.
#ifndef CPU_TOP_H
#define CPU_TOP_H

#include "units.h"

SC_MODULE(cpu_top) {
    sc_in<bool> clk;
    sc_in<bool> reset;
    sc_out<cpu_word> pc_probe;

    // Fetch side.
    sc_signal<cpu_word> pc, instr, ir, fetch_pc;
    // Decode side.
    sc_signal<opcode_t> opcode;
    sc_signal<reg_index> rs, rt, rd;
    sc_signal<cpu_word> imm, rdata1, rdata2;
    // Control.
    sc_signal<sc_uint<4> > alu_op;
    sc_signal<bool> mem_read, mem_write, reg_write, is_branch, use_imm;
    // Execute, memory and write-back.
    sc_signal<cpu_word> alu_result, target, mem_addr, mem_wdata, mem_rdata, load_data, wb_data;
    sc_signal<bool> zero, taken, mem_we, wb_en, stall;

    pc_reg pc_unit;
    imem rom;
    fetch_unit fetch;
    decoder decode;
    reg_file regs;
    control ctrl;
    alu ex;
    branch_unit branch;
    lsu ldst;
    dmem ram;
    hazard_unit hazard;
    writeback wb;

    void probe() { pc_probe.write(pc.read()); }
    void monitor() { printf("pc=%u ir=%08x\n", pc.read().to_uint(), ir.read().to_uint()); }

    SC_HAS_PROCESS(cpu_top);
    cpu_top(sc_module_name name, bool verbose = false)
        : sc_module(name), clk("CLK"), reset("RESET"), pc_probe("PC_PROBE"), pc("PC"), instr("INSTR"), ir("IR"),
          fetch_pc("FETCH_PC"), opcode("OPCODE"), rs("RS"), rt("RT"), rd("RD"), imm("IMM"), rdata1("RDATA1"),
          rdata2("RDATA2"), alu_op("ALU_OP"), mem_read("MEM_READ"), mem_write("MEM_WRITE"),
          reg_write("REG_WRITE"), is_branch("IS_BRANCH"), use_imm("USE_IMM"), alu_result("ALU_RESULT"),
          target("TARGET"), mem_addr("MEM_ADDR"), mem_wdata("MEM_WDATA"), mem_rdata("MEM_RDATA"),
          load_data("LOAD_DATA"), wb_data("WB_DATA"), zero("ZERO"), taken("TAKEN"), mem_we("MEM_WE"),
          wb_en("WB_EN"), stall("STALL"), pc_unit("PC_UNIT"), rom("IMEM"), fetch("FETCH"), decode("DECODE"),
          regs("REGS"), ctrl("CONTROL"), ex("ALU"), branch("BRANCH"), ldst("LSU"), ram("DMEM"),
          hazard("HAZARD"), wb("WRITEBACK") {
        pc_unit.clk(clk);
        pc_unit.reset(reset);
        pc_unit.stall(stall);
        pc_unit.branch_taken(taken);
        pc_unit.branch_target(target);
        pc_unit.pc(pc);

        rom.addr(pc);
        rom.instr(instr);

        fetch.clk(clk);
        fetch.stall(stall);
        fetch.pc_in(pc);
        fetch.instr_in(instr);
        fetch.ir(ir);
        fetch.pc_out(fetch_pc);

        decode.ir(ir);
        decode.opcode(opcode);
        decode.rs(rs);
        decode.rt(rt);
        decode.rd(rd);
        decode.imm(imm);

        regs.clk(clk);
        regs.rs(rs);
        regs.rt(rt);
        regs.rd(rd);
        regs.wdata(wb_data);
        regs.wen(wb_en);
        regs.rdata1(rdata1);
        regs.rdata2(rdata2);

        ctrl.opcode(opcode);
        ctrl.alu_op(alu_op);
        ctrl.mem_read(mem_read);
        ctrl.mem_write(mem_write);
        ctrl.reg_write(reg_write);
        ctrl.is_branch(is_branch);
        ctrl.use_imm(use_imm);

        ex.a(rdata1);
        ex.b(rdata2);
        ex.imm(imm);
        ex.use_imm(use_imm);
        ex.op(alu_op);
        ex.result(alu_result);
        ex.zero(zero);

        branch.is_branch(is_branch);
        branch.zero(zero);
        branch.pc(fetch_pc);
        branch.imm(imm);
        branch.taken(taken);
        branch.target(target);

        ldst.addr(alu_result);
        ldst.store_data(rdata2);
        ldst.mem_rdata(mem_rdata);
        ldst.mem_read(mem_read);
        ldst.mem_write(mem_write);
        ldst.mem_addr(mem_addr);
        ldst.mem_wdata(mem_wdata);
        ldst.load_data(load_data);
        ldst.mem_we(mem_we);

        ram.clk(clk);
        ram.we(mem_we);
        ram.addr(mem_addr);
        ram.wdata(mem_wdata);
        ram.rdata(mem_rdata);

        hazard.rs(rs);
        hazard.rt(rt);
        hazard.load_rd(rd);
        hazard.load_pending(mem_read);
        hazard.stall(stall);

        wb.mem_read(mem_read);
        wb.reg_write(reg_write);
        wb.load_data(load_data);
        wb.alu_result(alu_result);
        wb.wdata(wb_data);
        wb.wen(wb_en);

        SC_METHOD(probe);
        sensitive << pc;
        // Tracing is optional: the monitor exists only when asked for.
        if (verbose) {
            SC_METHOD(monitor);
            sensitive << clk.pos();
        }
    }
};

#endif
