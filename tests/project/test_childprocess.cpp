#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

#include "project/childprocess.h"

using korl::ChildProcess;
using korl::ChildProcessOptions;
using korl::StartChildProcess;

namespace {

std::unique_ptr<ChildProcess> Start(const std::string& script, bool withInput = false, std::string dir = {}) {
    ChildProcessOptions o;
    o.argv = {"/bin/sh", "-c", script};
    o.withInput = withInput;
    o.workingDirectory = std::move(dir);
    std::string error;
    auto child = StartChildProcess(o, &error);
    EXPECT_TRUE(child) << error;
    return child;
}

// Drives the child the way an event loop does until it has finished (or the
// deadline passes, which fails the test instead of hanging it).
std::vector<std::string> RunToEnd(ChildProcess& child, std::chrono::seconds limit = std::chrono::seconds(20),
                                  const std::function<void(std::vector<std::string>&)>& onLines = {}) {
    std::vector<std::string> all;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!child.finished()) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "child did not finish";
            child.kill();
        }
        pollfd fds[2];
        nfds_t n = 0;
        if (child.outputFd() >= 0) fds[n++] = {child.outputFd(), POLLIN, 0};
        if (child.exitFd() >= 0) fds[n++] = {child.exitFd(), POLLIN, 0};
        ::poll(fds, n, 100);
        auto lines = child.readAvailable();
        if (onLines) onLines(lines);
        all.insert(all.end(), lines.begin(), lines.end());
    }
    return all;
}

// A killed process takes a moment to die; give it a few seconds.
bool GroupAlive(pid_t pgid) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!korl::ProcessesInGroup(pgid).empty()) {
        if (std::chrono::steady_clock::now() > deadline) return true;
        ::poll(nullptr, 0, 10);
    }
    return false;
}

} // namespace

TEST(ChildProcess, MergedOutputLinesExitCodeAndEnvironment) {
    auto child =
        Start("printf 'a\\tb\\r\\n'; echo err >&2; echo \"$LC_ALL\"; pwd; printf 'no line end'; exit 3",
              false, "/tmp");
    auto lines = RunToEnd(*child);
    EXPECT_EQ(lines, (std::vector<std::string>{"a       b", "err", "C", "/tmp"}));
    EXPECT_EQ(child->exitCode(), 3);
    EXPECT_FALSE(child->exitedBySignal());
    EXPECT_EQ(child->outputFd(), -1);
    EXPECT_EQ(child->exitFd(), -1);
}

TEST(ChildProcess, AMegabyteLineIsCutNotHoarded) {
    auto child = Start("head -c 1048576 /dev/zero | tr '\\0' e; echo; echo after");
    auto lines = RunToEnd(*child);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], std::string(korl::LineAssembler::kDefaultMaxLength, 'e'));
    EXPECT_EQ(lines[1], "after");
}

TEST(ChildProcess, InputReachesTheChild) {
    auto child = Start("read a; read b; echo \"got $a/$b\"; cat", true);
    EXPECT_TRUE(child->writeInput("x"));
    EXPECT_TRUE(child->writeInput("\ny\nrest\n"));
    child->closeInput(); // cat ends at end of input
    EXPECT_FALSE(child->writeInput("late"));
    EXPECT_EQ(RunToEnd(*child), (std::vector<std::string>{"got x/y", "rest"}));
    EXPECT_EQ(child->exitCode(), 0);

    // Writing to a child that has gone must not raise SIGPIPE here.
    auto gone = Start("exit 0", true);
    RunToEnd(*gone);
    gone->writeInput(std::string(100000, 'z'));
}

TEST(ChildProcess, StartFailuresAreReported) {
    std::string error;
    ChildProcessOptions o;
    o.argv = {"/nonexistent/make"};
    EXPECT_FALSE(StartChildProcess(o, &error));
    EXPECT_NE(error.find("/nonexistent/make"), std::string::npos) << error;
    o.argv = {"/bin/true"};
    o.workingDirectory = "/nonexistent-dir";
    EXPECT_FALSE(StartChildProcess(o, &error));
    EXPECT_NE(error.find("/nonexistent-dir"), std::string::npos) << error;
}

TEST(ChildProcess, OutputOfAnOrphanDoesNotHoldTheEnd) {
    // The background sleep keeps the pipe open after the shell exits.
    auto child = Start("echo first; sleep 30 & echo last");
    pid_t group = child->pid();
    EXPECT_EQ(RunToEnd(*child), (std::vector<std::string>{"first", "last"}));
    ::killpg(group, SIGKILL);
}

TEST(ChildProcess, StopEndsTheWholeGroup) {
    // Children in the group, one of them deaf to SIGTERM: nothing may survive.
    auto child = Start("sleep 30 & (trap '' TERM; sleep 30) & echo started; wait");
    pid_t group = child->pid();
    bool stopped = false;
    RunToEnd(*child, std::chrono::seconds(20), [&](std::vector<std::string>& lines) {
        if (!stopped && !lines.empty()) {
            auto report = child->stop();
            EXPECT_EQ(report.message, "");
            stopped = true;
        }
    });
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(child->exitedBySignal());
    EXPECT_FALSE(GroupAlive(group));
}

TEST(ChildProcess, StopWhileCompilingNamesTheCompiler) {
    // A real compile of SystemC takes long enough to catch cc1plus at work.
    std::string src = std::string(KORL_BINARY_DIR) + "/stop_compile.cpp";
    std::ofstream(src) << "#include <systemc.h>\nint sc_main(int, char**) { return 0; }\n";
    ChildProcessOptions o;
    o.argv = {"g++", "-c", "-o", "/dev/null", src};
    std::string error;
    auto child = StartChildProcess(o, &error);
    ASSERT_TRUE(child) << error;
    pid_t group = child->pid();
    korl::StopReport report;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool seen = false;
    while (!seen && !child->finished() && std::chrono::steady_clock::now() < deadline) {
        for (auto& p : korl::ProcessesInGroup(group))
            if (p.name == "cc1plus") seen = true;
        child->readAvailable();
    }
    ASSERT_TRUE(seen) << "cc1plus never showed up";
    report = child->stop();
    EXPECT_TRUE(report.compilerRunning);
    EXPECT_EQ(report.message, "Compiling is canceled by user.\r\n");
    // The killed driver must not complain about its killed compiler.
    EXPECT_EQ(RunToEnd(*child), std::vector<std::string>{});
    EXPECT_FALSE(GroupAlive(group));
    std::remove(src.c_str());
}

TEST(ChildProcess, StopWhileLinkingNamesTheLinker) {
    std::string dir = KORL_BINARY_DIR;
    std::ofstream(dir + "/stop_link.cpp") << "int main() { return 0; }\n";
    ASSERT_EQ(std::system(("g++ -c -o " + dir + "/stop_link.o " + dir + "/stop_link.cpp").c_str()), 0);
    // A link is short: try a few times to catch collect2 or ld at work.
    bool caught = false;
    for (int attempt = 0; attempt < 10 && !caught; ++attempt) {
        ChildProcessOptions o;
        o.argv = {"g++", "-o", dir + "/stop_link", dir + "/stop_link.o", "-lsystemc"};
        std::string error;
        auto child = StartChildProcess(o, &error);
        ASSERT_TRUE(child) << error;
        pid_t group = child->pid();
        while (!caught && !child->finished()) {
            for (auto& p : korl::ProcessesInGroup(group))
                if (p.name == "collect2" || p.name == "ld") caught = true;
            child->readAvailable();
        }
        if (!caught) continue;
        auto report = child->stop();
        EXPECT_TRUE(report.linkerRunning);
        EXPECT_FALSE(report.compilerRunning);
        EXPECT_EQ(report.message, "Linking is canceled by user.\r\n");
        RunToEnd(*child);
        EXPECT_FALSE(GroupAlive(group));
    }
    EXPECT_TRUE(caught);
    for (const char* f : {"/stop_link.cpp", "/stop_link.o", "/stop_link"}) std::remove((dir + f).c_str());
}

TEST(ChildProcess, StopKillsAGroupThatIgnoresTerm) {
    auto child = Start("trap '' TERM; sleep 30 & echo started; wait");
    pid_t group = child->pid();
    bool stopped = false;
    RunToEnd(*child, std::chrono::seconds(20), [&](std::vector<std::string>& lines) {
        if (!stopped && !lines.empty()) {
            child->stop();
            stopped = true;
        }
    });
    EXPECT_EQ(child->exitCode(), 128 + SIGKILL);
    EXPECT_FALSE(GroupAlive(group));
}

TEST(ChildProcess, DestroyingARunningChildLeavesNothing) {
    auto child = Start("sleep 30 & sleep 30");
    pid_t group = child->pid();
    child.reset();
    EXPECT_FALSE(GroupAlive(group));
}
