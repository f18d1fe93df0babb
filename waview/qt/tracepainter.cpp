#include "waview/qt/tracepainter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <QFontMetrics>

namespace {

constexpr int64_t kSamplesPerEnd = 4;

// Callers keep n inside 0 .. EntryCount() - 1.
const ChangeEntry& At(const Waview_Signal& s, int64_t n) {
    return s.blocks[static_cast<size_t>(n / kBlockSize)]->entries[n % kBlockSize];
}

// First index after lo (whose time is earlier than t) with a time not
// earlier than t. Bursts are usually as long as the previous one, so `guess`
// is tried first; then the search gallops outward: the next pixel column's
// first change is near, and a full binary search would touch memory all
// over a large signal.
int64_t NextAtOrAfter(const Waview_Signal& s, int64_t lo, int64_t t, int64_t guess) {
    const int64_t n = s.EntryCount();
    int64_t hi;
    if (guess > lo && guess < n && At(s, guess).time >= t) {
        if (At(s, guess - 1).time < t) return guess;
        hi = guess;
    } else {
        if (guess > lo && guess < n) lo = guess;
        int64_t step = 1;
        hi = lo + 1;
        while (hi < n && At(s, hi).time < t) {
            lo = hi;
            step *= 2;
            hi = lo + step;
        }
        if (hi > n) hi = n;
    }
    while (hi - lo >= 2) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (At(s, mid).time < t)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

// The y and colour one entry takes in a trace; mirrors the segment rules.
struct Level {
    int64_t y;
    Rgb colour;
};

int64_t ClampY(double v) {
    if (!(v == v)) return 0;
    return static_cast<int64_t>(std::clamp(v, -1e9, 1e9));
}

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
};

Level LevelOf(const LevelMap& m, const ChangeEntry& e) {
    const RowRect& rect = m.rect;
    const int64_t h = m.h;
    if (m.state) {
        const int32_t code = e.State();
        if (m.digital)
            return {(rect.bottom - 2) - static_cast<int64_t>(h * m.state->StateLevel(code)),
                    m.state->StateColour(code)};
        if (m.range == 0) return {rect.bottom - 2 - h / 2, m.state->StateColour(code)};
        return {rect.bottom - ClampY(code * double(h) / m.range) - 2, m.state->StateColour(code)};
    }
    if (m.digital) return {rect.top + 2, kNumericColour};
    const double v = m.typeCode == kTypeInteger
                         ? double(static_cast<int64_t>(e.bits * static_cast<uint64_t>(h)))
                         : e.Real() * double(h);
    if (m.range == 0) return {rect.bottom - 2 - h / 2, kNumericColour};
    return {rect.bottom - ClampY(v / m.range) - 2, kNumericColour};
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
void DrawFlatAnalog(const Waview_Signal& s, const Waview_ViewState& view, const RowRect& rect,
                    SegmentSink& dc) {
    const int64_t count = s.EntryCount();
    const int64_t i0 = FirstEntryAtOrAfter(s, 0);
    const ChangeEntry* last = s.LastEntry();
    if (i0 >= count || !last) return;
    const int64_t y = rect.bottom - 2 - (rect.bottom - rect.top - 4) / 2;
    Rgb colour = kNumericColour;
    if (auto st = dynamic_cast<const Waview_StateType*>(&s.Type()))
        colour = st->StateColour(At(s, i0).State());
    const int64_t x1 = std::max<int64_t>(view.X(At(s, i0).time), 0);
    const int64_t x2 = std::min<int64_t>(view.X(last->time), view.width);
    if (x2 > x1) dc.Line(x1, y, x2, y, colour);
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

int64_t FirstEntryAtOrAfter(const Waview_Signal& s, int64_t t) {
    int64_t lo = -1, hi = s.EntryCount();
    while (hi - lo >= 2) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (t > At(s, mid).time)
            lo = mid;
        else
            hi = mid;
    }
    return hi;
}

void DrawScalarTrace(const Waview_Signal& s, const Waview_ViewState& view, const RowRect& rect,
                     SegmentSink& dc, int digital) {
    const int64_t count = s.EntryCount();
    if (count <= 0) return;
    if (!digital && IsFlat(s)) {
        DrawFlatAnalog(s, view, rect, dc);
        return;
    }
    const SegmentView sv = ToSegmentView(view);
    const Waview_Type& type = s.Type();
    const LevelMap map(s, rect, digital);
    int64_t i = FirstEntryAtOrAfter(s, view.start);
    const ChangeEntry* prev = i > 0 ? &At(s, i - 1) : nullptr;
    int64_t burst = 2;
    int64_t lastBurstX = std::numeric_limits<int64_t>::min();
    while (i < count) {
        const ChangeEntry* next = &At(s, i);
        const int64_t x2 = view.X(next->time);
        if (i + 1 < count && view.X(At(s, i + 1).time) == x2) {
            // Several changes in column x2: the first one draws its segment as
            // usual, the rest become one vertical stroke.
            // Coming from a burst in the column just left of this one, the
            // joining segment lies inside the two strokes: skip it.
            if (x2 != lastBurstX + 1 &&
                !type.DrawSegment(sv, rect, dc, prev, next, s.minEntry, s.maxEntry, digital))
                return;
            if (x2 >= view.width) return;
            lastBurstX = x2;
            const int64_t j = NextAtOrAfter(s, i, view.FirstTimeOfColumn(x2 + 1), i + burst);
            burst = j - i;
            Level first = LevelOf(map, *next);
            int64_t yMin = first.y, yMax = first.y;
            Rgb colour = first.colour;
            int32_t oddCode = -1;
            auto take = [&](const ChangeEntry& e) {
                const Level l = LevelOf(map, e);
                yMin = std::min(yMin, l.y);
                yMax = std::max(yMax, l.y);
                if (!map.state) return;
                // Unknown, high-impedance and other odd states in a burst show
                // in their own colour (the highest such code, so neighbouring
                // columns agree); otherwise the top level's colour.
                const int32_t code = e.State();
                const double level = map.state->StateLevel(code);
                if (level != 0.0 && level != 1.0) {
                    if (code > oddCode) {
                        oddCode = code;
                        colour = l.colour;
                    }
                } else if (oddCode < 0 && l.y <= yMin) {
                    colour = l.colour;
                }
            };
            const bool rails = digital && !map.state; // a bus burst: rail to rail
            if (prev && !rails) take(*prev);
            // The levels at both ends of the burst, read from neighbouring
            // memory: enough for any signal that toggles, and cheap.
            if (rails) {
            } else if (j - i <= 2 * kSamplesPerEnd) {
                for (int64_t k = i; k < j; ++k) take(At(s, k));
            } else {
                for (int64_t k = i; k < i + kSamplesPerEnd; ++k) take(At(s, k));
                for (int64_t k = j - kSamplesPerEnd; k < j; ++k) take(At(s, k));
            }
            if (rails) {
                yMin = rect.top + 2;
                yMax = rect.bottom - 2;
            }
            dc.Line(x2, yMin, x2, yMax, colour);
            prev = &At(s, j - 1);
            i = j;
            continue;
        }
        if (!type.DrawSegment(sv, rect, dc, prev, next, s.minEntry, s.maxEntry, digital)) return;
        prev = next;
        ++i;
    }
}

namespace {

void CollectLeaves(const Waview_FileManager& doc, const Waview_Hierarchy& row,
                   std::vector<const Waview_Signal*>& out, int depth) {
    if (depth > 10000) return;
    if (row.GetKind() == kRowScalar) {
        if (Waview_Signal* s = row.GetSignal(); s && s->EntryCount() > 0) out.push_back(s);
        return;
    }
    for (int32_t c : static_cast<const Waview_CompositeHierarchy&>(row).children)
        if (Waview_Hierarchy* r = doc.Row(c); r && r != &row) CollectLeaves(doc, *r, out, depth + 1);
}

} // namespace

std::vector<int64_t> CompositeChangeTimes(const Waview_CompositeHierarchy& row, size_t limit) {
    std::vector<int64_t> times;
    // A bus of an imported dump: its own changes, no bit computed.
    if (row.StoreChangeTimes(times, limit) || row.Store()) return times;
    if (!row.owner) return times;
    std::vector<const Waview_Signal*> leaves;
    CollectLeaves(*row.owner, row, leaves, 0);
    size_t total = 0;
    for (const Waview_Signal* s : leaves) total += size_t(s->EntryCount());
    if (total > limit) return times;
    times.reserve(total);
    for (const Waview_Signal* s : leaves)
        for (int64_t i = 0, n = s->EntryCount(); i < n; ++i) times.push_back(At(*s, i).time);
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    return times;
}

namespace {

void DrawBusFromTimes(const std::vector<int64_t>& times, const Waview_ViewState& view, const RowRect& rect,
                      SegmentSink& dc) {
    if (times.empty()) return;
    const Rgb yellow = kBusColour;
    const int64_t top = rect.top + 2, bottom = rect.bottom - 2;
    size_t i = std::lower_bound(times.begin(), times.end(), view.start) - times.begin();
    if (i > 0) --i; // the change in effect at start
    int64_t lastBurstX = std::numeric_limits<int64_t>::min();
    while (i < times.size() && times[i] < view.end) {
        const int64_t x = view.X(times[i]);
        if (x >= view.width + 2) break;
        size_t j = i + 1;
        const bool burst = j < times.size() && view.X(times[j]) == x;
        // Next to another burst the crossing lies inside the two strokes.
        if (!burst || x != lastBurstX + 1) {
            dc.Line(x - 1, top, x + 1, bottom, yellow);
            dc.Line(x - 1, bottom, x + 1, top, yellow);
        }
        if (j >= times.size()) break;
        if (burst) {
            dc.Line(x, top, x, bottom, yellow);
            lastBurstX = x;
            j = std::lower_bound(times.begin() + j, times.end(), view.FirstTimeOfColumn(x + 1)) -
                times.begin();
            if (j >= times.size()) break;
        }
        const int64_t nx = view.X(times[j]);
        if (!burst || nx != x + 1) {
            dc.Line(x + 1, top, nx - 1, top, yellow);
            dc.Line(x + 1, bottom, nx - 1, bottom, yellow);
        }
        i = j;
    }
}

} // namespace

void DrawCompositeBus(const Waview_CompositeHierarchy& row, const Waview_ViewState& view, const RowRect& rect,
                      SegmentSink& dc, const std::vector<int64_t>* times) {
    if (times && !times->empty()) {
        DrawBusFromTimes(*times, view, rect, dc);
        return;
    }
    if (!row.owner) return;
    std::vector<const Waview_Signal*> leaves;
    CollectLeaves(*row.owner, row, leaves, 0);
    if (leaves.empty()) return;
    // next[k]: index of leaf k's first entry later than the current change.
    std::vector<int64_t> next(leaves.size());
    int64_t cur = std::numeric_limits<int64_t>::min();
    for (size_t k = 0; k < leaves.size(); ++k) {
        const int64_t i = FirstEntryAtOrAfter(*leaves[k], view.start);
        if (i > 0) cur = std::max(cur, At(*leaves[k], i - 1).time);
        next[k] = i;
    }
    auto advance = [&](int64_t after) {
        int64_t best = std::numeric_limits<int64_t>::max();
        for (size_t k = 0; k < leaves.size(); ++k) {
            const Waview_Signal& s = *leaves[k];
            int64_t& i = next[k];
            const int64_t n = s.EntryCount();
            int steps = 0;
            while (i < n && At(s, i).time <= after && steps < 8) ++i, ++steps;
            if (i < n && At(s, i).time <= after) i = FirstEntryAtOrAfter(s, after + 1);
            if (i < n) best = std::min(best, At(s, i).time);
        }
        return best;
    };
    const Rgb yellow = kBusColour;
    const int64_t top = rect.top + 2, bottom = rect.bottom - 2;
    if (cur == std::numeric_limits<int64_t>::min()) {
        // Nothing in effect at start: begin at the first change.
        cur = advance(std::numeric_limits<int64_t>::min());
        if (cur == std::numeric_limits<int64_t>::max()) return;
    }
    while (cur < view.end) {
        const int64_t x = view.X(cur);
        if (x >= view.width + 2) break;
        dc.Line(x - 1, top, x + 1, bottom, yellow);
        dc.Line(x - 1, bottom, x + 1, top, yellow);
        int64_t nt = advance(cur);
        if (nt == std::numeric_limits<int64_t>::max()) break;
        if (view.X(nt) == x) {
            // A burst in this column: one stroke, then on at the next column.
            dc.Line(x, top, x, bottom, yellow);
            nt = advance(view.FirstTimeOfColumn(x + 1) - 1);
            if (nt == std::numeric_limits<int64_t>::max()) break;
        }
        const int64_t nx = view.X(nt);
        dc.Line(x + 1, top, nx - 1, top, yellow);
        dc.Line(x + 1, bottom, nx - 1, bottom, yellow);
        cur = nt;
    }
}

void DrawRowShape(Waview_Hierarchy& row, const Waview_ViewState& view, const RowRect& rect, SegmentSink& dc,
                  const std::vector<int64_t>* times) {
    if (row.GetKind() == kRowComposite) {
        DrawCompositeBus(static_cast<const Waview_CompositeHierarchy&>(row), view, rect, dc, times);
    } else if (Waview_Signal* s = row.GetSignal()) {
        DrawScalarTrace(*s, view, rect, dc, row.digital);
    }
}

void DrawGridAndAxis(QPainter& p, const Waview_ViewState& view, int cursorCount, int32_t exponent,
                     const QFont& font) {
    const int yAxis = view.height - (cursorCount + 1) * kLineHeight;
    p.setFont(font);
    const QPen grid(QColor(112, 112, 112), 1), tick(QColor(0, 255, 0), 1);
    if (view.stepPixels > 0 && view.stepTime > 0) {
        const int64_t base = view.start / view.stepTime;
        for (int x = 0; x < view.width; x += view.stepPixels) {
            const int64_t s = base + x / view.stepPixels;
            if (s % 10 != 0) {
                p.setPen(tick);
                p.drawLine(x, yAxis, x, yAxis + 2);
                continue;
            }
            p.setPen(grid);
            p.drawLine(x, 0, x, yAxis);
            p.setPen(tick);
            p.drawLine(x, yAxis, x, yAxis + kLineHeight / 4);
            if (s % 20 == 0) {
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
