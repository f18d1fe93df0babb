// Paints the wave window's shape view (1600x1000, 30 rows) into an image at
// full zoom, at 1000x and at the deepest zoom and prints milliseconds per
// frame. One row holds ten million changes; the rest are 32-bit buses,
// integers, reals and single bits. Goal: under 16 ms per frame at every zoom.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QMdiArea>

#include "waview/qt/childframe.h"

namespace {

void Build(Waview_FileManager& doc, int64_t bigChanges) {
    doc.Clear();
    doc.SetTimescaleExponent(-12);
    const int64_t end = bigChanges * 10;
    auto scalar = [&](int32_t type, const std::string& name) {
        Waview_Signal* s = doc.NewSignal(type);
        Waview_ScalarHierarchy* r = doc.NewScalarRow();
        r->name = name;
        r->signalIndex = s->index;
        return s;
    };
    // The big one: a clock with ten million edges.
    Waview_Signal* clk = scalar(kTypeVerilog, "clk");
    for (int64_t i = 0; i < bigChanges; ++i) clk->AppendState(i * 10, int32_t(i & 1));
    uint32_t seed = 12345;
    auto rnd = [&] { return seed = seed * 1664525u + 1013904223u; };
    int rows = 1;
    for (int b = 0; b < 8; ++b, ++rows) { // 32-bit buses, 20k changes each
        Waview_CompositeHierarchy* bus = doc.NewCompositeRow();
        bus->name = "bus" + std::to_string(b);
        bus->expanded = 0;
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
        for (int64_t t = 0; t < end; t += end / 20000) {
            const uint32_t v = rnd();
            for (int k = 0; k < 32; ++k)
                if ((v >> k) & 1 || t == 0) bits[k]->AppendState(t, int32_t((v >> (k + 3)) & 1));
        }
    }
    for (int i = 0; i < 8; ++i, ++rows) {
        Waview_Signal* s = scalar(kTypeInteger, "count" + std::to_string(i));
        for (int64_t t = 0; t < end; t += end / 200000) s->AppendInteger(t, int64_t(rnd() % 1000));
    }
    for (int i = 0; i < 6; ++i, ++rows) {
        Waview_Signal* s = scalar(kTypeReal, "level" + std::to_string(i));
        for (int64_t t = 0; t < end; t += end / 200000) s->AppendReal(t, (rnd() % 1000) / 7.0);
    }
    while (rows < 30) {
        Waview_Signal* s = scalar(kTypeVerilog, "flag" + std::to_string(rows++));
        for (int64_t t = 0; t < end; t += end / 50000) s->AppendState(t, int32_t(rnd() % 4));
    }
    for (int32_t i = 0; i < doc.SignalCount(); ++i) {
        Waview_Signal* s = doc.Signal(i);
        s->AppendClosing(end);
        s->ComputeMinMax();
    }
    doc.SetEndTime(end);
}

double MsPerFrame(Waview_ChildFrame& w, int frames) {
    w.shapeView->Render(); // warm caches
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) w.shapeView->Render();
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(t1 - t0).count() / frames;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int64_t changes = argc > 1 ? std::atoll(argv[1]) : 10000000;
    const int frames = argc > 2 ? std::atoi(argv[2]) : 20;

    QMdiArea area;
    area.resize(3000, 1400);
    auto* w = new Waview_ChildFrame("bench.wvw", "bench.vcd");
    area.addSubWindow(w);
    area.show();
    w->show();
    QApplication::processEvents();
    // Size the window so that the shape view is 1600 x 1000.
    for (int i = 0; i < 3; ++i) {
        const QSize have = w->shapeView->size();
        w->resize(w->size() + QSize(1600, 1000) - have);
        QApplication::processEvents();
    }
    const auto b0 = std::chrono::steady_clock::now();
    Build(w->doc, changes);
    const auto b1 = std::chrono::steady_clock::now();
    w->ShowDocument();
    QApplication::processEvents();
    std::printf("document: %lld changes on clk, %d rows, built in %.0f ms; shape view %dx%d\n",
                static_cast<long long>(changes), w->doc.RowCount(),
                std::chrono::duration<double, std::milli>(b1 - b0).count(), w->shapeView->width(),
                w->shapeView->height());

    Waview_ViewState& v = w->shapeView->view;
    std::printf("full zoom   [%lld, %lld] step %lld/%dpx: %.2f ms/frame\n", (long long)v.start,
                (long long)v.end, (long long)v.stepTime, v.stepPixels, MsPerFrame(*w, frames));
    const int64_t mid = w->endTime / 2, span = w->endTime / 1000;
    w->SetWindow(mid, mid + span);
    std::printf("1000x zoom  [%lld, %lld] step %lld/%dpx: %.2f ms/frame\n", (long long)v.start,
                (long long)v.end, (long long)v.stepTime, v.stepPixels, MsPerFrame(*w, frames));
    while (w->HandleCommand(kWaveZoomIn) && v.end - v.start > 1 && v.stepTime > 1) {
    }
    std::printf("deepest     [%lld, %lld] step %lld/%dpx: %.2f ms/frame\n", (long long)v.start,
                (long long)v.end, (long long)v.stepTime, v.stepPixels, MsPerFrame(*w, frames));
    // Dragging a cursor and scrolling repaint the same view.
    w->HandleCommand(kWaveZoomFull);
    const auto d0 = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) {
        w->cursors.times[0] = w->endTime / frames * i;
        w->shapeView->Render();
    }
    const auto d1 = std::chrono::steady_clock::now();
    std::printf("cursor drag at full zoom: %.2f ms/frame\n",
                std::chrono::duration<double, std::milli>(d1 - d0).count() / frames);
    w->setAttribute(Qt::WA_DeleteOnClose, false);
    return 0;
}
