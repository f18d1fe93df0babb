#include "waview/model.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

// --- FileManager -----------------------------------------------------------

FileManager::~FileManager() { Close(); }

bool FileManager::OpenForWriting(const std::string& path) {
    Close();
    fileName_ = path;
    binary_ = true;
    file_ = std::fopen(path.c_str(), "wb");
    failed_ = file_ == nullptr;
    return !failed_;
}

bool FileManager::OpenForReading(const std::string& path) {
    Close();
    fileName_ = path;
    binary_ = true;
    file_ = std::fopen(path.c_str(), "rb");
    failed_ = file_ == nullptr;
    return !failed_;
}

bool FileManager::Write(const void* data, size_t n) {
    if (!file_ || failed_) return failed_ = true, false;
    if (std::fwrite(data, 1, n, file_) != n) failed_ = true;
    return !failed_;
}

bool FileManager::Read(void* data, size_t n) {
    if (!file_ || failed_) return failed_ = true, false;
    if (std::fread(data, 1, n, file_) != n) failed_ = true;
    return !failed_;
}

bool FileManager::Close() {
    if (!file_) return !failed_;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

// --- signals ---------------------------------------------------------------

Waview_Signal::~Waview_Signal() = default;

ChangeEntry& Waview_Signal::NewBlockSlot(int64_t t) {
    if (lastBlock < 0) {
        // The leading sentinel {-1, 0} in slot 0 is the value before the first change.
        blocks.push_back(owner->AllocBlock());
        blockStart_.push_back(-1);
        lastBlock = 0;
        lastPos = 1;
    } else {
        blocks.push_back(owner->AllocBlock());
        blockStart_.push_back(t);
        ++lastBlock;
        lastPos = 0;
    }
    tail_ = blocks.back();
    ChangeEntry& e = tail_->entries[lastPos];
    e.time = t;
    return e;
}

void Waview_Signal::AppendClosing(int64_t t) {
    if (lastBlock < 0) return;
    const uint64_t bits = blocks[lastBlock]->entries[lastPos].bits;
    NextSlot(t).bits = bits;
}

const ChangeEntry& Waview_Signal::Entry(int64_t n) const {
    if (n < 0 || n >= EntryCount()) throw std::out_of_range("entry index");
    return blocks[n / kBlockSize]->entries[n % kBlockSize];
}

const EntryBlock& Waview_Signal::Block(int32_t b) const {
    if (b < 0 || b >= BlockCount()) throw std::out_of_range("block index");
    return *blocks[b];
}

const ChangeEntry* Waview_Signal::LastEntry() const {
    if (lastBlock < 0) return nullptr;
    return &blocks[lastBlock]->entries[lastPos];
}

int64_t Waview_Signal::FirstNotBefore(int64_t t) const {
    // Same result as a binary search over all entries (signed times, first of
    // equal times), but over the block starts first and then inside one block.
    const int64_t count = EntryCount();
    if (count <= 0) return count;
    const int64_t k =
        std::lower_bound(blockStart_.begin(), blockStart_.begin() + lastBlock + 1, t) - blockStart_.begin();
    if (k == 0) return 0;
    const int64_t b = k - 1;
    const int32_t end = b == lastBlock ? lastPos + 1 : kBlockSize;
    const ChangeEntry* e = blocks[b]->entries;
    int32_t lo = 1, hi = end; // slot 0 is known to be earlier than t
    while (lo < hi) {
        const int32_t mid = (lo + hi) / 2;
        if (e[mid].time < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return b * kBlockSize + lo;
}

const EntryCursor* Waview_Signal::LowerBound(int64_t t) {
    const int64_t count = EntryCount();
    const int64_t hi = FirstNotBefore(t);
    if (count <= 0 || hi == count) return nullptr;
    cursor.slot = static_cast<int32_t>(hi % kBlockSize);
    cursor.block = static_cast<int32_t>(hi / kBlockSize);
    return &cursor;
}

const ChangeEntry* Waview_Signal::PreviousEntry(const EntryCursor* c) const {
    if (!c || !c->Valid()) return nullptr;
    const int64_t n = c->Index();
    if (n <= 0 || n > EntryCount()) return nullptr;
    return &blocks[(n - 1) / kBlockSize]->entries[(n - 1) % kBlockSize];
}

const ChangeEntry* Waview_Signal::ValueAt(int64_t t) const {
    const int64_t count = EntryCount();
    const int64_t hi = FirstNotBefore(t);
    if (count <= 0 || hi == count || hi == 0) return nullptr;
    return &blocks[(hi - 1) / kBlockSize]->entries[(hi - 1) % kBlockSize];
}

EntryCursor Waview_Signal::Begin() const {
    EntryCursor c;
    if (EntryCount() > 0) c.block = 0;
    return c;
}

const ChangeEntry* Waview_Signal::Iterate(EntryCursor& c) const {
    if (!c.Valid()) return nullptr;
    const int64_t n = c.Index();
    if (n >= EntryCount()) {
        c = EntryCursor{};
        return nullptr;
    }
    const ChangeEntry* e = &blocks[c.block]->entries[c.slot];
    if (n + 1 >= EntryCount()) {
        c = EntryCursor{};
    } else if (++c.slot == kBlockSize) {
        c.slot = 0;
        ++c.block;
    }
    return e;
}

template <class Less>
void Waview_Signal::MinMaxBy(Less less) {
    minEntry = maxEntry = nullptr;
    for (int32_t b = 0; b <= lastBlock; ++b) {
        const int32_t end = b == lastBlock ? lastPos + 1 : kBlockSize;
        for (int32_t s = 0; s < end; ++s) {
            const ChangeEntry* e = &blocks[b]->entries[s];
            if (e->time == -1) continue;
            if (!maxEntry || less(*maxEntry, *e)) maxEntry = e;
            if (!minEntry || less(*e, *minEntry)) minEntry = e;
        }
    }
}

void Waview_IntSignal::ComputeMinMax() {
    MinMaxBy([](const ChangeEntry& a, const ChangeEntry& b) { return a.Int() < b.Int(); });
}

void Waview_RealSignal::ComputeMinMax() {
    MinMaxBy([](const ChangeEntry& a, const ChangeEntry& b) { return a.Real() < b.Real(); });
}

template <class StateType>
void Waview_StateSignalT<StateType>::ComputeMinMax() {
    this->MinMaxBy([](const ChangeEntry& a, const ChangeEntry& b) { return a.State() < b.State(); });
}

template class Waview_StateSignalT<Waview_BitType>;
template class Waview_StateSignalT<Waview_VerilogType>;
template class Waview_StateSignalT<Waview_StdLogicType>;

bool Waview_Signal::SaveData(int64_t t) {
    if (t != -1) AppendClosing(t);
    FileManager& f = *owner;
    f.Write(&lastPos, 4);
    f.Write(&lastBlock, 4);
    for (int32_t b = 0; b <= lastBlock; ++b) f.Write(blocks[b], sizeof(EntryBlock));
    return !f.Failed();
}

bool Waview_Signal::LoadData() {
    FileManager& f = *owner;
    int32_t pos = 0, last = 0;
    if (!f.Read(&pos, 4) || !f.Read(&last, 4)) return false;
    if (pos < 0 || pos >= kBlockSize || last < -1) return false;
    if (last == -1 && pos != kBlockSize - 1) return false;
    blocks.clear();
    blockStart_.clear();
    lastPos = kBlockSize - 1;
    lastBlock = -1;
    // Blocks are read one by one so a lying count fails at the file's end
    // instead of reserving memory it names.
    for (int32_t b = 0; b <= last; ++b) {
        EntryBlock* block = owner->AllocBlock();
        if (!f.Read(block, sizeof(EntryBlock))) {
            blocks.clear();
            blockStart_.clear();
            return false;
        }
        blocks.push_back(block);
        blockStart_.push_back(block->entries[0].time);
    }
    lastPos = pos;
    lastBlock = last;
    tail_ = blocks.empty() ? nullptr : blocks.back();
    ComputeMinMax();
    return true;
}

std::string& Waview_Signal::ValueTextAt(std::string& out, int64_t t, int radix) {
    return Type().FormatEntry(out, ValueAt(t), radix);
}

// --- rows ------------------------------------------------------------------

Waview_Hierarchy::~Waview_Hierarchy() = default;

void Waview_Hierarchy::SetRadix(int32_t r) {
    radix = r;
    InvalidateValueText();
}

bool Waview_Hierarchy::SaveRow(FileManager& f) const {
    const int32_t kind = GetKind();
    const uint32_t len = static_cast<uint32_t>(std::min<size_t>(name.size(), kMaxRowName));
    f.Write(&kind, 4);
    f.Write(&len, 4);
    f.Write(name.data(), len);
    f.Write(&level, 4);
    f.Write(&order, 4);
    f.Write(&visible, 4);
    f.Write(&digital, 4);
    return !f.Failed();
}

bool Waview_Hierarchy::LoadRow(FileManager& f, std::string* error) {
    uint32_t len = 0;
    if (!f.Read(&len, 4)) return false;
    if (len > kMaxRowName) {
        if (error) *error = "row name of " + std::to_string(len) + " bytes is too long";
        return false;
    }
    name.assign(len, '\0');
    if (len && !f.Read(name.data(), len)) return false;
    return f.Read(&level, 4) && f.Read(&order, 4) && f.Read(&visible, 4) && f.Read(&digital, 4);
}

Waview_Signal* Waview_ScalarHierarchy::GetSignal() const {
    return owner ? owner->Signal(signalIndex) : nullptr;
}

const ChangeEntry* Waview_ScalarHierarchy::Seek(int64_t t) {
    Waview_Signal* s = GetSignal();
    cursor = EntryCursor{};
    if (!s) return nullptr;
    const EntryCursor* c = s->LowerBound(t);
    if (!c) return nullptr;
    cursor = *c;
    return s->PreviousEntry(&cursor);
}

const ChangeEntry* Waview_ScalarHierarchy::CurrentEntry() {
    Waview_Signal* s = GetSignal();
    if (!s || !cursor.Valid()) return nullptr;
    return s->PreviousEntry(&cursor);
}

const ChangeEntry* Waview_ScalarHierarchy::NextTransition(int64_t t) {
    Waview_Signal* s = GetSignal();
    if (!s || !cursor.Valid()) return nullptr;
    const ChangeEntry* cur = s->PreviousEntry(&cursor);
    if (cur && cur->time > t) return cur;
    return s->Iterate(cursor);
}

bool Waview_ScalarHierarchy::SaveRow(FileManager& f) const {
    Waview_Hierarchy::SaveRow(f);
    return f.Write(&signalIndex, 4);
}

bool Waview_ScalarHierarchy::LoadRow(FileManager& f, std::string* error) {
    return Waview_Hierarchy::LoadRow(f, error) && f.Read(&signalIndex, 4);
}

std::string& Waview_ScalarHierarchy::ValueTextAt(std::string& out, int64_t t) {
    if (t != valueTime || valueText.empty()) {
        valueTime = t;
        if (Waview_Signal* s = GetSignal())
            s->ValueTextAt(valueText, t, radix);
        else
            valueText = " ";
    }
    out = valueText;
    return out;
}

Waview_Hierarchy* Waview_CompositeHierarchy::ChildAt(int32_t i) const {
    if (i < 0 || i >= static_cast<int32_t>(children.size())) throw std::out_of_range("child index");
    return owner->Row(children[i]);
}

int32_t Waview_CompositeHierarchy::GetDepth() const {
    int32_t depth = level;
    for (int32_t c : children)
        if (Waview_Hierarchy* r = owner->Row(c)) depth = std::max(depth, r->GetDepth());
    return depth;
}

template <class Op>
const ChangeEntry* Waview_CompositeHierarchy::Earliest(Op op) {
    const ChangeEntry* best = nullptr;
    for (int32_t c : children) {
        Waview_Hierarchy* r = owner->Row(c);
        if (!r) continue;
        const ChangeEntry* e = op(*r);
        if (e && (!best || e->time < best->time)) best = e;
    }
    return best;
}

const ChangeEntry* Waview_CompositeHierarchy::Seek(int64_t t) {
    return Earliest([t](Waview_Hierarchy& r) { return r.Seek(t); });
}

const ChangeEntry* Waview_CompositeHierarchy::CurrentEntry() {
    return Earliest([](Waview_Hierarchy& r) { return r.CurrentEntry(); });
}

const ChangeEntry* Waview_CompositeHierarchy::NextTransition(int64_t t) {
    return Earliest([t](Waview_Hierarchy& r) { return r.NextTransition(t); });
}

void Waview_CompositeHierarchy::DrawBusShape(const SegmentView& view, const RowRect& rect, SegmentSink& dc,
                                             int64_t end) {
    const int64_t top = rect.top + 2, bottom = rect.bottom - 2;
    const ChangeEntry* e = Seek(view.start);
    // Ends: every NextTransition call either advances a child's cursor or
    // returns a later time.
    while (e) {
        const int64_t t = e->time;
        const int64_t x = view.X(std::max<int64_t>(t, view.start));
        const ChangeEntry* next = NextTransition(t);
        while (next && next->time == t) next = NextTransition(t); // bits changing together
        const int64_t x2 = next ? view.X(next->time) : view.X(end);
        if (t >= view.start) {
            dc.Line(x - 1, top, x + 1, bottom, kBusColour);
            dc.Line(x - 1, bottom, x + 1, top, kBusColour);
        }
        dc.Line(x + 1, top, x2 - 1, top, kBusColour);
        dc.Line(x + 1, bottom, x2 - 1, bottom, kBusColour);
        if (!next || next->time >= end) break;
        e = next;
    }
}

bool Waview_CompositeHierarchy::SaveRow(FileManager& f) const {
    Waview_Hierarchy::SaveRow(f);
    const int32_t count = static_cast<int32_t>(children.size());
    f.Write(&expanded, 4);
    f.Write(&count, 4);
    if (count) f.Write(children.data(), sizeof(int32_t) * children.size());
    return !f.Failed();
}

bool Waview_CompositeHierarchy::LoadRow(FileManager& f, std::string* error) {
    int32_t count = 0;
    if (!Waview_Hierarchy::LoadRow(f, error) || !f.Read(&expanded, 4) || !f.Read(&count, 4)) return false;
    if (count < 0) {
        if (error) *error = "negative child count";
        return false;
    }
    children.clear();
    for (int32_t i = 0; i < count; ++i) {
        int32_t c = 0;
        if (!f.Read(&c, 4)) return false;
        children.push_back(c);
    }
    return true;
}

std::string& Waview_CompositeHierarchy::ValueTextAt(std::string& out, int64_t t) {
    if (t == valueTime && !valueText.empty()) {
        out = valueText;
        return out;
    }
    valueTime = t;
    std::string text, child;
    for (int32_t c : children)
        if (Waview_Hierarchy* r = owner->Row(c)) text += r->ValueTextAt(child, t);
    // 64-bit: a level read from a file may be anything an int holds.
    if (int64_t{GetDepth()} == int64_t{level} + 1) {
        char buf[48];
        switch (radix) {
            case kRadixBinary:
                text = " " + text + "b";
                break;
            case kRadixHex:
                text = " " + HexDigits(UnsignedOfBits(text));
                break;
            case kRadixUnsigned:
                std::snprintf(buf, sizeof buf, " %lldu ", static_cast<long long>(UnsignedOfBits(text)));
                text = buf;
                break;
            case kRadixSigned:
                std::snprintf(buf, sizeof buf, " %lldd ", static_cast<long long>(SignedOfBits(text)));
                text = buf;
                break;
            default:
                break;
        }
    }
    valueText = text;
    out = valueText;
    return out;
}

// --- document --------------------------------------------------------------

Waview_FileManager::~Waview_FileManager() { Clear(); }

Waview_Signal* Waview_FileManager::NewSignal(int32_t typeCode) {
    std::unique_ptr<Waview_Signal> s;
    switch (typeCode) {
        case kTypeInteger:
            s = std::make_unique<Waview_IntSignal>(this, signalCount);
            break;
        case kTypeReal:
            s = std::make_unique<Waview_RealSignal>(this, signalCount);
            break;
        case kTypeBit:
            s = std::make_unique<Waview_BitSignal>(this, signalCount);
            break;
        case kTypeVerilog:
            s = std::make_unique<Waview_VerilogSignal>(this, signalCount);
            break;
        case kTypeStdLogic:
            s = std::make_unique<Waview_StdLogicSignal>(this, signalCount);
            break;
        default:
            return nullptr;
    }
    signals.push_back(std::move(s));
    ++signalCount;
    return signals.back().get();
}

Waview_ScalarHierarchy* Waview_FileManager::NewScalarRow() {
    rows.push_back(std::make_unique<Waview_ScalarHierarchy>(this, rowCount++));
    return static_cast<Waview_ScalarHierarchy*>(rows.back().get());
}

Waview_CompositeHierarchy* Waview_FileManager::NewCompositeRow() {
    rows.push_back(std::make_unique<Waview_CompositeHierarchy>(this, rowCount++));
    return static_cast<Waview_CompositeHierarchy*>(rows.back().get());
}

Waview_Signal* Waview_FileManager::Signal(int32_t i) const {
    return i >= 0 && i < signalCount ? signals[i].get() : nullptr;
}

Waview_Hierarchy* Waview_FileManager::Row(int32_t i) const {
    return i >= 0 && i < rowCount ? rows[i].get() : nullptr;
}

bool Waview_FileManager::CloseAllSignals(int64_t t) {
    bool ok = true;
    for (auto& s : signals) ok = s->SaveData(t) && ok;
    return ok;
}

bool Waview_FileManager::ComputeEndTime() {
    endTime = -1;
    for (auto& s : signals) {
        if (!s->LoadData()) return false;
        if (const ChangeEntry* e = s->LastEntry()) endTime = std::max(endTime, e->time);
    }
    return true;
}

EntryBlock* Waview_FileManager::AllocBlock() {
    if (chunkUsed_ == chunkSize_) {
        // Chunks grow with the document (up to 1 MiB) so small documents stay small.
        chunkSize_ = std::min<size_t>(2048, std::max<size_t>(8, chunkSize_ * 2));
        chunks_.push_back(std::make_unique<EntryBlock[]>(chunkSize_));
        chunkUsed_ = 0;
    }
    return &chunks_.back()[chunkUsed_++];
}

void Waview_FileManager::Clear() {
    rows.clear();
    signals.clear();
    chunks_.clear();
    chunkUsed_ = chunkSize_ = 0;
    signalCount = rowCount = 0;
    timescaleExponent = 0;
}

std::vector<int32_t> Waview_FileManager::TopRows() const {
    std::vector<char> isChild(rowCount, 0);
    for (auto& r : rows)
        if (r->GetKind() == kRowComposite)
            for (int32_t c : static_cast<Waview_CompositeHierarchy&>(*r).children)
                if (c >= 0 && c < rowCount) isChild[c] = 1;
    std::vector<int32_t> top;
    for (int32_t i = 0; i < rowCount; ++i)
        if (!isChild[i]) top.push_back(i);
    return top;
}
