// korlc debug and korlc run end to end: a design built by the test, run
// under the real gdb (stops, actions, input, watches, stack, max stops,
// exit statuses) and without it (arguments from the command line and from
// the project).
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Result {
    std::string out;
    int status = -1;
};

Result Korlc(const std::string& args) {
    Result r;
    std::string cmd = std::string(KORLC_PATH) + " " + args + " 2>&1 </dev/null";
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int rc = pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

int LineOf(const fs::path& file, const std::string& marker) {
    std::ifstream in(file);
    int n = 0;
    for (std::string l; std::getline(in, l);)
        if (++n, l.find(marker) != std::string::npos) return n;
    return 0;
}

class KorlcDebug : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(KORL_BINARY_DIR) / ("korlc_debug_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        fs::copy(fs::path(KORL_SOURCE_DIR) / "tests/korlc/data/debugdesign/design.cpp", dir_ / "design.cpp");
        project_ = (dir_ / "design.k1").string();
        ASSERT_EQ(Korlc("new " + project_).status, 0);
        ASSERT_EQ(Korlc("add " + project_ + " " + (dir_ / "design.cpp").string()).status, 0);
        tick_ = LineOf(dir_ / "design.cpp", "tick line");
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string P() const { return "'" + project_ + "'"; }

    fs::path dir_;
    std::string project_;
    int tick_ = 0;
};

TEST_F(KorlcDebug, StopsWatchesStackActionsInputAndMaxStops) {
    Result r = Korlc("debug " + P() + " --break design.cpp:" + std::to_string(tick_) +
                     " --watch n --watch hist --watch nosuch --stack --actions next,continue --max-stops 3"
                     " --input Ann -- first 'two words'");
    EXPECT_EQ(r.status, 1) << r.out; // stopped after three stops: aborted
    EXPECT_NE(r.out.find("design - 0 error(s), 0 warning(s)"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("hello Ann args 2 [first] [two words]\n"), std::string::npos) << r.out;
    const std::string at = "stopped at design.cpp:" + std::to_string(tick_);
    std::regex first(at +
                     R"( \(breakpoint-hit\) at 0 s, delta \d+, t\.tick\nn = 0\nhist = \{-2, 0, 0, 0\}\n)"
                     R"(nosuch = No symbol in current context\n0  ticker::tick  design\.cpp:)" +
                     std::to_string(tick_) + "\n");
    EXPECT_TRUE(std::regex_search(r.out, first)) << r.out;
    EXPECT_NE(r.out.find("  in libsystemc"), std::string::npos) << r.out;
    std::regex second(
        R"(stopped at design\.cpp:\d+ \(end-stepping-range\) at 0 s, delta \d+, t\.tick\nn = 1\nhist = \{-2, 0, 0, 0\}\n)");
    EXPECT_TRUE(std::regex_search(r.out, second)) << r.out;
    std::regex third(at +
                     R"( \(breakpoint-hit\) at 10 ns, delta \d+, t\.tick\nn = 1\nhist = \{-2, -1, 0, 0\}\n)");
    EXPECT_TRUE(std::regex_search(r.out, third)) << r.out;
    EXPECT_EQ(r.out.find("stopped at", r.out.find(" at 10 ns") + 1), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Debugging is canceled by user\n\nKorl: Execution Aborted!\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("Internal error"), std::string::npos) << r.out;
}

TEST_F(KorlcDebug, RunsToTheEndAndFailedBuildsSayTwo) {
    Result r = Korlc("debug " + P() + " --input Bob");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("name? hello Bob args 0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("ticks 5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nKorl: Execution Done!\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("stopped at"), std::string::npos) << r.out;

    std::ofstream(dir_ / "design.cpp", std::ios::app) << "this is not C++\n";
    r = Korlc("debug " + P());
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(Korlc("debug " + P() + " --actions jump").status, 2);
    EXPECT_EQ(Korlc("debug " + (dir_ / "none.k1").string()).status, 2);
}

TEST_F(KorlcDebug, RunWithoutTheDebuggerTakesArgumentsFromTheCommandLineOrTheProject) {
    Result r = Korlc("run " + P() + " --input Zed -- a 'b c'");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("hello Zed args 2 [a] [b c]\nticks 5\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nKorl: Execution Done!\n"), std::string::npos) << r.out;

    ASSERT_EQ(Korlc("set " + P() + " args \"x 'y z'\"").status, 0);
    std::ifstream in(project_);
    std::string text((std::istreambuf_iterator<char>(in)), {});
    EXPECT_NE(text.find("ProgramArgs=x 'y z'"), std::string::npos) << text;
    r = Korlc("run " + P() + " --input ''");
    EXPECT_NE(r.out.find("hello  args 2 [x] [y z]\n"), std::string::npos) << r.out;
    r = Korlc("debug " + P() + " --input Q");
    EXPECT_NE(r.out.find("hello Q args 2 [x] [y z]\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.status, 0);
}

} // namespace
