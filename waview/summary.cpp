#include "waview/summary.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int64_t kFan = 16;

uint32_t StateBit(int32_t code) { return code >= 0 && code < 31 ? 1u << code : 1u << 31; }

void CollectLeaves(const Waview_FileManager& doc, const Waview_Hierarchy& row,
                   std::vector<const Waview_Signal*>& out, int depth) {
    if (depth > 10000) return;
    if (row.GetKind() == kRowScalar) {
        out.push_back(row.GetSignal()); // may be null: a bit without data
        return;
    }
    for (int32_t c : static_cast<const Waview_CompositeHierarchy&>(row).children)
        if (Waview_Hierarchy* r = doc.Row(c); r && r != &row) CollectLeaves(doc, *r, out, depth + 1);
}

// How one leaf's state counts in a bus value.
enum BitClass : uint8_t { kZero, kOne, kX, kZ, kNone };

BitClass Classify(const Waview_Signal& s, const ChangeEntry& e) {
    const auto* st = dynamic_cast<const Waview_StateType*>(&s.Type());
    if (!st) return e.bits ? kOne : kZero;
    switch (st->StateChar(e.State())) {
        case '1':
            return kOne;
        case '0':
        case 'L':
            return kZero;
        case 'H':
            return kZero; // a weak one reads as no "1" in the value text either
        case 'Z':
            return kZ;
        default:
            return kX;
    }
}

} // namespace

Waview_Summary::Waview_Summary(const Waview_Signal& s) : signal_(&s), count_(s.EntryCount()) {
    switch (s.GetTypeCode()) {
        case kTypeInteger:
            kind_ = Kind::Integer;
            break;
        case kTypeReal:
            kind_ = Kind::Real;
            break;
        default:
            kind_ = Kind::State;
            break;
    }
    if (count_ < 0) count_ = 0;
    BuildLevels();
}

Waview_Summary::Waview_Summary(const Waview_CompositeHierarchy& row) : kind_(Kind::Bus) {
    if (!row.owner) return;
    std::vector<const Waview_Signal*> leaves;
    CollectLeaves(*row.owner, row, leaves, 0);
    width_ = static_cast<int>(leaves.size());
    struct Event {
        int64_t time;
        uint32_t leaf;
        uint8_t cls;
    };
    std::vector<Event> events;
    size_t total = 0;
    for (const Waview_Signal* s : leaves)
        if (s) total += static_cast<size_t>(std::max<int64_t>(0, s->EntryCount()));
    events.reserve(total);
    for (size_t k = 0; k < leaves.size(); ++k) {
        const Waview_Signal* s = leaves[k];
        if (!s) continue;
        for (int64_t i = 0, n = s->EntryCount(); i < n; ++i) {
            const ChangeEntry& e = s->blocks[static_cast<size_t>(i / kBlockSize)]->entries[i % kBlockSize];
            // The sentinel is no value yet, so the first real one is a change.
            events.push_back({e.time, static_cast<uint32_t>(k), uint8_t(e.time < 0 ? kNone : Classify(*s, e))});
        }
    }
    // Each leaf's entries are in time order already; a stable sort keeps
    // same-time changes of one leaf in file order.
    std::stable_sort(events.begin(), events.end(),
                     [](const Event& a, const Event& b) { return a.time < b.time; });
    std::vector<uint8_t> bits(leaves.size(), kNone);
    int64_t xCount = 0, zCount = 0;
    // The value's top 64 bits, kept as they change; wider buses scale it.
    const size_t top = std::min<size_t>(64, leaves.size());
    uint64_t value = 0;
    const double scale = leaves.size() > 64 ? std::ldexp(1.0, static_cast<int>(leaves.size() - 64)) : 1.0;
    bool changed = false;
    for (size_t e = 0; e < events.size();) {
        const int64_t t = events[e].time;
        for (; e < events.size() && events[e].time == t; ++e) {
            const Event& ev = events[e];
            uint8_t& b = bits[ev.leaf];
            if (b == ev.cls) continue;
            xCount += (ev.cls == kX) - (b == kX);
            zCount += (ev.cls == kZ) - (b == kZ);
            if (ev.leaf < top) {
                const uint64_t mask = uint64_t{1} << (top - 1 - ev.leaf);
                value = ev.cls == kOne ? value | mask : value & ~mask;
            }
            b = ev.cls;
            changed = true;
        }
        if (changed || times_.empty() || e == events.size()) {
            times_.push_back(t);
            values_.push_back(double(value) * scale);
            states_.push_back(xCount ? kBusX : zCount ? kBusZ : 0);
            changed = false;
        }
    }
    count_ = static_cast<int64_t>(times_.size());
    BuildLevels();
}

int64_t Waview_Summary::Time(int64_t i) const { return signal_ ? At(i).time : times_[static_cast<size_t>(i)]; }

double Waview_Summary::Value(int64_t i) const {
    switch (kind_) {
        case Kind::State:
            return At(i).State();
        case Kind::Integer:
            return double(At(i).Int());
        case Kind::Real:
            return At(i).Real();
        case Kind::Bus:
            return values_[static_cast<size_t>(i)];
    }
    return 0;
}

uint32_t Waview_Summary::States(int64_t i) const {
    switch (kind_) {
        case Kind::State:
            return StateBit(At(i).State());
        case Kind::Bus:
            return states_[static_cast<size_t>(i)];
        default:
            return 0;
    }
}

int64_t Waview_Summary::Bisect(int64_t lo, int64_t hi, int64_t t) const {
    // Invariant: everything before lo is earlier than t, everything from hi on is not.
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (Time(mid) < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int64_t Waview_Summary::FirstAtOrAfter(int64_t t) const {
    // The first group of 16 starting at or after t; the answer lies in the group before it.
    const auto g = std::lower_bound(firstTimes_.begin(), firstTimes_.end(), t) - firstTimes_.begin();
    const int64_t lo = g > 0 ? (g - 1) * kFan : 0;
    return Bisect(lo, std::min(count_, g * kFan), t);
}

int64_t Waview_Summary::NextAtOrAfter(int64_t lo, int64_t t) const {
    if (lo < 0) return FirstAtOrAfter(t);
    // Gallop over the group starts from lo's group, then bisect the last stride.
    const int64_t groups = static_cast<int64_t>(firstTimes_.size());
    int64_t g = lo / kFan, step = 1, h = g + 1;
    while (h < groups && firstTimes_[size_t(h)] < t) {
        g = h;
        step *= 2;
        h = g + step;
    }
    if (h > groups) h = groups;
    // firstTimes_[g] < t (or g is lo's group); the first group not earlier is h.
    const int64_t first = std::lower_bound(firstTimes_.begin() + g, firstTimes_.begin() + h, t) - firstTimes_.begin();
    const int64_t from = std::max(lo + 1, first > 0 ? (first - 1) * kFan : 0);
    return Bisect(std::min(from, count_), std::min(count_, first * kFan), t);
}

void Waview_Summary::BuildLevels() {
    levels_.clear();
    firstTimes_.clear();
    firstTimes_.reserve(size_t((count_ + kFan - 1) / kFan));
    for (int64_t i = 0; i < count_; i += kFan) firstTimes_.push_back(Time(i));
    if (count_ < kFan) return;
    std::vector<Node> level(static_cast<size_t>(count_ / kFan));
    for (size_t b = 0; b < level.size(); ++b) {
        Waview_Extent e;
        for (int64_t i = int64_t(b) * kFan, end = i + kFan; i < end; ++i) e.Add(Value(i), States(i));
        level[b] = {e.lo, e.hi, e.states};
    }
    levels_.push_back(std::move(level));
    while (levels_.back().size() >= size_t(kFan)) {
        const std::vector<Node>& below = levels_.back();
        std::vector<Node> up(below.size() / kFan);
        for (size_t b = 0; b < up.size(); ++b) {
            Node n = below[b * kFan];
            for (size_t k = 1; k < size_t(kFan); ++k) {
                const Node& c = below[b * kFan + k];
                n.lo = std::min(n.lo, c.lo);
                n.hi = std::max(n.hi, c.hi);
                n.states |= c.states;
            }
            up[b] = n;
        }
        levels_.push_back(std::move(up));
    }
}

Waview_Extent Waview_Summary::Range(int64_t i, int64_t j) const {
    Waview_Extent r;
    i = std::max<int64_t>(i, 0);
    j = std::min(j, count_);
    while (i < j) {
        // The largest aligned block that starts at i and fits.
        int k = -1;
        int64_t size = 1;
        while (k + 1 < int(levels_.size()) && i % (size * kFan) == 0 && i + size * kFan <= j) {
            ++k;
            size *= kFan;
        }
        if (k < 0) {
            r.Add(Value(i), States(i));
            ++i;
            continue;
        }
        const Node& n = levels_[size_t(k)][size_t(i / size)];
        r.Add(Waview_Extent{n.lo, n.hi, n.states});
        i += size;
    }
    return r;
}

size_t Waview_Summary::Bytes() const {
    size_t n = times_.capacity() * sizeof(int64_t) + values_.capacity() * sizeof(double) + states_.capacity() +
               firstTimes_.capacity() * sizeof(int64_t);
    for (const auto& l : levels_) n += l.capacity() * sizeof(Node);
    return n;
}

const Waview_Summary* Waview_SummaryCache::Of(const Waview_Hierarchy& row) {
    if (row.GetKind() == kRowComposite) {
        std::unique_ptr<Waview_Summary>& s = rows_[&row];
        if (!s) s = std::make_unique<Waview_Summary>(static_cast<const Waview_CompositeHierarchy&>(row));
        return s.get();
    }
    const Waview_Signal* signal = row.GetSignal();
    if (!signal) return nullptr;
    std::unique_ptr<Waview_Summary>& s = signals_[signal];
    if (!s) s = std::make_unique<Waview_Summary>(*signal);
    return s.get();
}

void Waview_SummaryCache::Clear() {
    signals_.clear();
    rows_.clear();
}
