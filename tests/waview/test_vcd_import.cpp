#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "waview/store.h"
#include "waview/summary.h"
#include "waview/vcd_converter.h"
#include "waview/wvwfile.h"

namespace fs = std::filesystem;

namespace {

std::string Dir() {
    const fs::path dir = fs::path(KORL_BINARY_DIR) / ("tmp_import_" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir.string();
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string DialectPath(const std::string& name) {
    return std::string(KORL_SOURCE_DIR) + "/tests/waview/data/dialects/" + name + ".vcd";
}

Waview_Hierarchy* RowNamed(Waview_FileManager& doc, const std::string& name) {
    for (int32_t i = 0; i < doc.RowCount(); ++i)
        if (doc.Row(i)->name == name) return doc.Row(i);
    return nullptr;
}

std::string TextAt(Waview_FileManager& doc, const std::string& name, int64_t t, int radix = kRadixUnsigned) {
    Waview_Hierarchy* r = RowNamed(doc, name);
    if (!r) return "<no row " + name + ">";
    r->SetRadix(radix);
    std::string out;
    return r->ValueTextAt(out, t);
}

// Imports `text` with the given threads and chunk size and returns the bytes
// of the wave file written from the result.
std::string WaveBytes(const std::string& text, int threads, size_t chunk, std::string* warnings = nullptr) {
    Waview_VCDConverter conv("mem.vcd");
    conv.SetInputText(text);
    Waview_ImportOptions o;
    o.threads = threads;
    o.chunkBytes = chunk;
    conv.SetOptions(o);
    conv.SetWavePath(Dir() + "/bytes.wvw");
    if (!conv.Convert()) return "<refused>";
    if (warnings) *warnings = conv.WarningSummary();
    return Slurp(conv.WavePath());
}

std::string GeneratedDump(unsigned seed) {
    std::mt19937 rng(seed);
    std::ostringstream d;
    d << "$timescale 10 ps $end\n$scope module top $end\n";
    const int n = 12;
    for (int i = 0; i < n; ++i) {
        const int w = i % 3 == 0 ? 1 : 2 + int(rng() % 70);
        d << "$var wire " << w << " c" << i << " s" << i << " $end\n";
    }
    d << "$var real 64 rr level $end\n$scope module sub $end\n$var wire 1 c0 clk $end\n$upscope $end\n";
    d << "$upscope $end\n$enddefinitions $end\n$comment\n#not a time\n$end\n";
    int64_t t = 0;
    for (int step = 0; step < 400; ++step) {
        t += int64_t(rng() % 4); // equal times repeat '#' lines
        d << "#" << t << "\n";
        if (rng() % 17 == 0) d << "$comment\n#" << t << " inside\n$end\n";
        for (int i = 0; i < n; ++i) {
            if (rng() % 3) continue;
            const int w = i % 3 == 0 ? 1 : 8;
            std::string v;
            for (int b = 0; b < w; ++b) v += "0101xz"[rng() % (rng() % 5 == 0 ? 6 : 4)];
            if (i % 3 == 0)
                d << v << "c" << i << "\n";
            else
                d << "b" << v << " c" << i << "\n";
        }
        if (rng() % 7 == 0) d << "r" << (rng() % 100) / 8.0 << " rr\n";
    }
    return d.str();
}

// Converts `dump` to a wave file and reads that back into `back`; the empty
// string, or what went wrong.
std::string ConvertAndReadBack(const std::string& dump, Waview_VCDConverter& conv, Waview_FileManager& back) {
    conv.SetInputText(dump);
    if (!conv.Convert()) return "conversion refused";
    std::string error;
    if (!ReadWaveFile(back, conv.WavePath(), &error)) return error;
    return "";
}

} // namespace

TEST(Store, PackedValuesRepeatsAndWidening) {
    WaveStoreSignal s;
    s.width = 3;
    uint8_t rec[2];
    const uint8_t a[] = {kDigit1, kDigit0, kDigit1}, b[] = {kDigit1, kDigitX, kDigitZ};
    PackDigits(a, 3, 1, rec);
    s.Append(0, rec);
    s.Append(1, rec); // the same value again is not stored
    EXPECT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.RecordBytes(), 1u);
    s.Widen(2);
    PackDigits(b, 3, 2, rec);
    s.Append(2, rec);
    EXPECT_EQ(s.Digits(0), "101");
    EXPECT_EQ(s.Digits(1), "1XZ");
    // A second change at one time replaces the first; back to the value
    // before it, the change disappears.
    PackDigits(a, 3, 2, rec);
    s.Append(2, rec);
    EXPECT_EQ(s.Count(), 1u);
    EXPECT_EQ(s.IndexBefore(2), 0);
    EXPECT_EQ(s.IndexBefore(0), -1);
}

TEST(VcdImport, ParallelImportEqualsSerialAtAnyChunkBoundary) {
    for (unsigned seed : {1u, 2u, 3u}) {
        const std::string dump = GeneratedDump(seed);
        std::string serialWarnings;
        const std::string serial = WaveBytes(dump, 1, dump.size() + 1, &serialWarnings);
        ASSERT_NE(serial, "<refused>");
        for (size_t chunk : {size_t(1), size_t(7), size_t(64), size_t(501), size_t(4096)}) {
            std::string warnings;
            EXPECT_EQ(WaveBytes(dump, 3, chunk, &warnings), serial) << "seed " << seed << " chunk " << chunk;
            EXPECT_EQ(warnings, serialWarnings);
        }
    }
    // A change without its identifier code leaves the next line alone, so a
    // chunk boundary after it changes nothing.
    const std::string noCode =
        "$scope module t $end\n$var wire 2 ! v $end\n$upscope $end\n$enddefinitions $end\n"
        "#0\nb10\n#5\nb01 !\n#9\n";
    std::string noCodeWarnings;
    const std::string noCodeSerial = WaveBytes(noCode, 1, noCode.size() + 1, &noCodeWarnings);
    EXPECT_EQ(WaveBytes(noCode, 2, 1), noCodeSerial);
    EXPECT_NE(noCodeWarnings.find("value changes without identifier code are skipped (b10), in line 6"),
              std::string::npos)
        << noCodeWarnings;
    // Every dialect too.
    for (const char* name : {"unclosed_dumpvars", "strings", "ninestate", "vector_forms", "empty_scope",
                             "fractional_time", "no_enddefinitions", "extensions", "dumpports"}) {
        const std::string dump = Slurp(DialectPath(name));
        ASSERT_FALSE(dump.empty()) << name;
        const std::string serial = WaveBytes(dump, 1, dump.size() + 1);
        for (size_t chunk : {size_t(1), size_t(5), size_t(33)})
            EXPECT_EQ(WaveBytes(dump, 2, chunk), serial) << name << " chunk " << chunk;
    }
}

TEST(VcdImport, StoreIsCompactAndBitsAreViewsOfTheBus) {
    const std::string dump = GeneratedDump(4);
    Waview_VCDConverter conv("mem.vcd");
    conv.SetInputText(dump);
    ASSERT_TRUE(conv.Import());
    Waview_FileManager& doc = conv.Document();
    const WaveStore* store = doc.Store();
    ASSERT_NE(store, nullptr);
    EXPECT_EQ(store->signals.size(), 13u); // twelve codes and the real; the alias adds none
    EXPECT_LT(store->MemoryBytes(), dump.size());
    // Nothing is computed until asked, and a bit's entries are its changes only.
    auto* bus = static_cast<Waview_CompositeHierarchy*>(RowNamed(doc, "s1"));
    ASSERT_NE(bus, nullptr);
    Waview_Signal* bit = doc.Row(bus->children.back())->GetSignal();
    EXPECT_TRUE(bit->IsLazy());
    std::string lazyText, text;
    for (int64_t t = 0; t < conv.LargestTime(); t += 7) {
        bit->ValueTextAt(lazyText, t, kRadixBinary);
        bus->ValueTextAt(text, t);
    }
    EXPECT_TRUE(bit->IsLazy());
    const int64_t n = bit->EntryCount();
    EXPECT_FALSE(bit->IsLazy());
    for (int64_t i = 2; i + 1 < n; ++i) EXPECT_NE(bit->Entry(i).bits, bit->Entry(i - 1).bits) << i;
    // The bus text from the store equals the joined bits.
    for (int64_t t = 0; t <= conv.LargestTime() + 1; t += 3) {
        std::string fast, joined, child;
        bus->SetRadix(kRadixBinary);
        bus->ValueTextAt(fast, t);
        for (int32_t c : bus->children) joined += doc.Row(c)->ValueTextAt(child, t);
        if (joined.find_first_not_of(' ') == std::string::npos)
            EXPECT_EQ(fast, " ") << t;
        else
            EXPECT_EQ(fast, " " + joined + "b") << t;
    }
}

TEST(VcdImport, WaveFilesReadBackToTheSameValues) {
    Waview_VCDConverter conv(Dir() + "/gen5.vcd");
    Waview_FileManager back;
    ASSERT_EQ(ConvertAndReadBack(GeneratedDump(5), conv, back), "");
    Waview_FileManager& doc = conv.Document();
    ASSERT_EQ(back.RowCount(), doc.RowCount());
    ASSERT_EQ(back.SignalCount(), doc.SignalCount());
    std::string a, b;
    for (int32_t r = 0; r < doc.RowCount(); ++r)
        for (int64_t t = 0; t <= conv.LargestTime() + 1; t += 5) {
            doc.Row(r)->SetRadix(kRadixHex);
            back.Row(r)->SetRadix(kRadixHex);
            EXPECT_EQ(doc.Row(r)->ValueTextAt(a, t), back.Row(r)->ValueTextAt(b, t))
                << doc.Row(r)->name << " at " << t;
        }
}

struct DialectCase {
    const char* file;
    const char* row;
    int64_t time;
    int radix;
    const char* text;
};

TEST(VcdImport, DialectsOpenWithTheirValues) {
    const DialectCase cases[] = {
        {"unclosed_dumpvars", "clk", 5, kRadixUnsigned, "0"},
        {"unclosed_dumpvars", "clk", 15, kRadixUnsigned, "1"},
        {"unclosed_dumpvars", "q", 15, kRadixUnsigned, " 3u "},
        {"strings", "state", 3, kRadixUnsigned, " INIT_STATE "},
        {"strings", "state", 7, kRadixUnsigned, " TOP/0 "},
        {"strings", "msg", 3, kRadixUnsigned, " C-String "},
        {"strings", "msg", 7, kRadixUnsigned, "   two words "},
        {"ninestate", "s", 3, kRadixUnsigned, "U"},
        {"ninestate", "s", 6, kRadixUnsigned, "H"},
        {"ninestate", "s", 10, kRadixUnsigned, "-"},
        {"ninestate", "v", 3, kRadixBinary, " UUUUb"},
        {"ninestate", "v", 6, kRadixBinary, " 01LHb"},
        {"ninestate", "v", 6, kRadixUnsigned, " 5u "},
        {"ninestate", "v", 10, kRadixHex, " xh"},
        {"ninestate", "v[0]", 10, kRadixUnsigned, "0"},
        {"ninestate", "v[1]", 10, kRadixUnsigned, "Z"},
        {"vector_forms", "v", 3, kRadixBinary, " 0000b"},
        {"vector_forms", "v", 6, kRadixBinary, " 0011b"},
        {"empty_scope", "a", 1, kRadixUnsigned, "1"},
        {"empty_scope", "(unnamed)", 1, kRadixBinary, " 1b"},
        {"fractional_time", "a", 2, kRadixUnsigned, "0"},
        {"fractional_time", "a", 4, kRadixUnsigned, "1"},
        {"fractional_time", "a", 5, kRadixUnsigned, "0"},
        {"no_enddefinitions", "a", 3, kRadixUnsigned, "1"},
        {"no_enddefinitions", "a", 5, kRadixUnsigned, "0"},
        {"extensions", "\\#s1_enable", 2, kRadixUnsigned, "1"},
        {"extensions", "\\#s1_enable", 4, kRadixUnsigned, "0"},
        {"extensions", "b", 4, kRadixUnsigned, "1"},
        {"dumpports", "data", 2, kRadixBinary, " 0011b"},
        {"dumpports", "data", 5, kRadixBinary, " ZZ01b"},
        {"dumpports", "en", 5, kRadixUnsigned, "0"},
    };
    for (const DialectCase& c : cases) {
        Waview_VCDConverter conv(DialectPath(c.file));
        ASSERT_TRUE(conv.Import()) << c.file << ": "
                                   << (conv.Messages().empty() ? "" : conv.Messages()[0].text);
        EXPECT_EQ(TextAt(conv.Document(), c.row, c.time, c.radix), c.text)
            << c.file << " " << c.row << " at " << c.time;
    }
}

TEST(VcdImport, DialectWarningsNameTheirFirstLine) {
    const std::pair<const char*, const char*> cases[] = {
        {"empty_scope", "a $scope without a name is shown as \"(unnamed)\", in line 2"},
        {"fractional_time", "fractional times are rounded to the time unit (#2.5), in line 8"},
        {"extensions", "unknown command $attrbegin is skipped, first in line 2 (2 times)"},
        {"vector_forms", "vector values without digits are read as 0 (b), in line 7"},
        {"vector_forms", "vector values with a stray prefix are read without it (b0b11), in line 9"},
        {"dumpports", "port values are shown as their logic level (pDDUU), first in line 9 (4 times)"},
    };
    for (const auto& [file, text] : cases) {
        Waview_VCDConverter conv(DialectPath(file));
        ASSERT_TRUE(conv.Import()) << file;
        EXPECT_NE(conv.WarningSummary().find(text), std::string::npos) << file << ":\n"
                                                                       << conv.WarningSummary();
    }
    Waview_VCDConverter clean(DialectPath("unclosed_dumpvars"));
    ASSERT_TRUE(clean.Import());
    EXPECT_EQ(clean.WarningSummary(), "");
}

TEST(VcdImport, BadDumpsGetLineNumbers) {
    const std::string head =
        "$timescale 1 ns $end\n$scope module top $end\n$var wire 1 ! a $end\n$var wire 4 # v $end\n"
        "$upscope $end\n$enddefinitions $end\n"; // six lines
    struct Case {
        std::string body;
        const char* warning;
    } cases[] = {
        {"#0\n1!\n#10\n0!\n#5\n1!\n#20\n",
         "time goes backwards; its changes are shown at the latest time (#5), in line 11"},
        {"#0\n1!\n1?\n", "changes to undeclared identifier codes are skipped (?), in line 9"},
        {"#0\n1#\n#3\n", "scalar changes aimed at a bus are read as vector values (1#), in line 8"},
        {"#0\n1!\n#10\n0!\n#20\nb01",
         "the dump ends early; it is shown up to its last complete time, in line 12"},
    };
    for (const Case& c : cases) {
        Waview_VCDConverter conv("bad.vcd");
        conv.SetInputText(head + c.body);
        ASSERT_TRUE(conv.Import()) << c.body;
        EXPECT_NE(conv.WarningSummary().find(c.warning), std::string::npos) << conv.WarningSummary();
    }
    // A value longer than its bus keeps its leftmost digits.
    Waview_VCDConverter longer("longer.vcd");
    longer.SetInputText(head + "#0\nb10110 #\n#2\n");
    ASSERT_TRUE(longer.Import());
    EXPECT_EQ(TextAt(longer.Document(), "v", 1, kRadixBinary), " 1011b");
    // A bus far wider than 65,536 bits opens, its bits included.
    Waview_VCDConverter wide("wide.vcd");
    wide.SetInputText(
        "$scope module t $end\n$var wire 100000 ! w $end\n$upscope $end\n$enddefinitions $end\n"
        "#0\nb1 !\n#2\n");
    ASSERT_TRUE(wide.Import());
    EXPECT_EQ(TextAt(wide.Document(), "w", 1), " 1u ");
    EXPECT_EQ(static_cast<Waview_CompositeHierarchy*>(RowNamed(wide.Document(), "w"))->children.size(),
              100000u);
    EXPECT_EQ(TextAt(wide.Document(), "w[0]", 1), "1");
    // Backwards time: its change lands at the latest time, so the picture
    // and the value agree.
    Waview_VCDConverter back("back.vcd");
    back.SetInputText(head + "#0\n1!\n#10\n0!\n#5\n1!\n#20\n");
    ASSERT_TRUE(back.Import());
    EXPECT_EQ(TextAt(back.Document(), "a", 7), "1");
    EXPECT_EQ(TextAt(back.Document(), "a", 11), "1");
    // A cut dump shows up to its last complete time.
    Waview_VCDConverter cut("cut.vcd");
    cut.SetInputText(head + "#0\n1!\n#10\n0!\n#20\nb0101 #\n1");
    ASSERT_TRUE(cut.Import());
    EXPECT_EQ(cut.LargestTime(), 10);
    EXPECT_EQ(TextAt(cut.Document(), "a", 10), "1");

    // A $var without $end still declares its variable; the next command counts.
    Waview_VCDConverter noEnd("noend.vcd");
    noEnd.SetInputText(
        "$scope module top $end\n$var wire 1 ! a\n$upscope $end\n$var wire 1 # b $end\n$enddefinitions $end\n"
        "#0\n1!\n1#\n#1\n");
    ASSERT_TRUE(noEnd.Import());
    EXPECT_NE(noEnd.WarningSummary().find("a $var has no $end (a), in line 2"), std::string::npos)
        << noEnd.WarningSummary();
    auto* top = static_cast<Waview_CompositeHierarchy*>(RowNamed(noEnd.Document(), "top"));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->children.size(), 1u); // b is not inside top
    EXPECT_EQ(TextAt(noEnd.Document(), "b", 1), "1");

    // Nothing sensible to show: refused with the line.
    Waview_VCDConverter junk("junk.vcd");
    junk.SetInputText("hello world\n");
    EXPECT_FALSE(junk.Import());
    ASSERT_EQ(junk.Messages().size(), 1u);
    EXPECT_EQ(junk.Messages()[0].text.rfind("Parse failed\nExpecting declaration command", 0), 0u);
    EXPECT_NE(junk.Messages()[0].text.find("in line: 1 of junk.vcd"), std::string::npos);
}

TEST(VcdImport, CancelStopsTheImport) {
    std::string dump = "$scope module t $end\n$var wire 1 ! a $end\n$upscope $end\n$enddefinitions $end\n";
    for (int t = 0; t < 200000; ++t) dump += "#" + std::to_string(t) + "\n" + char('0' + (t & 1)) + "!\n";
    std::atomic<bool> cancel{true};
    Waview_VCDConverter conv("c.vcd");
    conv.SetInputText(dump);
    conv.SetCancelFlag(&cancel);
    EXPECT_FALSE(conv.Import());
    EXPECT_TRUE(conv.Cancelled());
    EXPECT_TRUE(conv.Messages().empty());
}

TEST(VcdImport, RunningOutOfMemoryIsMessage1257) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer's allocator aborts instead of failing";
#endif
    // In a child whose address space is capped, a bus of two billion bits
    // cannot be parsed on the worker threads: a message, not an abort.
    const pid_t pid = fork();
    if (pid == 0) {
        struct rlimit lim {};
        lim.rlim_cur = lim.rlim_max = rlim_t(1) << 30;
        setrlimit(RLIMIT_AS, &lim);
        Waview_VCDConverter conv("big.vcd");
        conv.SetInputText(
            "$scope module t $end\n$var wire 2000000000 ! x $end\n$upscope $end\n$enddefinitions $end\n"
            "#0\nb1 !\n#1\nb0 !\n#2\n");
        Waview_ImportOptions o;
        o.maxBusWidth = 2000000000u;
        o.maxBitRows = 1;
        o.threads = 2;
        o.chunkBytes = 4;
        conv.SetOptions(o);
        const bool ok = conv.Import();
        const bool message = conv.Messages().size() == 1 && conv.Messages()[0].title == "Parser Error" &&
                             conv.Messages()[0].text == "Memory allocation error building tree";
        _exit(!ok && message ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// Bus and scope rows of an imported dump are summarised straight from the
// store; the same rows read back from a wave file (plain entries) must give
// the same changes, values and states: x and z, nine-state digits, aliases,
// integers, reals, scopes wider than 64 leaves.
TEST(VcdImport, StoreSummariesEqualThoseOfTheSameRowsFromAWaveFile) {
    const std::string crafted =
        "$timescale 1 ns $end\n$scope module top $end\n"
        "$var wire 4 ! bus [3:0] $end\n$var integer 32 \" n $end\n"
        "$var wire 1 # clk $end\n$var wire 3 $ nine [2:0] $end\n"
        "$var real 64 % r $end\n"
        "$scope module sub $end\n$var wire 4 ! bus_alias [3:0] $end\n"
        "$var wire 1 # clk $end\n$upscope $end\n$upscope $end\n$enddefinitions $end\n"
        "#0\nb0000 !\nb0 \"\n0#\nbxxx $\nr0.5 %\n"
        "#5\nb1x0z !\nb101 \"\n1#\nb1u- $\n"
        "#10\nbwlh $\nb11111111111111111111111111111111 \"\n"
        "#15\nbL0H1 !\n0#\nbzzz $\nr2 %\n"
        "#20\nb0000 !\nbx \"\n#30\n";
    // A bus of 1200 bits: its top 64 bits scaled up to its width would not
    // fit a double.
    const std::string wide =
        "$scope module top $end\n$var wire 1200 ! w $end\n$upscope $end\n"
        "$enddefinitions $end\n#0\nb0 !\n#1\nb1" +
        std::string(1199, '0') + " !\n#2\nbx !\n#3\n";
    for (const std::string& dump : {crafted, GeneratedDump(5), GeneratedDump(9), wide}) {
        Waview_VCDConverter conv(Dir() + "/summary.vcd");
        Waview_FileManager back;
        ASSERT_EQ(ConvertAndReadBack(dump, conv, back), "");
        Waview_FileManager& doc = conv.Document();
        ASSERT_EQ(back.RowCount(), doc.RowCount());
        int composites = 0;
        for (int32_t r = 0; r < doc.RowCount(); ++r) {
            if (doc.Row(r)->GetKind() != kRowComposite) continue;
            ++composites;
            const Waview_Summary a(*static_cast<Waview_CompositeHierarchy*>(doc.Row(r)));
            const Waview_Summary b(*static_cast<Waview_CompositeHierarchy*>(back.Row(r)));
            const std::string name = doc.Row(r)->name;
            ASSERT_EQ(a.Width(), b.Width()) << name;
            ASSERT_EQ(a.Count(), b.Count()) << name;
            for (int64_t i = 0; i < a.Count(); ++i) {
                ASSERT_EQ(a.Time(i), b.Time(i)) << name << " change " << i;
                ASSERT_TRUE(std::isfinite(a.Value(i))) << name << " change " << i;
                ASSERT_EQ(a.Value(i), b.Value(i)) << name << " change " << i;
                ASSERT_EQ(a.States(i), b.States(i)) << name << " change " << i;
            }
        }
        EXPECT_GE(composites, 2);
    }
}

// Nothing, or nothing but blanks, given as text: a clear answer, and no
// zero-length copy through a null buffer.
TEST(VcdImport, EmptyOrBlankTextIsAnsweredNotCopied) {
    for (const char* text : {"", " \n\t\n"}) {
        Waview_VCDConverter conv("empty.vcd");
        conv.SetInputText(text);
        if (!conv.Import()) {
            ASSERT_FALSE(conv.Messages().empty()) << '"' << text << '"';
        } else {
            EXPECT_EQ(conv.Document().SignalCount(), 0) << '"' << text << '"';
        }
    }
}

// Rows out of view give back their summaries and the entries computed for
// them; what comes back on the next use is the same.
TEST(VcdImport, SummariesOutOfViewGoWithTheEntriesComputedForThem) {
    Waview_VCDConverter conv("mem.vcd");
    conv.SetInputText(GeneratedDump(6));
    ASSERT_TRUE(conv.Import());
    Waview_FileManager& doc = conv.Document();
    std::vector<Waview_Hierarchy*> bits, buses;
    for (int32_t r = 0; r < doc.RowCount(); ++r) {
        Waview_Hierarchy* row = doc.Row(r);
        if (row->GetKind() == kRowComposite)
            buses.push_back(row);
        else if (row->level > 0 && row->GetSignal() && row->GetSignal()->IsLazy())
            bits.push_back(row);
    }
    ASSERT_GT(bits.size(), 20u);
    ASSERT_GT(buses.size(), 2u);
    auto changes = [](const Waview_Summary* s) {
        std::vector<std::pair<int64_t, double>> out;
        for (int64_t i = 0; i < s->Count(); ++i) out.emplace_back(s->Time(i), s->Value(i));
        return out;
    };
    Waview_SummaryCache cache;
    std::vector<std::vector<std::pair<int64_t, double>>> first;
    for (Waview_Hierarchy* row : bits) first.push_back(changes(cache.Of(*row)));
    for (Waview_Hierarchy* row : buses) cache.Of(*row);
    for (Waview_Hierarchy* row : bits) EXPECT_FALSE(row->GetSignal()->IsLazy());
    const size_t all = cache.Bytes();
    EXPECT_GT(all, bits.size() * sizeof(EntryBlock));

    // Everything was used since the last trim: it is in view and stays.
    cache.Trim(0);
    EXPECT_EQ(cache.Bytes(), all);
    // A frame that shows one bit row only: the rest goes, down to nothing held.
    EXPECT_EQ(changes(cache.Of(*bits[3])), first[3]);
    cache.Trim(0);
    EXPECT_LT(cache.Bytes(), all);
    EXPECT_FALSE(bits[3]->GetSignal()->IsLazy());
    for (size_t i = 0; i < bits.size(); ++i) {
        if (i != 3 && bits[i]->GetSignal() != bits[3]->GetSignal()) {
            EXPECT_TRUE(bits[i]->GetSignal()->IsLazy()) << bits[i]->name;
        }
    }
    cache.Trim(0);
    EXPECT_EQ(cache.Bytes(), 0u);
    EXPECT_TRUE(bits[3]->GetSignal()->IsLazy());
    // Within a budget that holds them, nothing is dropped.
    for (Waview_Hierarchy* row : bits) cache.Of(*row);
    cache.Trim(all);
    cache.Trim(all);
    EXPECT_FALSE(bits[0]->GetSignal()->IsLazy());
    for (size_t i = 0; i < bits.size(); ++i) EXPECT_EQ(changes(cache.Of(*bits[i])), first[i]) << i;
}
