#pragma once
// Drawing of the shape view's rows and grid onto any QPainter (widget, image
// or printer). A trace costs what its pixels cost: where several changes fall
// into one pixel column that column is drawn once, as the vertical extent of
// the levels it holds, and the walk jumps to the next column.
#include <QColor>
#include <QPainter>
#include <vector>

#include "waview/model.h"
#include "waview/qt/navigation.h"

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Solid one-pixel lines onto a painter, clipped to the view's width first so
// that far-away times never reach the painter as huge coordinates.
// Lines are collected and drawn in runs of one colour (in order), since one
// QPainter call per line costs more than the trace itself.
class Waview_PainterSink : public SegmentSink {
public:
    Waview_PainterSink(QPainter& p, int width) : p_(p), width_(width) {}
    ~Waview_PainterSink() override { Flush(); }
    void Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb colour) override;
    void Flush();

private:
    void Queue(const QLine& l, Rgb colour);
    void FlushLines();
    void FlushRun();
    QPainter& p_;
    int width_;
    Rgb colour_{};
    std::vector<QLine> lines_;
    // Vertical strokes in neighbouring columns with the same extent and
    // colour (a burst of changes at every pixel) become one rectangle.
    struct Run {
        bool active = false;
        int x0 = 0, x1 = 0, y0 = 0, y1 = 0;
        Rgb colour{};
    } run_;
};

SegmentView ToSegmentView(const Waview_ViewState& v);

// Index of the first entry of s not earlier than t; EntryCount() when none.
int64_t FirstEntryAtOrAfter(const Waview_Signal& s, int64_t t);

// A scalar row's trace from view.start, columns with several changes merged.
void DrawScalarTrace(const Waview_Signal& s, const Waview_ViewState& view, const RowRect& rect,
                     SegmentSink& dc, int digital);
// A composite row as a yellow bus: a crossing at each change of any leaf
// below it and the two rails between changes.
// With `times` (CompositeChangeTimes of the row) each pixel column costs one
// binary search instead of one per leaf.
void DrawCompositeBus(const Waview_CompositeHierarchy& row, const Waview_ViewState& view, const RowRect& rect,
                      SegmentSink& dc, const std::vector<int64_t>* times = nullptr);
void DrawRowShape(Waview_Hierarchy& row, const Waview_ViewState& view, const RowRect& rect, SegmentSink& dc,
                  const std::vector<int64_t>* times = nullptr);
// Distinct entry times of every leaf below a composite row, ascending; empty
// when the leaves hold more than `limit` entries together.
std::vector<int64_t> CompositeChangeTimes(const Waview_CompositeHierarchy& row, size_t limit);

// Grid lines, ticks, axis labels and the cursor-row separators.
void DrawGridAndAxis(QPainter& p, const Waview_ViewState& view, int cursorCount, int32_t timescaleExponent,
                     const QFont& font);
// Cursors with their labels and the distances between neighbours.
void DrawCursors(QPainter& p, const Waview_ViewState& view, const Waview_Cursors& cursors,
                 int32_t timescaleExponent, const QFont& font);
