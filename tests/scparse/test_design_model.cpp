// The builder: resolution across files and the elaborated tree.
#include <gtest/gtest.h>

#include "scan_helper.h"

using sctest::scan;

namespace {

const char* kHeader =
    "#ifndef TOP_H\n#define TOP_H\n"
    "SC_MODULE(leaf) {\n"                                                       // 3
    "  sc_in<bool> clk;\n"                                                      // 4
    "  sc_out<int> q;\n"                                                        // 5
    "  void tick();\n"                                                          // 6
    "  SC_CTOR(leaf) : q(\"q\") { SC_METHOD(tick); sensitive << clk.pos(); }\n" // 7
    "};\n"
    "template <class T> struct pipe : sc_module {\n" // 9
    "  sc_export<sc_fifo_in_if<T> > out;\n"
    "  SC_CTOR(pipe) {}\n"
    "};\n"
    "class top : public sc_module {\n" // 13
    "public:\n"
    "  sc_signal<bool> s;\n" // 15
    "  leaf l1, *l2;\n"      // 16
    "  pipe<int> p;\n"       // 17
    "  unknown u;\n"         // 18
    "  void run();\n"        // 19
    "  int helper();\n"      // 20
    "  SC_HAS_PROCESS(top);\n"
    "  top(sc_module_name n);\n"
    "};\n"
    "#endif\n";

const char* kSource =
    "#include \"top.h\"\n"
    "top::top(sc_module_name n) : sc_module(n), s(\"sig\"), l1(\"l1\"), p(\"p\"), u(\"u\") {\n" // 2
    "  l2 = new leaf(\"l2\");\n"                                                                // 3
    "  SC_THREAD(run);\n"                                                                       // 4
    "}\n"
    "void top::run() {\n" // 6
    "  wait();\n"
    "}\n"
    "int top::helper() { return 0; }\n"       // 9
    "void leaf::tick() { q = 1; }\n"          // 10
    "int sc_main(int argc, char* argv[]) {\n" // 11
    "  top t(\"t\");\n"                       // 12
    "  sc_start();\n"
    "  return 0;\n"
    "}\n";

DesignModel buildProject() {
    DesignModel model;
    scan(model, kHeader, "top.h");
    scan(model, kSource, "src/top.cpp");
    model.build();
    return model;
}

} // namespace

TEST(DesignModelBuild, ResolvesAcrossFilesAndPutsMainFirst) {
    DesignModel model = buildProject();
    ASSERT_EQ(model.modules.size(), 4u);
    EXPECT_EQ(model.modules[0]->name, "sc_main");
    EXPECT_EQ(model.modules[1]->name, "leaf");
    auto top = model.findModule("top");

    // Deferred constructor items moved to their module; the signal named in
    // the initialiser list took its name string and is no instance.
    EXPECT_TRUE(model.deferredProcesses.empty());
    EXPECT_TRUE(model.deferredInstances.empty());
    ASSERT_EQ(top->signals.size(), 1u);
    EXPECT_EQ(top->signals[0]->label, "sig");

    // Instances: members whose type is a project module, template arguments
    // cut off; "u" has no module type and is dropped, its object stays.
    ASSERT_EQ(top->instances.size(), 3u);
    const auto& l1 = *top->instances[0];
    EXPECT_EQ(l1.name, "l1");
    EXPECT_EQ(l1.moduleType, "leaf");
    EXPECT_EQ(l1.line, 16);
    EXPECT_EQ(l1.file, "top.h");
    EXPECT_EQ(l1.siteLine, 2);
    EXPECT_EQ(l1.siteFile, "src/top.cpp");
    EXPECT_EQ(l1.implLine, 3);
    EXPECT_EQ(l1.implFile, "top.h");
    EXPECT_EQ(top->instances[1]->name, "p");
    EXPECT_EQ(top->instances[1]->moduleType, "pipe");
    EXPECT_EQ(top->instances[2]->name, "l2");
    EXPECT_EQ(top->instances[2]->siteLine, 3);
    ASSERT_EQ(top->objects.size(), 1u);
    EXPECT_EQ(top->objects[0]->name, "u");

    // The registered function became the process; the other function found
    // its body outside the class.
    ASSERT_EQ(top->processes.size(), 1u);
    const auto& run = *top->processes[0];
    EXPECT_EQ(run.line, 19);
    EXPECT_EQ(run.file, "top.h");
    EXPECT_EQ(run.siteLine, 4);
    EXPECT_EQ(run.implLine, 6);
    EXPECT_EQ(run.implFile, "src/top.cpp");
    ASSERT_EQ(top->functions.size(), 1u);
    EXPECT_EQ(top->functions[0]->name, "helper");
    EXPECT_EQ(top->functions[0]->implLine, 9);
    EXPECT_TRUE(model.memberImpls.empty());

    auto leaf = model.findModule("leaf");
    EXPECT_EQ(leaf->ports[1]->label, "q");
    EXPECT_EQ(leaf->processes[0]->implLine, 10);
}

TEST(DesignModelBuild, ElaboratesTheInstanceTreeBelowSaMain) {
    DesignModel model = buildProject();
    ASSERT_TRUE(model.root);
    EXPECT_EQ(model.root->label, "sc_main");
    EXPECT_TRUE(model.root->main);
    ASSERT_EQ(model.root->children.size(), 1u);
    const auto& t = *model.root->children[0];
    EXPECT_EQ(t.name, "top");
    EXPECT_EQ(t.label, "t");
    EXPECT_EQ(t.siteLine, 12);
    EXPECT_EQ(t.implLine, 13);
    ASSERT_EQ(t.children.size(), 3u);
    EXPECT_EQ(t.children[0]->label, "l1");
    EXPECT_EQ(t.children[2]->label, "l2");
    // Copies share the item records of their module.
    EXPECT_EQ(t.children[0]->ports[0], model.findModule("leaf")->ports[0]);
    EXPECT_NE(t.children[0], model.findModule("leaf"));
}

TEST(DesignModelBuild, WithoutScMainTheFirstModuleIsTheRoot) {
    DesignModel model;
    scan(model, "SC_MODULE(a) { b x; SC_CTOR(a) : x(\"x\") {} };\nSC_MODULE(b) { };\n");
    model.build();
    ASSERT_TRUE(model.root);
    EXPECT_EQ(model.root->name, "a");
    EXPECT_EQ(model.root->label, "sc_main");
    EXPECT_FALSE(model.root->main);
    ASSERT_EQ(model.root->children.size(), 1u);
    EXPECT_EQ(model.root->children[0]->name, "b");
}

TEST(DesignModelBuild, NoModuleGivesNoRoot) {
    DesignModel model;
    scan(model, "struct s { int a; };\nint f() { return 1; }\n");
    model.build();
    EXPECT_FALSE(model.root);
    EXPECT_EQ(model.classes.size(), 1u);
}

TEST(DesignModelBuild, SelfContainingModulesStopExpanding) {
    DesignModel model;
    scan(model,
         "SC_MODULE(a) { b inner; SC_CTOR(a) : inner(\"i\") {} };\n"
         "SC_MODULE(b) { a back; b self; SC_CTOR(b) : back(\"back\"), self(\"self\") {} };\n");
    model.build();
    ASSERT_TRUE(model.root);
    ASSERT_EQ(model.root->children.size(), 1u);
    const auto& b = *model.root->children[0];
    ASSERT_EQ(b.children.size(), 2u);
    EXPECT_EQ(b.children[0]->name, "a");
    EXPECT_TRUE(b.children[0]->children.empty());
    EXPECT_EQ(b.children[1]->name, "b");
    EXPECT_TRUE(b.children[1]->children.empty());
}

TEST(DesignModelClear, KeepsUnplacedDeferredItemsForTheNextRun) {
    DesignModel model;
    scan(model, "late::late(sc_module_name n) : sc_module(n) { SC_METHOD(m); }\n");
    model.build();
    EXPECT_EQ(model.deferredProcesses.size(), 1u);
    model.clear();
    EXPECT_TRUE(model.modules.empty());
    EXPECT_EQ(model.deferredProcesses.size(), 1u);
    scan(model, "SC_MODULE(late) { void m(); SC_HAS_PROCESS(late); late(sc_module_name); };\n");
    model.build();
    EXPECT_TRUE(model.deferredProcesses.empty());
    ASSERT_EQ(model.findModule("late")->processes.size(), 1u);
}

TEST(DesignModelModules, FindOrAddKeepsOneRecordPerNameWithTheLastLocation) {
    DesignModel model;
    scan(model, "SC_MODULE(m) { };\n", "a.h");
    scan(model, "\n\nSC_MODULE(m) { };\n", "b.h");
    ASSERT_EQ(model.modules.size(), 1u);
    EXPECT_EQ(model.modules[0]->file, "b.h");
    EXPECT_EQ(model.modules[0]->line, 3);
    EXPECT_EQ(model.findModule("n"), nullptr);
}
