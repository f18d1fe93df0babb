// Arrays, structs, references and pointers: decoded from gdb's printed
// text alone, and against the real gdb on a program the tests build.
#include "debug_programs.h"
#include "session_harness.h"
#include "debugger/breakpoint_table.h"
#include "debugger/value_tree.h"

#include <gtest/gtest.h>

#include <map>

using namespace korl;

namespace {

std::string Int8(int v) {
    return "{<sc_dt::sc_int_base> = {<sc_dt::sc_value_base> = {_vptr.sc_value_base = 0x5555 <vtable for "
           "sc_dt::sc_int<8>+16>}, m_val = " +
           std::to_string(v) + ", m_len = 8, m_ulen = 56}, <No data fields>}";
}

TEST(ValueTreeTest, ParsesWhatGdbPrints) {
    PrintedNode n;
    ASSERT_TRUE(ParsePrintedValue(
        "{s = \"a, }b\", c = 97 'a', f = {int (int)} 0x11 <scale(int, int)>, d = {1, 2}}", n));
    ASSERT_EQ(n.children.size(), 4u);
    EXPECT_EQ(n.children[0].text, "\"a, }b\"");
    EXPECT_EQ(n.children[1].text, "97 'a'");
    EXPECT_EQ(n.children[2].text, "{int (int)} 0x11 <scale(int, int)>");
    EXPECT_EQ(n.children[3].children.size(), 2u);

    ASSERT_TRUE(ParsePrintedValue("{0 <repeats 15 times>, 7, 8...}", n));
    ASSERT_EQ(n.children.size(), 3u);
    EXPECT_EQ(n.children[0].repeats, 15u);
    EXPECT_EQ(n.children[2].text, "8");
    EXPECT_TRUE(n.elided);

    for (const char* bad : {"{", "{a = }", "{1, 2", "7", "{\"open}", "{1} x"})
        EXPECT_FALSE(ParsePrintedValue(bad, n)) << bad;
    EXPECT_FALSE(ParsePrintedValue(std::string(100000, '{'), n));
}

TEST(ValueTreeTest, DecodesMembersFromOneAnswerAndAsksOnlyForWhatNeedsMore) {
    std::map<std::string, EvalResult> gdb;
    gdb["arr"] = {true, "{" + Int8(-8) + ", " + Int8(7) + ", " + Int8(-1) + ", " + Int8(3) + "}"};
    gdb["m"] = {true,
                "{a = -42, b = {<sc_dt::sc_uint_base> = {<sc_dt::sc_value_base> = {_vptr.sc_value_base = "
                "0x1}, m_val = "
                "4095, m_len = 12, m_ulen = 52}, <No data fields>}, c = " +
                    Int8(-32) + "}"};
    gdb["w"] = {true,
                "{nib = {<sc_dt::sc_lv_base> = {<sc_dt::sc_proxy<sc_dt::sc_lv_base>> = {_vptr.sc_proxy = "
                "0x1}, m_len = "
                "4, m_size = 1, m_data = 0x2, m_ctrl = 0x3}, <No data fields>}, on = true}"};
    gdb["*w.nib.m_data@w.nib.m_size"] = {true, "5"};
    gdb["*w.nib.m_ctrl@w.nib.m_size"] = {true, "3"};
    gdb["same"] = {true, "{" + Int8(0) + " <repeats 12 times>, " + Int8(1) + "}"};
    std::vector<std::string> asked;
    auto evaluate = [&](const std::string& e) {
        asked.push_back(e);
        auto it = gdb.find(e);
        return it == gdb.end() ? EvalResult{false, std::string(kNoSymbol)} : it->second;
    };
    WatchValue arr = EvaluateWatchTree("arr", evaluate);
    EXPECT_EQ(arr.value, "{-8, 7, -1, 3}");
    ASSERT_EQ(arr.children.size(), 4u);
    EXPECT_EQ(arr.children[1].name, "[1]");
    EXPECT_EQ(arr.children[1].expression, "arr[1]");
    EXPECT_EQ(asked.size(), 1u); // integers decode from the one answer

    EXPECT_EQ(EvaluateWatchTree("m", evaluate).value, "{a = -42, b = 4095, c = -32}");
    asked.clear();
    WatchValue w = EvaluateWatchTree("w", evaluate);
    EXPECT_EQ(w.value, "{nib = 01zx, on = true}");
    EXPECT_EQ(asked,
              (std::vector<std::string>{"w", "*w.nib.m_data@w.nib.m_size", "*w.nib.m_ctrl@w.nib.m_size"}));
    EXPECT_EQ(w.children[0].expression, "w.nib");

    WatchValue same = EvaluateWatchTree("same", evaluate);
    EXPECT_EQ(same.children.size(), 13u);
    EXPECT_EQ(same.value, "{0 <repeats 12 times>, 1}");
    EXPECT_EQ(EvaluateWatch("nothing", evaluate), std::string(kNoSymbol));
}

class AggregateTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        dir_ = korl_test::ProgramDir(&error);
        ASSERT_FALSE(dir_.empty()) << error;
        source_ = dir_ + "/aggregates.cpp";
    }
    std::string dir_, source_;
};

TEST_F(AggregateTest, ArraysStructsReferencesPointersAndPagesAtARealStop) {
    korl_test::Harness h;
    ASSERT_TRUE(h.Start("aggregates"));
    BreakpointTable table;
    table.AddBreakpoint(source_, korl_test::LineOf(source_, "main stop"));
    table.AddBreakpoint(source_, korl_test::LineOf(source_, "ref stop"));
    table.SetSession(&h.session);
    table.InsertAll();
    h.session.Run();
    ASSERT_TRUE(h.NextStop()) << h.console;
    EXPECT_EQ(h.Watch("arr"), "{-8, 1, -10, 3, -12, 5, -14, 7, -16, 9, -18, 11, -20, 13, -22, 15}");
    EXPECT_EQ(h.Watch("grid"), "{{0, 1, 2}, {3, 4, 5}}");
    EXPECT_EQ(h.Watch("lvs"), "{01zx, 1111, 0000}");
    EXPECT_EQ(h.Watch("m"), "{a = -42, b = 4095, c = -32}");
    EXPECT_EQ(h.Watch("w"), "{nib = 1z0x, on = true}");
    EXPECT_EQ(h.Watch("same"), "{0 <repeats 16 times>}");
    EXPECT_EQ(h.Watch("ref"), "1");
    std::string ptr = h.Watch("ptr");
    EXPECT_EQ(ptr.rfind("0x", 0), 0u) << ptr;
    EXPECT_EQ(ptr.substr(ptr.size() - 5), " -> 3") << ptr;
    EXPECT_EQ(h.Watch("grid[1][2]"), "5");

    // the tree: 2-D children, and the 450-element array in pages of 200
    WatchValue grid, big, page2, page3;
    int got = 0;
    h.session.EvaluateWatchTree("grid", [&](const WatchValue& v) { grid = v, ++got; });
    h.session.EvaluateWatchTree("big", [&](const WatchValue& v) { big = v, ++got; });
    ASSERT_TRUE(h.Until([&] { return got == 2; }));
    ASSERT_EQ(grid.children.size(), 2u);
    EXPECT_EQ(grid.children[1].value, "{3, 4, 5}");
    EXPECT_EQ(grid.children[1].children[2].expression, "grid[1][2]");
    ASSERT_EQ(big.children.size(), 200u);
    EXPECT_EQ(big.children[199].value, "199");
    EXPECT_EQ(big.moreFrom, 200u);
    EXPECT_EQ(big.value.substr(big.value.size() - 9), ", 199...}") << big.value;
    h.session.LoadArrayPage("big", 200, [&](const WatchValue& v) { page2 = v, ++got; });
    h.session.LoadArrayPage("big", 400, [&](const WatchValue& v) { page3 = v, ++got; });
    ASSERT_TRUE(h.Until([&] { return got == 4; }));
    ASSERT_EQ(page2.children.size(), 200u);
    EXPECT_EQ(page2.children[0].name, "[200]");
    EXPECT_EQ(page2.children[0].value, "200");
    EXPECT_EQ(page2.moreFrom, 400u);
    ASSERT_EQ(page3.children.size(), 50u);
    EXPECT_EQ(page3.children[49].value, "449");
    EXPECT_EQ(page3.moreFrom, 0u);

    h.session.Continue();
    ASSERT_TRUE(h.NextStop()) << h.console;
    EXPECT_EQ(h.Watch("r"), "1");
    std::string p = h.Watch("p");
    EXPECT_EQ(p, ptr);
    table.SetSession(nullptr);
    h.session.Stop();
}

} // namespace
