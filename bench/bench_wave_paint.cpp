// Paints the wave window's shape view (1600x1000, 30 rows) into an image at
// full zoom, at 1000x and at the deepest zoom and prints milliseconds per
// frame. One row holds ten million changes; four are 32-bit buses of one
// million changes each (collapsed, one row apiece); the rest are integers,
// reals and single bits. Goal: under 16 ms per frame at every zoom. The
// first frame, which builds the rows' summaries, is printed on its own.
//
//   bench_wave_paint [CLOCK_CHANGES [BUS_CHANGES [FRAMES]]]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include <QApplication>
#include <QMdiArea>

#include "waview/qt/childframe.h"
#include "waview/qt/shapeview.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

void Build(Waview_FileManager& doc, int64_t clockChanges, int64_t busChanges) {
    doc.Clear();
    doc.SetTimescaleExponent(-12);
    const int64_t end = clockChanges * 10;
    auto scalar = [&](int32_t type, const std::string& name) {
        Waview_Signal* s = doc.NewSignal(type);
        Waview_ScalarHierarchy* r = doc.NewScalarRow();
        r->name = name;
        r->signalIndex = s->index;
        return s;
    };
    // The big one: a clock with ten million edges.
    Waview_Signal* clk = scalar(kTypeVerilog, "clk");
    for (int64_t i = 0; i < clockChanges; ++i) clk->AppendState(i * 10, int32_t(i & 1));
    uint32_t seed = 12345;
    auto rnd = [&] { return seed = seed * 1664525u + 1013904223u; };
    int rows = 1;
    for (int b = 0; b < 4; ++b, ++rows) { // 32-bit counters: a million values each
        Waview_CompositeHierarchy* bus = doc.NewCompositeRow();
        bus->name = "bus" + std::to_string(b);
        std::vector<int32_t> children;
        std::vector<Waview_Signal*> bits;
        for (int k = 0; k < 32; ++k) {
            Waview_Signal* s = doc.NewSignal(kTypeVerilog);
            Waview_ScalarHierarchy* r = doc.NewScalarRow();
            r->name = bus->name + "[" + std::to_string(31 - k) + "]";
            r->level = 1;
            r->signalIndex = s->index;
            children.push_back(r->index);
            bits.push_back(s);
        }
        static_cast<Waview_CompositeHierarchy*>(doc.Row(bus->index))->children = children;
        const int64_t gap = std::max<int64_t>(1, end / busChanges);
        uint32_t value = 0, was = ~0u;
        for (int64_t t = 0, n = 0; n < busChanges && t < end; t += gap, ++n) {
            value += 1 + (rnd() & 3) * (b + 1); // a counter with uneven steps
            for (int k = 0; k < 32; ++k) {
                const uint32_t bit = (value >> (31 - k)) & 1;
                if (bit != ((was >> (31 - k)) & 1) || n == 0) bits[size_t(k)]->AppendState(t, int32_t(bit));
            }
            was = value;
        }
    }
    for (int i = 0; i < 8; ++i, ++rows) {
        Waview_Signal* s = scalar(kTypeInteger, "count" + std::to_string(i));
        for (int64_t t = 0; t < end; t += std::max<int64_t>(1, end / 200000))
            s->AppendInteger(t, int64_t(rnd() % 1000));
    }
    for (int i = 0; i < 6; ++i, ++rows) {
        Waview_Signal* s = scalar(kTypeReal, "level" + std::to_string(i));
        for (int64_t t = 0; t < end; t += std::max<int64_t>(1, end / 200000))
            s->AppendReal(t, (rnd() % 1000) / 7.0);
    }
    while (rows < 30) {
        Waview_Signal* s = scalar(kTypeVerilog, "flag" + std::to_string(rows++));
        for (int64_t t = 0; t < end; t += std::max<int64_t>(1, end / 50000))
            s->AppendState(t, int32_t(rnd() % 4));
    }
    for (int32_t i = 0; i < doc.SignalCount(); ++i) {
        Waview_Signal* s = doc.Signal(i);
        s->AppendClosing(end);
        s->ComputeMinMax();
    }
    doc.SetEndTime(end);
}

// This thread's processor time: on a machine shared with other work the
// wall time also counts the waits for a core.
double CpuMs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Frame {
    double wall, cpu;
};

Frame MsPerFrame(Waview_ShapeView& view, int frames) {
    view.Render(); // warm caches
    const auto t0 = Clock::now();
    const double c0 = CpuMs();
    for (int i = 0; i < frames; ++i) view.Render();
    return {Ms(t0, Clock::now()) / frames, (CpuMs() - c0) / frames};
}

void Report(const char* what, const Waview_ViewState& v, Frame f) {
    std::printf("%-12s [%lld, %lld] step %lld/%dpx: %.2f ms/frame (processor %.2f ms)%s\n", what,
                (long long)v.start, (long long)v.end, (long long)v.stepTime, v.stepPixels, f.wall, f.cpu,
                f.cpu < 16 ? "" : "  (over 16 ms)");
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int64_t changes = argc > 1 ? std::atoll(argv[1]) : 10000000;
    const int64_t busChanges = argc > 2 ? std::atoll(argv[2]) : 1000000;
    const int frames = argc > 3 ? std::atoi(argv[3]) : 20;

    QMdiArea area;
    area.resize(3000, 1400);
    auto* w = new Waview_ChildFrame("bench.wvw", "bench.vcd");
    area.addSubWindow(w);
    area.show();
    w->show();
    QApplication::processEvents();
    Waview_ShapeView& view = *w->ShapeView();
    // Size the window so that the shape view is 1600 x 1000.
    for (int i = 0; i < 3; ++i) {
        w->resize(w->size() + QSize(1600, 1000) - view.size());
        QApplication::processEvents();
    }
    Waview_WaveSession& s = w->Session();
    const auto b0 = Clock::now();
    Build(s.Doc(), changes, busChanges);
    const auto b1 = Clock::now();
    s.DocumentReplaced();
    s.CollapseBuses();
    QApplication::processEvents(); // lays the tree out (and may paint once)
    const auto f0 = Clock::now();
    view.Render();
    const auto f1 = Clock::now();
    std::printf(
        "document: %lld changes on clk, 4 buses of %lld values, %d rows, built in %.0f ms; "
        "shape view %dx%d\n",
        static_cast<long long>(changes), static_cast<long long>(busChanges), s.Doc().RowCount(), Ms(b0, b1),
        view.width(), view.height());

    std::printf("first picture (rows' summaries built on the way): %.0f ms\n", Ms(b1, f1));
    std::printf("its first render call (the memory of the first images is new to the process): %.0f ms\n",
                Ms(f0, f1));
    Report("full zoom", s.View(), MsPerFrame(view, frames));
    const int64_t mid = s.EndTime() / 2, span = s.EndTime() / 1000;
    s.SetWindow(mid, mid + span);
    Report("1000x zoom", s.View(), MsPerFrame(view, frames));
    int guard = 0;
    while (s.ZoomIn() && ++guard < 200) {
    }
    Report("deepest", s.View(), MsPerFrame(view, frames));
    // Dragging a cursor and scrolling repaint the same view.
    s.ZoomFull();
    const auto d0 = Clock::now();
    const double c0 = CpuMs();
    for (int i = 0; i < frames; ++i) {
        s.SetCursorTimes({s.EndTime() / frames * i});
        view.Render();
    }
    std::printf("cursor drag at full zoom: %.2f ms/frame (processor %.2f ms)\n",
                Ms(d0, Clock::now()) / frames, (CpuMs() - c0) / frames);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    return 0;
}
