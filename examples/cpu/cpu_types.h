// cpu_types.h - word types and the instruction fields of the toy processor.
#ifndef CPU_TYPES_H
#define CPU_TYPES_H

#include <systemc.h>

typedef sc_uint<32> cpu_word;
typedef sc_uint<5> reg_index;
typedef sc_uint<6> opcode_t;

// Instruction fields: op[31:26] rs[25:21] rt[20:16] rd[15:11] imm[15:0].
#define FIELD(word, hi, lo) \
    ((word).range(hi, lo))

enum { OP_ADD = 0, OP_ADDI = 8, OP_LW = 35, OP_SW = 43, OP_BEQ = 4 };

#endif
