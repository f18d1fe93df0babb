#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "base/process.h"

using korl::OpenPseudoTerminal;
using korl::Spawn;
using korl::SpawnOptions;

namespace {

// Everything the fd delivers until it ends or fails (a pty master reports
// EIO once the last slave is closed), bounded by a few seconds.
std::string ReadAll(int fd, const std::string& until = {}) {
    std::string text;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        char buf[4096];
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EAGAIN) continue;
        if (n <= 0) break;
        text.append(buf, size_t(n));
        if (!until.empty() && text.find(until) != std::string::npos) break;
    }
    return text;
}

int Reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(Spawn, MergesOutputAppliesEnvironmentAndOwnGroup) {
    SpawnOptions o;
    o.argv = {"sh", "-c", "echo out; echo err >&2; echo $LC_ALL $KORL_X; pwd"};
    o.workingDirectory = "/tmp";
    o.environment = {"KORL_X=1", "KORL_X=2"};
    auto child = Spawn(o);
    ASSERT_TRUE(child) << child.error().message;
    EXPECT_EQ(::getpgid(child->pid), child->pid);
    EXPECT_EQ(ReadAll(child->output), "out\nerr\nC 2\n/tmp\n");
    EXPECT_EQ(Reap(child->pid), 0);
    for (int fd : {child->output, child->input, child->exitFd})
        if (fd >= 0) ::close(fd);
}

TEST(Spawn, StartFailuresSayWhy) {
    SpawnOptions o;
    auto none = Spawn(o);
    ASSERT_FALSE(none);
    EXPECT_EQ(none.error().message, "no program to start");
    o.argv = {"/nonexistent/korl-tool"};
    auto missing = Spawn(o);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_EQ(missing.error().message.rfind("cannot start /nonexistent/korl-tool: ", 0), 0u);
    o.argv = {"true"};
    o.workingDirectory = "/nonexistent-dir";
    auto dir = Spawn(o);
    ASSERT_FALSE(dir);
    EXPECT_EQ(dir.error().message.rfind("cannot change to directory /nonexistent-dir", 0), 0u);
}

TEST(Spawn, SocketInputFailsInsteadOfSignallingAfterChildEnds) {
    SpawnOptions o;
    o.argv = {"head", "-n", "1"};
    o.input = SpawnOptions::Input::Socket;
    auto child = Spawn(o);
    ASSERT_TRUE(child) << child.error().message;
    ASSERT_EQ(::send(child->input, "hi\n", 3, MSG_NOSIGNAL), 3);
    EXPECT_EQ(ReadAll(child->output), "hi\n");
    EXPECT_EQ(Reap(child->pid), 0);
    ssize_t n = 0;
    for (int i = 0; i < 100 && n >= 0; ++i) n = ::send(child->input, "more\n", 5, MSG_NOSIGNAL);
    EXPECT_LT(n, 0);
    EXPECT_EQ(errno, EPIPE);
    for (int fd : {child->output, child->input, child->exitFd})
        if (fd >= 0) ::close(fd);
}

TEST(Spawn, PseudoTerminalIsTheChildsControllingTerminal) {
    auto tty = OpenPseudoTerminal(false);
    ASSERT_TRUE(tty) << tty.error().message;
    EXPECT_EQ(tty->name().rfind("/dev/pts/", 0), 0u);
    SpawnOptions o;
    o.argv = {"sh", "-c", "read x; test -t 0 && echo tty:$x; tty"};
    o.terminal = &*tty;
    auto child = Spawn(o);
    ASSERT_TRUE(child) << child.error().message;
    EXPECT_EQ(child->output, -1);
    ASSERT_EQ(::write(tty->master(), "abc\n", 4), 4);
    // Echo is off: only the program's own output comes back.
    const std::string text = ReadAll(tty->master(), tty->name() + "\r\n");
    EXPECT_EQ(text, "tty:abc\r\n" + tty->name() + "\r\n");
    EXPECT_EQ(Reap(child->pid), 0);
    if (child->exitFd >= 0) ::close(child->exitFd);
}
