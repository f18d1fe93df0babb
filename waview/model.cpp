#include "waview/model.h"

#include "waview/store.h"

#include <algorithm>
#include <cstring>
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
    if (lazy_) Materialize();
    if (lastBlock < 0) return;
    const uint64_t bits = blocks[lastBlock]->entries[lastPos].bits;
    NextSlot(t).bits = bits;
}

void Waview_Signal::BindStore(const StoreSource& source) {
    source_ = source;
    Release();
}

void Waview_Signal::Release() {
    if (!source_.store) return;
    blocks.clear();
    blockStart_.clear();
    own_.reset();
    tail_ = nullptr;
    lastPos = kBlockSize - 1;
    lastBlock = -1;
    minEntry = maxEntry = nullptr;
    cursor = EntryCursor{};
    lazy_ = true;
}

uint64_t Waview_Signal::StoreValue(size_t n, int32_t bit) const {
    const WaveStoreSignal& ss = source_.store->signals[source_.signal];
    switch (ss.kind) {
        case WaveStoreSignal::kReal: {
            const double d = ss.Real(n);
            uint64_t b;
            std::memcpy(&b, &d, 8);
            return b;
        }
        case WaveStoreSignal::kString:
            return ss.StringIndex(n);
        default:
            break;
    }
    if (bit >= 0) return ss.Digit(n, uint32_t(bit));
    // The low 64 digits as an unsigned number; anything but 1 counts as 0.
    uint64_t v = 0;
    const uint32_t w = ss.width, low = std::min<uint32_t>(w, 64);
    for (uint32_t k = 0; k < low; ++k)
        if (ss.Digit(n, w - 1 - k) == kDigit1) v |= uint64_t(1) << k;
    return v;
}

template <class StateType>
uint64_t Waview_StateSignalT<StateType>::StoreValue(size_t n, int32_t bit) const {
    const WaveStoreSignal& ss = this->source_.store->signals[this->source_.signal];
    const uint8_t d = ss.Digit(n, bit >= 0 ? uint32_t(bit) : 0);
    switch (StateType::GetTypeCode()) {
        case kTypeBit:
            return d == kDigit1 ? 1 : 0;
        case kTypeVerilog:
            return d <= kDigitX ? uint64_t(d) : uint64_t(kDigitX);
        default: {
            // Codes of "UX01ZWLH-" by store digit "01ZXUWLH-".
            static const uint8_t kNine[] = {2, 3, 4, 1, 0, 5, 6, 7, 8};
            return d <= kDigitDash ? kNine[d] : 1;
        }
    }
}

void Waview_Signal::Materialize() const {
    auto* self = const_cast<Waview_Signal*>(this);
    self->lazy_ = false;
    if (!source_.store || source_.signal >= source_.store->signals.size()) return;
    const WaveStore& st = *source_.store;
    const WaveStoreSignal& ss = st.signals[source_.signal];
    const size_t n = ss.Count();
    const int32_t bit = source_.bit;
    // Pass one counts the changes this signal sees, pass two writes them.
    int64_t count = 0;
    uint64_t prev = 0;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t v = StoreValue(i, bit);
        if (count == 0 || v != prev) ++count, prev = v;
    }
    if (count == 0) return;
    const int64_t total = count + 1 + (source_.closeAt != -1 ? 1 : 0);
    const int64_t nblocks = (total + kBlockSize - 1) / kBlockSize;
    self->own_ = std::make_unique<EntryBlock[]>(size_t(nblocks));
    EntryBlock* own = self->own_.get();
    self->blocks.resize(size_t(nblocks));
    for (int64_t b = 0; b < nblocks; ++b) self->blocks[size_t(b)] = &own[b];
    int64_t k = 1; // slot 0 stays the sentinel
    auto put = [&](int64_t t, uint64_t v) {
        ChangeEntry& e = own[k / kBlockSize].entries[k % kBlockSize];
        e.time = t;
        e.bits = v;
        ++k;
    };
    bool first = true;
    for (size_t i = 0; i < n; ++i) {
        const uint64_t v = StoreValue(i, bit);
        if (first || v != prev) put(st.times[ss.times[i]], v), prev = v, first = false;
    }
    if (source_.closeAt != -1) put(source_.closeAt, prev);
    self->lastBlock = int32_t((total - 1) / kBlockSize);
    self->lastPos = int32_t((total - 1) % kBlockSize);
    self->tail_ = self->blocks.back();
    self->blockStart_.resize(size_t(nblocks));
    for (int64_t b = 0; b < nblocks; ++b) self->blockStart_[size_t(b)] = own[b].entries[0].time;
    self->ComputeMinMax();
}

std::string& Waview_Signal::StoreValueText(std::string& out, int64_t t, int radix) const {
    const WaveStore& st = *source_.store;
    const WaveStoreSignal& ss = st.signals[source_.signal];
    // Same answers as the computed entries: nothing after the closing time,
    // the sentinel's value 0 up to and at the first change.
    if (ss.Count() == 0 || (source_.closeAt != -1 && t > source_.closeAt) ||
        (source_.closeAt == -1 && t > st.times[ss.times.back()]))
        return Type().FormatEntry(out, nullptr, radix);
    const int64_t n = st.ChangeBefore(source_.signal, t);
    ChangeEntry e;
    e.time = n < 0 ? -1 : st.times[ss.times[size_t(n)]];
    e.bits = n < 0 ? 0 : StoreValue(size_t(n), source_.bit);
    return Type().FormatEntry(out, &e, radix);
}

const ChangeEntry& Waview_Signal::Entry(int64_t n) const {
    if (lazy_) Materialize();
    if (n < 0 || n >= EntryCount()) throw std::out_of_range("entry index");
    return blocks[n / kBlockSize]->entries[n % kBlockSize];
}

const EntryBlock& Waview_Signal::Block(int32_t b) const {
    if (lazy_) Materialize();
    if (b < 0 || b >= BlockCount()) throw std::out_of_range("block index");
    return *blocks[b];
}

const ChangeEntry* Waview_Signal::LastEntry() const {
    if (lazy_) Materialize();
    if (lastBlock < 0) return nullptr;
    return &blocks[lastBlock]->entries[lastPos];
}

int64_t Waview_Signal::FirstNotBefore(int64_t t) const {
    if (lazy_) Materialize();
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
    if (lazy_) Materialize();
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
    if (lazy_) Materialize();
    EntryCursor c;
    if (EntryCount() > 0) c.block = 0;
    return c;
}

const ChangeEntry* Waview_Signal::Iterate(EntryCursor& c) const {
    if (lazy_) Materialize();
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

void Waview_StringSignal::ComputeMinMax() {
    MinMaxBy([](const ChangeEntry& a, const ChangeEntry& b) { return a.Int() < b.Int(); });
}

std::string& Waview_StringSignal::FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const {
    const WaveStore* st = source_.store;
    if (!entry || !st || entry->time == -1 || entry->bits >= st->strings.size())
        return Waview_IntType::FormatEntry(out, entry, radix);
    out = " " + st->strings[size_t(entry->bits)] + " ";
    return out;
}

template class Waview_StateSignalT<Waview_BitType>;
template class Waview_StateSignalT<Waview_VerilogType>;
template class Waview_StateSignalT<Waview_StdLogicType>;

bool Waview_Signal::SaveData(int64_t t) {
    // A signal computed only for saving is dropped again afterwards.
    const bool wasLazy = lazy_;
    if (lazy_) Materialize();
    if (t != -1) AppendClosing(t);
    FileManager& f = *owner;
    f.Write(&lastPos, 4);
    f.Write(&lastBlock, 4);
    for (int32_t b = 0; b <= lastBlock; ++b) f.Write(blocks[b], sizeof(EntryBlock));
    if (wasLazy) Release();
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
    if (lazy_) return StoreValueText(out, t, radix);
    return Type().FormatEntry(out, ValueAt(t), radix);
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

Waview_Signal* Waview_FileManager::NewStringSignal() {
    signals.push_back(std::make_unique<Waview_StringSignal>(this, signalCount));
    ++signalCount;
    return signals.back().get();
}

void Waview_FileManager::TakeFrom(Waview_FileManager& from) {
    if (&from == this) return;
    Clear();
    signals = std::move(from.signals);
    rows = std::move(from.rows);
    chunks_ = std::move(from.chunks_);
    store_ = std::move(from.store_);
    signalCount = from.signalCount;
    rowCount = from.rowCount;
    endTime = from.endTime;
    timescaleExponent = from.timescaleExponent;
    chunkUsed_ = from.chunkUsed_;
    chunkSize_ = from.chunkSize_;
    for (auto& s : signals) s->owner = this;
    for (auto& r : rows) r->owner = this;
    from.signals.clear();
    from.rows.clear();
    from.Clear();
}

void Waview_FileManager::Clear() {
    rows.clear();
    signals.clear();
    store_.reset();
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
