#include <systemc.h>
/* a /* nested */ comment* / // and /* one in a line comment
    template <class T>
    class pipe : public sc_module {
public:
    sc_export<sc_fifo_in_if<T> > out;
    sc_port<sc_fifo_out_if<T>, 2> ports[2];
    SC_CTOR(pipe) : out("out") {}
};
SC_MODULE(leaf) {
    sc_in<bool> clk, rst;
    sc_out<sc_uint<8> > q;
    sc_signal<int> s[4];
    sc_clock c;
    sub *p, q2;
    int f(int x) { return x; }
    bool operator==(const leaf&) const;
    ~leaf() {}
    SC_CTOR(leaf) : q("q"), s("s") {
        SC_METHOD(run);
        sensitive << clk.pos() << rst;
        sensitive_neg << rst;
        SC_CTHREAD(t, clk.neg());
        p = new sub("p");
        if (x) {
            y();
        }
    }
    void run();
};
struct top : sc_channel {
    leaf l;
    SC_HAS_PROCESS(top);
    top(sc_module_name n);
};
top::top(sc_module_name n) : sc_module(n), l("l") { SC_THREAD(go); }
void leaf::run() {}
int leaf::f2() const { return 1; }
leaf::~leaf() {}
class k : virtual public sc_interface {
    int a[3], *b;
    k();
    virtual ~k();
    void g() {}
};
namespace ns {
int sc_main(int argc, char* argv[]) {
    sc_clock clk("clk", 10, SC_NS);
    sc_signal<bool> r("r"), w;
    top t("t"), u("u");
    leaf* l = new leaf("l");
    sub* s = new sub;
    counter;
    int n = 3;
    sc_start();
    return 0;
}
} // namespace ns
