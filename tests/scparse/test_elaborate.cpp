// The elaboration run over files, the browser trees and where they jump.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "scan_helper.h"
#include "scparse/elaborate.h"

using namespace scparse;

TEST(ElaborationFileList, IncludedHeadersOnceThenEverySource) {
    std::vector<ElabSource> sources = {
        {"/p/", "a.cpp", {"a.h", "common.h"}},
        {"/other/", "b.cpp", {"common.h", "/inc/b.h"}},
        {"", "c.cpp", {}},
        {"/p/", "a.cpp", {}},
    };
    EXPECT_EQ(
        elaborationFileList(sources, "/p/"),
        (std::vector<std::string>{"a.h", "common.h", "/inc/b.h", "a.cpp", "/other/b.cpp", "c.cpp", "a.cpp"}));
}

class ElaborationRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = sctest::tempPath("proj/");
        ::mkdir(dir_.c_str(), 0755);
        sctest::writeFile(dir_ + "m.h",
                          "SC_MODULE(m) {\n  sc_in<bool> a;\n  sc_export<ifc> e;\n  sc_signal<int> s;\n"
                          "  sc_clock c;\n  int f();\n  obj o;\n  void p();\n"
                          "  SC_CTOR(m) { SC_METHOD(p); }\n};\n");
        sctest::writeFile(dir_ + "main.cpp",
                          "#include \"m.h\"\nint m::f() { return 0; }\nclass k { void g(); int h; };\n"
                          "int sc_main(int, char**) {\n  m inst(\"inst\");\n  return 0;\n}\n");
    }
    void TearDown() override {
        std::remove((dir_ + "m.h").c_str());
        std::remove((dir_ + "main.cpp").c_str());
        ::rmdir(dir_.c_str());
    }
    std::string dir_;
};

TEST_F(ElaborationRun, ScansEveryFileBuildsAndWritesNothing) {
    DesignModel model;
    std::vector<std::string> reported;
    ElaborationOptions options;
    options.onReport = [&](const std::string& path, const std::string& report) {
        reported.push_back(path);
        EXPECT_FALSE(report.empty());
    };
    ElaborationResult r = runElaboration(model, {"m.h", dir_ + "main.cpp"}, dir_, options);
    ASSERT_TRUE(r.completed);
    EXPECT_EQ(r.consoleText, "");
    EXPECT_TRUE(r.messages.empty());
    EXPECT_EQ(reported, (std::vector<std::string>{"m.h", dir_ + "main.cpp"}));
    // The report goes to the sink only: no file appears in the project.
    struct stat st;
    EXPECT_NE(::stat((dir_ + "output.out").c_str(), &st), 0);
    ASSERT_TRUE(model.root);
    EXPECT_EQ(model.findModule("m")->file, "m.h");

    // Design Browser: sc_main, expanded, with the instance of m below it.
    auto design = fillDesignBrowser(model.root);
    ASSERT_EQ(design.size(), 1u);
    EXPECT_EQ(design[0].text, "sc_main");
    EXPECT_EQ(design[0].image, kImageMain);
    EXPECT_TRUE(design[0].expanded);
    ASSERT_EQ(design[0].children.size(), 1u);
    const BrowserNode& inst = design[0].children[0];
    EXPECT_EQ(inst.text, "inst");
    EXPECT_EQ(inst.image, kImageModule);
    std::vector<int> images;
    for (const auto& c : inst.children) images.push_back(c.image);
    EXPECT_EQ(images,
              (std::vector<int>{kImageInPort, kImageExport, kImageSignal, kImageClock, kImageProcess}));

    // Source Browser: modules (sc_main first) with all members, then classes.
    auto source = fillSourceBrowser(model.modules, model.classes);
    ASSERT_EQ(source.size(), 3u);
    EXPECT_EQ(source[0].text, "sc_main");
    EXPECT_FALSE(source[0].expanded);
    ASSERT_EQ(source[0].children.size(), 1u);
    EXPECT_EQ(source[0].children[0].image, kImageInstance);
    EXPECT_EQ(source[0].children[0].text, "inst");
    images.clear();
    for (const auto& c : source[1].children) images.push_back(c.image);
    EXPECT_EQ(images, (std::vector<int>{kImageClock, kImageInPort, kImageExport, kImageSignal, kImageProcess,
                                        kImageFunction, kImageObject}));
    EXPECT_EQ(source[2].text, "k");
    EXPECT_EQ(source[2].image, kImageClass);
    ASSERT_EQ(source[2].children.size(), 2u);
    EXPECT_EQ(source[2].children[0].image, kImageFunction);
    EXPECT_EQ(source[2].children[1].image, kImageObject);

    // Jumps: the process has no known body, so its implementation line is 0
    // and the editor gets -1; the instance jumps to declaration, type, site.
    const DesignItem& proc = *inst.children[4].record;
    EXPECT_EQ(jumpLocation(proc, kGotoDeclaration).line, 8);
    EXPECT_EQ(jumpLocation(proc, kGotoImplementation).line, 0);
    EXPECT_EQ(resolveJump(jumpLocation(proc, kGotoImplementation), dir_).line0, -1);
    EXPECT_EQ(jumpLocation(proc, kGotoRegisteration).line, 9);
    const DesignItem& instRec = *source[0].children[0].record;
    EXPECT_EQ(jumpLocation(instRec, kGotoDeclaration).line, 5);
    EXPECT_EQ(jumpLocation(instRec, kGotoImplementation).line, 1);
    EXPECT_EQ(jumpLocation(instRec, kGotoImplementation).file, "m.h");
    EXPECT_EQ(jumpLocation(instRec, kGotoInstantiation).line, 5);
    const DesignItem& fn = *source[1].children[5].record;
    EXPECT_EQ(jumpLocation(fn, kGotoImplementation).line, 2);
    EXPECT_EQ(jumpLocation(fn, kGotoImplementation).file, dir_ + "main.cpp");

    JumpTarget local = resolveJump({3, "m.h"}, dir_);
    EXPECT_EQ(local.fullPath, dir_ + "m.h");
    EXPECT_EQ(local.shortName, "m.h");
    EXPECT_EQ(local.line0, 2);
    JumpTarget other = resolveJump({7, "/elsewhere/x.h"}, dir_);
    EXPECT_EQ(other.fullPath, "/elsewhere/x.h");
    EXPECT_EQ(other.shortName, "/elsewhere/x.h");
    EXPECT_EQ(resolveJump({1, dir_ + "main.cpp"}, dir_).shortName, "main.cpp");
    JumpTarget included = resolveJump({2, "inc/y.h"}, dir_);
    EXPECT_EQ(included.fullPath, dir_ + "inc/y.h");
    EXPECT_EQ(included.shortName, dir_ + "inc/y.h");
}

TEST_F(ElaborationRun, StopsAtAFileThatCannotBeOpenedWithoutBuilding) {
    DesignModel model;
    ASSERT_TRUE(runElaboration(model, {"m.h", "main.cpp"}, dir_).completed);
    auto oldRoot = model.root;
    auto trees = fillDesignBrowser(model.root);
    ElaborationResult r = runElaboration(model, {"m.h", "missing.h", "main.cpp"}, dir_);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(r.failedFile, "missing.h");
    EXPECT_EQ(r.consoleText, "Error in Elaboration\r\nPlease contact vendor");
    // The model was cleared (and the first file scanned), but not built:
    // the root and the records the old trees show are still there.
    EXPECT_EQ(model.root, oldRoot);
    EXPECT_EQ(model.modules.size(), 1u);
    EXPECT_EQ(trees[0].children[0].record->name, "m");
}

TEST(BrowserMenus, CommandsPerTreeAndImage) {
    EXPECT_EQ(contextCommands(BrowserTree::Design, kImageProcess),
              (std::vector<int>{kGotoDeclaration, kGotoImplementation}));
    EXPECT_EQ(contextCommands(BrowserTree::Design, kImageModule),
              (std::vector<int>{kGotoImplementation, kGotoInstantiation}));
    EXPECT_EQ(contextCommands(BrowserTree::Source, kImageProcess),
              (std::vector<int>{kGotoDeclaration, kGotoImplementation, kGotoRegisteration}));
    EXPECT_EQ(contextCommands(BrowserTree::Source, kImageInstance),
              (std::vector<int>{kGotoDeclaration, kGotoImplementation, kGotoInstantiation}));
    for (int image : {kImageMain, kImageInPort, kImageSignal, kImageClass, kImageFunction})
        EXPECT_TRUE(contextCommands(BrowserTree::Design, image).empty());
    for (int image : {kImageMain, kImageModule, kImagePort, kImageExport, kImageClock})
        EXPECT_TRUE(contextCommands(BrowserTree::Source, image).empty());
}

TEST(DesignBrowserNames, SystemCNamesArraysAndStaticLimitsInTextAndToolTip) {
    DesignModel model;
    sctest::scan(model,
                 "#define LANES 2\n"
                 "SC_MODULE(leaf) { sc_in<bool> a, b[LANES], c[n]; void p(); void q();\n"
                 "  SC_CTOR(leaf) : a(\"A_PORT\") { SC_METHOD(p); if (fast) SC_METHOD(q); } };\n"
                 "SC_MODULE(top) { leaf* cells[4]; leaf one;\n"
                 "  SC_CTOR(top) : one(\"ONE\") {\n"
                 "    for (int i = 0; i < 4; ++i) cells[i] = new leaf(names[i]); } };\n"
                 "int sc_main(int, char**) { sc_clock clk(\"CLK\", 10, SC_NS); top t(\"T\"); return 0; }\n");
    model.build();
    auto tree = fillDesignBrowser(model.root);
    ASSERT_EQ(tree.size(), 1u);
    const BrowserNode& root = tree[0];
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(root.children[0].text, "CLK");
    EXPECT_EQ(root.children[0].image, kImageClock);
    EXPECT_EQ(nodeToolTip(root.children[0]), "clock \u2014 C++ name clk \u2014 t.cpp:7");
    const BrowserNode& t = root.children[1];
    EXPECT_EQ(t.text, "T");
    ASSERT_EQ(t.children.size(), 2u);
    const BrowserNode& one = t.children[0];
    EXPECT_EQ(one.text, "ONE");
    EXPECT_EQ(nodeToolTip(one), "module \u2014 C++ name one (leaf) \u2014 t.cpp:2");
    const BrowserNode& loop = t.children[1];
    EXPECT_EQ(loop.text, "names[i]");
    EXPECT_EQ(nodeToolTip(loop),
              "module \u2014 C++ name cells (leaf) \u2014 t.cpp:2 \u2014 created in a loop: one node "
              "stands for every run-time copy \u2014 named at run time by this expression");

    // Ports: the SystemC name, an array of constant size with its elements,
    // an array whose size is no constant of the source; the processes.
    ASSERT_EQ(one.children.size(), 5u);
    EXPECT_EQ(one.children[0].text, "A_PORT");
    EXPECT_EQ(one.children[1].text, "b[2]");
    ASSERT_EQ(one.children[1].children.size(), 2u);
    EXPECT_EQ(one.children[1].children[1].text, "b[1]");
    EXPECT_EQ(one.children[1].children[1].element, 1);
    EXPECT_EQ(one.children[2].text, "c[n]");
    EXPECT_TRUE(one.children[2].children.empty());
    EXPECT_NE(nodeToolTip(one.children[2]).find("array size n not known before run time"), std::string::npos);
    EXPECT_EQ(one.children[3].text, "p");
    EXPECT_EQ(nodeToolTip(one.children[3]).find("condition"), std::string::npos);
    EXPECT_NE(nodeToolTip(one.children[4]).find("registered under a condition"), std::string::npos);
}
