// Linked into a design under test: prints every object of the elaborated
// hierarchy ("name<TAB>kind" a line, depth first) at the end of
// elaboration and ends the program before the simulation runs. The design's
// own sc_main is compiled under another name and called from here.
#include <systemc.h>

#include <cstdio>
#include <cstdlib>

extern "C" int korl_user_sc_main(int argc, char* argv[]);

namespace {

void walk(const std::vector<sc_object*>& objects) {
    for (sc_object* o : objects) {
        std::printf("%s\t%s\n", o->name(), o->kind());
        walk(o->get_child_objects());
    }
}

struct korl_hierarchy_dump : sc_module {
    SC_CTOR(korl_hierarchy_dump) {}
    void end_of_elaboration() override {
        std::printf("--- hierarchy ---\n");
        walk(sc_get_top_level_objects());
        std::fflush(stdout);
        std::_Exit(0);
    }
};

} // namespace

int sc_main(int argc, char* argv[]) {
    korl_hierarchy_dump dump("korl_hierarchy_dump");
    return korl_user_sc_main(argc, argv);
}
