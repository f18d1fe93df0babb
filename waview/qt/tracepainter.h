#pragma once
// Drawing of the shape view's rows and grid onto any QPainter (widget, image
// or printer). A trace costs what its pixels cost: where several changes fall
// into one pixel column that column is drawn once, as the vertical extent of
// the levels it holds, and the walk jumps to the next column.
#include <QColor>
#include <QPainter>

#include "waview/model.h"
#include "waview/qt/navigation.h"

inline QColor ToQColor(Rgb c) { return QColor(c.r, c.g, c.b); }

// Solid one-pixel lines onto a painter, clipped to the view's width first so
// that far-away times never reach the painter as huge coordinates.
class Waview_PainterSink : public SegmentSink {
public:
    Waview_PainterSink(QPainter& p, int width) : p_(p), width_(width) {}
    void Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2, Rgb colour) override;

private:
    QPainter& p_;
    int width_;
    bool havePen_ = false;
    Rgb pen_{};
};

SegmentView ToSegmentView(const Waview_ViewState& v);

// Index of the first entry of s not earlier than t; EntryCount() when none.
int64_t FirstEntryAtOrAfter(const Waview_Signal& s, int64_t t);

// A scalar row's trace from view.start, columns with several changes merged.
void DrawScalarTrace(const Waview_Signal& s, const Waview_ViewState& view, const RowRect& rect,
                     SegmentSink& dc, int digital);
// A composite row as a yellow bus: a crossing at each change of any leaf
// below it and the two rails between changes.
void DrawCompositeBus(const Waview_CompositeHierarchy& row, const Waview_ViewState& view,
                      const RowRect& rect, SegmentSink& dc);
void DrawRowShape(Waview_Hierarchy& row, const Waview_ViewState& view, const RowRect& rect,
                  SegmentSink& dc);

// Grid lines, ticks, axis labels and the cursor-row separators.
void DrawGridAndAxis(QPainter& p, const Waview_ViewState& view, int cursorCount,
                     int32_t timescaleExponent, const QFont& font);
// Cursors with their labels and the distances between neighbours.
void DrawCursors(QPainter& p, const Waview_ViewState& view, const Waview_Cursors& cursors,
                 int32_t timescaleExponent, const QFont& font);
