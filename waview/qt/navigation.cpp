#include "waview/qt/navigation.h"

#include <cmath>
#include <cstdlib>
#include <limits>

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
    if (zoom == 1.0) {
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
