#include "waview/summary.h"

#include "waview/store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

uint8_t ClassOf(const Waview_StateType* type, uint64_t bits) {
    if (!type) return bits ? kOne : kZero;
    switch (type->StateChar(static_cast<int32_t>(static_cast<uint32_t>(bits)))) {
        case '1':
            return kOne;
        case '0':
        case 'L':
        case 'H': // a weak one reads as no "1" in the value text either
            return kZero;
        case 'Z':
            return kZ;
        default:
            return kX;
    }
}

// What the value of a bus's top 64 bits is multiplied by: 2^(width - 64),
// held below the largest double so that a scope over thousands of leaves
// keeps finite values (their order is all analog drawing needs).
double TopBitsScale(size_t leaves) {
    return leaves > 64 ? std::ldexp(1.0, static_cast<int>(std::min<size_t>(leaves - 64, 900))) : 1.0;
}

// Unknown and high-impedance digits of a record of two bits a digit
// (Z is 10, X is 11; padding is 0).
void CountXZ(const uint8_t* record, size_t bytes, int64_t& x, int64_t& z) {
    constexpr uint64_t kLow = 0x5555555555555555ull;
    x = z = 0;
    for (size_t i = 0; i < bytes; i += 8) {
        uint64_t r = 0;
        std::memcpy(&r, record + i, std::min<size_t>(8, bytes - i));
        x += __builtin_popcountll(r & (r >> 1) & kLow);
        z += __builtin_popcountll((r >> 1) & ~r & kLow);
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
    if (MergeFromStore(leaves)) {
        count_ = static_cast<int64_t>(times_.size());
        BuildLevels();
        return;
    }
    // Merge the leaves' changes in time order with a heap of their next
    // times; same-time changes of one leaf apply in file order.
    struct Leaf {
        const Waview_Signal* signal;
        const Waview_StateType* type;
        int64_t next, count;
        int64_t Time() const { return At(next).time; }
        const ChangeEntry& At(int64_t i) const {
            return signal->blocks[static_cast<size_t>(i / kBlockSize)]->entries[i % kBlockSize];
        }
    };
    std::vector<Leaf> state;
    using Item = std::pair<int64_t, uint32_t>; // next time, leaf
    std::vector<Item> heap;
    for (const Waview_Signal* s : leaves) {
        state.push_back({s, s ? dynamic_cast<const Waview_StateType*>(&s->Type()) : nullptr, 0,
                         s ? std::max<int64_t>(0, s->EntryCount()) : 0});
        if (state.back().count > 0) heap.push_back({state.back().Time(), uint32_t(state.size() - 1)});
    }
    const auto later = [](const Item& a, const Item& b) {
        return a.first > b.first || (a.first == b.first && a.second > b.second);
    };
    std::make_heap(heap.begin(), heap.end(), later);
    auto classify = [](const Leaf& l, const ChangeEntry& e) -> uint8_t {
        if (e.time < 0) return kNone; // the sentinel: no value yet, so the first real one is a change
        return ClassOf(l.type, e.bits);
    };
    std::vector<uint8_t> bits(leaves.size(), kNone);
    int64_t xCount = 0, zCount = 0;
    // The value's top 64 bits, kept as they change; wider buses scale it.
    const size_t top = std::min<size_t>(64, leaves.size());
    uint64_t value = 0;
    const double scale = TopBitsScale(leaves.size());
    while (!heap.empty()) {
        const int64_t t = heap.front().first;
        bool changed = false;
        while (!heap.empty() && heap.front().first == t) {
            std::pop_heap(heap.begin(), heap.end(), later);
            const uint32_t k = heap.back().second;
            heap.pop_back();
            Leaf& l = state[k];
            for (; l.next < l.count && l.Time() == t; ++l.next) {
                const uint8_t cls = classify(l, l.At(l.next));
                uint8_t& b = bits[k];
                if (b == cls) continue;
                xCount += (cls == kX) - (b == kX);
                zCount += (cls == kZ) - (b == kZ);
                if (k < top) {
                    const uint64_t mask = uint64_t{1} << (top - 1 - k);
                    value = cls == kOne ? value | mask : value & ~mask;
                }
                b = cls;
                changed = true;
            }
            if (l.next < l.count) {
                heap.push_back({l.Time(), k});
                std::push_heap(heap.begin(), heap.end(), later);
            }
        }
        if (changed || times_.empty() || heap.empty()) {
            times_.push_back(t);
            values_.push_back(double(value) * scale);
            states_.push_back(xCount ? kBusX : zCount ? kBusZ : 0);
        }
    }
    count_ = static_cast<int64_t>(times_.size());
    BuildLevels();
}

bool Waview_Summary::MergeFromStore(const std::vector<const Waview_Signal*>& leaves) {
    // Leaves of a dump's store are read from it, one pass over the changes
    // of each store signal below the row in time order, no bit expanded.
    // The result is the one the leaves' own entries give.
    const WaveStore* store = nullptr;
    struct Use {
        uint32_t leaf;
        int32_t bit;
        const Waview_Signal* signal;
        const Waview_StateType* type;
    };
    struct Source {
        const WaveStoreSignal* ss = nullptr;
        std::vector<Use> uses;
        // Every use a state bit, each bit used `copies` times, none among the
        // value's top bits, two bits a digit at most: then a change counts
        // its unknown and high-impedance digits and is a change of the row.
        bool whole = false;
        int64_t copies = 0, xs = 0, zs = 0;
        size_t next = 0;
    };
    std::vector<Source> sources;
    std::unordered_map<uint32_t, uint32_t> bySignal;
    int64_t closeAt = -1;
    for (uint32_t k = 0; k < leaves.size(); ++k) {
        const Waview_Signal* s = leaves[k];
        if (!s) continue;
        if (!s->HasStore()) return false;
        const StoreSource& src = s->Source();
        if ((store && src.store != store) || !src.store || src.signal >= src.store->signals.size())
            return false;
        store = src.store;
        const auto [it, fresh] = bySignal.emplace(src.signal, uint32_t(sources.size()));
        if (fresh) {
            sources.emplace_back();
            sources.back().ss = &store->signals[src.signal];
        }
        sources[it->second].uses.push_back(
            {k, src.bit, s, dynamic_cast<const Waview_StateType*>(&s->Type())});
        if (store->signals[src.signal].Count() > 0) closeAt = std::max(closeAt, src.closeAt);
    }
    if (!store) return false;
    const uint32_t top = uint32_t(std::min<size_t>(64, leaves.size()));
    size_t total = 0;
    for (Source& src : sources) {
        const WaveStoreSignal& ss = *src.ss;
        total += ss.Count();
        if (ss.kind != WaveStoreSignal::kVector || ss.digitBits > 2 || src.uses.size() % ss.width != 0)
            continue;
        std::vector<uint32_t> perBit(ss.width, 0);
        bool ok = true;
        for (const Use& u : src.uses) {
            const int32_t b = u.bit >= 0 ? u.bit : ss.width == 1 ? 0 : -1;
            if (u.leaf < top || b < 0 || uint32_t(b) >= ss.width || !u.type) {
                ok = false;
                break;
            }
            ++perBit[size_t(b)];
        }
        src.copies = int64_t(src.uses.size() / ss.width);
        for (uint32_t c : perBit) ok = ok && c == src.copies;
        src.whole = ok;
    }
    if (total == 0) return true;

    std::vector<uint8_t> bits(leaves.size(), kNone);
    int64_t xCount = 0, zCount = 0;
    uint64_t value = 0;
    const double scale = TopBitsScale(leaves.size());
    auto push = [&](int64_t t) {
        times_.push_back(t);
        values_.push_back(double(value) * scale);
        states_.push_back(xCount ? kBusX : zCount ? kBusZ : 0);
    };
    push(-1); // every leaf's entries open with the sentinel
    // The changes of all sources ordered by time index, a window of time
    // indices at a time (a counting sort), so that memory stays bounded.
    const size_t times = store->times.size();
    const size_t windows = std::max<size_t>(1, total >> 20);
    const size_t span = std::max<size_t>(1, (times + windows - 1) / windows);
    std::vector<uint32_t> first(span + 1), order;
    int64_t lastEvent = -1;
    for (size_t w0 = 0; w0 < times; w0 += span) {
        const size_t w1 = std::min(times, w0 + span);
        std::fill(first.begin(), first.end(), 0);
        size_t events = 0;
        for (const Source& src : sources)
            for (size_t n = src.next; n < src.ss->Count() && src.ss->times[n] < w1; ++n, ++events)
                ++first[src.ss->times[n] - w0 + 1];
        if (events == 0) continue;
        for (size_t i = 1; i <= span; ++i) first[i] += first[i - 1];
        order.resize(events);
        std::vector<uint32_t> fill(first.begin(), first.end() - 1);
        for (uint32_t j = 0; j < sources.size(); ++j) {
            const Source& src = sources[j];
            for (size_t n = src.next; n < src.ss->Count() && src.ss->times[n] < w1; ++n)
                order[fill[src.ss->times[n] - w0]++] = j;
        }
        for (size_t ti = w0; ti < w1; ++ti) {
            const uint32_t a = first[ti - w0], b = first[ti - w0 + 1];
            if (a == b) continue;
            bool changed = false;
            for (uint32_t e = a; e < b; ++e) {
                Source& src = sources[order[e]];
                const WaveStoreSignal& ss = *src.ss;
                const size_t n = src.next++;
                if (src.whole) {
                    int64_t x = 0, z = 0;
                    if (ss.digitBits == 2)
                        CountXZ(ss.values.data() + n * ss.RecordBytes(), ss.RecordBytes(), x, z);
                    xCount += (x - src.xs) * src.copies;
                    zCount += (z - src.zs) * src.copies;
                    src.xs = x;
                    src.zs = z;
                    // The store keeps no repeats: some digit, so some leaf, changed.
                    changed = true;
                    continue;
                }
                for (const Use& u : src.uses) {
                    const uint8_t cls = ClassOf(u.type, u.signal->StoreValue(n, u.bit));
                    uint8_t& bit = bits[u.leaf];
                    if (bit == cls) continue;
                    xCount += (cls == kX) - (bit == kX);
                    zCount += (cls == kZ) - (bit == kZ);
                    if (u.leaf < top) {
                        const uint64_t mask = uint64_t{1} << (top - 1 - u.leaf);
                        value = cls == kOne ? value | mask : value & ~mask;
                    }
                    bit = cls;
                    changed = true;
                }
            }
            lastEvent = store->times[ti];
            if (changed) push(lastEvent);
        }
    }
    // The closing time ends the trace, as the leaves' last entries do.
    const int64_t last = std::max(lastEvent, closeAt);
    if (last > times_.back()) push(last);
    return true;
}

int64_t Waview_Summary::Time(int64_t i) const {
    return signal_ ? At(i).time : times_[static_cast<size_t>(i)];
}

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
    const int64_t first =
        std::lower_bound(firstTimes_.begin() + g, firstTimes_.begin() + h, t) - firstTimes_.begin();
    const int64_t from = std::max(lo + 1, first > 0 ? (first - 1) * kFan : 0);
    return Bisect(std::min(from, count_), std::min(count_, first * kFan), t);
}

int64_t Waview_Summary::GroupAtOrAfter(int64_t from, int64_t t) const {
    const int64_t groups = GroupCount();
    if (from >= groups) return groups;
    from = std::max<int64_t>(from, 0);
    int64_t lo = from, hi = groups;
    const int64_t supers = static_cast<int64_t>(superFirst_.size());
    if (supers > 0 && firstTimes_[size_t(from)] < t) {
        // Gallop over the blocks of 256, then look among their 16 groups.
        int64_t k = std::min(from / kFan, supers - 1), step = 1, h = k + 1;
        if (superFirst_[size_t(k)] < t) {
            while (h < supers && superFirst_[size_t(h)] < t) {
                k = h;
                step *= 2;
                h = k + step;
            }
            h = std::min(h, supers);
            k = std::partition_point(superFirst_.begin() + k, superFirst_.begin() + h,
                                     [t](int64_t v) { return v < t; }) -
                superFirst_.begin();
            // Block k is the first not earlier than t: the group lies in block k - 1.
            lo = std::max(from, (k - 1) * kFan);
            hi = k < supers ? std::min(groups, k * kFan + 1) : groups;
        }
    }
    return std::partition_point(firstTimes_.begin() + lo, firstTimes_.begin() + hi,
                                [t](int64_t v) { return v < t; }) -
           firstTimes_.begin();
}

void Waview_Summary::BuildLevels() {
    levels_.clear();
    levelStates_.clear();
    superFirst_.clear();
    firstTimes_.clear();
    firstTimes_.reserve(size_t((count_ + kFan - 1) / kFan));
    for (int64_t i = 0; i < count_; i += kFan) firstTimes_.push_back(Time(i));
    for (int64_t i = 0; i + kFan * kFan <= count_; i += kFan * kFan) superFirst_.push_back(Time(i));
    if (count_ < kFan) return;
    std::vector<Node> level(static_cast<size_t>(count_ / kFan));
    std::vector<uint32_t> states(level.size());
    for (size_t b = 0; b < level.size(); ++b) {
        Waview_Extent e;
        for (int64_t i = int64_t(b) * kFan, end = i + kFan; i < end; ++i) e.Add(Value(i), States(i));
        level[b] = {e.lo, e.hi};
        states[b] = e.states;
    }
    levels_.push_back(std::move(level));
    levelStates_.push_back(std::move(states));
    while (levels_.back().size() >= size_t(kFan)) {
        const std::vector<Node>& below = levels_.back();
        const std::vector<uint32_t>& belowStates = levelStates_.back();
        std::vector<Node> up(below.size() / kFan);
        std::vector<uint32_t> upStates(up.size());
        for (size_t b = 0; b < up.size(); ++b) {
            Node n = below[b * kFan];
            uint32_t st = 0;
            for (size_t k = 0; k < size_t(kFan); ++k) {
                const Node& c = below[b * kFan + k];
                n.lo = std::min(n.lo, c.lo);
                n.hi = std::max(n.hi, c.hi);
                st |= belowStates[b * kFan + k];
            }
            up[b] = n;
            upStates[b] = st;
        }
        levels_.push_back(std::move(up));
        levelStates_.push_back(std::move(upStates));
    }
}

template <class Single, class Block>
void Waview_Summary::Walk(int64_t i, int64_t j, Single single, Block block) const {
    static_assert(kFan == 16, "blocks are found by shifts of 4 bits per level");
    i = std::max<int64_t>(i, 0);
    j = std::min(j, count_);
    const int levels = static_cast<int>(levels_.size());
    while (i < j) {
        // The largest aligned block that starts at i and fits.
        int k = -1;
        int shift = 0;
        while (k + 1 < levels) {
            const int next = shift + 4;
            const int64_t size = int64_t{1} << next;
            if ((i & (size - 1)) != 0 || i + size > j) break;
            ++k;
            shift = next;
        }
        if (k < 0) {
            single(i);
            ++i;
        } else {
            block(k, size_t(i >> shift));
            i += int64_t{1} << shift;
        }
    }
}

Waview_Extent Waview_Summary::Range(int64_t i, int64_t j) const {
    Waview_Extent r;
    Walk(
        i, j, [&](int64_t n) { r.Add(Value(n), States(n)); },
        [&](int k, size_t b) {
            const Node& n = levels_[size_t(k)][b];
            r.Add(Waview_Extent{n.lo, n.hi, levelStates_[size_t(k)][b]});
        });
    return r;
}

uint32_t Waview_Summary::StatesIn(int64_t i, int64_t j) const {
    uint32_t s = 0;
    Walk(
        i, j, [&](int64_t n) { s |= States(n); }, [&](int k, size_t b) { s |= levelStates_[size_t(k)][b]; });
    return s;
}

size_t Waview_Summary::Bytes() const {
    size_t n = times_.capacity() * sizeof(int64_t) + values_.capacity() * sizeof(double) +
               states_.capacity() + firstTimes_.capacity() * sizeof(int64_t);
    for (const auto& l : levels_) n += l.capacity() * sizeof(Node);
    for (const auto& l : levelStates_) n += l.capacity() * sizeof(uint32_t);
    n += superFirst_.capacity() * sizeof(int64_t);
    return n;
}

const Waview_Summary* Waview_SummaryCache::Of(const Waview_Hierarchy& row) {
    const bool composite = row.GetKind() == kRowComposite;
    const Waview_Signal* signal = composite ? nullptr : row.GetSignal();
    if (!composite && !signal) return nullptr;
    Held& h = held_[composite ? static_cast<const void*>(&row) : signal];
    h.lastUse = ++uses_;
    if (h.summary) return h.summary.get();
    if (composite) {
        h.summary = std::make_unique<Waview_Summary>(static_cast<const Waview_CompositeHierarchy&>(row));
        h.bytes = h.summary->Bytes();
    } else {
        const bool lazy = signal->IsLazy();
        h.summary = std::make_unique<Waview_Summary>(*signal);
        h.bytes = h.summary->Bytes();
        if (lazy && !signal->IsLazy()) {
            // Painting owns these entries, so their memory joins the budget.
            h.computed = const_cast<Waview_Signal*>(signal);
            h.bytes += size_t(signal->BlockCount()) * sizeof(EntryBlock);
        }
    }
    bytes_ += h.bytes;
    return h.summary.get();
}

void Waview_SummaryCache::Clear() {
    held_.clear();
    bytes_ = 0;
}

void Waview_SummaryCache::Trim(size_t budget) {
    const uint64_t inView = usesAtTrim_;
    usesAtTrim_ = uses_;
    if (bytes_ <= budget) return;
    std::vector<decltype(held_)::iterator> old;
    for (auto it = held_.begin(); it != held_.end(); ++it)
        if (it->second.lastUse <= inView) old.push_back(it);
    std::sort(old.begin(), old.end(),
              [](const auto& a, const auto& b) { return a->second.lastUse < b->second.lastUse; });
    for (const auto& it : old) {
        if (bytes_ <= budget) break;
        bytes_ -= it->second.bytes;
        Waview_Signal* computed = it->second.computed;
        held_.erase(it); // the summary reads the entries: it goes first
        if (computed && !computed->IsLazy()) computed->Release();
    }
}
