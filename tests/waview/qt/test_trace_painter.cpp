#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include "waview/qt/tracepainter.h"

namespace {

// One signal of each kind with a change every `gap` time units.
struct Doc {
    Waview_FileManager doc;
    Waview_Signal* bit;
    Waview_Signal* nine;
    Waview_Signal* integer;
    Waview_Signal* real;
    explicit Doc(int gap, int count) {
        bit = doc.NewSignal(kTypeBit);
        nine = doc.NewSignal(kTypeStdLogic);
        integer = doc.NewSignal(kTypeInteger);
        real = doc.NewSignal(kTypeReal);
        for (int i = 0; i < count; ++i) {
            const int64_t t = int64_t(i) * gap;
            bit->AppendState(t, i & 1);
            nine->AppendState(t, i % 9);
            integer->AppendInteger(t, (i * 7) % 13 - 4);
            real->AppendReal(t, (i % 5) * 0.25);
        }
        for (Waview_Signal* s : {bit, nine, integer, real}) s->ComputeMinMax();
    }
};

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

} // namespace

TEST(TracePainter, DenseColumnsDrawTheLevelsTheyHold) {
    Doc d(1, 100000);
    const RowRect rect{4, 24};
    const Waview_ViewState v = View(0, 1000, 1); // a thousand changes per column
    const QImage img = Paint([&](SegmentSink& dc) { DrawScalarTrace(*d.bit, v, rect, dc, 1); });
    // Every column holding both levels shows its full height.
    for (int x : {10, 50, 99}) {
        EXPECT_NE(img.pixelColor(x, rect.top + 2), QColor(Qt::black)) << x;
        EXPECT_NE(img.pixelColor(x, rect.bottom - 2), QColor(Qt::black)) << x;
    }
    // Past the last change nothing is drawn.
    EXPECT_EQ(img.pixelColor(150, rect.top + 2), QColor(Qt::black));
}

TEST(TracePainter, FlatAnalogIsAMidLine) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeInteger);
    s->AppendInteger(0, 7);
    s->AppendInteger(100, 7);
    s->ComputeMinMax();
    const RowRect rect{0, 20};
    const QImage img = Paint([&](SegmentSink& dc) { DrawScalarTrace(*s, View(0, 1, 2), rect, dc, 0); });
    EXPECT_EQ(img.pixelColor(50, 10), QColor(255, 128, 128));
}

TEST(TracePainter, CompositeBusCrossesAtEveryLeafChange) {
    Waview_FileManager doc;
    auto* bus = doc.NewCompositeRow();
    for (int b = 0; b < 2; ++b) {
        Waview_Signal* s = doc.NewSignal(kTypeVerilog);
        auto* leaf = doc.NewScalarRow();
        leaf->signalIndex = s->index;
        leaf->level = 1;
        bus->children.push_back(leaf->index);
        s->AppendState(0, 0);
        s->AppendState(b == 0 ? 20 : 50, 1);
        s->AppendClosing(90);
        s->ComputeMinMax();
    }
    const RowRect rect{0, 20};
    const Waview_ViewState v = View(0, 1, 2);
    const QImage img = Paint([&](SegmentSink& dc) { DrawCompositeBus(*bus, v, rect, dc); });
    const QColor yellow(255, 255, 0), black(Qt::black);
    EXPECT_EQ(img.pixelColor(40, 10), yellow);  // change at 20
    EXPECT_EQ(img.pixelColor(100, 10), yellow); // change at 50
    EXPECT_EQ(img.pixelColor(70, 10), black);   // between: rails only
    EXPECT_EQ(img.pixelColor(70, 2), yellow);
    EXPECT_EQ(img.pixelColor(70, 18), yellow);
}
