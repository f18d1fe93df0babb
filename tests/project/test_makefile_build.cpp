// The generated makefile builds a real multi-file SystemC design with the
// system make and g++ against the installed SystemC library.
#include <gtest/gtest.h>

#include "project/makefile.h"
#include "project/paths.h"
#include "test_util.h"

using namespace korl;
using korltest::WriteFile;

namespace {

void WriteDesign(const std::string& d) {
    WriteFile(d + "inc/config.h", "#pragma once\n#define COUNTER_WIDTH 8\n");
    WriteFile(d + "rtl/counter.h",
              "#pragma once\n"
              "#include <systemc.h>\n"
              "#include \"config.h\"\n"
              "SC_MODULE(counter) {\n"
              "    sc_in<bool> clk;\n"
              "    sc_in<bool> reset;\n"
              "    sc_out<sc_uint<COUNTER_WIDTH> > value;\n"
              "    void tick();\n"
              "    SC_CTOR(counter) { SC_METHOD(tick); sensitive << clk.pos(); }\n"
              "};\n");
    WriteFile(d + "rtl/counter.cpp",
              "#include \"counter.h\"\n"
              "void counter::tick() { value.write(reset.read() ? 0 : value.read() + 1); }\n");
    WriteFile(d + "tb bench/testbench.h",
              "#pragma once\n"
              "#include <systemc.h>\n"
              "SC_MODULE(testbench) {\n"
              "    sc_out<bool> reset;\n"
              "    void run();\n"
              "    SC_CTOR(testbench) { SC_THREAD(run); }\n"
              "};\n");
    WriteFile(d + "tb bench/testbench.cpp",
              "#include \"testbench.h\"\n"
              "void testbench::run() { reset.write(true); wait(25, SC_NS); reset.write(false); }\n");
    WriteFile(d + "main.cpp",
              "#include <systemc.h>\n"
              "#include \"rtl/counter.h\"\n"
              "#include \"tb bench/testbench.h\"\n"
              "int sc_main(int, char**) {\n"
              "    sc_clock clk(\"clk\", 10, SC_NS);\n"
              "    sc_signal<bool> reset;\n"
              "    sc_signal<sc_uint<COUNTER_WIDTH> > value;\n"
              "    counter c(\"c\"); c.clk(clk); c.reset(reset); c.value(value);\n"
              "    testbench tb(\"tb\"); tb.reset(reset);\n"
              "    sc_start(100, SC_NS);\n"
              "    std::cout << \"count=\" << value.read() << \" of \" << RUNS << std::endl;\n"
              "    return 0;\n"
              "}\n");
}

} // namespace

TEST(MakefileBuild, BuildsAndRunsAMultiFileSystemCDesign) {
    korltest::TempDir tmp;
    const std::string d = tmp / "my design/";
    WriteDesign(d);
    Project p;
    ASSERT_TRUE(p.NewProject(d + "design.k1"));
    p.AddExistingFiles({d + "main.cpp", d + "rtl/counter.cpp", d + "tb bench/testbench.cpp",
                        d + "rtl/counter.h", d + "tb bench/testbench.h", d + "inc/config.h"});
    p.SetExtraIncludes("inc");
    p.SetExtraPreprocessor("RUNS=1");
    p.Save();

    const ToolLayout tools = ResolveToolLayout(CurrentExecutablePath());
    std::string error;
    ASSERT_TRUE(WriteProjectMakefile(p, tools, false, &error)) << error;
    const std::string makefile = korltest::ReadFile(d + "makefile");
    EXPECT_NE(makefile.find("main.o : main.cpp rtl/counter.h inc/config.h tb\\ bench/testbench.h \n"),
              std::string::npos)
        << makefile;

    const std::string cd = "cd '" + d + "' && LC_ALL=C ";
    std::string out;
    ASSERT_EQ(korltest::Run(cd + tools.make, &out), 0) << out;
    ASSERT_TRUE(FileExists(d + "design")) << out;
    ASSERT_EQ(korltest::Run(cd + "./design", &out), 0) << out;
    // Reset ends at 25 ns; rising edges at 30..90 ns count 7.
    EXPECT_NE(out.find("count=7 of 1"), std::string::npos) << out;

    ASSERT_EQ(korltest::Run(cd + tools.make, &out), 0);
    EXPECT_NE(out.find("make: 'design' is up to date."), std::string::npos) << out;
    // A header found through the extra include directory is a dependency.
    ASSERT_EQ(korltest::Run("touch -d '+1 min' '" + d + "inc/config.h'"), 0);
    ASSERT_EQ(korltest::Run(cd + tools.make + " -n", &out), 0);
    EXPECT_NE(out.find("-c \"main.cpp\""), std::string::npos) << out;

    // The single-file makefile compiles just that object.
    std::filesystem::remove(d + "counter.o");
    ASSERT_TRUE(WriteFileMakefile(p, tools, d + "rtl/counter.cpp", &error)) << error;
    ASSERT_EQ(korltest::Run(cd + tools.make, &out), 0) << out;
    EXPECT_TRUE(FileExists(d + "counter.o"));
}
