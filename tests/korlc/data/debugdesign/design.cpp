// A design for korlc debug and korlc run: reads its console and argv,
// ticks a module on a clock and keeps a small history array.
#include <systemc.h>
#include <iostream>
#include <string>

SC_MODULE(ticker) {
    sc_in<bool> clk;
    sc_int<8> hist[4];
    int n;

    void tick() {
        hist[n % 4] = n - 2;
        ++n; // tick line
    }

    SC_CTOR(ticker) : n(0) {
        SC_METHOD(tick);
        sensitive << clk.pos();
        dont_initialize();
    }
};

int sc_main(int argc, char* argv[])
{
    std::string name;
    std::cout << "name? " << std::flush;
    std::getline(std::cin, name);
    std::cout << "hello " << name << " args " << argc - 1;
    for (int i = 1; i < argc; ++i) std::cout << " [" << argv[i] << "]";
    std::cout << std::endl;
    sc_clock clk("clk", 10, SC_NS);
    ticker t("t");
    t.clk(clk);
    sc_start(50, SC_NS);
    std::cout << "ticks " << t.n << std::endl;
    return 0;
}
