#include "waview/qt/tracepainter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include <QFontMetrics>

namespace {

constexpr int kMaxSamplesPerColumn = 64;

const ChangeEntry& At(const Waview_Signal& s, int64_t n) {
    return s.Block(static_cast<int32_t>(n / kBlockSize)).entries[n % kBlockSize];
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

Level LevelOf(const Waview_Signal& s, const ChangeEntry& e, const RowRect& rect, int digital) {
    const int64_t h = rect.bottom - rect.top - 4;
    const Waview_Type& type = s.Type();
    if (auto st = dynamic_cast<const Waview_StateType*>(&type)) {
        const int32_t code = e.State();
        if (digital)
            return {(rect.bottom - 2) - static_cast<int64_t>(h * st->StateLevel(code)),
                    st->StateColour(code)};
        double range = s.minEntry && s.maxEntry
                           ? double(s.maxEntry->State()) - s.minEntry->State() : 0;
        if (range == 0) return {rect.bottom - 2 - h / 2, st->StateColour(code)};
        return {rect.bottom - ClampY(code * double(h) / range) - 2, st->StateColour(code)};
    }
    if (digital) return {rect.top + 2, kNumericColour};
    double range = 0, v = 0;
    if (type.GetTypeCode() == kTypeInteger) {
        if (s.minEntry && s.maxEntry)
            range = double(int64_t(int32_t(uint32_t(s.maxEntry->bits))) -
                           int64_t(int32_t(uint32_t(s.minEntry->bits))));
        v = double(static_cast<int64_t>(e.bits * static_cast<uint64_t>(h)));
    } else {
        if (s.minEntry && s.maxEntry) range = s.maxEntry->Real() - s.minEntry->Real();
        v = e.Real() * double(h);
    }
    if (range == 0) return {rect.bottom - 2 - h / 2, kNumericColour};
    return {rect.bottom - ClampY(v / range) - 2, kNumericColour};
}

bool IsFlat(const Waview_Signal& s) {
    if (!s.minEntry || !s.maxEntry) return true;
    switch (s.GetTypeCode()) {
        case kTypeInteger: return uint32_t(s.minEntry->bits) == uint32_t(s.maxEntry->bits);
        case kTypeReal: return !(s.maxEntry->Real() - s.minEntry->Real() != 0);
        default: return s.minEntry->State() == s.maxEntry->State();
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

}  // namespace

void Waview_PainterSink::Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb colour) {
    double ax = double(x1), ay = double(y1), bx = double(x2), by = double(y2);
    const double lo = -4, hi = double(width_) + 4;
    if (ax > bx) {
        std::swap(ax, bx);
        std::swap(ay, by);
    }
    if (bx < lo || ax > hi) return;
    if (ax < lo) {
        ay += (by - ay) * (lo - ax) / (bx - ax);
        ax = lo;
    }
    if (bx > hi) {
        by += (by - ay) * (hi - bx) / (bx - ax);
        bx = hi;
    }
    if (!havePen_ || !(pen_ == colour)) {
        p_.setPen(QPen(ToQColor(colour), 1));
        pen_ = colour;
        havePen_ = true;
    }
    p_.drawLine(QPointF(std::round(ax), std::round(ay)), QPointF(std::round(bx), std::round(by)));
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
    int64_t i = FirstEntryAtOrAfter(s, view.start);
    const ChangeEntry* prev = i > 0 ? &At(s, i - 1) : nullptr;
    while (i < count) {
        const ChangeEntry* next = &At(s, i);
        const int64_t x2 = view.X(next->time);
        if (i + 1 < count && view.X(At(s, i + 1).time) == x2) {
            // Several changes in column x2: the first one draws its segment as
            // usual, the rest become one vertical stroke.
            if (!type.DrawSegment(sv, rect, dc, prev, next, s.minEntry, s.maxEntry, digital))
                return;
            const int64_t j = FirstEntryAtOrAfter(s, view.FirstTimeOfColumn(x2 + 1));
            const int64_t n = j - i;
            const int64_t stride = n <= kMaxSamplesPerColumn ? 1 : n / kMaxSamplesPerColumn;
            Level first = LevelOf(s, *next, rect, digital);
            int64_t yMin = first.y, yMax = first.y;
            Rgb colour = first.colour;
            bool odd = false;
            auto take = [&](const ChangeEntry& e) {
                const Level l = LevelOf(s, e, rect, digital);
                yMin = std::min(yMin, l.y);
                yMax = std::max(yMax, l.y);
                // Unknown and high-impedance states in a burst show in their
                // own colour; otherwise the brightest (top) level's colour.
                const bool mid = l.colour.r != 0 || l.colour.b != 0;
                if (mid && !odd) {
                    colour = l.colour;
                    odd = true;
                } else if (!odd && l.y <= yMin) {
                    colour = l.colour;
                }
            };
            if (prev) take(*prev);
            for (int64_t k = i; k < j; k += stride) take(At(s, k));
            take(At(s, j - 1));
            if (digital && !dynamic_cast<const Waview_StateType*>(&type)) {
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

}  // namespace

void DrawCompositeBus(const Waview_CompositeHierarchy& row, const Waview_ViewState& view,
                      const RowRect& rect, SegmentSink& dc) {
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

void DrawRowShape(Waview_Hierarchy& row, const Waview_ViewState& view, const RowRect& rect,
                  SegmentSink& dc) {
    if (row.GetKind() == kRowComposite) {
        DrawCompositeBus(static_cast<const Waview_CompositeHierarchy&>(row), view, rect, dc);
    } else if (Waview_Signal* s = row.GetSignal()) {
        DrawScalarTrace(*s, view, rect, dc, row.digital);
    }
}

void DrawGridAndAxis(QPainter& p, const Waview_ViewState& view, int cursorCount,
                     int32_t exponent, const QFont& font) {
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

void DrawCursors(QPainter& p, const Waview_ViewState& view, const Waview_Cursors& cursors,
                 int32_t exponent, const QFont& font) {
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
