#pragma once
// Drawing of the shape view's rows and grid onto any QPainter (widget, image
// or printer). A trace costs what its pixels cost: from the row's summary
// each pixel column learns how many changes it holds and what they span, so
// a column with many changes is one stroke and the walk jumps to the next
// column.
#include <QColor>
#include <QFont>
#include <QPainter>
#include <vector>

#include "waview/summary.h"
#include "waview/wave_session.h"

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

// A box between two changes of a bus-shaped trace that may show the value
// in effect from `time` on; its text is made only if the box is drawn.
struct Waview_ValueBox {
    Waview_Hierarchy* row = nullptr;
    int64_t time = 0;
    int x0 = 0, x1 = 0; // inside the rails
    int top = 0, bottom = 0;
    Rgb colour{};
};

inline constexpr Rgb kUnknownColour{255, 0, 0};
inline constexpr Rgb kHighZColour{0, 0, 255};

SegmentView ToSegmentView(const Waview_ViewState& v);

// A row's trace from view.start. Bus-shaped stretches wide enough for a
// value go to `boxes` when given.
void DrawRowShape(Waview_Hierarchy& row, const Waview_Summary* summary, const Waview_ViewState& view,
                  const RowRect& rect, SegmentSink& dc, std::vector<Waview_ValueBox>* boxes = nullptr);
// The value texts of the boxes, in the row's radix, cut with an ellipsis
// where they partly fit and left out where not even that fits.
void DrawValueBoxes(QPainter& p, const QFont& font, std::vector<Waview_ValueBox>& boxes);
// The font of the value column and of the bus boxes.
QFont WaveValueFont();

// Grid lines, ticks, axis labels and the cursor-row separators.
void DrawGridAndAxis(QPainter& p, const Waview_ViewState& view, int cursorCount, int32_t timescaleExponent,
                     const QFont& font);
// Cursors with their labels and the distances between neighbours.
void DrawCursors(QPainter& p, const Waview_ViewState& view, const Waview_Cursors& cursors,
                 int32_t timescaleExponent, const QFont& font);
