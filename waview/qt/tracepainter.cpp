#include "waview/qt/tracepainter.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <vector>

#include <QFontMetrics>

namespace {

int64_t ClampY(double v) {
    if (!(v == v)) return 0;
    return static_cast<int64_t>(std::clamp(v, -1e9, 1e9));
}

} // namespace

void Waview_PainterSink::Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb colour) {
    const int64_t lo = -4, hi = int64_t(width_) + 4;
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    if (x2 < lo || x1 > hi) return;
    if (y1 != y2 && (x1 < lo || x2 > hi)) {
        // A slanted line leaving the view: cut it at the edges, keeping its slope.
        double ax = double(x1), ay = double(y1), bx = double(x2), by = double(y2);
        if (ax < lo) {
            ay += (by - ay) * (lo - ax) / (bx - ax);
            ax = double(lo);
        }
        if (bx > hi) {
            by += (by - ay) * (hi - bx) / (bx - ax);
            bx = double(hi);
        }
        x1 = int64_t(std::lround(ax));
        y1 = ClampY(std::round(ay));
        x2 = int64_t(std::lround(bx));
        y2 = ClampY(std::round(by));
    } else {
        x1 = std::max(x1, lo);
        x2 = std::min(x2, hi);
    }
    y1 = std::clamp<int64_t>(y1, -100000, 100000);
    y2 = std::clamp<int64_t>(y2, -100000, 100000);
    if (x1 == x2) {
        const int ya = int(std::min(y1, y2)), yb = int(std::max(y1, y2)), x = int(x1);
        if (run_.active && run_.colour == colour && run_.y0 == ya && run_.y1 == yb && x == run_.x1 + 1) {
            run_.x1 = x;
            return;
        }
        FlushRun();
        run_ = Run{true, x, x, ya, yb, colour};
        return;
    }
    FlushRun();
    Queue(QLine(int(x1), int(y1), int(x2), int(y2)), colour);
}

void Waview_PainterSink::Queue(const QLine& l, Rgb colour) {
    if (!lines_.empty() && !(colour == colour_)) FlushLines();
    colour_ = colour;
    lines_.push_back(l);
}

void Waview_PainterSink::FlushLines() {
    if (lines_.empty()) return;
    p_.setPen(QPen(ToQColor(colour_), 1));
    p_.drawLines(lines_.data(), int(lines_.size()));
    lines_.clear();
}

void Waview_PainterSink::FlushRun() {
    if (!run_.active) return;
    run_.active = false;
    if (run_.x0 == run_.x1) {
        Queue(QLine(run_.x0, run_.y0, run_.x1, run_.y1), run_.colour);
        return;
    }
    FlushLines();
    p_.fillRect(QRect(run_.x0, run_.y0, run_.x1 - run_.x0 + 1, run_.y1 - run_.y0 + 1), ToQColor(run_.colour));
}

void Waview_PainterSink::Flush() {
    FlushRun();
    FlushLines();
}

SegmentView ToSegmentView(const Waview_ViewState& v) {
    SegmentView s;
    s.start = v.start;
    s.scaleNum = v.stepPixels;
    s.scaleDen = v.stepTime;
    s.width = v.width;
    return s;
}

namespace {

// Callers keep n inside 0 .. EntryCount() - 1.
const ChangeEntry& At(const Waview_Signal& s, int64_t n) {
    return s.blocks[static_cast<size_t>(n / kBlockSize)]->entries[n % kBlockSize];
}

// The y and colour one entry takes in a trace; mirrors the segment rules.
struct Level {
    int64_t y;
    Rgb colour;
};

// Everything LevelOf needs that does not change along one trace.
struct LevelMap {
    const Waview_StateType* state = nullptr;
    int32_t typeCode = 0;
    int64_t h = 0;
    double range = 0;
    int digital = 1;
    RowRect rect;

    LevelMap(const Waview_Signal& s, const RowRect& r, int dig)
        : state(dynamic_cast<const Waview_StateType*>(&s.Type())),
          typeCode(s.GetTypeCode()),
          h(r.bottom - r.top - 4),
          digital(dig),
          rect(r) {
        if (!s.minEntry || !s.maxEntry) return;
        if (state)
            range = double(s.maxEntry->State()) - s.minEntry->State();
        else if (typeCode == kTypeInteger)
            range = double(int64_t(int32_t(uint32_t(s.maxEntry->bits))) -
                           int64_t(int32_t(uint32_t(s.minEntry->bits))));
        else
            range = s.maxEntry->Real() - s.minEntry->Real();
    }
    // Analog height of a value (a state code, an integer, a real).
    int64_t AnalogY(double v) const {
        if (range == 0) return rect.bottom - 2 - h / 2;
        return rect.bottom - ClampY(v * double(h) / range) - 2;
    }
    // Level, colour and oddness of the codes a states mask can name, made
    // once per trace for the column strokes.
    struct Code {
        int64_t y;
        Rgb colour;
        bool odd; // neither low nor high
    };
    std::array<Code, 32> codes{};
    void MakeCodes() {
        for (int32_t c = 0; c < 32; ++c) {
            const Level l = OfState(c);
            const double level = state->StateLevel(c);
            codes[size_t(c)] = {l.y, l.colour, level != 0.0 && level != 1.0};
        }
    }
    // Level and colour of a state code.
    Level OfState(int32_t code) const {
        if (digital)
            return {(rect.bottom - 2) - static_cast<int64_t>(h * state->StateLevel(code)),
                    state->StateColour(code)};
        return {AnalogY(code), state->StateColour(code)};
    }
};

struct Stroke {
    int64_t yMin, yMax;
    Rgb colour;
};

// The one vertical stroke of a pixel column holding the changes [i, j)
// (and `from` = i - 1 when the value before them counts too).
Stroke BurstStroke(const LevelMap& m, const Waview_Summary& sum, int64_t from, int64_t j) {
    if (m.digital && !m.state) return {m.rect.top + 2, m.rect.bottom - 2, kNumericColour}; // rail to rail
    if (!m.state) {
        const Waview_Extent e = sum.Range(from, j);
        return {m.AnalogY(e.hi), m.AnalogY(e.lo), kNumericColour};
    }
    const uint32_t states = sum.StatesIn(from, j);
    // Unknown, high-impedance and other odd states show in their own colour
    // (the highest such code, so neighbouring columns agree); otherwise the
    // top level's colour.
    Stroke s{std::numeric_limits<int64_t>::max(), std::numeric_limits<int64_t>::min(), {}};
    int32_t oddCode = -1;
    for (uint32_t rest = states; rest; rest &= rest - 1) {
        const int32_t code = std::countr_zero(rest);
        const LevelMap::Code& l = m.codes[size_t(code)];
        if (l.odd) {
            if (code > oddCode) {
                oddCode = code;
                s.colour = l.colour;
            }
        } else if (oddCode < 0 && l.y <= s.yMin) {
            s.colour = l.colour;
        }
        s.yMin = std::min(s.yMin, l.y);
        s.yMax = std::max(s.yMax, l.y);
    }
    if (s.yMin > s.yMax) s = {m.rect.bottom - 2, m.rect.bottom - 2, kNumericColour};
    return s;
}

bool IsFlat(const Waview_Signal& s) {
    if (!s.minEntry || !s.maxEntry) return true;
    switch (s.GetTypeCode()) {
        case kTypeInteger:
            return uint32_t(s.minEntry->bits) == uint32_t(s.maxEntry->bits);
        case kTypeReal:
            return !(s.maxEntry->Real() - s.minEntry->Real() != 0);
        default:
            return s.minEntry->State() == s.maxEntry->State();
    }
}

// Analog drawing of a signal that never changes its value has no range to
// scale by: a flat line at mid height from its first to its last change.
void DrawFlatAnalog(const Waview_Summary& sum, const Waview_Signal& s, const Waview_ViewState& view,
                    const RowRect& rect, SegmentSink& dc) {
    const int64_t i0 = sum.FirstAtOrAfter(0);
    const ChangeEntry* last = s.LastEntry();
    if (i0 >= sum.Count() || !last) return;
    const int64_t y = rect.bottom - 2 - (rect.bottom - rect.top - 4) / 2;
    Rgb colour = kNumericColour;
    if (auto st = dynamic_cast<const Waview_StateType*>(&s.Type()))
        colour = st->StateColour(At(s, i0).State());
    const int64_t x1 = std::max<int64_t>(view.X(At(s, i0).time), 0);
    const int64_t x2 = std::min<int64_t>(view.X(last->time), view.width);
    if (x2 > x1) dc.Line(x1, y, x2, y, colour);
}

constexpr int kMinBox = 6; // narrower boxes never hold a readable value

void AddBox(std::vector<Waview_ValueBox>* boxes, Waview_Hierarchy& row, int64_t time, int64_t x1, int64_t x2,
            const RowRect& rect, const Waview_ViewState& view, Rgb colour) {
    if (!boxes || time < 0) return;
    const int64_t a = std::max<int64_t>(x1 + 3, 0), b = std::min<int64_t>(x2 - 2, view.width);
    if (b - a < kMinBox) return;
    boxes->push_back({&row, time, int(a), int(b), rect.top + 3, rect.bottom - 3, colour});
}

// Busy stretches: from column x on, while each column holds several whole
// groups of changes, one stroke per column (stroke(x, from, to) for the
// changes [from, to)) made from the groups' summaries without reading a
// change. `a` is the first change not drawn yet, a group start earlier than
// column x; a straddling group goes to the column after it. Returns the
// column where the stretch ends, with `a` updated.
template <class StrokeAt>
int64_t WalkBusyColumns(const Waview_Summary& sum, const Waview_ViewState& view, int64_t x, int64_t& a,
                        StrokeAt stroke) {
    constexpr int64_t kG = Waview_Summary::kGroup;
    while (x < view.width) {
        const int64_t g = sum.GroupAtOrAfter(a / kG, view.FirstTimeOfColumn(x + 1));
        if (g >= sum.GroupCount() || (g - 1) * kG < a + 2 * kG) break;
        const int64_t b = (g - 1) * kG;
        stroke(x, a, b);
        a = b;
        ++x;
    }
    return x;
}

// Where a burst starting at change i in column x reaches: the start of the
// group that straddles the column's end when the column holds two whole
// groups more, else -1 (count the changes exactly).
int64_t BusyEnd(const Waview_Summary& sum, const Waview_ViewState& view, int64_t x, int64_t i) {
    constexpr int64_t kG = Waview_Summary::kGroup;
    const int64_t g = sum.GroupAtOrAfter(i / kG, view.FirstTimeOfColumn(x + 1));
    if (g >= sum.GroupCount() || (g - 1) * kG < i + 2 * kG) return -1;
    return (g - 1) * kG;
}

void DrawScalarTrace(Waview_Hierarchy& row, const Waview_Summary& sum, const Waview_Signal& s,
                     const Waview_ViewState& view, const RowRect& rect, SegmentSink& dc,
                     std::vector<Waview_ValueBox>* boxes) {
    const int64_t count = sum.Count();
    const int digital = row.digital;
    if (count <= 0) return;
    if (!digital && IsFlat(s)) {
        DrawFlatAnalog(sum, s, view, rect, dc);
        return;
    }
    const SegmentView sv = ToSegmentView(view);
    const Waview_Type& type = s.Type();
    LevelMap map(s, rect, digital);
    if (map.state) map.MakeCodes();
    if (!(digital && !map.state)) boxes = nullptr; // only bus-shaped numbers carry texts
    auto segment = [&](const ChangeEntry* prev, const ChangeEntry* next) {
        if (!type.DrawSegment(sv, rect, dc, prev, next, s.minEntry, s.maxEntry, digital)) return false;
        if (prev)
            AddBox(boxes, row, prev->time, view.X(prev->time), view.X(next->time), rect, view,
                   kNumericColour);
        return true;
    };
    int64_t i = sum.FirstAtOrAfter(view.start);
    const ChangeEntry* prev = i > 0 ? &At(s, i - 1) : nullptr;
    int64_t lastBurstX = std::numeric_limits<int64_t>::min();
    while (i < count) {
        const ChangeEntry* next = &At(s, i);
        const int64_t x2 = view.X(next->time);
        if (i + 1 < count && view.X(At(s, i + 1).time) == x2) {
            // Several changes in column x2: the first one draws its segment as
            // usual, the rest become one vertical stroke. Coming from a burst
            // in the column just left of this one, the joining segment lies
            // inside the two strokes: skip it.
            if (x2 != lastBurstX + 1 && !segment(prev, next)) return;
            if (x2 >= view.width) return;
            lastBurstX = x2;
            auto stroke = [&](int64_t x, int64_t from, int64_t to) {
                const Stroke st = BurstStroke(map, sum, from, to);
                dc.Line(x, st.yMin, x, st.yMax, st.colour);
            };
            int64_t j;
            if (int64_t a = BusyEnd(sum, view, x2, i); a >= 0) {
                stroke(x2, prev ? i - 1 : i, a);
                const int64_t x = WalkBusyColumns(sum, view, x2 + 1, a, stroke);
                if (x >= view.width) return;
                // Exact again: the rest of the last straddling group.
                j = sum.NextAtOrAfter(a, view.FirstTimeOfColumn(x));
                stroke(x - 1, a, j);
                lastBurstX = x - 1;
            } else {
                j = sum.NextAtOrAfter(i, view.FirstTimeOfColumn(x2 + 1));
                sum.Prefetch(j + (j - i)); // the next column, if as dense as this one
                stroke(x2, prev ? i - 1 : i, j);
            }
            prev = &At(s, j - 1);
            i = j;
            continue;
        }
        if (!segment(prev, next)) return;
        prev = next;
        ++i;
    }
}

Rgb BusColour(uint32_t states) {
    if (states & Waview_Summary::kBusX) return kUnknownColour;
    if (states & Waview_Summary::kBusZ) return kHighZColour;
    return kBusColour;
}

void DrawBus(Waview_Hierarchy& row, const Waview_Summary& sum, const Waview_ViewState& view,
             const RowRect& rect, SegmentSink& dc, std::vector<Waview_ValueBox>* boxes) {
    const int64_t n = sum.Count();
    if (n <= 0) return;
    const int64_t top = rect.top + 2, bottom = rect.bottom - 2;
    int64_t i = sum.FirstAtOrAfter(view.start);
    if (i > 0) --i; // the change in effect at start
    int64_t lastBurstX = std::numeric_limits<int64_t>::min();
    while (i < n && sum.Time(i) < view.end) {
        int64_t x = view.X(sum.Time(i));
        if (x >= view.width + 2) break;
        int64_t j = i + 1;
        const bool burst = j < n && view.X(sum.Time(j)) == x;
        auto crossing = [&](int64_t cx, Rgb c) {
            dc.Line(cx - 1, top, cx + 1, bottom, c);
            dc.Line(cx - 1, bottom, cx + 1, top, c);
        };
        auto stroke = [&](int64_t sx, int64_t from, int64_t to) {
            dc.Line(sx, top, sx, bottom, BusColour(sum.StatesIn(from, to)));
        };
        if (!burst) {
            crossing(x, BusColour(sum.States(i)));
        } else if (int64_t a = BusyEnd(sum, view, x, i); a >= 0) {
            // Next to another burst the crossing lies inside the two strokes.
            if (x != lastBurstX + 1) crossing(x, BusColour(sum.StatesIn(i, a)));
            stroke(x, i, a);
            const int64_t xe = WalkBusyColumns(sum, view, x + 1, a, stroke);
            if (xe >= view.width) break;
            j = sum.NextAtOrAfter(a, view.FirstTimeOfColumn(xe));
            x = xe - 1;
            stroke(x, a, j);
            lastBurstX = x;
        } else {
            j = sum.NextAtOrAfter(i, view.FirstTimeOfColumn(x + 1));
            sum.Prefetch(j + (j - i));
            const Rgb c = BusColour(sum.StatesIn(i, j));
            if (x != lastBurstX + 1) crossing(x, c);
            dc.Line(x, top, x, bottom, c);
            lastBurstX = x;
        }
        if (j >= n) break; // the closing change ends the trace
        const int64_t nx = view.X(sum.Time(j));
        const Rgb rc = BusColour(sum.States(j - 1));
        if (!burst || nx != x + 1) {
            dc.Line(x + 1, top, nx - 1, top, rc);
            dc.Line(x + 1, bottom, nx - 1, bottom, rc);
        }
        AddBox(boxes, row, sum.Time(j - 1), x, nx, rect, view, rc);
        i = j;
    }
}

// A bus as a curve of its unsigned value, scaled to the row's height.
void DrawBusAnalog(const Waview_Summary& sum, const Waview_ViewState& view, const RowRect& rect,
                   SegmentSink& dc) {
    const int64_t n = sum.Count();
    if (n <= 0) return;
    const Waview_Extent all = sum.Range(0, n);
    const int64_t h = rect.bottom - rect.top - 4;
    auto y = [&](double v) {
        if (!(all.hi > all.lo)) return rect.bottom - 2 - h / 2;
        return rect.bottom - 2 - ClampY((v - all.lo) / (all.hi - all.lo) * double(h));
    };
    int64_t i = sum.FirstAtOrAfter(view.start);
    int64_t prev = i - 1;
    while (i < n) {
        const int64_t x2 = view.X(sum.Time(i));
        if (prev >= 0)
            dc.Line(view.X(sum.Time(prev)), y(sum.Value(prev)), x2, y(sum.Value(i)),
                    BusColour(sum.States(prev)));
        if (x2 >= view.width) break;
        if (i + 1 < n && view.X(sum.Time(i + 1)) == x2) {
            const int64_t j = sum.NextAtOrAfter(i, view.FirstTimeOfColumn(x2 + 1));
            const Waview_Extent e = sum.Range(i, j);
            dc.Line(x2, y(e.hi), x2, y(e.lo), BusColour(e.states));
            prev = j - 1;
            i = j;
            continue;
        }
        prev = i++;
    }
}

} // namespace

void DrawRowShape(Waview_Hierarchy& row, const Waview_Summary* summary, const Waview_ViewState& view,
                  const RowRect& rect, SegmentSink& dc, std::vector<Waview_ValueBox>* boxes) {
    if (!summary) return;
    if (row.GetKind() == kRowComposite) {
        if (!row.digital) {
            DrawBusAnalog(*summary, view, rect, dc);
            return;
        }
        // A scope's concatenated texts are no value to read in a box.
        const bool bus = int64_t{row.GetDepth()} == int64_t{row.level} + 1;
        DrawBus(row, *summary, view, rect, dc, bus ? boxes : nullptr);
    } else if (Waview_Signal* s = row.GetSignal()) {
        DrawScalarTrace(row, *summary, *s, view, rect, dc, boxes);
    }
}

QFont WaveValueFont() {
    QFont f("Arial");
    f.setPixelSize(10);
    return f;
}

void DrawValueBoxes(QPainter& p, const QFont& font, std::vector<Waview_ValueBox>& boxes) {
    if (boxes.empty()) return;
    p.setFont(font);
    const QFontMetrics fm(font);
    const int least = fm.horizontalAdvance(QString("0") + QChar(0x2026));
    std::string text;
    for (const Waview_ValueBox& b : boxes) {
        const int avail = b.x1 - b.x0;
        if (avail < std::min(least, fm.horizontalAdvance(QString("0")))) continue;
        b.row->ValueTextAt(text, b.time == std::numeric_limits<int64_t>::max() ? b.time : b.time + 1);
        const QString full = QString::fromStdString(text).trimmed();
        if (full.isEmpty()) continue;
        const QString shown = fm.elidedText(full, Qt::ElideRight, avail);
        if (shown.isEmpty() || shown == QString(QChar(0x2026))) continue;
        p.setPen(ToQColor(b.colour));
        p.drawText(QRect(b.x0, b.top, avail, b.bottom - b.top), Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
}

void DrawGridAndAxis(QPainter& p, const Waview_ViewState& view, int cursorCount, int32_t exponent,
                     const QFont& font) {
    const int yAxis = view.height - (cursorCount + 1) * kLineHeight;
    p.setFont(font);
    const QPen grid(QColor(112, 112, 112), 1), tick(QColor(0, 255, 0), 1);
    if (view.stepPixels > 0 && view.stepTime > 0) {
        const int64_t base = view.start / view.stepTime;
        // The usual spacings put a grid line every tenth step and a label
        // every twentieth; steps wider than that (the deepest zooms) get
        // them every few steps, so a label is always in view.
        int64_t major = 10, labelEvery = 20;
        if (view.stepPixels > 11) {
            major = 1;
            for (int64_t m : {1, 2, 5, 10})
                if (m * view.stepPixels >= 60) {
                    major = m;
                    break;
                }
            labelEvery = major;
        }
        for (int x = 0; x < view.width; x += view.stepPixels) {
            const int64_t s = base + x / view.stepPixels;
            if (s % major != 0) {
                p.setPen(tick);
                p.drawLine(x, yAxis, x, yAxis + 2);
                continue;
            }
            p.setPen(grid);
            p.drawLine(x, 0, x, yAxis);
            p.setPen(tick);
            p.drawLine(x, yAxis, x, yAxis + kLineHeight / 4);
            if (s % labelEvery == 0) {
                const int64_t t = view.start + int64_t(x / view.stepPixels) * view.stepTime;
                const QString label = QString::fromStdString(TimeLabel(t, exponent));
                p.setPen(QColor(0, 255, 0));
                p.drawText(QRect(x, yAxis + 4, 400, kLineHeight),
                           Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, label);
            }
        }
    }
    p.setPen(QPen(QColor(0, 255, 0), 1));
    p.drawLine(0, yAxis, view.width, yAxis);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    for (int k = 1; k <= cursorCount; ++k)
        p.drawLine(0, yAxis + k * kLineHeight, view.width, yAxis + k * kLineHeight);
}

void DrawCursors(QPainter& p, const Waview_ViewState& view, const Waview_Cursors& cursors, int32_t exponent,
                 const QFont& font) {
    p.setFont(font);
    const QFontMetrics fm(font);
    const QColor cyan(0, 255, 255), red(255, 0, 0);
    auto clampX = [&](int64_t x) {
        return static_cast<int>(std::clamp<int64_t>(x, -100000, view.width + 100000));
    };
    for (int i = 0; i < cursors.count; ++i) {
        const int64_t t = cursors.times[i];
        if (t < view.start) continue;
        const int x = clampX(view.CursorX(t));
        const int rowTop = view.height - (i + 1) * kLineHeight;
        p.setPen(QPen(i == cursors.active ? red : cyan, 1));
        p.drawLine(x, 0, x, rowTop);
        const QString label = QString::fromStdString(TimeLabel(t, exponent));
        const int w = fm.horizontalAdvance(label);
        p.setPen(QPen(cyan, 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRect(QPoint(x - w / 2 - 2, rowTop + 2), QPoint(x + w / 2 + 2, rowTop + kLineHeight - 1)));
        p.drawText(QRect(x - w / 2 - 1, rowTop + 3, w + 2, kLineHeight - 4),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, label);
    }
    // Distances between cursors adjacent in time, on the later one's row.
    std::vector<int> order;
    for (int i = 0; i < cursors.count; ++i) order.push_back(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return cursors.times[a] < cursors.times[b]; });
    p.setPen(QPen(QColor(255, 255, 255), 1));
    for (size_t k = 1; k < order.size(); ++k) {
        const int a = order[k - 1], b = order[k];
        const int64_t ta = cursors.times[a], tb = cursors.times[b];
        if (tb < view.start) continue;
        const int xa = clampX(view.CursorX(ta)), xb = clampX(view.CursorX(tb));
        const int rowTop = view.height - (b + 1) * kLineHeight;
        const QString label = QString::fromStdString(
            TimeLabel(static_cast<int64_t>(static_cast<uint64_t>(tb) - static_cast<uint64_t>(ta)), exponent));
        const int w = fm.horizontalAdvance(label);
        const int wb = fm.horizontalAdvance(QString::fromStdString(TimeLabel(tb, exponent)));
        const int yMid = rowTop + kLineHeight / 2;
        const int left = xa + 2, right = xb - wb / 2 - 4;
        int tx;
        if (right - left >= w + 8) {
            tx = left + (right - left - w) / 2;
            p.drawLine(left, yMid, tx - 2, yMid);
            p.drawLine(tx + w + 2, yMid, right, yMid);
        } else {
            // No room between them: just right of the later cursor's box.
            tx = xb + wb / 2 + 5;
        }
        p.drawText(QRect(tx, rowTop + 3, w + 2, kLineHeight - 4),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextDontClip, label);
    }
}
