#pragma once
// Paint summaries: for one row, the times of its changes and, over blocks
// of 16, 256, 4096 ... changes, the smallest and largest value and the
// states seen. A painter finds what any pixel column holds in a few steps,
// however many changes fall into it, so a frame costs what its pixels cost.
//
// This and the painter are the only places that read a signal's entries
// directly; a change of the store touches them and nothing else.
#include <cstdint>
#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "waview/model.h"

// What a run of changes holds.
struct Waview_Extent {
    double lo = std::numeric_limits<double>::infinity();
    double hi = -std::numeric_limits<double>::infinity();
    uint32_t states = 0; // state rows: bit = code (31 for odd codes); buses: kBusX, kBusZ
    bool Empty() const { return lo > hi; }
    void Add(double v, uint32_t s) {
        if (v < lo) lo = v;
        if (v > hi) hi = v;
        states |= s;
    }
    void Add(const Waview_Extent& e) {
        if (e.lo < lo) lo = e.lo;
        if (e.hi > hi) hi = e.hi;
        states |= e.states;
    }
};

class Waview_Summary {
public:
    enum class Kind { State, Integer, Real, Bus };
    static constexpr uint32_t kBusX = 1; // a bus value with an unknown bit
    static constexpr uint32_t kBusZ = 2; // ... with a high-impedance bit (and no unknown)

    // A scalar signal's changes, read where they lie (nothing copied).
    explicit Waview_Summary(const Waview_Signal& s);
    // A bus or scope: the changes of every leaf below the row merged in time,
    // a change kept only where the value of the whole row changes (and the
    // closing one, which ends its trace). The value is the unsigned value of
    // the leaves' bits, the first leaf the most significant.
    explicit Waview_Summary(const Waview_CompositeHierarchy& row);

    Kind GetKind() const { return kind_; }
    int64_t Count() const { return count_; }
    int64_t Time(int64_t i) const;
    double Value(int64_t i) const;
    uint32_t States(int64_t i) const;
    // First index whose time is not earlier than t; Count() when none.
    int64_t FirstAtOrAfter(int64_t t) const;
    // The same, searching forward from `from` (whose time is earlier than t):
    // the next pixel column's first change is usually near.
    int64_t NextAtOrAfter(int64_t from, int64_t t) const;
    // Changes come in groups of 16 (the last one may be shorter). A painter
    // crossing a busy stretch steps from group to group and reads only the
    // summaries, never the changes themselves.
    static constexpr int64_t kGroup = 16;
    int64_t GroupCount() const { return static_cast<int64_t>(levels_.empty() ? 0 : levels_[0].size()); }
    // First whole group at or after `from` whose first change is not earlier
    // than t; GroupCount() when none.
    int64_t GroupAtOrAfter(int64_t from, int64_t t) const;
    // Asks the memory for change i ahead of its use: a painter that walks
    // columns knows roughly where the next one starts.
    void Prefetch(int64_t i) const {
        if (i < 0 || i >= count_) return;
        if (signal_) {
            const ChangeEntry* e = &At(i & ~int64_t(3));
            __builtin_prefetch(e);
            __builtin_prefetch(e + 4);
        } else {
            __builtin_prefetch(&times_[size_t(i)]);
        }
    }
    // Values and states of the changes [i, j).
    Waview_Extent Range(int64_t i, int64_t j) const;
    // Only the states of [i, j) (cheaper: the values are not read).
    uint32_t StatesIn(int64_t i, int64_t j) const;
    // Leaves of a bus (its bits).
    int Width() const { return width_; }
    size_t Bytes() const;

private:
    void BuildLevels();
    // The merge of leaves that all read one dump's store; false when some
    // do not (they are merged from their entries then).
    bool MergeFromStore(const std::vector<const Waview_Signal*>& leaves);
    // First index in [lo, hi) whose time is not earlier than t (hi if none).
    int64_t Bisect(int64_t lo, int64_t hi, int64_t t) const;
    const ChangeEntry& At(int64_t i) const {
        return signal_->blocks[static_cast<size_t>(i / kBlockSize)]->entries[i % kBlockSize];
    }
    struct Node {
        double lo, hi;
    };
    // Visits [i, j) as single changes and the largest whole blocks.
    template <class Single, class Block>
    void Walk(int64_t i, int64_t j, Single single, Block block) const;
    Kind kind_ = Kind::State;
    const Waview_Signal* signal_ = nullptr; // scalar rows
    int64_t count_ = 0;
    int width_ = 1;
    std::vector<int64_t> times_; // buses
    std::vector<double> values_;
    std::vector<uint8_t> states_;
    std::vector<std::vector<Node>> levels_; // levels_[k]: blocks of 16^(k+1) changes
    // The states of the same blocks apart from their values: digital
    // painting reads only these, so a column touches little memory.
    std::vector<std::vector<uint32_t>> levelStates_;
    // The first time of every block of 256, side by side.
    std::vector<int64_t> superFirst_;
    // The time of every 16th change, side by side: searches run here, in
    // memory they share, and touch the changes only for the last few steps.
    std::vector<int64_t> firstTimes_;
};

// Summaries of a document's rows, built on first need and dropped with the
// document. Rows sharing a signal share its summary.
class Waview_SummaryCache {
public:
    const Waview_Summary* Of(const Waview_Hierarchy& row);
    void Clear();
    // Drops the summaries used longest ago, with the entries their signals
    // computed from a dump's store for them, until at most `budget` bytes are
    // held; summaries used since the last trim stay (they are in view), so a
    // view never rebuilds what it shows. Call it only between frames: it frees
    // what painters read.
    void Trim(size_t budget);
    // Summaries and the entries computed for them.
    size_t Bytes() const { return bytes_; }

private:
    struct Held {
        std::unique_ptr<Waview_Summary> summary;
        // A store signal whose entries were computed for this summary.
        Waview_Signal* computed = nullptr;
        size_t bytes = 0;
        uint64_t lastUse = 0;
    };
    // Keyed by the signal of a scalar row (rows sharing a signal share its
    // summary) and by the row itself for buses and scopes.
    std::unordered_map<const void*, Held> held_;
    uint64_t uses_ = 0;
    uint64_t usesAtTrim_ = 0;
    size_t bytes_ = 0;
};
