// Text-level rules: command formatting, line building, record parsers and
// the SystemC value decoder, without gdb.
#include "debugger/gdb_command.h"
#include "debugger/line_builder.h"
#include "debugger/mi_machine.h"
#include "debugger/stop_record.h"
#include "debugger/value_decoder.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <fstream>

#include <filesystem>
#include <map>

using namespace korl;

TEST(GdbCommandTest, FormatsCommandsLocationsAndExpressions) {
    EXPECT_EQ(FormatGdbCommand(CMD_RUN), "-exec-run\r\n");
    EXPECT_EQ(FormatGdbCommand(CMD_BREAK_DELETE, "3"), "-break-delete 3\r\n");
    EXPECT_EQ(FormatGdbCommand(CMD_EVALUATE, "a\nb"), "-data-evaluate-expression a b\r\n");
    EXPECT_EQ(StateForCommand(CMD_UNTIL), STATE_EXEC);
    EXPECT_EQ(StateForCommand(CMD_EVALUATE), STATE_EVALUAE_EXPRESSION);

    EXPECT_EQ(BreakpointLocation("/p/main.cpp", 12), "\"/p/main.cpp:12\"");
    EXPECT_EQ(BreakpointLocation("C:\\a b\\m.cpp", 3), "\"\\\"C:/a b/m.cpp\\\":3\"");
    EXPECT_EQ(UntilLocation("/a b/m.cpp", 13), "\"/a b/m.cpp:13\"");

    EXPECT_EQ(QuoteExpression("*big_u.digit@big_u.ndigits"), "*big_u.digit@big_u.ndigits");
    EXPECT_EQ(QuoteExpression("a + \"x\\"), "\"a + \\\"x\\\\\"");
    EXPECT_EQ(QuoteExpression("-x"), "\"-x\"");
    // an argument far beyond any sane length is cut, never overflowing
    EXPECT_LE(FormatGdbCommand(CMD_EVALUATE, std::string(1 << 20, 'a')).size(), kMaxCommandArgument + 40);
}

TEST(LineBuilderTest, DropsCarriageReturnsExpandsTabsAndBoundsLines) {
    std::vector<std::string> lines;
    LineBuilder builder;
    auto keep = [&](std::string_view l) { lines.emplace_back(l); };
    builder.Feed("abc\tX\r\n\tY\nhalf", keep);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "abc     X\r\n"); // tab at column 3: five blanks
    EXPECT_EQ(lines[1], "        Y\r\n"); // tab at column 0: eight blanks
    EXPECT_EQ(builder.Pending(), "half");
    builder.Feed("12345678\tZ\n", keep);
    EXPECT_EQ(lines[2], "half12345678    Z\r\n");

    // a line of a megabyte passes whole; one beyond the limit is cut
    lines.clear();
    std::string mega(1 << 20, 'm');
    builder.Feed(mega + "\n", keep);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].size(), mega.size() + 2);
    LineBuilder small(16);
    small.Feed(std::string(100, 'x') + "\t\tshort\n", keep);
    EXPECT_EQ(lines[1], std::string(16, 'x') + "\r\n");

    ConsoleStream console;
    EXPECT_EQ(console.Feed("Name? "), "Name? ");
    EXPECT_EQ(console.Feed("\tA\r\nB\tC"), "  A\r\nB       C");
}

TEST(StopRecordTest, ParsesFieldsAndMapsLibraryPaths) {
    std::string dir = std::filesystem::temp_directory_path().string();
    StopRecord stop;
    int number = 7;
    ParseStopRecord(
        "*stopped,reason=\"breakpoint-hit\",bkptno=\"4\",frame={func=\"f\",file=\"x.cpp\",line=\"53\"}",
        "/opt/korl", dir, stop, number);
    EXPECT_EQ(stop.reason, "breakpoint-hit");
    EXPECT_EQ(number, 4);
    EXPECT_EQ(stop.file, std::filesystem::path(dir).lexically_normal().string() + "/x.cpp");
    EXPECT_EQ(stop.line, 53);

    ParseStopRecord(
        "*stopped,reason=\"signal-received\",signal-name=\"SIGSEGV\",signal-meaning=\"Segmentation fault\"",
        "/opt/korl", dir, stop, number);
    EXPECT_EQ(number, 4); // kept without bkptno
    EXPECT_EQ(stop.signalMeaning, "Segmentation fault");
    EXPECT_EQ(stop.file, "");
    EXPECT_EQ(stop.line, -1);

    // a file in a directory that does not exist gives no stop file
    ParseStopRecord("*stopped,reason=\"end-stepping-range\",file=\"../sysdeps/nope/x.h\",line=\"3\"", "/opt",
                    "/nonexistent", stop, number);
    EXPECT_EQ(stop.file, "");

    EXPECT_EQ(MapLibraryPath("../../../../src/sysc/kernel/sc_simcontext.cpp", "/opt/korl"),
              "/opt/korl/libraries/systemc-2.1.v1/src/sysc/kernel/sc_simcontext.cpp");
    EXPECT_EQ(MapLibraryPath("../../../src/scv/scv_random.cpp", "/r"),
              "/r/libraries/scv-1.0p2-sysc2.2/src/scv/scv_random.cpp");
    EXPECT_EQ(MapLibraryPath("scv_constraint.cpp", "/r"),
              "/r/libraries/scv-1.0p2-sysc2.2/src/scv/scv_constraint.cpp");
    EXPECT_EQ(MapLibraryPath("C:/x/mingw/include/c++/vector", "/r"), "/r/mingw/include/c++/vector");
    EXPECT_EQ(MapLibraryPath("/usr/include/sysc/kernel/sc_simcontext.h", "/r"),
              "/usr/include/sysc/kernel/sc_simcontext.h");

    // an over-long field is cut, not overflowing
    ParseStopRecord("*stopped,reason=\"" + std::string(100000, 'r') + "\"", "/r", dir, stop, number);
    EXPECT_EQ(stop.reason.size(), kMaxStopField);
}

TEST(StopRecordTest, ListsFramesWithFunctionsAndTheirSource) {
    std::string dir = (std::filesystem::temp_directory_path() / ("korl_frames_" + std::to_string(::getpid())))
                          .lexically_normal()
                          .string();
    std::filesystem::create_directories(dir + "/sub");
    std::ofstream(dir + "/w.cpp") << "x\n";
    std::ofstream(dir + "/sub/s.cpp") << "x\n";
    std::string reply =
        "^done,stack=[frame={level=\"0\",func=\"scale(int, int)\",file=\"w.cpp\",fullname=\"/x/w.cpp\","
        "line=\"47\"},"
        "frame={level=\"1\",func=\"sc_core::sc_elab_and_sim\",from=\"/lib/x86_64-linux-gnu/"
        "libsystemc-2.3.4.so\"},"
        "frame={level=\"2\",func=\"m\",file=\"../../../../src/sysc/kernel/sc_main.cpp\",line=\"9\"},"
        "frame={level=\"3\",func=\"_start\"},frame={level=\"4\",file=\"sub/s.cpp\",line=\"2\"}]\r\n";
    std::vector<StackFrame> frames = ParseFrameListing(reply, dir);
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(frames[0].file, dir + "/w.cpp");
    EXPECT_EQ(frames[0].line, 47);
    EXPECT_EQ(frames[2].file, ""); // SystemC's own sources are not installed
    EXPECT_EQ(StackText(frames, dir),
              "0  scale  w.cpp:47\r\n"
              "1  sc_core::sc_elab_and_sim  in libsystemc-2.3.4.so\r\n"
              "2  m  sc_main.cpp:9\r\n"
              "3  _start  in ??\r\n"
              "4  ??  " +
                  dir + "/sub/s.cpp:2\r\n");
    EXPECT_TRUE(ParseFrameListing("^done,stack=[frame={level=\"0\"", dir).empty());
    std::filesystem::remove_all(dir);

    EXPECT_EQ(ShortFunctionName("fir::entry()"), "fir::entry");
    EXPECT_EQ(ShortFunctionName("sc_core::sc_method_process::run_process(int) const"),
              "sc_core::sc_method_process::run_process");
    EXPECT_EQ(ShortFunctionName("std::vector<int>::push_back(int const&)"), "std::vector<int>::push_back");
    EXPECT_EQ(ShortFunctionName("void foo<std::map<std::string, std::vector<int> > >(int)"), "void foo<...>");
    EXPECT_EQ(ShortFunctionName("bool operator<(a, b)"), "bool operator<");
    EXPECT_EQ(ShortFunctionName("f<(x"), "f<(x");
    EXPECT_EQ(ShortFunctionName(""), "??");
    EXPECT_EQ(ProjectShortName("/p/q/main.cpp", "/p/q/"), "main.cpp");
    EXPECT_EQ(ProjectShortName("/p/q/sub/main.cpp", "/p/q"), "/p/q/sub/main.cpp");
}

TEST(ValueDecoderTest, FormatsBitsAndLogic) {
    EXPECT_EQ(FormatBits(5, 8), "00000101");
    EXPECT_EQ(FormatBits(5, 3), "101");
    EXPECT_EQ(FormatBits(0, 4), "0000");
    EXPECT_EQ(FormatBits(255, 4), "1111");
    EXPECT_EQ(FormatBits(0x80000000u, 32), "1" + std::string(31, '0'));
    EXPECT_EQ(FormatLogic(5, 3, 4), "01zx");
    EXPECT_EQ(FormatBitWords({5, 128}, 40), "1000000000000000000000000000000000000101");
    EXPECT_EQ(FormatLogicWords({1, 128}, {4, 128}, 40), "x000000000000000000000000000000000000z01");
    EXPECT_EQ(BigDigitsToDecimal({233767203, 362686127, 4660, 0}, false), "5373003642731685151011");
    EXPECT_EQ(BigDigitsToDecimal({279694831, 147937762, 1}, true), "-1311768467294899695");
    EXPECT_EQ(BigDigitsToDecimal({0, 0}, false), "0");
    EXPECT_EQ(BigDigitsToDecimal({7}, true), "-7");
}

TEST(ValueDecoderTest, ParsesWordListsAndReplies) {
    EXPECT_EQ(ParseWordList("165", 1), (std::vector<std::uint32_t>{165}));
    EXPECT_EQ(ParseWordList("{4294967295, 2}", 2), (std::vector<std::uint32_t>{4294967295u, 2}));
    EXPECT_EQ(ParseWordList("{0 <repeats 3 times>, 5}", 4), (std::vector<std::uint32_t>{0, 0, 0, 5}));
    EXPECT_FALSE(ParseWordList("{1, 2...}", 2));
    EXPECT_FALSE(ParseWordList("{1, 2}", 3));
    EXPECT_FALSE(ParseWordList("{0 <repeats 999999999999 times>}", 4));
    EXPECT_FALSE(ParseWordList("4294967296", 1));

    EXPECT_EQ(ReplyValue("^done,value=\"0x5 \\\"hello\\\"\"\r\n"), "0x5 \\\"hello\\\"");
    EXPECT_EQ(ReplyValue("^done,value=\"a\\\\\"\r\n"), "a\\\\");
    std::string big(100 * 1024, 'v');
    EXPECT_EQ(ReplyValue("^done,value=\"" + big + "\"\r\n"), big);
    EXPECT_EQ(ReplyValue("^done,value=\"" + std::string(kMaxValueText + 10, 'v') + "\"").size(),
              kMaxValueText);
}

namespace {

// An evaluation step that answers from a table and records what was asked.
struct TableEval {
    std::map<std::string, std::string> values;
    std::vector<std::string> asked;
    EvalResult operator()(const std::string& e) {
        asked.push_back(e);
        auto it = values.find(e);
        if (it == values.end()) return {false, std::string(kNoSymbol)};
        return {true, it->second};
    }
};

} // namespace

TEST(ValueDecoderTest, DecodesEveryMarkerAndFallsBackOnMissingFields) {
    TableEval t;
    auto eval = [&](const std::string& e) { return t(e); };
    t.values["u"] = "{<sc_uint_base> = {m_val = 5, m_len = 8}, <No data fields>}";
    t.values["l"] = "{static char_to_logic = \"01ZX\", m_val = Log_Z}";
    t.values["q"] = "{static logic_to_char = \"01ZX\", m_val = sc_dt::Log_1}";
    t.values["o"] = "{static logic_to_char = \"01ZX\", m_val = 7}";
    t.values["m"] = "{m_val = 12}";
    t.values["s"] = "{<sc_signed> = {sgn = -1, nbits = 8, ndigits = 1, digit = 0x1234}}";
    t.values["*s.digit@s.ndigits"] = "{7}";
    t.values["z"] = "{<sc_dt::sc_unsigned> = {sgn = 0, nbits = 8, ndigits = 1, digit = 0x1}}";
    t.values["bad"] = "{<sc_dt::sc_bv_base> = {m_len = 40, m_data = 0x1}}";
    t.values["huge"] = "{<sc_dt::sc_bv_base> = {m_len = 4000000000, m_size = 125000000, m_data = 0x1}}";
    t.values["wide"] = "{<sc_dt::sc_bv_base> = {m_len = 8000, m_size = 250, m_data = 0x1}}";
    t.values["*wide.m_data@200"] = "{1, 0 <repeats 199 times>}";
    t.values["*(wide.m_data+200)@50"] = "{0 <repeats 49 times>, 2147483648}";
    t.values["plain"] = "42";
    EXPECT_EQ(EvaluateWatch("u", eval), "5");
    EXPECT_EQ(EvaluateWatch("l", eval), "z");
    EXPECT_EQ(EvaluateWatch("q", eval), "1");
    EXPECT_EQ(EvaluateWatch("o", eval), "7");
    EXPECT_EQ(EvaluateWatch("m", eval), "12");
    EXPECT_EQ(EvaluateWatch("s", eval), "-7");
    EXPECT_EQ(EvaluateWatch("z", eval), "0");
    EXPECT_EQ(EvaluateWatch("bad", eval), t.values["bad"]);
    EXPECT_EQ(EvaluateWatch("huge", eval), t.values["huge"]);
    std::string wide = EvaluateWatch("wide", eval);
    ASSERT_EQ(wide.size(), 8000u);
    EXPECT_EQ(wide.front(), '1');
    EXPECT_EQ(wide.back(), '1');
    EXPECT_EQ(std::count(wide.begin(), wide.end(), '1'), 2);
    EXPECT_EQ(EvaluateWatch("plain", eval), "42");
    EXPECT_EQ(EvaluateWatch("nothing", eval), kNoSymbol);
    EXPECT_EQ(EvaluateWatch(std::string(1 << 20, 'e'), eval), kExpressionTooLong);
    // a value of 100 kB without a marker comes back whole
    t.values["long"] = std::string(100 * 1024, 'x');
    EXPECT_EQ(EvaluateWatch("long", eval), t.values["long"]);
}

TEST(ValueDecoderTest, RewritesPortsAndSignalsAndKeepsFirstValueWhenTheRewriteFails) {
    TableEval t;
    auto eval = [&](const std::string& e) { return t(e); };
    t.values["p"] = "{<sc_core::sc_port<sc_core::sc_signal_in_if<bool>, 1>> = {}}";
    t.values["p.m_interface->m_cur_val"] = "true";
    t.values["sig"] = "{<sc_core::sc_signal_inout_if<int>> = {}, m_cur_val = 3}";
    t.values["sig.m_cur_val"] = "3";
    t.values["*ptr"] = "{<sc_core::sc_signal_inout_if<int>> = {}}";
    t.values["(*ptr).m_cur_val"] = "9";
    t.values["broken"] = "{<sc_core::sc_port<sc_core::sc_signal_inout_if<int>, 1>> = {}}";
    EXPECT_EQ(EvaluateWatch("p", eval), "true");
    EXPECT_EQ(EvaluateWatch("sig", eval), "3");
    EXPECT_EQ(EvaluateWatch("*ptr", eval), "9");
    EXPECT_EQ(EvaluateWatch("broken", eval), t.values["broken"]);
    EXPECT_EQ(t.asked.back(), "broken.m_interface->m_cur_val");
}

#include "debugger/breakpoint_table.h"
#include "debugger/sim_context.h"

TEST(SimContextTest, FormatsTimeDeltaAndProcess) {
    EXPECT_EQ(FormatSimTime(0), "0 s");
    EXPECT_EQ(FormatSimTime(10'000'000), "10 ns");
    EXPECT_EQ(FormatSimTime(1'500'000), "1500 ps");
    EXPECT_EQ(FormatSimTime(7), "7 fs");
    EXPECT_EQ(FormatSimTime(2'000'000'000'000'000ull), "2 s");
    EXPECT_EQ(FormatSimTime(2'000'000'000'000'000'000ull), "2000 s");
    EXPECT_EQ(SimContextText({"10000", "1000", "3", "0x5555 \"prod.tick\""}), "10 ns, delta 3, prod.tick");
    EXPECT_EQ(SimContextText({"5", "1000", "0", std::nullopt}), "5 ps, delta 0");
    EXPECT_EQ(SimContextText({std::nullopt, std::nullopt, std::nullopt, std::nullopt}), "");
    // a product beyond 64 bits is shown without overflowing
    EXPECT_EQ(FormatSimContext(UINT64_MAX, 1000, 1, ""), std::to_string(UINT64_MAX) + " x 1000 fs, delta 1");
}

TEST(BreakpointTableTest, TogglesWithoutSession) {
    BreakpointTable table;
    table.AddBreakpoint("/p/a.cpp", 3);
    table.AddBreakpoint("/p/b.cpp", 3);
    table.AddBreakpoint("/p/a.cpp", 9);
    EXPECT_EQ(table.LinesOf("/p/a.cpp"), (std::vector<int>{3, 9}));
    table.AddBreakpoint("/p/a.cpp", 3); // the same pair toggles off
    table.RemoveBreakpoint("/p/x.cpp", 1);
    auto records = table.Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].file, "/p/b.cpp");
    EXPECT_EQ(records[1].line, 9);
    EXPECT_EQ(records[1].number, 0);
}

#include "debugger/watch_list.h"

TEST(WatchListTest, LabelEditsAddDeleteAndEvaluateRows) {
    WatchList list;
    ASSERT_EQ(list.Rows().size(), 1u);
    EXPECT_EQ(list.EndEdit(0, "u8"), WatchList::EditOutcome::EvaluateRow);
    EXPECT_EQ(list.EndEdit(1, "big_u"), WatchList::EditOutcome::EvaluateRow);
    ASSERT_EQ(list.Rows().size(), 3u);
    EXPECT_EQ(list.RefreshIds().size(), 2u);
    int bigId = list.Rows()[1].id;

    // cancelling an existing row removes it; a value for it then lands nowhere
    EXPECT_EQ(list.EndEdit(1, ""), WatchList::EditOutcome::DeleteRow);
    list.DeleteRow(1);
    list.SetValue(bigId, "5");
    ASSERT_EQ(list.Rows().size(), 2u);
    EXPECT_EQ(list.Rows()[0].label, "u8");
    EXPECT_EQ(list.Rows()[1].value, "");

    // cancelling on the empty last row leaves it and evaluates it
    EXPECT_EQ(list.EndEdit(1, ""), WatchList::EditOutcome::EvaluateRow);
    EXPECT_EQ(list.Rows().size(), 2u);
    list.SetValue(list.Rows()[0].id, "200");
    EXPECT_EQ(list.Rows()[0].value, "200");
    list.ClearValues();
    EXPECT_EQ(list.Rows()[0].value, "");
}
