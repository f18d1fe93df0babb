#include <gtest/gtest.h>

#include <vector>

#include "waview/types.h"

namespace {

ChangeEntry IntEntry(int64_t t, int64_t v) {
    ChangeEntry e;
    e.time = t;
    e.SetInt(v);
    return e;
}

std::string Fmt(const Waview_Type& type, const ChangeEntry* e, int radix) {
    std::string out;
    return type.FormatEntry(out, e, radix);
}

struct Recorder : SegmentSink {
    struct L {
        int64_t x1, y1, x2, y2;
        Rgb c;
    };
    std::vector<L> lines;
    void Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb c) override {
        lines.push_back({x1, y1, x2, y2, c});
    }
};

} // namespace

TEST(ValueTypes, IntegerFormatsInEveryRadix) {
    Waview_IntType t;
    ChangeEntry zero = IntEntry(0, 0), five = IntEntry(0, 5), minus = IntEntry(0, -1),
                big = IntEntry(0, int64_t(1) << 40);
    EXPECT_EQ(Fmt(t, &zero, kRadixBinary), " 0b");
    EXPECT_EQ(Fmt(t, &five, kRadixBinary), " 101b");
    EXPECT_EQ(Fmt(t, &minus, kRadixSigned), " -1d ");
    EXPECT_EQ(Fmt(t, &minus, kRadixUnsigned), " 18446744073709551615u ");
    EXPECT_EQ(Fmt(t, &five, kRadixUnsigned), " 5u ");
    EXPECT_EQ(Fmt(t, &big, kRadixHex), " 10000000000h ");
    EXPECT_EQ(Fmt(t, &minus, kRadixHex), " FFFFFFFFFFFFFFFFh ");
    EXPECT_EQ(Fmt(t, &minus, kRadixBinary), " " + std::string(64, '1') + "b");
    EXPECT_EQ(Fmt(t, &five, 3), " ");
    EXPECT_EQ(Fmt(t, nullptr, kRadixUnsigned), " ");
}

TEST(ValueTypes, RealAndStateFormats) {
    Waview_RealType r;
    ChangeEntry e;
    e.SetReal(0.5);
    EXPECT_EQ(Fmt(r, &e, kRadixHex), " 0.500000r ");
    e.SetReal(-1e300); // must not overflow the text buffer
    EXPECT_GT(Fmt(r, &e, kRadixHex).size(), 300u);
    EXPECT_EQ(Fmt(r, nullptr, kRadixHex), " ");

    Waview_StdLogicType nine;
    Waview_VerilogType four;
    Waview_BitType two;
    ChangeEntry s;
    s.SetState(3);
    EXPECT_EQ(Fmt(nine, &s, kRadixBinary), "1");
    EXPECT_EQ(Fmt(four, &s, kRadixBinary), "X");
    s.SetState(2);
    EXPECT_EQ(Fmt(nine, &s, kRadixBinary), "0");
    EXPECT_EQ(Fmt(four, &s, kRadixBinary), "Z");
    s.SetState(1);
    EXPECT_EQ(Fmt(two, &s, kRadixBinary), "1");
    s.SetState('u'); // odd dump characters keep their own code
    EXPECT_EQ(Fmt(four, &s, kRadixBinary), "u");
    EXPECT_EQ(Fmt(four, nullptr, kRadixBinary), " ");

    std::string chars;
    for (int c = 0; c < nine.StateCount(); ++c) chars += nine.StateChar(c);
    EXPECT_EQ(chars, "UX01ZWLH-");
    EXPECT_EQ(nine.StateLevel(6), 0.5); // L sits at mid level
    EXPECT_EQ(nine.StateColour(7), (Rgb{255, 128, 128}));
    EXPECT_EQ(two.StateColour(0), (Rgb{0, 128, 0}));
    EXPECT_EQ(four.StateColour(0), (Rgb{0, 255, 0}));
    EXPECT_EQ(four.GetTypeCode(), 8);
    EXPECT_EQ(nine.GetTypeCode(), 16);
}

TEST(ValueTypes, NumberConversions) {
    EXPECT_EQ(BinaryDigits(0), "0");
    EXPECT_EQ(BinaryDigits(6), "110");
    EXPECT_EQ(HexDigits(0), "0h");
    EXPECT_EQ(HexDigits(0xABC), "ABCh");
    EXPECT_EQ(UnsignedOfBits("X01Z"), 2u);
    EXPECT_EQ(UnsignedOfBits("1" + std::string(64, '0')), 0u); // beyond 64 bits adds nothing
    EXPECT_EQ(SignedOfBits("1"), -1);
    EXPECT_EQ(SignedOfBits("10"), -2);
    EXPECT_EQ(SignedOfBits("0111"), 7);
    EXPECT_EQ(SignedOfBits("1010"), -6);
    EXPECT_EQ(SignedOfBits("X010"), -6);
    EXPECT_EQ(SignedOfBits(std::string(64, '1')), -1);
    EXPECT_EQ(SignedOfBits(std::string(70, '1')), -1);
}

TEST(ValueTypes, TimeLabels) {
    EXPECT_EQ(TimeLabel(3000000, -9), " 3m ");
    EXPECT_EQ(TimeLabel(1500, -12), " 1500p ");
    EXPECT_EQ(TimeLabel(5000, -12), " 5n ");
    EXPECT_EQ(TimeLabel(0, -9), " 0 ");
    EXPECT_EQ(TimeLabel(-5, -9), " -5 ");
    EXPECT_EQ(TimeLabel(2000, 0), " 2K ");
    EXPECT_EQ(TimeLabel(7, -18), " 7 "); // no letter below femto
}

TEST(SegmentGeometry, StateDigitalAndBusShapes) {
    SegmentView view{0, 2, 1, 100}; // two pixels per time unit
    RowRect rect{10, 30};           // h = 16
    Waview_VerilogType four;
    ChangeEntry a, b;
    a.time = 5;
    a.SetState(0);
    b.time = 10;
    b.SetState(1);
    Recorder rec;
    EXPECT_EQ(four.DrawSegment(view, rect, rec, &a, &b, nullptr, nullptr, 1), 1);
    ASSERT_EQ(rec.lines.size(), 2u);
    EXPECT_EQ(rec.lines[0].x1, 10);
    EXPECT_EQ(rec.lines[0].y1, 28); // level 0 at bottom - 2
    EXPECT_EQ(rec.lines[0].x2, 20);
    EXPECT_EQ(rec.lines[1].y2, 12); // level 1 at bottom - 2 - h
    rec.lines.clear();
    EXPECT_EQ(four.DrawSegment(view, rect, rec, nullptr, &b, nullptr, nullptr, 1), 1);
    ASSERT_EQ(rec.lines.size(), 1u);
    EXPECT_EQ(rec.lines[0].y1, 28);

    Waview_IntType it;
    ChangeEntry p = IntEntry(5, 7), q = IntEntry(10, 7), r = IntEntry(10, 8);
    rec.lines.clear();
    it.DrawSegment(view, rect, rec, &p, &q, nullptr, nullptr, 1);
    EXPECT_EQ(rec.lines[0].y1, rec.lines[0].y2); // equal values: stubs, not a crossing
    rec.lines.clear();
    it.DrawSegment(view, rect, rec, &p, &r, nullptr, nullptr, 1);
    EXPECT_NE(rec.lines[0].y1, rec.lines[0].y2);
    EXPECT_EQ(rec.lines.size(), 4u);
    // x1 at or beyond the width stops the walk; flat analog traces draw.
    ChangeEntry far = IntEntry(60, 1), farther = IntEntry(70, 2);
    rec.lines.clear();
    EXPECT_EQ(it.DrawSegment(view, rect, rec, &far, &farther, &far, &far, 0), 0);
    EXPECT_EQ(rec.lines.size(), 1u);
}

TEST(ValueTypes, VectorTextsWithUnknownDigitsAndAnyWidth) {
    // x wins over z inside a digit; a digit of z bits alone reads z.
    EXPECT_EQ(VectorText("XXXX", kRadixHex), " xh");
    EXPECT_EQ(VectorText("XXXX", kRadixUnsigned), " xu ");
    EXPECT_EQ(VectorText("XXXX", kRadixSigned), " xd ");
    EXPECT_EQ(VectorText("1X01", kRadixHex), " xh");
    EXPECT_EQ(VectorText("0001ZZZZ", kRadixHex), " 1zh");
    EXPECT_EQ(VectorText("1ZX0Z", kRadixHex), " 1xh");
    EXPECT_EQ(VectorText("00Z1", kRadixUnsigned), " zu ");
    EXPECT_EQ(VectorText("ZZX", kRadixSigned), " xd ");
    EXPECT_EQ(VectorText("101X11", kRadixOctal), " 5xo");
    EXPECT_EQ(VectorText("000111", kRadixOctal), " 7o");
    EXPECT_EQ(VectorText("1010", kRadixSigned), " -6d ");
    EXPECT_EQ(VectorText("1010", kRadixBinary), " 1010b");
    EXPECT_EQ(VectorText("0000", kRadixHex), " 0h");
    // Weak levels count as their strong values; U, W and - as unknown.
    EXPECT_EQ(VectorText("HLHL", kRadixUnsigned), " 10u ");
    EXPECT_EQ(VectorText("0U01", kRadixHex), " xh");
    EXPECT_EQ(VectorText("01-1", kRadixUnsigned), " xu ");

    // Exact at 64 bits and beyond.
    const std::string ones64(64, '1');
    EXPECT_EQ(VectorText(ones64, kRadixUnsigned), " 18446744073709551615u ");
    EXPECT_EQ(VectorText(ones64, kRadixSigned), " -1d ");
    EXPECT_EQ(VectorText(ones64, kRadixHex), " FFFFFFFFFFFFFFFFh");
    EXPECT_EQ(VectorText("1" + std::string(64, '0'), kRadixUnsigned), " 18446744073709551616u ");
    EXPECT_EQ(VectorText("1" + std::string(64, '0'), kRadixSigned), " -18446744073709551616d ");
    EXPECT_EQ(VectorText(std::string(128, '1'), kRadixUnsigned),
              " 340282366920938463463374607431768211455u ");
    EXPECT_EQ(VectorText(std::string(128, '1'), kRadixSigned), " -1d ");
    EXPECT_EQ(VectorText("1" + std::string(127, '0'), kRadixSigned),
              " -170141183460469231731687303715884105728d ");
    EXPECT_EQ(VectorText("0" + std::string(127, '1'), kRadixSigned),
              " 170141183460469231731687303715884105727d ");
    EXPECT_EQ(VectorText("1" + std::string(128, '0'), kRadixHex), " 1" + std::string(32, '0') + "h");
    EXPECT_EQ(
        DecimalOfBits("1000000000000000000000000000000000000000000000000000000000000000000000000000", false),
        "37778931862957161709568");
    EXPECT_EQ(DecimalOfBits("", false), "0");
    EXPECT_EQ(DecimalOfBits("1", true), "-1");
    EXPECT_EQ(DecimalOfBits("10", true), "-2");
}
