// Inputs that once crashed or confused the wave-view reader or the VCD
// importer (found by hand or by the fuzz targets), each kept as a case.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <unistd.h>

#include "waview/vcd_converter.h"
#include "waview/wvwfile.h"

namespace fs = std::filesystem;

namespace {

std::string Dir() {
    const fs::path dir = fs::path(KORL_BINARY_DIR) / ("tmp_hostile_" + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir.string();
}

std::string Spit(const std::string& name, const std::string& bytes) {
    const std::string p = Dir() + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void PutI32(std::string& b, size_t at, int32_t v) { std::memcpy(&b[at], &v, 4); }

// Timescale, one four-state signal; a composite row "bus" (row 0) over one
// scalar row "b" (row 1); the signal's data.
std::string SmallFile() {
    Waview_FileManager doc;
    doc.SetTimescaleExponent(-9);
    Waview_Signal* s = doc.NewSignal(kTypeVerilog);
    s->AppendState(0, 1);
    Waview_CompositeHierarchy* bus = doc.NewCompositeRow();
    bus->name = "bus";
    Waview_ScalarHierarchy* bit = doc.NewScalarRow();
    bit->name = "b";
    bit->level = 1;
    bit->signalIndex = s->index;
    static_cast<Waview_CompositeHierarchy*>(doc.Row(0))->children.push_back(bit->index);
    const std::string p = Dir() + "/small.wvw";
    EXPECT_TRUE(WriteWaveFile(doc, p, nullptr, 10));
    return Slurp(p);
}

// Offsets into SmallFile(): 3 header words and the type code, then row 0.
constexpr size_t kRow0 = 4 * 4;
constexpr size_t kRow0Level = kRow0 + 8 + 3;
constexpr size_t kRow0Order = kRow0Level + 4;

std::string ReadError(const std::string& path) {
    Waview_FileManager doc;
    std::string error;
    if (ReadWaveFile(doc, path, &error)) return "<accepted>";
    EXPECT_EQ(doc.RowCount(), 0);
    return error;
}

struct Converted {
    Waview_VCDConverter conv;
    bool ok;
    explicit Converted(const std::string& name, const std::string& text)
        : conv(Spit(name + ".vcd", text)), ok(conv.Convert()) {}
    std::string Box() const { return conv.Messages().empty() ? "" : conv.Messages()[0].text; }
};

} // namespace

TEST(HostileWaveFile, LevelsAndOrdersOutsideSaneBoundsAreRejected) {
    const std::string good = SmallFile();
    EXPECT_EQ(ReadError(Spit("good.wvw", good)), "<accepted>");
    struct Case {
        size_t at;
        int32_t value;
        const char* message;
    } cases[] = {
        // The composite level that overflowed the depth test of the value text.
        {kRow0Level, INT_MAX, "row 0 has the level 2147483647 outside 0 to 10000"},
        {kRow0Level, -1, "row 0 has the level -1 outside 0 to 10000"},
        {kRow0Order, INT_MIN, "row 0 has the order -2147483648 outside 0 to 1"},
        {kRow0Order, 2, "row 0 has the order 2 outside 0 to 1"},
    };
    for (const Case& c : cases) {
        std::string b = good;
        PutI32(b, c.at, c.value);
        const std::string p = Spit("bounds.wvw", b);
        EXPECT_EQ(ReadError(p), p + ": " + c.message);
    }
}

TEST(HostileWaveFile, CompositeValueTextWithExtremeLevelIsDefined) {
    // Documents built in memory are not checked by the reader.
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeVerilog);
    s->AppendState(0, 1);
    Waview_CompositeHierarchy* bus = doc.NewCompositeRow();
    bus->level = INT_MAX;
    Waview_ScalarHierarchy* bit = doc.NewScalarRow();
    bit->signalIndex = s->index;
    static_cast<Waview_CompositeHierarchy*>(doc.Row(0))->children.push_back(bit->index);
    // UBSan watches the depth test; the row is no bus of its children (its
    // depth is not one more than its level), so their texts are joined as is.
    std::string text, child;
    doc.Row(0)->ValueTextAt(text, 5);
    EXPECT_EQ(text, doc.Row(1)->ValueTextAt(child, 5));
}

TEST(HostileWaveFile, OtherFilesSayWhatTheyAre) {
    const std::string text = Spit("notes.wvw", "lorem ipsum dolor sit amet\n");
    EXPECT_EQ(ReadError(text), text + ": not a wave-view file (its time unit field holds 1701998444)");
    const std::string empty = Spit("empty.wvw", "");
    EXPECT_EQ(ReadError(empty), empty + ": is empty, not a wave-view file");
    const std::string tiny = Spit("tiny.wvw", "ab");
    EXPECT_EQ(ReadError(tiny), tiny + ": not a wave-view file (too short)");
    const std::string dir = Dir() + "/folder.wvw";
    fs::create_directories(dir);
    EXPECT_EQ(ReadError(dir), dir + ": is a directory, not a wave-view file");
}

TEST(HostileVcd, NestingLimitNamesTheLine) {
    std::string text = "$timescale 1 ns $end\n";
    for (int i = 0; i < 3000; ++i) text += "$scope module m $end\n";
    Converted c("deep", text);
    EXPECT_FALSE(c.ok);
    ASSERT_EQ(c.conv.Messages().size(), 1u);
    EXPECT_EQ(c.Box().rfind("Max stack exceeded\nExpecting $upscope", 0), 0u) << c.Box();
    EXPECT_NE(c.Box().find("\nin line: 1002 of "), std::string::npos) << c.Box();
}

TEST(HostileVcd, LongNamesKeepTheirBitIndex) {
    const std::string longName(5000, 'n');
    Converted c("longname", "$scope module top $end\n$var wire 2 ! " + longName + " $end\n$var wire 1 \" " +
                                longName +
                                " [7] $end\n"
                                "$upscope $end\n$enddefinitions $end\n#0\nb10 !\n1\"\n#5\n");
    ASSERT_TRUE(c.ok) << c.Box();
    Waview_FileManager back;
    std::string error;
    ASSERT_TRUE(ReadWaveFile(back, c.conv.WavePath(), &error)) << error;
    std::set<std::string> names;
    for (int32_t i = 0; i < back.RowCount(); ++i) {
        const std::string& name = back.Row(i)->name;
        EXPECT_LE(name.size(), kMaxRowName);
        names.insert(name);
    }
    EXPECT_EQ(names.size(), size_t(back.RowCount())); // no two rows merged
    const std::string cut = longName.substr(0, kMaxRowName - 3);
    EXPECT_TRUE(names.count(cut + "[1]"));
    EXPECT_TRUE(names.count(cut + "[0]"));
    EXPECT_TRUE(names.count(cut + "[7]"));
}

TEST(HostileVcd, UnknownTimeUnitAndZeroWidthAreErrors) {
    Converted parsecs("parsecs", "$timescale 7 parsecs $end\n$enddefinitions $end\n#1\n");
    EXPECT_FALSE(parsecs.ok);
    EXPECT_EQ(parsecs.Box().rfind("Parse failed\nExpecting time unit", 0), 0u) << parsecs.Box();
    EXPECT_NE(parsecs.Box().find("in line: 1 "), std::string::npos);
    for (const char* unit : {"s", "ms", "us", "ns", "ps", "fs"}) {
        Converted ok("unit", std::string("$timescale 10 ") + unit + " $end\n$enddefinitions $end\n#1\n");
        EXPECT_TRUE(ok.ok) << unit << ": " << ok.Box();
    }
    for (const char* width : {"0", "000"}) {
        Converted zero("zero", std::string("$scope module m $end\n$var wire ") + width +
                                   " ! w $end\n$upscope $end\n$enddefinitions $end\n#0\n1!\n");
        EXPECT_FALSE(zero.ok) << width;
        EXPECT_EQ(zero.Box().rfind("Parse failed\nExpecting variable size of at least 1", 0), 0u)
            << zero.Box();
        EXPECT_NE(zero.Box().find("in line: 2 "), std::string::npos);
    }
}
