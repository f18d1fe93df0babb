// Aggregates of SystemC values: arrays, structs, references, pointers.
#include <systemc.h>

struct mixed {
    int a;
    sc_uint<12> b;
    sc_int<6> c;
};

struct with_lv {
    sc_lv<4> nib;
    bool on;
};

static int use_ref(const sc_int<8>& r, sc_int<8>* p) {
    int v = r.to_int() + p->to_int(); // ref stop
    return v;
}

int sc_main(int argc, char* argv[])
{
    sc_int<8> arr[16];
    for (int i = 0; i < 16; ++i) arr[i] = (i % 2) ? i : -i - 8;
    sc_uint<12> wide[16];
    for (int i = 0; i < 16; ++i) wide[i] = 4095 - i;
    sc_int<8> grid[2][3];
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 3; ++j) grid[i][j] = i * 3 + j;
    sc_lv<4> lvs[3];
    lvs[0] = "01ZX";
    lvs[1] = "1111";
    lvs[2] = "0000";
    mixed m;
    m.a = -42;
    m.b = 4095;
    m.c = -32;
    with_lv w;
    w.nib = "1Z0X";
    w.on = true;
    int big[450];
    for (int i = 0; i < 450; ++i) big[i] = i;
    int same[16] = {0};
    sc_int<8>& ref = arr[1];
    sc_int<8>* ptr = &arr[3];
    int sum = use_ref(ref, ptr); // main stop
    std::printf("args %d %s sum %d a %d\n", argc, argc > 1 ? argv[1] : "-", sum, m.a);
    return same[0];
}
