#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

struct Result {
    int status = -1;
    std::string out; // standard output and standard error
};

Result Korlc(const std::string& dir, const std::string& args) {
    Result r;
    const std::string cmd = "cd '" + dir + "' && " + KORLC_PATH + " " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int rc = pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class KorlcProject : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/korlc-project-XXXXXX";
        dir_ = mkdtemp(tmpl);
        dir_ += '/';
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string dir_;
};

} // namespace

TEST_F(KorlcProject, EditsAProjectFileFromTheCommandLine) {
    Write(dir_ + "main.cpp", "#include \"top.h\"\n");
    Write(dir_ + "top.h", "#include <systemc.h>\n");
    Write(dir_ + "rtl/alu.cc", "");
    Write(dir_ + "notes.txt", "");

    Result r = Korlc(dir_, "new demo");
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir_ + "demo.k1"));
    r = Korlc(dir_, "new demo.k1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("already exists"), std::string::npos);

    r = Korlc(dir_, "add demo.k1 main.cpp rtl/alu.cc top.h notes.txt main.cpp");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("Already in the project: " + dir_ + "main.cpp"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ignored: " + dir_ + "notes.txt"), std::string::npos);
    r = Korlc(dir_, "add demo.k1 missing.cpp");
    EXPECT_EQ(r.status, 1);

    r = Korlc(dir_, "set demo.k1 ExtraPrp ' A , B '");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ExtraPrp=A,B\n");
    r = Korlc(dir_, "set demo.k1 vcd 'C:\\sim\\trace.vcd'");
    EXPECT_EQ(r.out, "VCDFilename=trace\n");
    r = Korlc(dir_, "set demo.k1 ExtraInc " + std::string(300, 'i'));
    EXPECT_NE(r.out.find("warning: only the first 255 characters are read back"), std::string::npos);
    r = Korlc(dir_, "set demo.k1 ExtraInc ''");
    r = Korlc(dir_, "set demo.k1 Colour red");
    EXPECT_EQ(r.status, 2);

    EXPECT_EQ(Read(dir_ + "demo.k1"),
              "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=2\nNoOfHFiles=1\n"
              "[Cpps]\nItem0=main.cpp\nItem1=rtl/alu.cc\n[Hs]\nItem0=top.h\n"
              "[Extra]\nVCDFilename=trace\nExtraPrp=A,B\nExtraInc=\nExtraLib=\nExtraLibPath=\n");

    r = Korlc(dir_ + "rtl", "show ../demo.k1");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        r.out,
        "Title: demo\nProject file: " + dir_ +
            "demo.k1\n"
            "Sources (2):\n  main.cpp\n    includes top.h\n  rtl/alu.cc\n"
            "Headers (1):\n  top.h\n"
            "Options:\n  VCDFilename=trace\n  ExtraPrp=A,B\n  ExtraInc=\n  ExtraLib=\n  ExtraLibPath=\n");

    // From the project directory or the current one.
    r = Korlc(dir_ + "rtl", "remove ../demo.k1 main.cpp");
    EXPECT_EQ(r.status, 0) << r.out;
    r = Korlc(dir_, "remove demo.k1 main.cpp");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(Read(dir_ + "demo.k1").find("[Cpps]\nItem0=rtl/alu.cc\n[Hs]"), std::string::npos);
}

TEST_F(KorlcProject, PrintsTheMakefilesWithoutWritingThem) {
    Write(dir_ + "main.cpp", "#include \"top.h\"\n");
    Write(dir_ + "top.h", "\n");
    ASSERT_EQ(Korlc(dir_, "new d.k1").status, 0);
    ASSERT_EQ(Korlc(dir_, "add d.k1 main.cpp top.h").status, 0);

    Result r = Korlc(dir_, "makefile d.k1");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("MODULE = d\nSRCS = main.cpp \nOBJS = main.o \n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("EXE    = $(MODULE)\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nmain.o : main.cpp top.h \n\t$(CC) $(CFLAGS) $(INCDIR) -c \"main.cpp\"\n"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir_ + "makefile"));

    r = Korlc(dir_, "makefile d.k1 --compile main.cpp");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("-DSC_USE_SC_STRING_OLD\n"), std::string::npos);
    EXPECT_NE(r.out.find("\nmain.o : " + dir_ + "main.cpp \n"), std::string::npos) << r.out;
    r = Korlc(dir_, "makefile d.k1 --compile top.h");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Cannot compile this file because it is not a project source file.\n");
}

TEST_F(KorlcProject, HelpUsageAndMissingProjects) {
    for (const char* cmd : {"new", "add", "remove", "show", "set", "makefile"}) {
        Result r = Korlc(dir_, std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_EQ(r.out.rfind(std::string("usage: korlc ") + cmd, 0), 0u) << r.out;
        EXPECT_EQ(Korlc(dir_, cmd).status, 2) << cmd;
    }
    Result r = Korlc(dir_, "show nothere.k1");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out,
              "korlc show: cannot open project file " + dir_ + "nothere.k1: No such file or directory\n");
    EXPECT_FALSE(std::filesystem::exists(dir_ + "nothere.k1"));
}
