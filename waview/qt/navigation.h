#pragma once
// Time window, grid scale and cursors of a wave window. Plain integer logic,
// kept apart from the widgets so it can be checked without painting.
#include <array>
#include <cstdint>

inline constexpr int kLineHeight = 20;
inline constexpr int kMaxCursors = 10;

struct Waview_ViewState {
    int64_t start = 0;
    int64_t end = 0;
    int64_t stepTime = 1; // time units per grid step
    int32_t stepPixels = 5;
    double zoom = 1.0; // exactly 1.0 until the first window change
    int32_t width = 0;
    int32_t height = 0;

    // x(t) = ((t - start) * stepPixels) / stepTime, truncated toward zero.
    int64_t X(int64_t t) const;
    // Cursor positions divide as doubles.
    int64_t CursorX(int64_t t) const;
    // t(x) = trunc(x * stepTime / stepPixels + start).
    int64_t TimeAt(double x) const;
    // Smallest time whose x is at least x (the first time of a pixel column).
    int64_t FirstTimeOfColumn(int64_t x) const;

    void SelectScale();
    // Returns false when the request is ignored (start at or after endTime,
    // empty or reversed range); b is clamped to endTime.
    bool SetWindow(int64_t a, int64_t b, int64_t endTime);
    bool ZoomIn(int64_t endTime) { return SetWindow(start, start + (end - start) / 2, endTime); }
    bool ZoomOut(int64_t endTime) { return SetWindow(start, 2 * end - start, endTime); }
    bool ZoomFull(int64_t endTime) { return SetWindow(0, endTime, endTime); }
    // A new width keeps start, step and spacing.
    void Resize(int32_t w, int32_t h);
    // Scroll position in grid steps; sets start and end from it.
    void ScrollTo(int64_t stepPosition);
};

struct Waview_Cursors {
    int count = 1;
    int active = 0; // -1 with no cursor
    std::array<int64_t, kMaxCursors> times{};

    bool Add(int64_t t); // false when all ten exist
    bool Remove();       // removes the active one
    // Makes the cursor nearest t active (first on a tie) and moves it to t.
    int MoveNearest(int64_t t);
    bool HasActive() const { return count > 0 && active >= 0 && active < count; }
    int64_t ActiveTime() const { return HasActive() ? times[active] : 0; }
};
