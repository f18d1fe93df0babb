#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {
std::string runKorlc(const std::string& args, int* status) {
    std::string cmd = std::string(KORLC_PATH) + " " + args + " 2>&1";
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}
} // namespace

TEST(KorlcCli, HelpListsCommandsAndUnknownCommandFails) {
    int status = -1;
    std::string out = runKorlc("--help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("usage: korlc COMMAND"), std::string::npos);
    out = runKorlc("no-such-command", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("unknown command 'no-such-command'"), std::string::npos);
}
