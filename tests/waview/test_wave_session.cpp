// The wave session without widgets: window and grid rules, zooms that keep
// the cursor or the pointer in place, cursors, transitions on scalars and
// buses, bookmarks, the zoom-area mode and what observers are told.
#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "waview/wave_session.h"

namespace {

// clk toggles every 5 up to 100; data[3:0] counts every 10 (a bus of four
// bits, the first the most significant); everything closes at 100.
void FillSmall(Waview_FileManager& doc) {
    doc.SetTimescaleExponent(-9);
    Waview_Signal* clk = doc.NewSignal(kTypeVerilog);
    Waview_ScalarHierarchy* clkRow = doc.NewScalarRow();
    clkRow->name = "clk";
    clkRow->signalIndex = clk->index;
    for (int t = 0; t <= 100; t += 5) clk->AppendState(t, (t / 5) % 2);
    Waview_CompositeHierarchy* data = doc.NewCompositeRow();
    data->name = "data";
    for (int b = 3; b >= 0; --b) {
        Waview_Signal* s = doc.NewSignal(kTypeVerilog);
        Waview_ScalarHierarchy* r = doc.NewScalarRow();
        r->name = "data[" + std::to_string(b) + "]";
        r->level = 1;
        r->signalIndex = s->index;
        data->children.push_back(r->index);
        for (int t = 0; t <= 100; t += 10) s->AppendState(t, ((t / 10) >> b) & 1);
    }
    for (int32_t i = 0; i < doc.SignalCount(); ++i) {
        doc.Signal(i)->AppendClosing(100);
        doc.Signal(i)->ComputeMinMax();
    }
    doc.SetEndTime(100);
}

Waview_Hierarchy* Named(Waview_WaveSession& s, const std::string& name) {
    for (int32_t i = 0; i < s.Doc().RowCount(); ++i)
        if (s.Doc().Row(i)->name == name) return s.Doc().Row(i);
    return nullptr;
}

// A session of width 1000 showing a long document (end time `end`).
struct Session {
    Waview_WaveSession s;
    explicit Session(int64_t end = 100, int width = 1000) {
        s.Resize(width, 400);
        FillSmall(s.Doc());
        s.Doc().SetEndTime(end);
        s.DocumentReplaced();
    }
};

double PixelOf(const Waview_ViewState& v, int64_t t) {
    return (double(t) - double(v.start)) * v.stepPixels / double(v.stepTime);
}

} // namespace

TEST(WaveNavigation, ScaleSelectionAndWindowRules) {
    Waview_ViewState v;
    v.width = 1000;
    v.start = 0;
    v.end = 100;
    v.SelectScale(); // nothing zoomed yet: one time unit per step
    EXPECT_EQ(v.stepTime, 1);
    EXPECT_EQ(v.stepPixels, 10);

    ASSERT_TRUE(v.SetWindow(0, 1000, 1000));
    EXPECT_EQ(v.stepTime, 5); // 5 px: raw 5, exact
    EXPECT_EQ(v.stepPixels, 5);
    EXPECT_EQ(v.end, 1000);

    ASSERT_TRUE(v.SetWindow(600, 900, 1000));
    EXPECT_EQ(v.stepTime, 5); // 11 px: raw 3.3 -> 5 has the smallest error
    EXPECT_EQ(v.stepPixels, 11);
    EXPECT_EQ(v.start, 600);
    EXPECT_EQ(v.end, 600 + 90 * 5);

    ASSERT_TRUE(v.ZoomOut(1000)); // [600, 1500] clamps to the end
    EXPECT_EQ(v.start, 600);
    EXPECT_EQ(v.end, 1000);
    EXPECT_EQ(v.stepTime, 2);

    EXPECT_FALSE(v.SetWindow(1000, 1200, 1000)); // starts at the end
    EXPECT_FALSE(v.SetWindow(500, 500, 1000));   // empty
    EXPECT_FALSE(v.SetWindow(500, 400, 1000));   // reversed

    // Fewer time units than steps: one unit per step, wider than 11 px.
    ASSERT_TRUE(v.SetWindow(7, 27, 1000));
    EXPECT_EQ(v.stepTime, 1);
    EXPECT_EQ(v.stepPixels, 50);
    EXPECT_EQ(v.end, 27);
    ASSERT_TRUE(v.SetWindow(7, 8, 1000)); // as deep as it goes
    EXPECT_EQ(v.stepPixels, kMaxPixelsPerUnit);
    EXPECT_EQ(v.end, 7 + 1000 / kMaxPixelsPerUnit);

    Waview_ViewState one = v;
    one.start = 5;
    one.end = 6;
    EXPECT_FALSE(one.ZoomIn(1000)); // span 1 halves to nothing

    Waview_ViewState tiny; // narrower than a grid step, nothing to show
    tiny.width = 3;
    EXPECT_TRUE(tiny.SetWindow(0, 1, 1));
    EXPECT_GE(tiny.stepTime, 1);
}

TEST(WaveNavigation, CursorRules) {
    Waview_Cursors c; // one cursor at 0
    for (int i = 1; i < kMaxCursors; ++i) EXPECT_TRUE(c.Add(i * 10));
    EXPECT_EQ(c.active, 9);
    EXPECT_FALSE(c.Add(500));
    EXPECT_EQ(c.count, 10);

    // Nearest wins; on equal distance the first.
    EXPECT_EQ(c.MoveNearest(24), 2);
    EXPECT_EQ(c.times[2], 24);
    EXPECT_EQ(c.MoveNearest(35), 3); // 30 and 40 are equally near

    // Removing moves later ones down and activates the previous one.
    c.active = 0;
    EXPECT_TRUE(c.Remove());
    EXPECT_EQ(c.active, 8); // the first removed: the last becomes active
    EXPECT_EQ(c.times[0], 10);

    Waview_Cursors only;
    EXPECT_TRUE(only.Remove());
    EXPECT_EQ(only.count, 0);
    EXPECT_FALSE(only.HasActive());
    EXPECT_FALSE(only.Remove());
}

TEST(WaveNavigation, TimeLabels) {
    EXPECT_EQ(TimeLabel(0, -9), " 0 ");
    EXPECT_EQ(TimeLabel(3000000, -9), " 3m ");
    EXPECT_EQ(TimeLabel(1500, -12), " 1500p ");
}

TEST(WaveSession, ZoomInAndOutKeepTheActiveCursorWhereItIsOnScreen) {
    Session f(1000000);
    Waview_WaveSession& s = f.s;
    ASSERT_TRUE(s.SetWindow(200000, 600000));
    s.SetCursorTimes({345678});
    for (bool in : {true, true, true, false, true, false, false}) {
        const Waview_ViewState before = s.View();
        const double x = PixelOf(before, 345678);
        ASSERT_TRUE(in ? s.ZoomIn() : s.ZoomOut());
        const Waview_ViewState& after = s.View();
        EXPECT_NEAR(PixelOf(after, 345678), x, after.stepPixels / 2.0 + 1) << "zoom " << (in ? "in" : "out");
        EXPECT_NE(after.stepTime * 1000 / after.stepPixels, before.stepTime * 1000 / before.stepPixels);
    }

    // Down to the deepest zoom the cursor stays put; then Zoom In does nothing.
    int guard = 0;
    while (s.ZoomIn() && ++guard < 100) EXPECT_NEAR(PixelOf(s.View(), 345678), 500, 600);
    EXPECT_LT(guard, 100);
    EXPECT_EQ(s.View().stepTime, 1);
    EXPECT_GE(s.View().stepPixels, 100);
    EXPECT_LE(s.View().start, 345678);
    EXPECT_GE(s.View().end, 345678);

    // A cursor off screen: the middle of the view stays.
    s.SetCursorTimes({10});
    ASSERT_TRUE(s.ZoomFull());
    ASSERT_TRUE(s.SetWindow(500000, 600000));
    const int64_t mid = s.View().TimeAt(500);
    ASSERT_TRUE(s.ZoomIn());
    EXPECT_NEAR(PixelOf(s.View(), mid), 500, s.View().stepPixels);
}

TEST(WaveSession, WheelZoomsAroundThePointerAndStaysInsideTheDump) {
    Session f(1000000);
    Waview_WaveSession& s = f.s;
    ASSERT_TRUE(s.SetWindow(400000, 600000));
    const int64_t t = s.View().TimeAt(700);
    ASSERT_TRUE(s.ZoomAround(700, true));
    EXPECT_NEAR(PixelOf(s.View(), t), 700, s.View().stepPixels / 2.0 + 1);
    ASSERT_TRUE(s.ZoomAround(700, false));
    ASSERT_TRUE(s.ZoomAround(700, false));
    // Each zoom may move it by half a step of its own grid: within a step.
    EXPECT_NEAR(PixelOf(s.View(), t), 700, s.View().stepPixels + 1.0);

    // Near the start the window cannot begin before 0.
    ASSERT_TRUE(s.SetWindow(0, 1000));
    s.ZoomAround(900, false);
    EXPECT_EQ(s.View().start, 0);
    // Everything shown already: zooming out changes nothing.
    ASSERT_TRUE(s.ZoomFull());
    EXPECT_FALSE(s.ZoomAround(500, false));
}

TEST(WaveSession, TransitionsOfScalarsAndBuses) {
    Session f;
    Waview_WaveSession& s = f.s;
    Waview_Hierarchy* clk = Named(s, "clk");
    Waview_Hierarchy* data = Named(s, "data");
    ASSERT_TRUE(clk && data);
    s.SetCursorTimes({12});
    EXPECT_TRUE(s.NextTransition(*clk));
    EXPECT_EQ(s.Cursors().ActiveTime(), 15);
    EXPECT_TRUE(s.NextTransition(*data)); // the bus changes whenever a bit does
    EXPECT_EQ(s.Cursors().ActiveTime(), 20);
    EXPECT_TRUE(s.PreviousTransition(*clk));
    EXPECT_EQ(s.Cursors().ActiveTime(), 15);
    EXPECT_TRUE(s.PreviousTransition(*data));
    EXPECT_EQ(s.Cursors().ActiveTime(), 10);

    s.SetCursorTimes({100}); // no later change: the cursor stays
    EXPECT_FALSE(s.NextTransition(*clk));
    EXPECT_EQ(s.Cursors().ActiveTime(), 100);
    s.SetCursorTimes({0}); // nothing before the first change
    EXPECT_FALSE(s.PreviousTransition(*clk));
    EXPECT_EQ(s.Cursors().ActiveTime(), 0);

    EXPECT_TRUE(s.RemoveCursor()); // without a cursor nothing moves
    EXPECT_FALSE(s.NextTransition(*clk));
    EXPECT_EQ(s.Cursors().count, 0);
}

TEST(WaveSession, BookmarksZoomAreaAndWhatObserversHear) {
    Session f(1000);
    Waview_WaveSession& s = f.s;
    unsigned heard = 0;
    const int id = s.Observe([&](unsigned c) { heard |= c; });

    ASSERT_TRUE(s.SetWindow(130, 610));
    EXPECT_EQ(heard, unsigned(Waview_WaveSession::kWindow));
    const Waview_ViewState shown = s.View();
    s.SetBookmark(3);
    ASSERT_TRUE(s.ZoomFull());
    EXPECT_FALSE(s.GotoBookmark(4)); // unset
    ASSERT_TRUE(s.GotoBookmark(3));
    EXPECT_EQ(s.View().start, shown.start);
    EXPECT_EQ(s.View().stepTime, shown.stepTime);
    EXPECT_TRUE(heard & Waview_WaveSession::kBookmarks);

    // One area, then the mode is off.
    heard = 0;
    s.SetZoomArea(true);
    EXPECT_TRUE(s.ZoomAreaOn());
    const int64_t a = s.View().TimeAt(200), b = s.View().TimeAt(400);
    ASSERT_TRUE(s.ZoomToArea(400, 200));
    EXPECT_FALSE(s.ZoomAreaOn());
    EXPECT_GE(s.View().start, a - s.View().stepTime);
    EXPECT_LE(s.View().start, a);
    EXPECT_GE(s.View().end, b - s.View().stepTime);
    EXPECT_EQ(heard, unsigned(Waview_WaveSession::kWindow | Waview_WaveSession::kZoomArea));

    heard = 0;
    s.RenameRow(*Named(s, "clk"), "clock");
    EXPECT_TRUE(s.Modified());
    EXPECT_EQ(heard, unsigned(Waview_WaveSession::kDisplay | Waview_WaveSession::kModified));
    s.Unobserve(id);
    heard = 0;
    s.AddCursor();
    EXPECT_EQ(heard, 0u);
    EXPECT_EQ(s.Cursors().count, 2);
    EXPECT_EQ(s.Cursors().ActiveTime(), (s.View().start + s.View().end) / 2);
}

TEST(WaveSession, SummariesShareASignalAndDropRepeatedBusValues) {
    Session f;
    Waview_WaveSession& s = f.s;
    Waview_Hierarchy* clk = Named(s, "clk");
    Waview_ScalarHierarchy* alias = s.Doc().NewScalarRow();
    alias->signalIndex = clk->GetSignal()->index;
    EXPECT_EQ(s.SummaryOf(*clk), s.SummaryOf(*alias));

    const Waview_Summary* bus = s.SummaryOf(*Named(s, "data"));
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->Width(), 4);
    // Sentinel, one change per 10 from 0 to 100, and nothing for the closing
    // copies at 100 beyond that change itself.
    ASSERT_EQ(bus->Count(), 12);
    EXPECT_EQ(bus->Time(0), -1);
    EXPECT_EQ(bus->Time(6), 50);
    EXPECT_EQ(bus->Value(6), 5);
    EXPECT_EQ(bus->Range(1, 12).hi, 10);
}

TEST(WaveSession, SummaryRangesOverEveryBlockBoundaryMatchAPlainWalk) {
    Waview_FileManager doc;
    Waview_Signal* s = doc.NewSignal(kTypeInteger);
    uint32_t seed = 7;
    for (int i = 0; i < 5000; ++i) s->AppendInteger(i, int64_t((seed = seed * 1103515245u + 12345u) >> 20));
    const Waview_Summary sum(*s);
    for (int64_t i : {0, 1, 15, 16, 17, 255, 256, 300, 4095, 4096}) {
        for (int64_t j : {i + 1, i + 15, i + 16, i + 257, i + 4097, int64_t(5001)}) {
            if (j > sum.Count() || j <= i) continue;
            Waview_Extent plain;
            for (int64_t k = i; k < j; ++k) plain.Add(sum.Value(k), sum.States(k));
            const Waview_Extent fast = sum.Range(i, j);
            EXPECT_EQ(fast.lo, plain.lo) << i << ".." << j;
            EXPECT_EQ(fast.hi, plain.hi) << i << ".." << j;
        }
    }
    for (int64_t t : {-5, 0, 1, 17, 4999, 5000}) {
        EXPECT_EQ(sum.FirstAtOrAfter(t), std::min<int64_t>(std::max<int64_t>(t, -1) + 1, sum.Count())) << t;
        EXPECT_EQ(sum.NextAtOrAfter(0, t), sum.FirstAtOrAfter(std::max<int64_t>(t, 0))) << t;
    }
}
