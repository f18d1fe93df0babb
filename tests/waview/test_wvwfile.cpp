#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "waview/wvwfile.h"

namespace fs = std::filesystem;

namespace {

std::string TempPath(const std::string& name) {
    const fs::path dir = fs::path(KORL_BINARY_DIR) / "tmp_waview";
    fs::create_directories(dir);
    return (dir / name).string();
}

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Spit(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

int32_t I32At(const std::string& b, size_t off) {
    int32_t v;
    std::memcpy(&v, b.data() + off, 4);
    return v;
}

int64_t I64At(const std::string& b, size_t off) {
    int64_t v;
    std::memcpy(&v, b.data() + off, 8);
    return v;
}

// A small document of every signal type with a bus and a scope.
void Build(Waview_FileManager& doc) {
    doc.SetTimescaleExponent(-9);
    Waview_CompositeHierarchy* scope = doc.NewCompositeRow();
    scope->name = "top";
    int32_t types[] = {kTypeInteger, kTypeReal, kTypeBit, kTypeVerilog, kTypeStdLogic};
    for (int32_t t : types) {
        Waview_Signal* s = doc.NewSignal(t);
        for (int k = 0; k < 40; ++k) s->AppendInteger(k * 3, k % 4);
        Waview_ScalarHierarchy* r = doc.NewScalarRow();
        r->name = std::string("sig") + TypeCodeName(t);
        r->level = 1;
        r->order = static_cast<int32_t>(scope->children.size());
        r->signalIndex = s->index;
        r->digital = t == kTypeReal ? 0 : 1;
        static_cast<Waview_CompositeHierarchy*>(doc.Row(0))->children.push_back(r->index);
    }
    doc.NewSignal(kTypeVerilog); // never changes
}

} // namespace

TEST(WaveFile, EmptyDocumentIsTwelveBytes) {
    Waview_FileManager doc;
    const std::string p = TempPath("empty.wvw");
    ASSERT_TRUE(WriteWaveFile(doc, p, nullptr));
    EXPECT_EQ(Slurp(p), std::string(12, '\0'));
    Waview_FileManager back;
    ASSERT_TRUE(ReadWaveFile(back, p, nullptr));
    EXPECT_EQ(back.EndTime(), -1);
}

TEST(WaveFile, OneSignalBlockLayout) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeVerilog);
    s->AppendState(0, 1);
    s->AppendState(10, 0);
    Waview_ScalarHierarchy* r = doc.NewScalarRow();
    r->name = "data[7]";
    r->signalIndex = 0;
    const std::string p = TempPath("one.wvw");
    ASSERT_TRUE(WriteWaveFile(doc, p, nullptr, 10));
    const std::string b = Slurp(p);
    // timescale, N=1, code 8, M=1, row: kind, len 7, name, level, order, visible, digital, signal
    ASSERT_EQ(b.size(), 4 + 4 + 4 + 4 + (4 + 4 + 7 + 16 + 4) + 8 + 512u);
    EXPECT_EQ(I32At(b, 8), 8);
    EXPECT_EQ(I32At(b, 16), 1);
    EXPECT_EQ(I32At(b, 20), 7);
    EXPECT_EQ(b.substr(24, 7), "data[7]");
    EXPECT_EQ(I32At(b, 31 + 8), 1); // visible
    const size_t data = b.size() - 512 - 8;
    EXPECT_EQ(I32At(b, data), 3);     // last position: sentinel, 0, 10, closing
    EXPECT_EQ(I32At(b, data + 4), 0); // last block
    const size_t block = data + 8;
    EXPECT_EQ(I64At(b, block), -1); // sentinel
    EXPECT_EQ(I64At(b, block + 16), 0);
    EXPECT_EQ(I32At(b, block + 24), 1);
    EXPECT_EQ(I64At(b, block + 48), 10); // closing entry
    for (int slot = 4; slot < 32; ++slot) {
        EXPECT_EQ(I64At(b, block + slot * 16), -1);
        EXPECT_EQ(I64At(b, block + slot * 16 + 8), 0);
    }
}

TEST(WaveFile, ReadWriteReadIsIdentical) {
    Waview_FileManager doc;
    Build(doc);
    const std::string p1 = TempPath("rt1.wvw"), p2 = TempPath("rt2.wvw");
    ASSERT_TRUE(WriteWaveFile(doc, p1, nullptr));
    Waview_FileManager back;
    std::string error;
    ASSERT_TRUE(ReadWaveFile(back, p1, &error)) << error;
    EXPECT_EQ(back.SignalCount(), doc.SignalCount());
    EXPECT_EQ(back.RowCount(), doc.RowCount());
    EXPECT_EQ(back.TimescaleExponent(), -9);
    EXPECT_EQ(back.EndTime(), 39 * 3);
    EXPECT_EQ(back.Signal(4)->GetTypeCode(), kTypeStdLogic);
    EXPECT_EQ(back.Row(2)->digital, 0);
    back.Row(1)->SetRadix(kRadixHex); // radix is not part of the file
    ASSERT_TRUE(WriteWaveFile(back, p2, nullptr));
    EXPECT_EQ(Slurp(p1), Slurp(p2));
    EXPECT_FALSE(fs::exists(p2 + ".part"));
}

TEST(WaveFile, RejectsBadFilesWithoutPartialDocument) {
    Waview_FileManager doc;
    Build(doc);
    const std::string good = TempPath("good.wvw");
    ASSERT_TRUE(WriteWaveFile(doc, good, nullptr));
    const std::string bytes = Slurp(good);
    const std::string bad = TempPath("bad.wvw");
    auto expectReject = [&](const std::string& content, const std::string& why) {
        Spit(bad, content);
        Waview_FileManager back;
        std::string error;
        EXPECT_FALSE(ReadWaveFile(back, bad, &error)) << why;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_EQ(back.SignalCount(), 0);
        EXPECT_EQ(back.RowCount(), 0);
    };
    // Every truncation is rejected.
    for (size_t n : {size_t(0), size_t(3), size_t(10), size_t(30), bytes.size() / 2, bytes.size() - 1})
        expectReject(bytes.substr(0, n), "");
    std::string b = bytes;
    int32_t v = 3;
    std::memcpy(&b[8], &v, 4); // first type code
    expectReject(b, "unknown type code 3");
    b = bytes;
    const size_t firstRow = 4 + 4 + 6 * 4 + 4;
    v = 7;
    std::memcpy(&b[firstRow], &v, 4);
    expectReject(b, "unknown kind 7");
    b = bytes;
    v = 1 << 30;
    std::memcpy(&b[firstRow + 4], &v, 4);
    expectReject(b, "too long");
    // Composite row 0: name "top", then level..digital, expanded, count, first child.
    b = bytes;
    const size_t firstChild = firstRow + 8 + 3 + 16 + 8;
    v = 99;
    std::memcpy(&b[firstChild], &v, 4);
    expectReject(b, "outside the row list");
    v = 0;
    std::memcpy(&b[firstChild], &v, 4);
    expectReject(b, "twice");
    b = bytes + "junk";
    expectReject(b, "after the last signal");
    Waview_FileManager none;
    std::string error;
    EXPECT_FALSE(ReadWaveFile(none, TempPath("missing.wvw"), &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(WaveFile, FailedSaveKeepsPreviousFile) {
    Waview_FileManager doc;
    Build(doc);
    // Its own folder: other tests save into the shared one while this one runs.
    const std::string p = TempPath("failed-save/keep.wvw");
    fs::create_directories(fs::path(p).parent_path());
    Spit(p, "previous");
    // A directory that cannot be replaced stands for a file that cannot be.
    const std::string blocked = TempPath("failed-save/blocked.wvw");
    fs::create_directories(blocked + "/inner");
    std::string error;
    EXPECT_FALSE(WriteWaveFile(doc, blocked, &error));
    EXPECT_NE(error.find("Cannot replace"), std::string::npos);
    EXPECT_TRUE(fs::is_directory(blocked + "/inner"));
    for (auto& e : fs::directory_iterator(fs::path(p).parent_path()))
        EXPECT_EQ(e.path().filename().string().find(".korl-"), std::string::npos) << e.path();
    EXPECT_EQ(Slurp(p), "previous");
    fs::remove_all(blocked);
}

TEST(WaveFile, WaveFilePathOfDump) {
    EXPECT_EQ(WaveFilePathFor("/a/b/run.vcd"), "/a/b/run.wvw");
    EXPECT_EQ(WaveFilePathFor("/a.b/run"), "/a.b/run.wvw");
    EXPECT_EQ(WaveFilePathFor("C:\\x.y\\run"), "C:\\x.y\\run.wvw");
    EXPECT_EQ(WaveFilePathFor("run.dump.vcd"), "run.dump.wvw");
}

TEST(WaveFile, LongRowNamesKeepTheirTail) {
    Waview_FileManager doc;
    Build(doc);
    const std::string name = std::string(9000, 'n') + "_tail";
    doc.Row(1)->name = name;
    const std::string p = TempPath("longname.wvw");
    ASSERT_TRUE(WriteWaveFile(doc, p, nullptr));
    Waview_FileManager back;
    std::string error;
    ASSERT_TRUE(ReadWaveFile(back, p, &error)) << error;
    EXPECT_EQ(back.Row(1)->name, name);
}
