#pragma once
// What a wave window shows, without the window: the document, the visible
// time window and its grid, the cursors, the bookmarks and the zoom-area
// mode. The views observe a session and repaint on its changes; tests and
// tools drive it without widgets.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <string>

#include "waview/model.h"
#include "waview/summary.h"

inline constexpr int kLineHeight = 20;
inline constexpr int kMaxCursors = 10;
// The deepest zoom: pixels per time unit.
inline constexpr int kMaxPixelsPerUnit = 200;

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
    // Halves (in) or doubles the span so that time t stays at pixel x
    // (within half a grid step, since the start snaps to the grid). False
    // when nothing changes: the deepest zoom, or the whole dump shown.
    bool ZoomAround(int64_t t, double x, bool in, int64_t endTime);
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

struct Waview_Bookmark {
    bool set = false;
    int64_t start = 0, end = 0;
};

class Waview_WaveSession {
public:
    // What changed, for observers.
    enum Change : unsigned {
        kWindow = 1,     // visible window or grid
        kCursors = 2,    // cursor times, count or active one
        kRows = 4,       // which rows are shown (tree rebuild)
        kDisplay = 8,    // radix, digital/analog, names, expansion
        kBookmarks = 16, //
        kModified = 32,  //
        kDocument = 64,  // a new document (or none)
        kZoomArea = 128, //
    };
    using Observer = std::function<void(unsigned changes)>;

    Waview_WaveSession();
    Waview_WaveSession(const Waview_WaveSession&) = delete;
    Waview_WaveSession& operator=(const Waview_WaveSession&) = delete;

    int Observe(Observer o);
    void Unobserve(int id);

    // --- document
    Waview_FileManager& Doc() { return doc_; }
    const Waview_FileManager& Doc() const { return doc_; }
    const std::string& WavePath() const { return wavePath_; }
    void SetWavePath(const std::string& p) { wavePath_ = p; }
    // Reads a wave-view file and shows it zoomed full; on failure the session
    // is empty and error says why.
    bool Load(const std::string& wavePath, std::string* error);
    // Shows what Doc() holds now (filled by the caller): end time, zoom full.
    void DocumentReplaced();
    // No document, one cursor at 0, no bookmarks: a new window's state.
    void Reset();
    bool Save(std::string* error);
    bool SaveAs(const std::string& path, std::string* error);
    bool HasDocument() const { return endTime_ >= 0; }
    int64_t EndTime() const { return endTime_; }
    int32_t TimescaleExponent() const { return timescaleExponent_; }
    bool Modified() const { return modified_; }
    void SetModified(bool m);

    // --- rows
    void RenameRow(Waview_Hierarchy& row, const std::string& name);
    void SetRadix(Waview_Hierarchy& row, int radix);
    void ToggleDigital(Waview_Hierarchy& row);
    void SetExpanded(Waview_Hierarchy& row, bool expanded);
    // A freshly imported dump shows its buses as one row each.
    void CollapseBuses();
    // Row visibility was edited (the Signals dialog): the tree is rebuilt.
    void RowsChanged();
    const Waview_Summary* SummaryOf(const Waview_Hierarchy& row) { return summaries_.Of(row); }
    // Before a frame: keeps the summaries of rows out of view, and the entries
    // computed for them, within the budget (expanding every bus of a big dump
    // would otherwise hold all their bits' changes).
    void TrimSummaries() { summaries_.Trim(summaryBudget_); }
    static constexpr size_t kSummaryBudget = size_t(256) << 20;
    void SetSummaryBudget(size_t bytes) { summaryBudget_ = bytes; }
    size_t SummaryBytes() const { return summaries_.Bytes(); }

    // --- visible window
    const Waview_ViewState& View() const { return view_; }
    void Resize(int32_t width, int32_t height);
    bool SetWindow(int64_t a, int64_t b);
    // Zoom In/Out keep the active cursor where it is on screen (the middle
    // of the view when it is off screen).
    bool ZoomIn();
    bool ZoomOut();
    bool ZoomFull();
    // The wheel: zooms around pixel x.
    bool ZoomAround(int64_t x, bool in);
    void ScrollTo(int64_t stepPosition);

    // --- cursors
    const Waview_Cursors& Cursors() const { return cursors_; }
    bool AddCursor();
    bool RemoveCursor();
    int MoveNearestCursor(int64_t t);
    bool MoveActiveCursor(int64_t t);
    // Replaces every cursor (the first becomes the active one).
    void SetCursorTimes(const std::vector<int64_t>& times);
    // Moves the active cursor to the row's next (previous) change; false when
    // there is none or no cursor.
    bool NextTransition(const Waview_Hierarchy& row);
    bool PreviousTransition(const Waview_Hierarchy& row);

    // --- bookmarks
    const Waview_Bookmark& Bookmark(int n) const { return bookmarks_[n >= 0 && n < 10 ? n : 0]; }
    void SetBookmark(int n);
    bool GotoBookmark(int n);

    // --- zoom area: one area, then the mode ends
    bool ZoomAreaOn() const { return zoomArea_; }
    void SetZoomArea(bool on);
    // Shows the time between two pixel columns and ends the mode.
    bool ZoomToArea(int64_t x0, int64_t x1);

private:
    void Notify(unsigned changes);
    bool Anchored(bool in);

    Waview_FileManager doc_;
    Waview_SummaryCache summaries_;
    size_t summaryBudget_ = kSummaryBudget;
    std::string wavePath_;
    int64_t endTime_ = -1;
    int32_t timescaleExponent_ = 0;
    bool modified_ = false;
    Waview_ViewState view_;
    Waview_Cursors cursors_;
    std::array<Waview_Bookmark, 10> bookmarks_{};
    bool zoomArea_ = false;
    std::map<int, Observer> observers_;
    int nextObserver_ = 1;
};
