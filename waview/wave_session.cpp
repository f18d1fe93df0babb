#include "waview/wave_session.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "waview/wvwfile.h"

namespace {

int64_t Trunc(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return std::numeric_limits<int64_t>::max();
    if (v <= -9.2e18) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

int64_t MulDiv(int64_t a, int64_t mul, int64_t div) {
    if (div == 0) return 0;
    __int128 p = static_cast<__int128>(a) * mul / div;
    if (p > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
    if (p < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(p);
}

} // namespace

int64_t Waview_ViewState::X(int64_t t) const {
    return MulDiv(static_cast<int64_t>(static_cast<uint64_t>(t) - static_cast<uint64_t>(start)), stepPixels,
                  stepTime);
}

int64_t Waview_ViewState::CursorX(int64_t t) const {
    if (stepTime == 0) return 0;
    return Trunc((double(t) - double(start)) * stepPixels / double(stepTime));
}

int64_t Waview_ViewState::TimeAt(double x) const {
    if (stepPixels == 0) return start;
    return Trunc(x * double(stepTime) / stepPixels + double(start));
}

int64_t Waview_ViewState::FirstTimeOfColumn(int64_t x) const {
    if (stepPixels <= 0) return std::numeric_limits<int64_t>::max();
    // x(t) >= x  <=>  (t - start) * p >= x * s  for t >= start.
    __int128 need = static_cast<__int128>(x) * stepTime;
    __int128 d = need / stepPixels;
    if (d * stepPixels < need) ++d;
    __int128 t = d + start;
    if (t > std::numeric_limits<int64_t>::max()) return std::numeric_limits<int64_t>::max();
    if (t < std::numeric_limits<int64_t>::min()) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(t);
}

void Waview_ViewState::SelectScale() {
    const int64_t span = end - start > 0 ? end - start : 1;
    const int64_t perUnit = width / span;
    if (zoom != 1.0 && perUnit > 11) {
        // Fewer time units than the coarsest spacing has steps: one unit per
        // step, as wide as the window allows, down to the deepest zoom.
        stepTime = 1;
        stepPixels = static_cast<int32_t>(std::min<int64_t>(perUnit, kMaxPixelsPerUnit));
    } else if (zoom == 1.0) {
        stepTime = 1;
        const int64_t p = width / span;
        stepPixels = static_cast<int32_t>(p > 5 ? (p > 1000000 ? 1000000 : p) : 5);
    } else {
        static const int kCandidates[] = {5, 8, 11};
        double bestError = 0;
        int64_t bestStep = 1;
        int bestPixels = 5;
        bool first = true;
        for (int c : kCandidates) {
            const int steps = width / c > 0 ? width / c : 1;
            const double raw = double(span) / steps;
            int e = 0;
            double scale = 1;
            if (raw >= 10) {
                e = static_cast<int>(std::floor(std::log10(raw)));
                scale = std::pow(10.0, e);
                // log10 may land one off at exact powers of ten.
                if (raw / scale >= 10) scale *= 10;
                if (raw / scale < 1) scale /= 10;
            }
            const double r = raw / scale;
            const double mult = r <= 1 ? 1 : r <= 2 ? 2 : r <= 5 ? 5 : 10;
            const double nice = scale * mult;
            const double error = (nice - std::trunc(raw)) / nice;
            if (first || error < bestError) {
                first = false;
                bestError = error;
                bestStep = nice >= 9.2e18 ? std::numeric_limits<int64_t>::max() / 2
                                          : static_cast<int64_t>(nice + 0.5);
                bestPixels = c;
            }
        }
        stepTime = bestStep > 0 ? bestStep : 1;
        stepPixels = bestPixels;
    }
    start = (start / stepTime) * stepTime;
    end = start + (width / stepPixels) * stepTime;
}

bool Waview_ViewState::SetWindow(int64_t a, int64_t b, int64_t endTime) {
    if (!(a < endTime) || !(b > a)) return false;
    if (b > endTime) b = endTime;
    zoom *= double(end - start) / double(b - a);
    start = a;
    end = b;
    SelectScale();
    return true;
}

bool Waview_ViewState::ZoomAround(int64_t t, double x, bool in, int64_t endTime) {
    const int64_t span = end - start;
    if (width <= 0 || span <= 0 || endTime <= 0) return in ? ZoomIn(endTime) : ZoomOut(endTime);
    if (in && stepTime == 1 && stepPixels >= kMaxPixelsPerUnit) return false;
    int64_t newSpan = in ? span / 2 : (span > std::numeric_limits<int64_t>::max() / 4 ? span : span * 2);
    if (!in) newSpan = std::min(newSpan, endTime); // at most the whole dump
    if (newSpan < 1) return false;
    const Waview_ViewState before = *this;
    auto startFor = [&](int64_t step, int32_t pixels) {
        // The grid step nearest to where t lands at x. Zooming out near the
        // end shows the end rather than time past it; nothing starts before 0.
        const double want = double(t) - x * double(step) / pixels;
        double s = std::round(want / double(step)) * double(step);
        if (!in && s + double(newSpan) > double(endTime)) s = double(endTime) - double(newSpan);
        s = std::clamp(s, 0.0, double(endTime - 1));
        return static_cast<int64_t>(s);
    };
    // The window is not cut at the end here: that would change the scale
    // and move t away from x.
    auto place = [&](Waview_ViewState& v, int64_t a) {
        v.zoom *= double(v.end - v.start) / double(newSpan);
        v.start = a;
        v.end = a + newSpan;
        v.SelectScale();
    };
    Waview_ViewState trial = *this;
    place(trial, startFor(stepTime, stepPixels));
    place(*this, startFor(trial.stepTime, trial.stepPixels));
    return start != before.start || end != before.end || stepTime != before.stepTime ||
           stepPixels != before.stepPixels;
}

void Waview_ViewState::Resize(int32_t w, int32_t h) {
    width = w;
    height = h;
    if (stepPixels > 0) end = start + (width / stepPixels + 1) * stepTime;
}

void Waview_ViewState::ScrollTo(int64_t pos) {
    start = pos * stepTime;
    if (stepPixels > 0) end = start + (width / stepPixels) * stepTime;
}

bool Waview_Cursors::Add(int64_t t) {
    if (count >= kMaxCursors) return false;
    times[count] = t;
    active = count++;
    return true;
}

bool Waview_Cursors::Remove() {
    if (!HasActive()) return false;
    for (int i = active; i + 1 < count; ++i) times[i] = times[i + 1];
    --count;
    if (count == 0)
        active = -1;
    else
        active = active > 0 ? active - 1 : count - 1;
    return true;
}

int Waview_Cursors::MoveNearest(int64_t t) {
    if (count <= 0) return -1;
    int best = 0;
    uint64_t bestDist = 0;
    for (int i = 0; i < count; ++i) {
        const uint64_t d = times[i] > t ? uint64_t(times[i]) - uint64_t(t) : uint64_t(t) - uint64_t(times[i]);
        if (i == 0 || d < bestDist) {
            best = i;
            bestDist = d;
        }
    }
    active = best;
    times[best] = t;
    return best;
}

// --- session -------------------------------------------------------------------

Waview_WaveSession::Waview_WaveSession() { Reset(); }

int Waview_WaveSession::Observe(Observer o) {
    observers_[nextObserver_] = std::move(o);
    return nextObserver_++;
}

void Waview_WaveSession::Unobserve(int id) { observers_.erase(id); }

void Waview_WaveSession::Notify(unsigned changes) {
    // An observer may unsubscribe another while being told.
    for (auto it = observers_.begin(); it != observers_.end();) {
        const int id = it->first;
        Observer o = it->second;
        o(changes);
        it = observers_.upper_bound(id);
    }
}

void Waview_WaveSession::Reset() {
    summaries_.Clear();
    doc_.Clear();
    endTime_ = -1;
    timescaleExponent_ = 0;
    modified_ = false;
    cursors_ = Waview_Cursors{};
    bookmarks_ = {};
    zoomArea_ = false;
    const int32_t w = view_.width, h = view_.height;
    view_ = Waview_ViewState{};
    view_.Resize(w, h);
    Notify(kDocument | kRows | kWindow | kCursors | kBookmarks | kModified | kZoomArea);
}

bool Waview_WaveSession::Load(const std::string& wavePath, std::string* error) {
    wavePath_ = wavePath;
    Reset();
    if (!ReadWaveFile(doc_, wavePath, error)) {
        doc_.Clear();
        Notify(kDocument | kRows);
        return false;
    }
    DocumentReplaced();
    return true;
}

void Waview_WaveSession::DocumentReplaced() {
    summaries_.Clear();
    endTime_ = doc_.EndTime();
    timescaleExponent_ = doc_.TimescaleExponent();
    modified_ = false;
    view_.ZoomFull(endTime_);
    Notify(kDocument | kRows | kWindow | kCursors | kModified);
}

bool Waview_WaveSession::Save(std::string* error) {
    if (!WriteWaveFile(doc_, wavePath_, error)) return false;
    SetModified(false);
    return true;
}

bool Waview_WaveSession::SaveAs(const std::string& path, std::string* error) {
    if (path.empty()) return false;
    const std::string old = wavePath_;
    wavePath_ = path;
    if (Save(error)) return true;
    wavePath_ = old;
    return false;
}

void Waview_WaveSession::SetModified(bool m) {
    if (modified_ == m) return;
    modified_ = m;
    Notify(kModified);
}

void Waview_WaveSession::RenameRow(Waview_Hierarchy& row, const std::string& name) {
    if (row.name == name) return;
    row.name = name;
    row.InvalidateValueText();
    modified_ = true;
    Notify(kDisplay | kModified);
}

void Waview_WaveSession::SetRadix(Waview_Hierarchy& row, int radix) {
    row.SetRadix(radix);
    Notify(kDisplay);
}

void Waview_WaveSession::ToggleDigital(Waview_Hierarchy& row) {
    row.digital = row.digital ? 0 : 1;
    Notify(kDisplay);
}

void Waview_WaveSession::SetExpanded(Waview_Hierarchy& row, bool expanded) {
    if (row.GetKind() != kRowComposite) return;
    auto& comp = static_cast<Waview_CompositeHierarchy&>(row);
    if ((comp.expanded != 0) == expanded) return;
    comp.expanded = expanded ? 1 : 0;
    Notify(kDisplay);
}

void Waview_WaveSession::CollapseBuses() {
    for (int32_t i = 0; i < doc_.RowCount(); ++i) {
        Waview_Hierarchy* row = doc_.Row(i);
        if (row->GetKind() == kRowComposite && int64_t{row->GetDepth()} == int64_t{row->level} + 1)
            static_cast<Waview_CompositeHierarchy*>(row)->expanded = 0;
    }
    Notify(kRows);
}

void Waview_WaveSession::RowsChanged() { Notify(kRows); }

void Waview_WaveSession::Resize(int32_t width, int32_t height) {
    const bool firstSize = view_.width < kLineHeight;
    view_.Resize(width, height);
    // A document shown before the view had a width was zoomed against
    // nothing: zoom full now that the width is known.
    if (firstSize && endTime_ >= 0) view_.ZoomFull(endTime_);
    Notify(kWindow);
}

bool Waview_WaveSession::SetWindow(int64_t a, int64_t b) {
    if (!view_.SetWindow(a, b, endTime_)) return false;
    Notify(kWindow);
    return true;
}

bool Waview_WaveSession::Anchored(bool in) {
    if (endTime_ < 0) return false;
    int64_t t = view_.TimeAt(view_.width / 2.0);
    double x = view_.width / 2.0;
    if (cursors_.HasActive()) {
        const int64_t c = cursors_.ActiveTime();
        if (c >= view_.start && c <= view_.end) {
            t = c;
            x = (double(c) - double(view_.start)) * view_.stepPixels / double(view_.stepTime);
        }
    }
    if (!view_.ZoomAround(t, x, in, endTime_)) return false;
    Notify(kWindow);
    return true;
}

bool Waview_WaveSession::ZoomIn() { return Anchored(true); }
bool Waview_WaveSession::ZoomOut() { return Anchored(false); }

bool Waview_WaveSession::ZoomFull() {
    if (!view_.ZoomFull(endTime_)) return false;
    Notify(kWindow);
    return true;
}

bool Waview_WaveSession::ZoomAround(int64_t x, bool in) {
    if (endTime_ < 0) return false;
    if (!view_.ZoomAround(view_.TimeAt(double(x)), double(x), in, endTime_)) return false;
    Notify(kWindow);
    return true;
}

void Waview_WaveSession::ScrollTo(int64_t stepPosition) {
    if (stepPosition * view_.stepTime == view_.start) return;
    view_.ScrollTo(stepPosition);
    Notify(kWindow);
}

bool Waview_WaveSession::AddCursor() {
    if (!cursors_.Add(static_cast<int64_t>((static_cast<__int128>(view_.start) + view_.end) / 2)))
        return false;
    Notify(kCursors);
    return true;
}

bool Waview_WaveSession::RemoveCursor() {
    if (!cursors_.Remove()) return false;
    Notify(kCursors);
    return true;
}

int Waview_WaveSession::MoveNearestCursor(int64_t t) {
    const int i = cursors_.MoveNearest(t);
    if (i >= 0) Notify(kCursors);
    return i;
}

bool Waview_WaveSession::MoveActiveCursor(int64_t t) {
    if (!cursors_.HasActive()) return false;
    cursors_.times[size_t(cursors_.active)] = t;
    Notify(kCursors);
    return true;
}

void Waview_WaveSession::SetCursorTimes(const std::vector<int64_t>& times) {
    cursors_ = Waview_Cursors{};
    cursors_.count = 0;
    cursors_.active = -1;
    for (int64_t t : times) cursors_.Add(t);
    if (cursors_.count > 0) cursors_.active = 0;
    Notify(kCursors);
}

bool Waview_WaveSession::NextTransition(const Waview_Hierarchy& row) {
    if (!cursors_.HasActive()) return false;
    const Waview_Summary* s = SummaryOf(row);
    const int64_t c = cursors_.ActiveTime();
    if (!s || c == std::numeric_limits<int64_t>::max()) return false;
    const int64_t i = s->FirstAtOrAfter(c + 1);
    if (i >= s->Count()) return false; // no later change: the cursor stays
    return MoveActiveCursor(s->Time(i));
}

bool Waview_WaveSession::PreviousTransition(const Waview_Hierarchy& row) {
    if (!cursors_.HasActive()) return false;
    const Waview_Summary* s = SummaryOf(row);
    if (!s) return false;
    const int64_t i = s->FirstAtOrAfter(cursors_.ActiveTime());
    // The sentinel before the first change is no place to go.
    if (i == 0 || s->Time(i - 1) < 0) return false;
    return MoveActiveCursor(s->Time(i - 1));
}

void Waview_WaveSession::SetBookmark(int n) {
    if (n < 0 || n > 9) return;
    bookmarks_[size_t(n)] = {true, view_.start, view_.end};
    Notify(kBookmarks);
}

bool Waview_WaveSession::GotoBookmark(int n) {
    if (n < 0 || n > 9 || !bookmarks_[size_t(n)].set) return false;
    return SetWindow(bookmarks_[size_t(n)].start, bookmarks_[size_t(n)].end);
}

void Waview_WaveSession::SetZoomArea(bool on) {
    if (zoomArea_ == on) return;
    zoomArea_ = on;
    Notify(kZoomArea);
}

bool Waview_WaveSession::ZoomToArea(int64_t x0, int64_t x1) {
    const int64_t l = std::min(x0, x1), r = std::max(x0, x1);
    SetZoomArea(false);
    return SetWindow(view_.TimeAt(double(l)), view_.TimeAt(double(r)));
}
