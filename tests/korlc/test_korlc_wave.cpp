#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string RunKorlc(const std::string& args, int* status, bool stderrToo = true) {
    const std::string cmd = std::string(KORLC_PATH) + " " + args + (stderrToo ? " 2>&1" : " 2>/dev/null");
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int rc = pclose(p);
    *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string Dir() {
    const fs::path d = fs::path(KORL_BINARY_DIR) / "tmp_korlc_wave";
    fs::create_directories(d);
    return d.string();
}

const char kDump[] =
    "$timescale 1 ns $end\n"
    "$scope module top $end\n"
    "$var wire 1 ! clk $end\n"
    "$var wire 4 \" d [3:0] $end\n"
    "$var integer 32 # n $end\n"
    "$upscope $end\n$enddefinitions $end\n"
    "#0\n0!\nb1010 \"\nb111 #\n#1000\n1!\nb11 \"\n#2000\n";

} // namespace

TEST(KorlcWave, ConvertListAndValuesAt) {
    const std::string vcd = Dir() + "/run.vcd";
    std::ofstream(vcd) << kDump;
    fs::remove(Dir() + "/run.wvw");
    int st = -1;
    std::string out = RunKorlc("vcd2wvw " + vcd, &st);
    EXPECT_EQ(st, 0) << out;
    EXPECT_EQ(out, Dir() + "/run.wvw\nrows: 8\nsignals: 6\nend time: 2000 ( 2u )\n");

    out = RunKorlc("wvw " + Dir() + "/run.wvw", &st);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(out,
              "composite top\n"
              "  scalar clk four-state 3\n"
              "  composite d\n"
              // A bit keeps only its own changes (and the closing entry).
              "    scalar d[3] four-state 3\n"
              "    scalar d[2] four-state 2\n"
              "    scalar d[1] four-state 2\n"
              "    scalar d[0] four-state 3\n"
              "  scalar n integer 2\n");

    out = RunKorlc("wvw " + Dir() + "/run.wvw --at 1001 --radix h", &st);
    EXPECT_EQ(st, 0);
    EXPECT_NE(out.find("  clk = 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  d = 3h\n"), std::string::npos) << out;
    EXPECT_NE(out.find("    d[1] = 1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("  n = 7h \n"), std::string::npos) << out;
    out = RunKorlc("wvw " + Dir() + "/run.wvw --at 500 --radix s", &st);
    EXPECT_NE(out.find("  d = -6d \n"), std::string::npos) << out;

    const std::string other = Dir() + "/other.wvw";
    out = RunKorlc("vcd2wvw " + vcd + " -o " + other, &st);
    EXPECT_EQ(st, 0);
    EXPECT_TRUE(fs::exists(other));
}

TEST(KorlcWave, ErrorsGoToStandardErrorWithTitles) {
    const std::string vcd = Dir() + "/bad.vcd";
    std::ofstream(vcd) << "$timescale 1 ns $end\n$enddefinitions $end\n#1\n$timescale 1 qs $end\n";
    fs::remove(Dir() + "/bad.wvw");
    int st = -1;
    std::string out = RunKorlc("vcd2wvw " + vcd, &st, false);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(out.find("Waview"), std::string::npos) << out; // warnings go to standard error
    out = RunKorlc("vcd2wvw " + vcd, &st);
    EXPECT_NE(out.find("Waview: 1 warning:\nunknown command $timescale is skipped, in line 4\n"),
              std::string::npos)
        << out;

    const std::string refused = Dir() + "/refused.vcd";
    std::ofstream(refused) << "$timescale 1 qs $end\n$enddefinitions $end\n#1\n";
    out = RunKorlc("vcd2wvw " + refused, &st, false);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(out, "");
    out = RunKorlc("vcd2wvw " + refused, &st);
    EXPECT_EQ(out.rfind("Parser Error: Parse failed\nExpecting time unit", 0), 0u) << out;
    EXPECT_NE(out.find("in line: 1 of " + refused), std::string::npos);
    EXPECT_FALSE(fs::exists(Dir() + "/refused.wvw"));

    const std::string junk = Dir() + "/junk.wvw";
    std::ofstream(junk) << "abc";
    out = RunKorlc("wvw " + junk, &st);
    EXPECT_EQ(st, 1);
    EXPECT_EQ(out, "Waview: " + junk + ": not a wave-view file (too short)\n");

    out = RunKorlc("wvw " + junk + " --radix q", &st);
    EXPECT_EQ(st, 2);
    // Times outside 0 … INT64_MAX are refused, not saturated.
    for (const char* at : {"-1", "99999999999999999999"}) {
        out = RunKorlc("wvw " + junk + " --at " + at, &st);
        EXPECT_EQ(st, 2) << at;
        EXPECT_EQ(out, std::string("korlc wvw: time '") + at + "' is outside 0 to 9223372036854775807\n");
    }
    EXPECT_EQ(RunKorlc("vcd2wvw --help", &st).rfind("usage: korlc vcd2wvw", 0), 0u);
    EXPECT_EQ(RunKorlc("wvw --help", &st).rfind("usage: korlc wvw", 0), 0u);
}

TEST(KorlcWave, StringsAndNineStateValuesAt) {
    const std::string vcd = Dir() + "/kinds.vcd";
    std::ofstream(vcd)
        << "$timescale 1 ns $end\n$scope module top $end\n$var string 1 ! st $end\n"
           "$var wire 4 \" v $end\n$var wire 72 # w $end\n$upscope $end\n$enddefinitions $end\n"
           "#0\nsIDLE !\nbUL1H \"\nb1" +
               std::string(71, '1') + " #\n#5\nsRUN\\040FAST !\nb1X0Z \"\n#9\n";
    int st = -1;
    std::string out = RunKorlc("vcd2wvw " + vcd, &st);
    ASSERT_EQ(st, 0) << out;
    out = RunKorlc("wvw " + Dir() + "/kinds.wvw --at 3 --radix b", &st);
    // Strings become numbers in the file; the window shows them from memory.
    EXPECT_NE(out.find("  v = UL1Hb\n"), std::string::npos) << out;
    out = RunKorlc("wvw " + Dir() + "/kinds.wvw --at 3 --radix u", &st);
    EXPECT_NE(out.find("  w = 4722366482869645213695u \n"), std::string::npos) << out;
    out = RunKorlc("wvw " + Dir() + "/kinds.wvw --at 6 --radix h", &st);
    EXPECT_NE(out.find("  v = xh\n"), std::string::npos) << out;
    // A dump read directly keeps its strings.
    out = RunKorlc("wvw " + vcd + " --at 6", &st);
    EXPECT_NE(out.find("  st = RUN FAST \n"), std::string::npos) << out;
    out = RunKorlc("wvw " + vcd + " --at 3", &st);
    EXPECT_NE(out.find("  st = IDLE \n"), std::string::npos) << out;
    out = RunKorlc("wvw " + Dir() + "/kinds.wvw --at 6 --radix o", &st);
    EXPECT_NE(out.find("  w = 777777777777777777777777o\n"), std::string::npos) << out;
}
