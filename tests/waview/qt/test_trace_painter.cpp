#include <functional>

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "waview/qt/tracepainter.h"

namespace {

// One row of each scalar kind with a change every `gap` time units.
struct Doc {
    Waview_FileManager doc;
    Waview_SummaryCache summaries;
    std::vector<Waview_ScalarHierarchy*> rows;
    explicit Doc(int gap, int count) {
        for (int32_t type : {kTypeBit, kTypeStdLogic, kTypeInteger, kTypeReal}) {
            Waview_Signal* s = doc.NewSignal(type);
            Waview_ScalarHierarchy* r = doc.NewScalarRow();
            r->signalIndex = s->index;
            rows.push_back(r);
            for (int i = 0; i < count; ++i) {
                const int64_t t = int64_t(i) * gap;
                if (type == kTypeBit) s->AppendState(t, i & 1);
                if (type == kTypeStdLogic) s->AppendState(t, i % 9);
                if (type == kTypeInteger) s->AppendInteger(t, (i * 7) % 13 - 4);
                if (type == kTypeReal) s->AppendReal(t, (i % 5) * 0.25);
            }
            s->ComputeMinMax();
        }
    }
};

// A bus of `width` four-state bits holding values[k] from times[k] on.
Waview_CompositeHierarchy* MakeBus(Waview_FileManager& doc, int width, const std::vector<int64_t>& times,
                                   const std::vector<std::string>& values, int64_t end) {
    auto* bus = doc.NewCompositeRow();
    bus->name = "bus";
    for (int b = 0; b < width; ++b) {
        Waview_Signal* s = doc.NewSignal(kTypeVerilog);
        auto* leaf = doc.NewScalarRow();
        leaf->signalIndex = s->index;
        leaf->level = 1;
        bus->children.push_back(leaf->index);
        for (size_t k = 0; k < times.size(); ++k) {
            const char c = values[k][size_t(b)];
            s->AppendState(times[k], c == '1' ? 1 : c == '0' ? 0 : c == 'z' ? 2 : 3);
        }
        s->AppendClosing(end);
        s->ComputeMinMax();
    }
    return bus;
}

QImage Paint(const std::function<void(SegmentSink&)>& draw, int w = 400, int h = 30) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    Waview_PainterSink sink(p, w);
    draw(sink);
    return img;
}

Waview_ViewState View(int64_t start, int64_t stepTime, int stepPixels, int width = 400) {
    Waview_ViewState v;
    v.start = start;
    v.stepTime = stepTime;
    v.stepPixels = stepPixels;
    v.width = width;
    v.end = start + (width / stepPixels) * stepTime;
    return v;
}

// Text is smoothed: its pixels are shades of its colour.
int CountYellowish(const QImage& img, QRect r) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            n += c.red() > 100 && c.green() > 100 && c.blue() < 60;
        }
    return n;
}

const QColor kYellow(255, 255, 0), kBlack(Qt::black), kRed(255, 0, 0);

// The plain picture: every segment from the one in effect at the start on,
// one DrawSegment each, as the segment rules describe.
void PlainTrace(const Waview_Signal& s, const Waview_ViewState& v, const RowRect& rect, SegmentSink& dc,
                int digital) {
    const SegmentView sv = ToSegmentView(v);
    int64_t i = 0;
    while (i < s.EntryCount() && s.Entry(i).time < v.start) ++i;
    const ChangeEntry* prev = i > 0 ? &s.Entry(i - 1) : nullptr;
    for (; i < s.EntryCount(); ++i) {
        const ChangeEntry* next = &s.Entry(i);
        if (!s.Type().DrawSegment(sv, rect, dc, prev, next, s.minEntry, s.maxEntry, digital)) break;
        prev = next;
    }
}

} // namespace

TEST(TracePainter, SummarisedColumnsMatchPlainSegmentsWhenEveryChangeHasItsPixels) {
    Doc d(10, 200);
    const RowRect rect{4, 24};
    for (int64_t start : {0, 35}) {
        const Waview_ViewState v = View(start, 2, 1); // 5 px between changes
        for (Waview_ScalarHierarchy* row : d.rows) {
            Waview_Signal* s = row->GetSignal();
            for (int digital : {1, 0}) {
                row->digital = digital;
                const QImage merged =
                    Paint([&](SegmentSink& dc) { DrawRowShape(*row, d.summaries.Of(*row), v, rect, dc); });
                const QImage plain = Paint([&](SegmentSink& dc) { PlainTrace(*s, v, rect, dc, digital); });
                EXPECT_TRUE(merged == plain)
                    << "type " << s->GetTypeCode() << " digital " << digital << " start " << start;
            }
        }
    }
}

TEST(TracePainter, DenseColumnsShowEveryLevelAndOddStateTheyHold) {
    Doc d(1, 100000);
    Waview_ScalarHierarchy* bit = d.rows[0];
    const RowRect rect{4, 24};
    const Waview_ViewState v = View(0, 1000, 1); // a thousand changes per column
    const QImage img = Paint([&](SegmentSink& dc) { DrawRowShape(*bit, d.summaries.Of(*bit), v, rect, dc); });
    for (int x : {10, 50, 99}) { // both levels in every column: full height
        EXPECT_NE(img.pixelColor(x, rect.top + 2), kBlack) << x;
        EXPECT_NE(img.pixelColor(x, rect.bottom - 2), kBlack) << x;
    }
    EXPECT_EQ(img.pixelColor(150, rect.top + 2), kBlack); // past the last change

    // One unknown in the middle of a dense column shows in its colour, however
    // far it lies from the column's ends.
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeVerilog);
    auto* row = doc.NewScalarRow();
    row->signalIndex = s->index;
    for (int64_t t = 0; t < 100000; ++t) s->AppendState(t, t == 40500 ? 3 : int32_t(t & 1));
    s->ComputeMinMax();
    Waview_SummaryCache cache;
    const QImage x = Paint([&](SegmentSink& dc) { DrawRowShape(*row, cache.Of(*row), v, rect, dc); });
    EXPECT_EQ(x.pixelColor(40, (rect.top + rect.bottom) / 2), kRed);
    EXPECT_NE(x.pixelColor(41, (rect.top + rect.bottom) / 2), kRed);
}

TEST(TracePainter, FlatAnalogIsAMidLine) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeInteger);
    auto* row = doc.NewScalarRow();
    row->signalIndex = s->index;
    row->digital = 0;
    s->AppendInteger(0, 7);
    s->AppendInteger(100, 7);
    s->ComputeMinMax();
    Waview_SummaryCache cache;
    const QImage img = Paint([&](SegmentSink& dc) {
        DrawRowShape(*row, cache.Of(*row), View(0, 1, 2), RowRect{0, 20}, dc);
    });
    EXPECT_EQ(img.pixelColor(50, 10), QColor(255, 128, 128));
}

TEST(TracePainter, BusCrossesWhereItsValueChangesAndShowsUnknownsRed) {
    Waview_FileManager doc;
    // 20: 01 -> 11; 50: a repeat of 11 by a leaf rewriting its value; 60: x1.
    auto* bus = MakeBus(doc, 2, {0, 20, 50, 60}, {"01", "11", "11", "x1"}, 90);
    Waview_SummaryCache cache;
    const Waview_Summary* sum = cache.Of(*bus);
    ASSERT_NE(sum, nullptr);
    EXPECT_EQ(sum->Width(), 2);
    const RowRect rect{0, 20};
    const Waview_ViewState v = View(0, 1, 2);
    const QImage img = Paint([&](SegmentSink& dc) { DrawRowShape(*bus, sum, v, rect, dc); });
    EXPECT_EQ(img.pixelColor(40, 10), kYellow); // change at 20
    EXPECT_EQ(img.pixelColor(70, 10), kBlack);  // between: rails only
    EXPECT_EQ(img.pixelColor(70, 2), kYellow);
    EXPECT_EQ(img.pixelColor(70, 18), kYellow);
    EXPECT_EQ(img.pixelColor(100, 10), kBlack); // 50 repeats the value: no crossing
    EXPECT_EQ(img.pixelColor(120, 10), kRed);   // 60: a value with x
    EXPECT_EQ(img.pixelColor(150, 2), kRed);

    // Next and previous transitions skip the repeat too.
    EXPECT_EQ(sum->Time(sum->FirstAtOrAfter(21)), 60);
}

TEST(TracePainter, BusyBusColumnsShowAnUnknownWhereItIs) {
    Waview_FileManager doc;
    std::vector<int64_t> times;
    std::vector<std::string> values;
    for (int64_t t = 0; t < 100000; ++t) {
        times.push_back(t);
        values.push_back(t == 40500 ? "x1" : t % 2 ? "01" : "10");
    }
    auto* bus = MakeBus(doc, 2, times, values, 100000);
    Waview_SummaryCache cache;
    const RowRect rect{0, 20};
    const QImage img =
        Paint([&](SegmentSink& dc) { DrawRowShape(*bus, cache.Of(*bus), View(0, 1000, 1), rect, dc); });
    EXPECT_EQ(img.pixelColor(40, 10), kRed); // a thousand changes per column, one of them x
    EXPECT_EQ(img.pixelColor(39, 10), kYellow);
    EXPECT_EQ(img.pixelColor(41, 10), kYellow);
    EXPECT_EQ(img.pixelColor(99, 10), kYellow);
    EXPECT_EQ(img.pixelColor(101, 10), kBlack); // past the closing change
}

TEST(TracePainter, BusBoxesShowTheValueInTheRowsRadixCutToFit) {
    Waview_FileManager doc;
    auto* bus = MakeBus(doc, 8, {0, 100, 300, 304}, {"10100101", "11110000", "00001111", "01010101"}, 400);
    Waview_SummaryCache cache;
    const RowRect rect{0, 20};
    auto paint = [&](const Waview_ViewState& v) {
        QImage img(400, 30, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        std::vector<Waview_ValueBox> boxes;
        {
            Waview_PainterSink sink(p, 400);
            DrawRowShape(*bus, cache.Of(*bus), v, rect, sink, &boxes);
        }
        DrawValueBoxes(p, WaveValueFont(), boxes);
        return img;
    };
    bus->SetRadix(kRadixBinary);
    const Waview_ViewState wide = View(0, 1, 1);
    const QImage binary = paint(wide);
    // 0..100 holds "10100101b": 100 px is room enough; 300..304 has none.
    const QRect firstBox(3, 6, 94, 8);
    const int inFirst = CountYellowish(binary, firstBox);
    EXPECT_GT(inFirst, 20);
    EXPECT_EQ(CountYellowish(binary, QRect(302, 7, 1, 6)), 0);
    bus->SetRadix(kRadixHex);
    const QImage hex = paint(wide);
    EXPECT_GT(CountYellowish(hex, firstBox), 0);
    EXPECT_LT(CountYellowish(hex, firstBox), inFirst); // "A5h" is shorter

    // Squeezed to 25 px the binary text is cut with an ellipsis and stays
    // inside its box.
    bus->SetRadix(kRadixBinary);
    const QImage squeezed = paint(View(0, 4, 1));
    const int cut = CountYellowish(squeezed, QRect(3, 6, 20, 8));
    EXPECT_GT(cut, 0);
    EXPECT_LT(cut, inFirst);
    EXPECT_EQ(CountYellowish(squeezed, QRect(22, 7, 1, 6)), 0); // the box's end, before the crossing
}

TEST(TracePainter, BusAnalogFollowsTheUnsignedValue) {
    Waview_FileManager doc;
    auto* bus = MakeBus(doc, 4, {0, 100, 200, 300}, {"0001", "0100", "1000", "1111"}, 400);
    bus->digital = 0;
    Waview_SummaryCache cache;
    const RowRect rect{0, 40};
    const QImage img =
        Paint([&](SegmentSink& dc) { DrawRowShape(*bus, cache.Of(*bus), View(0, 1, 1), rect, dc); }, 400, 50);
    auto yAt = [&](int x) {
        for (int y = 0; y < 50; ++y)
            if (img.pixelColor(x, y) != kBlack) return y;
        return -1;
    };
    EXPECT_GT(yAt(100), yAt(200)); // 4 is lower than 8
    EXPECT_GT(yAt(200), yAt(300)); // 8 lower than 15
    EXPECT_EQ(yAt(300), rect.top + 2);
}
