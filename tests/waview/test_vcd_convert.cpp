#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include "waview/vcd_converter.h"
#include "waview/wvwfile.h"

namespace fs = std::filesystem;

namespace {

std::string Dir() {
    const fs::path dir = fs::path(KORL_BINARY_DIR) / "tmp_vcd";
    fs::create_directories(dir);
    return dir.string();
}

std::string WriteDump(const std::string& name, const std::string& text) {
    const std::string p = Dir() + "/" + name + ".vcd";
    std::ofstream(p, std::ios::binary) << text;
    fs::remove(Dir() + "/" + name + ".wvw");
    return p;
}

Waview_Hierarchy* RowNamed(Waview_FileManager& doc, const std::string& name) {
    for (int32_t i = 0; i < doc.RowCount(); ++i)
        if (doc.Row(i)->name == name) return doc.Row(i);
    return nullptr;
}

std::string TextAt(Waview_FileManager& doc, const std::string& name, int64_t t, int radix = 4) {
    Waview_Hierarchy* r = RowNamed(doc, name);
    if (!r) return "<no row " + name + ">";
    r->SetRadix(radix);
    std::string out;
    return r->ValueTextAt(out, t);
}

const char kHeader[] =
    "$timescale 10 ps $end\n"
    "$scope module top $end\n"
    "$var wire 4 ! d [3:0] $end\n"
    "$var wire 1 \" w $end\n"
    "$var wire 1 \" w2 $end\n" // an alias: the same signal as w
    "$var wire 4 # e[0:3] $end\n"
    "$var wire 3 $ n $end\n"
    "$upscope $end\n"
    "$enddefinitions $end\n";

} // namespace

TEST(VcdConvert, TimescaleWideningAndDuplicateCodes) {
    const std::string p = WriteDump("widen", std::string(kHeader) +
                                                 "#0\nb101 !\nb1 \"\nb0 #\n"
                                                 "#5\nbz !\nbx \"\nb1 #\nb10 $\n"
                                                 "#7\nb1 !\n"
                                                 "#10\n");
    Waview_VCDConverter conv(p);
    ASSERT_TRUE(conv.Convert());
    EXPECT_TRUE(fs::exists(Dir() + "/widen.wvw"));
    Waview_FileManager& doc = conv.Document();
    EXPECT_EQ(doc.TimescaleExponent(), -12);
    EXPECT_EQ(conv.LargestTime(), 100);
    EXPECT_EQ(doc.EndTime(), 100);
    EXPECT_EQ(TextAt(doc, "d[3]", 1), "0");
    EXPECT_EQ(TextAt(doc, "d[2]", 1), "1");
    EXPECT_EQ(TextAt(doc, "d[1]", 1), "0");
    EXPECT_EQ(TextAt(doc, "d[0]", 1), "1");
    EXPECT_EQ(TextAt(doc, "d", 51, 1), " ZZZZb");
    EXPECT_EQ(TextAt(doc, "d", 71, 1), " 0001b");
    // The time of a change still shows the previous value.
    EXPECT_EQ(TextAt(doc, "d", 70, 1), " ZZZZb");
    // Scalar wire changed with a vector.
    EXPECT_EQ(TextAt(doc, "w", 1), "1");
    EXPECT_EQ(TextAt(doc, "w", 51), "X"); // an x written as a vector stays x
    EXPECT_EQ(RowNamed(doc, "w2")->GetSignal(), RowNamed(doc, "w")->GetSignal());
    // [0:3] numbers the bits 0..3 from the left.
    auto* e = static_cast<Waview_CompositeHierarchy*>(RowNamed(doc, "e"));
    ASSERT_EQ(e->children.size(), 4u);
    EXPECT_EQ(doc.Row(e->children[0])->name, "e[0]");
    EXPECT_EQ(doc.Row(e->children[3])->name, "e[3]");
    EXPECT_EQ(TextAt(doc, "e", 51, 1), " 0001b");
    auto* n = static_cast<Waview_CompositeHierarchy*>(RowNamed(doc, "n"));
    EXPECT_EQ(doc.Row(n->children[0])->name, "n[2]");
    EXPECT_EQ(doc.Row(n->children[0])->level, 2);
    EXPECT_EQ(TextAt(doc, "n", 99, 1), " 010b");
    // Closed at the largest time: a value set at #0 shows up to it.
    EXPECT_EQ(TextAt(doc, "d[2]", 100), "0");
    EXPECT_EQ(TextAt(doc, "d[2]", 101), " ");

    // The written file reads back to the same document.
    Waview_FileManager back;
    std::string error;
    ASSERT_TRUE(ReadWaveFile(back, conv.WavePath(), &error)) << error;
    EXPECT_EQ(back.EndTime(), 100);
    EXPECT_EQ(back.RowCount(), doc.RowCount());
    EXPECT_EQ(TextAt(back, "d", 71, 2), " 1h");
}

TEST(VcdConvert, RealSimulatorForms) {
    const std::string p =
        WriteDump("forms",
                  "$date\n  today\n$end\n$version\n  sim 1.0\n$end\n$comment any text $end\n"
                  "$timescale\n  1ns\n$end\n"
                  "$scope module tb $end\n$comment inside $end\n"
                  "$var reg 8 %! bus[7:0] $end\n"
                  "$var integer 32 (x cnt $end\n"
                  "$var real 64 {} temp $end\n"
                  "$var wire 1 ~ bit [5] $end\n"
                  "$scope task t $end $var event 1 @ ev $end $upscope $end\n"
                  "$upscope $end\n$enddefinitions $end\n"
                  "$comment before $end\n#0\n$dumpvars\nb00001111 %!\nb0 (x\nr0 {}\n0~\n$end\n"
                  "#4294967306\nb11110000 %!\nb1010 (x\nr-2.5e1 {}\nz~\n$dumpoff\nx~\n$end\n"
                  "#4294967310\n$dumpon\n1~\n$end\n");
    Waview_VCDConverter conv(p);
    ASSERT_TRUE(conv.Convert()) << (conv.Diagnostics().empty() ? "" : conv.Diagnostics()[0]);
    Waview_FileManager& doc = conv.Document();
    EXPECT_EQ(doc.TimescaleExponent(), -9);
    EXPECT_EQ(conv.LargestTime(), 4294967310LL); // beyond 32 bits
    EXPECT_EQ(TextAt(doc, "bus", 1, 2), " Fh");
    EXPECT_EQ(TextAt(doc, "bus", 4294967307LL, 2), " F0h");
    EXPECT_EQ(TextAt(doc, "cnt", 4294967307LL, 8), " 10d ");
    EXPECT_EQ(TextAt(doc, "temp", 4294967307LL), " -25.000000r ");
    EXPECT_EQ(TextAt(doc, "bit[5]", 4294967307LL), "X");
    EXPECT_EQ(TextAt(doc, "bit[5]", 4294967310LL), "X");
    EXPECT_EQ(TextAt(doc, "ev", 1), " ");
    auto* tb = static_cast<Waview_CompositeHierarchy*>(RowNamed(doc, "tb"));
    ASSERT_NE(tb, nullptr);
    EXPECT_EQ(tb->children.size(), 5u); // comments are not items
    EXPECT_EQ(doc.Row(tb->children[4])->name, "t");
    EXPECT_EQ(doc.Row(tb->children[4])->order, 4);
}

TEST(VcdConvert, ParseErrorsAreReportedAndWriteNothing) {
    const std::string stale = Dir() + "/broken.wvw";
    // Text in the body that is no change is skipped with a warning.
    const std::string p = WriteDump("broken", std::string(kHeader) + "#0\nb101 !\n#5\n?? what\n");
    Waview_VCDConverter conv(p);
    EXPECT_TRUE(conv.Convert());
    EXPECT_TRUE(conv.Messages().empty());
    EXPECT_NE(conv.WarningSummary().find("unexpected text is skipped (?\?), in line 13"), std::string::npos)
        << conv.WarningSummary();
    fs::remove(stale);

    // A dump that stops inside a $var declaration.
    Waview_VCDConverter cut(WriteDump("cut", "$scope module m $end\n$var wire 1 ! a"));
    EXPECT_FALSE(cut.Convert());
    ASSERT_EQ(cut.Messages().size(), 1u);
    EXPECT_EQ(cut.Messages()[0].text.rfind("Parse failed\nExpecting $end", 0), 0u);
    EXPECT_FALSE(fs::exists(Dir() + "/cut.wvw"));

    // A dump whose wave file would be itself is refused, the dump kept.
    const std::string self = Dir() + "/self.wvw";
    std::ofstream(self) << kHeader;
    Waview_VCDConverter same(self);
    EXPECT_FALSE(same.Convert());
    EXPECT_TRUE(fs::exists(self));
    EXPECT_EQ(fs::file_size(self), sizeof kHeader - 1);

    Waview_VCDConverter missing(Dir() + "/nowhere.vcd");
    EXPECT_FALSE(missing.Convert());
    ASSERT_EQ(missing.Messages().size(), 1u);
    EXPECT_EQ(missing.Messages()[0].text, "Error opening the source file");
    Waview_VCDConverter directory(Dir());
    directory.SetWavePath(Dir() + "/dir.wvw");
    EXPECT_FALSE(directory.Convert());
    ASSERT_EQ(directory.Messages().size(), 1u);
    EXPECT_EQ(directory.Messages()[0].text, "Error opening the source file");
}

TEST(VcdConvert, FailedWalkLeavesNoFile) {
    const std::string wvw = Dir() + "/unit.wvw";
    const std::string p = WriteDump("unit", "$timescale 1 qs $end\n$enddefinitions $end\n#1\n");
    std::ofstream(wvw) << "older";
    Waview_VCDConverter conv(p);
    EXPECT_FALSE(conv.Convert());
    ASSERT_EQ(conv.Messages().size(), 1u);
    EXPECT_EQ(conv.Messages()[0].text.rfind("Parse failed\nExpecting time unit", 0), 0u);
    EXPECT_FALSE(fs::exists(wvw + ".part"));
    std::string kept;
    std::ifstream(wvw) >> kept;
    EXPECT_EQ(kept, "older"); // a failed import leaves the previous wave file alone

    Waview_VCDConverter big(WriteDump("bigtime",
                                      "$timescale 100 fs $end\n$enddefinitions $end\n"
                                      "#999999999999999999\n"));
    // A time beyond 64 bits is skipped with a warning, not a refusal.
    EXPECT_TRUE(big.Convert());
    EXPECT_NE(
        big.WarningSummary().find("time lines that are no time are skipped (#999999999999999999), in line 3"),
        std::string::npos)
        << big.WarningSummary();
}

TEST(VcdConvert, GeneratedDumpsRoundTrip) {
    // Random dumps: the converted document must agree with a direct model of
    // the last value per signal at every change time.
    std::mt19937 rng(7);
    for (int round = 0; round < 5; ++round) {
        const int nsig = 1 + rng() % 20;
        std::string dump = "$timescale 1 us $end\n$scope module g $end\n";
        std::vector<int> width(nsig);
        for (int i = 0; i < nsig; ++i) {
            width[i] = 1 + rng() % 8;
            dump += "$var wire " + std::to_string(width[i]) + " s" + std::to_string(i) + " v" +
                    std::to_string(i) + " $end\n";
        }
        dump += "$upscope $end\n$enddefinitions $end\n";
        std::vector<std::string> last(nsig, std::string());
        std::vector<std::pair<int64_t, std::vector<std::string>>> snapshots;
        int64_t t = 0;
        for (int step = 0; step < 50; ++step) {
            t += 1 + rng() % 5;
            dump += "#" + std::to_string(t) + "\n";
            for (int i = 0; i < nsig; ++i) {
                if (rng() % 3) continue;
                std::string v;
                for (int b = 0; b < width[i]; ++b) v += "01xz"[rng() % 4];
                if (width[i] == 1)
                    dump += v + "s" + std::to_string(i) + "\n";
                else
                    dump += "b" + v + " s" + std::to_string(i) + "\n";
                for (char& c : v) c = c == 'x' ? 'X' : c == 'z' ? 'Z' : c;
                last[i] = v;
            }
            snapshots.push_back({t, last});
        }
        Waview_VCDConverter conv(WriteDump("gen", dump));
        ASSERT_TRUE(conv.Convert());
        Waview_FileManager back;
        ASSERT_TRUE(ReadWaveFile(back, conv.WavePath(), nullptr));
        EXPECT_EQ(back.EndTime(), t);
        for (const auto& [when, values] : snapshots) {
            if (when >= t) continue; // nothing is in effect after the closing entry
            for (int i = 0; i < nsig; ++i) {
                if (values[i].empty()) continue;
                const std::string got = TextAt(back, "v" + std::to_string(i), when + 1, 1);
                EXPECT_EQ(got, width[i] == 1 ? values[i] : " " + values[i] + "b")
                    << "signal " << i << " at " << when;
            }
        }
    }
}

TEST(VcdConvert, SystemCTraceOutput) {
    const std::string dir = Dir() + "/systemc";
    fs::create_directories(dir);
    std::ofstream(dir + "/tb.cpp") << R"(#include <systemc.h>
int sc_main(int, char*[]) {
    sc_signal<bool> clk;
    sc_signal<sc_uint<8> > count;
    sc_signal<sc_lv<4> > lv;
    sc_signal<double> level;
    sc_trace_file* tf = sc_create_vcd_trace_file("trace");
    tf->set_time_unit(1, SC_NS);
    sc_trace(tf, clk, "clk");
    sc_trace(tf, count, "count");
    sc_trace(tf, lv, "lv");
    sc_trace(tf, level, "level");
    for (int i = 0; i < 10; ++i) {
        clk = i % 2;
        count = i * 3;
        lv = (i == 4) ? sc_lv<4>("01ZX") : sc_lv<4>(i);
        level = i * 0.5;
        sc_start(10, SC_NS);
    }
    sc_close_vcd_trace_file(tf);
    return 0;
}
)";
    const std::string cmd =
        "cd '" + dir + "' && g++ -std=c++17 -O0 tb.cpp -o tb -lsystemc 2>&1 && ./tb > out.txt 2>&1";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << "building or running the SystemC program failed";
    Waview_VCDConverter conv(dir + "/trace.vcd");
    ASSERT_TRUE(conv.Convert()) << (conv.Messages().empty() ? "" : conv.Messages()[0].text);
    Waview_FileManager& doc = conv.Document();
    EXPECT_EQ(doc.TimescaleExponent(), -9);
    EXPECT_GE(conv.LargestTime(), 90);
    // Values written during step i are in effect from 10*i on.
    EXPECT_EQ(TextAt(doc, "clk", 11), "1");
    EXPECT_EQ(TextAt(doc, "count", 31), " 9u ");
    EXPECT_EQ(TextAt(doc, "lv", 41, 1), " 01ZXb");
    EXPECT_EQ(TextAt(doc, "lv", 51, 1), " 0101b");
    EXPECT_EQ(TextAt(doc, "level", 71), " 3.500000r ");
}

TEST(VcdConvert, AliasesInSubScopesShareTheFirstSignal) {
    const std::string p =
        WriteDump("alias",
                  "$timescale 1 ns $end\n"
                  "$scope module top $end\n$var wire 1 ! clk $end\n$var reg 4 # q [3:0] $end\n"
                  "$scope module sub $end\n$var wire 1 ! clk $end\n$var wire 4 # d [3:0] $end\n"
                  "$upscope $end\n$upscope $end\n$enddefinitions $end\n"
                  "#0\n0!\nb0101 #\n#5\n1!\nb1x00 #\n#10\n0!\n");
    Waview_VCDConverter conv(p);
    ASSERT_TRUE(conv.Convert());
    Waview_FileManager& doc = conv.Document();
    EXPECT_EQ(TextAt(doc, "clk", 6), "1");
    Waview_Hierarchy* top = RowNamed(doc, "top");
    Waview_Hierarchy* sub = doc.Row(static_cast<Waview_CompositeHierarchy*>(top)->children[2]);
    ASSERT_EQ(sub->name, "sub");
    Waview_Hierarchy* subClk = doc.Row(static_cast<Waview_CompositeHierarchy*>(sub)->children[0]);
    std::string text;
    EXPECT_EQ(subClk->ValueTextAt(text, 6), "1");
    EXPECT_EQ(subClk->GetSignal(), RowNamed(doc, "clk")->GetSignal());
    EXPECT_EQ(TextAt(doc, "d", 6, 1), " 1X00b");
    EXPECT_EQ(TextAt(doc, "d[0]", 1), "1");
    // In the file an alias row refers to the first row's signal.
    Waview_FileManager back;
    ASSERT_TRUE(ReadWaveFile(back, conv.WavePath(), nullptr));
    EXPECT_EQ(back.SignalCount(), 5);
    Waview_Hierarchy* backSub =
        back.Row(static_cast<Waview_CompositeHierarchy*>(back.Row(top->index))->children[2]);
    EXPECT_EQ(back.Row(static_cast<Waview_CompositeHierarchy*>(backSub)->children[0])->GetSignal(),
              RowNamed(back, "clk")->GetSignal());
}
