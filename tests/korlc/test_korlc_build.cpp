// korlc build/rebuild/compile end to end: the counter example against the
// installed SystemC, a broken copy of it, and Ctrl+C in the middle of a build.
#include <gtest/gtest.h>

#include <thread>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "project/childprocess.h"

namespace fs = std::filesystem;

namespace {

struct KorlcRun {
    std::string out;
    int status = -1;
};

KorlcRun Korlc(const std::string& args, bool mergeStderr = false) {
    KorlcRun r;
    std::string cmd = std::string(KORLC_PATH) + " " + args + (mergeStderr ? " 2>&1" : " 2>/dev/null");
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
    int rc = pclose(p);
    r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return r;
}

class KorlcBuild : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(KORL_BINARY_DIR) / ("korlc_build_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::copy(fs::path(KORL_SOURCE_DIR) / "examples/counter", dir_, fs::copy_options::recursive);
        project_ = (dir_ / "counter.k1").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Processes still working in the project directory.
    bool AnyProcessIn(const fs::path& dir, const std::string& comm = {}) {
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::error_code ec;
            if (fs::read_symlink(entry.path() / "cwd", ec) != dir) continue;
            std::string name, stat;
            std::ifstream(entry.path() / "comm") >> name;
            std::getline(std::ifstream(entry.path() / "stat"), stat);
            auto close = stat.rfind(')');
            if (close == std::string::npos || stat.substr(close + 2, 1) == "Z") continue;
            if (comm.empty() || name == comm) return true;
        }
        return false;
    }

    fs::path dir_;
    std::string project_;
};

} // namespace

TEST_F(KorlcBuild, CounterBuildsRunsAndWritesItsVcd) {
    // One job: the sources are compiled in their order.
    KorlcRun r = Korlc("build --jobs 1 " + project_);
    EXPECT_EQ(r.out,
              "Compiling...\nmain.cpp\n"
              "Compiling...\ncounter.cpp\n"
              "Compiling...\ntestbench.cpp\n"
              "Linking...\n"
              "\n"
              "counter - 0 error(s), 0 warning(s)\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
    ASSERT_TRUE(fs::exists(dir_ / "counter"));

    std::string cmd = "cd '" + dir_.string() + "' && ./counter 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    EXPECT_EQ(pclose(p), 0) << out;
    EXPECT_NE(out.find("counter: count is "), std::string::npos) << out;
    std::stringstream vcd;
    vcd << std::ifstream(dir_ / "counter.vcd").rdbuf();
    EXPECT_NE(vcd.str().find("count [3:0]"), std::string::npos);
    EXPECT_NE(vcd.str().find("$enddefinitions"), std::string::npos);

    // Nothing changed: make says so, under the target's name.
    r = Korlc("build " + project_);
    EXPECT_EQ(r.out, "counter is up to date.\n\ncounter - 0 error(s), 0 warning(s)\n");
    EXPECT_EQ(r.status, 0);
    // Compile names the object; the source may be given from the project directory.
    r = Korlc("compile " + project_ + " counter.cpp");
    EXPECT_EQ(r.out, "counter.o is up to date.\n\ncounter.o - 0 error(s), 0 warning(s)\n");
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
}

TEST_F(KorlcBuild, ParallelRebuildKeepsEachCompilersLinesTogether) {
    std::ofstream(dir_ / "counter.cpp", std::ios::app) << "static int unused_here;\n#warning counter warns\n";
    std::ofstream(dir_ / "testbench.cpp", std::ios::app) << "#warning testbench warns\n";
    KorlcRun r = Korlc("rebuild -j3 " + project_);
    EXPECT_EQ(r.status, 0) << r.out;
    // Whatever order the jobs end in, each file's warnings follow its own
    // "Compiling..." lines, and the counts add up.
    for (const std::string file : {"counter.cpp", "testbench.cpp"}) {
        const std::size_t at = r.out.find("Compiling...\n" + file + "\n");
        ASSERT_NE(at, std::string::npos) << r.out;
        const std::size_t next = r.out.find("Compiling...", at + 1);
        const std::string block = r.out.substr(at, next == std::string::npos ? std::string::npos : next - at);
        EXPECT_NE(block.find(file + ":"), std::string::npos) << block;
        EXPECT_NE(block.find("warning: #warning"), std::string::npos) << block;
    }
    EXPECT_NE(r.out.find("Compiling...\nmain.cpp\n"), std::string::npos);
    EXPECT_NE(r.out.find("Linking...\n\ncounter - 0 error(s), 3 warning(s)\n"), std::string::npos) << r.out;
    EXPECT_EQ(Korlc("build --jobs 0 " + project_, true).status, 2); // no jobs is no build
}

TEST_F(KorlcBuild, BrokenCopyShowsRewrittenErrorsAndFails) {
    std::string main;
    {
        std::stringstream s;
        s << std::ifstream(dir_ / "main.cpp").rdbuf();
        main = s.str();
    }
    std::ofstream(dir_ / "main.cpp") << "#error clock not wired yet\n#include \"clock.h\"\n" << main;
    KorlcRun r = Korlc("rebuild --jobs=1 " + project_);
    EXPECT_EQ(r.out,
              "Compiling...\nmain.cpp\n"
              "main.cpp:1:2: error: error: #error clock not wired yet\n"
              "    1 | #error clock not wired yet\n"
              "      |  ^~~~~\n"
              "main.cpp:2: error: No such file or directory\n"
              "    2 | #include \"clock.h\"\n"
              "      |          ^~~~~~~~~\n"
              "compilation terminated.\n"
              "\n"
              "counter - 2 error(s), 0 warning(s)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
}

TEST_F(KorlcBuild, CtrlCStopsTheBuildAndEverythingItStarted) {
    korl::ChildProcessOptions o;
    o.argv = {KORLC_PATH, "build", project_};
    std::string error;
    auto korlc = korl::StartChildProcess(o, &error);
    ASSERT_TRUE(korlc) << error;
    std::vector<std::string> lines;
    bool interrupted = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!korlc->finished() && std::chrono::steady_clock::now() < deadline) {
        pollfd fds[1] = {{korlc->outputFd(), POLLIN, 0}};
        ::poll(fds, korlc->outputFd() >= 0 ? 1 : 0, 20);
        auto more = korlc->readAvailable();
        lines.insert(lines.end(), more.begin(), more.end());
        if (!interrupted && AnyProcessIn(dir_, "cc1plus")) {
            ::kill(korlc->pid(), SIGINT); // what the terminal sends on Ctrl+C
            interrupted = true;
        }
    }
    ASSERT_TRUE(interrupted);
    ASSERT_TRUE(korlc->finished());
    EXPECT_EQ(korlc->exitCode(), 1);
    ASSERT_GE(lines.size(), 3u);
    // make may still hand over the output it kept for the ended jobs.
    EXPECT_NE(std::find(lines.begin(), lines.end(), "Compiling is canceled by user."), lines.end());
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "counter - 1 error(s), 0 warning(s)");
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
    // The group was sent SIGKILL before korlc ended; give the kernel a bounded
    // moment to finish tearing the processes down.
    auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (AnyProcessIn(dir_) && std::chrono::steady_clock::now() < gone)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(AnyProcessIn(dir_));
}

TEST(KorlcBuildCli, HelpAndStartFailures) {
    for (const char* cmd : {"build", "rebuild", "compile"}) {
        KorlcRun r = Korlc(std::string(cmd) + " --help");
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_EQ(r.out.rfind(std::string("usage: korlc ") + cmd, 0), 0u) << r.out;
    }
    KorlcRun r = Korlc("build /nonexistent/x.k1", true);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "korlc: cannot open project file /nonexistent/x.k1: No such file or directory\n");
    r = Korlc("compile " + std::string(KORL_SOURCE_DIR) + "/examples/counter/counter.k1 counter.h", true);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "korlc: Cannot compile this file because it is not a project source file.\n");
    EXPECT_EQ(Korlc("build").status, 2);
}
