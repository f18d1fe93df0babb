#pragma once
// Waveform document: signals storing time-ordered value changes in fixed
// blocks of 32 entries, and display rows that refer to signals and to each
// other by index.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "waview/types.h"

inline constexpr int kBlockSize = 32;

struct EntryBlock {
    ChangeEntry entries[kBlockSize]; // default-initialised to unused slots
};
static_assert(sizeof(EntryBlock) == 512);

// Position of an entry: slot in block and block index; block -1 is none.
struct EntryCursor {
    int32_t slot = 0;
    int32_t block = -1;
    bool Valid() const { return block >= 0; }
    int64_t Index() const { return int64_t(block) * kBlockSize + slot; }
    bool operator==(const EntryCursor&) const = default;
};

class Waview_FileManager;
struct WaveStore;

// Where a signal imported from a dump finds its changes: a signal of the
// compact store, or one bit of it (0 = most significant), closed at closeAt.
struct StoreSource {
    const WaveStore* store = nullptr;
    uint32_t signal = 0;
    int32_t bit = -1; // -1: the whole value
    int64_t closeAt = -1;
};

// Binary file with a sticky failed state; reads report short reads.
class FileManager {
public:
    FileManager() = default;
    FileManager(const FileManager&) = delete;
    FileManager& operator=(const FileManager&) = delete;
    virtual ~FileManager();
    bool OpenForWriting(const std::string& path);
    bool OpenForReading(const std::string& path);
    bool Write(const void* data, size_t n);
    bool Read(void* data, size_t n); // false on a short read
    bool Close();                    // false when any write failed
    bool Failed() const { return failed_; }
    const std::string& FileName() const { return fileName_; }
    bool IsBinary() const { return binary_; }

private:
    std::FILE* file_ = nullptr;
    std::string fileName_;
    bool binary_ = true;
    bool failed_ = false;
};

class Waview_Signal {
public:
    Waview_Signal(Waview_FileManager* owner, int32_t index) : index(index), owner(owner) {}
    Waview_Signal(const Waview_Signal&) = delete;
    Waview_Signal& operator=(const Waview_Signal&) = delete;
    virtual ~Waview_Signal();

    virtual int32_t GetTypeCode() const = 0;
    virtual void AfterTypeWritten() {}
    virtual void AfterConstructedFromFile() {}
    // Closes at t (unless -1) and writes lastPos, lastBlock and the blocks.
    virtual bool SaveData(int64_t t);
    virtual bool LoadData();
    virtual std::string& ValueTextAt(std::string& out, int64_t t, int radix);
    virtual void ComputeMinMax() = 0;

    const Waview_Type& Type() const { return *AsType(); }

    void AppendState(int64_t t, int32_t code) { NextSlot(t).SetState(code); }
    void AppendInteger(int64_t t, int64_t value) { NextSlot(t).SetInt(value); }
    void AppendReal(int64_t t, double value) { NextSlot(t).SetReal(value); }
    void AppendClosing(int64_t t);

    // First entry not earlier than t; sets and returns the signal's cursor.
    const EntryCursor* LowerBound(int64_t t);
    // The entry just before the cursor, or null (none cursor, entry 0).
    const ChangeEntry* PreviousEntry(const EntryCursor* cursor) const;
    // Value in effect at t: the last change strictly earlier than t.
    const ChangeEntry* ValueAt(int64_t t) const;
    // Returns the entry at c and advances c; c becomes none past the end.
    const ChangeEntry* Iterate(EntryCursor& c) const;
    EntryCursor Begin() const;

    int64_t EntryCount() const {
        if (lazy_) [[unlikely]]
            Materialize();
        return int64_t(lastBlock) * kBlockSize + lastPos + 1;
    }
    const ChangeEntry& Entry(int64_t n) const;
    const ChangeEntry* LastEntry() const;
    const EntryBlock& Block(int32_t b) const;
    int32_t BlockCount() const {
        if (lazy_) [[unlikely]]
            Materialize();
        return static_cast<int32_t>(blocks.size());
    }

    // Imported signals keep no entries until something asks for them: then
    // they are computed from the store (the bits of a bus only where that
    // bit changes) and can be dropped again with Release.
    void BindStore(const StoreSource& source);
    bool IsLazy() const { return lazy_; }
    bool HasStore() const { return source_.store != nullptr; }
    const StoreSource& Source() const { return source_; }
    void Materialize() const;
    void Release();

    int32_t index = -1;
    Waview_FileManager* owner = nullptr;
    int32_t lastPos = kBlockSize - 1;
    int32_t lastBlock = -1;
    int32_t blockSize = kBlockSize;
    std::vector<EntryBlock*> blocks; // owned by the document's block pool
    const ChangeEntry* minEntry = nullptr;
    const ChangeEntry* maxEntry = nullptr;
    EntryCursor cursor;

protected:
    friend class Waview_Summary; // merges a bus's bits straight from the store
    virtual const Waview_Type* AsType() const = 0;
    // The entry value of store change n (its digit `bit`, or the whole value).
    virtual uint64_t StoreValue(size_t n, int32_t bit) const;
    // Value text at t answered from the store, without computing entries.
    std::string& StoreValueText(std::string& out, int64_t t, int radix) const;
    StoreSource source_;
    mutable bool lazy_ = false;
    std::unique_ptr<EntryBlock[]> own_; // entries computed from the store
    ChangeEntry& NextSlot(int64_t t) {
        if (++lastPos == kBlockSize || lastBlock < 0) [[unlikely]]
            return NewBlockSlot(t);
        ChangeEntry& e = tail_->entries[lastPos];
        e.time = t;
        return e;
    }
    EntryBlock* tail_ = nullptr; // blocks.back(), kept here to spare a memory access per append
    ChangeEntry& NewBlockSlot(int64_t t);
    // Index of the first entry whose time is not earlier than t (count if none).
    int64_t FirstNotBefore(int64_t t) const;
    // Time of slot 0 of every block, contiguous, so a search touches one block.
    std::vector<int64_t> blockStart_;
    template <class Less>
    void MinMaxBy(Less less);
};

class Waview_IntSignal : public Waview_Signal, public Waview_IntType {
public:
    using Waview_Signal::Waview_Signal;
    int32_t GetTypeCode() const override { return kTypeInteger; }
    void ComputeMinMax() override;

protected:
    const Waview_Type* AsType() const override { return this; }
};

class Waview_RealSignal : public Waview_Signal, public Waview_RealType {
public:
    using Waview_Signal::Waview_Signal;
    int32_t GetTypeCode() const override { return kTypeReal; }
    void ComputeMinMax() override;

protected:
    const Waview_Type* AsType() const override { return this; }
};

// String values of a dump: an integer signal (its nearest type in the file)
// whose entries index the store's string table.
class Waview_StringSignal : public Waview_Signal, public Waview_IntType {
public:
    using Waview_Signal::Waview_Signal;
    int32_t GetTypeCode() const override { return kTypeInteger; }
    void ComputeMinMax() override;
    std::string& FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const override;

protected:
    const Waview_Type* AsType() const override { return this; }
};

template <class StateType>
class Waview_StateSignalT : public Waview_Signal, public StateType {
public:
    using Waview_Signal::Waview_Signal;
    int32_t GetTypeCode() const override { return StateType::GetTypeCode(); }
    void ComputeMinMax() override;

protected:
    const Waview_Type* AsType() const override { return this; }
    uint64_t StoreValue(size_t n, int32_t bit) const override;
};

using Waview_BitSignal = Waview_StateSignalT<Waview_BitType>;
using Waview_VerilogSignal = Waview_StateSignalT<Waview_VerilogType>;
using Waview_StdLogicSignal = Waview_StateSignalT<Waview_StdLogicType>;

enum RowKind : int32_t { kRowScalar = 1, kRowComposite = 2 };

class Waview_Hierarchy {
public:
    Waview_Hierarchy(Waview_FileManager* owner, int32_t index) : index(index), owner(owner) {}
    Waview_Hierarchy(const Waview_Hierarchy&) = delete;
    Waview_Hierarchy& operator=(const Waview_Hierarchy&) = delete;
    virtual ~Waview_Hierarchy();

    virtual int32_t GetKind() const = 0;
    virtual int32_t GetDepth() const = 0;
    virtual Waview_Signal* GetSignal() const { return nullptr; }
    virtual void* GetExtra() const { return nullptr; }
    virtual bool SaveRow(FileManager& f) const;
    virtual bool LoadRow(FileManager& f, std::string* error);
    // Cached value text at t in the row's radix.
    virtual std::string& ValueTextAt(std::string& out, int64_t t) = 0;

    // Radix changes must drop the cached text.
    void SetRadix(int32_t r);
    void InvalidateValueText() {
        valueTime = -1;
        valueText.clear();
    }

    int32_t index = -1;
    int32_t level = 0;
    int32_t order = 0;
    std::string name;
    void* treeItem = nullptr;
    int32_t visible = 1;
    int32_t digital = 1;
    int32_t radix = kRadixUnsigned;
    std::string valueText;
    int64_t valueTime = -1;
    Waview_FileManager* owner = nullptr;
};

class Waview_ScalarHierarchy : public Waview_Hierarchy {
public:
    using Waview_Hierarchy::Waview_Hierarchy;
    int32_t GetKind() const override { return kRowScalar; }
    int32_t GetDepth() const override { return level; }
    Waview_Signal* GetSignal() const override;
    bool SaveRow(FileManager& f) const override;
    bool LoadRow(FileManager& f, std::string* error) override;
    std::string& ValueTextAt(std::string& out, int64_t t) override;

    int32_t signalIndex = -1;
};

class Waview_CompositeHierarchy : public Waview_Hierarchy {
public:
    using Waview_Hierarchy::Waview_Hierarchy;
    int32_t GetKind() const override { return kRowComposite; }
    int32_t GetDepth() const override;
    bool SaveRow(FileManager& f) const override;
    bool LoadRow(FileManager& f, std::string* error) override;
    std::string& ValueTextAt(std::string& out, int64_t t) override;
    Waview_Hierarchy* ChildAt(int32_t i) const;

    // A bus imported from a dump reads its value from the store directly.
    void BindStore(const WaveStore* store, uint32_t signal, int64_t closeAt);
    const WaveStore* Store() const { return store_; }
    uint32_t StoreSignal() const { return storeSignal_; }

    std::vector<int32_t> children;
    int32_t expanded = 1;

private:
    const WaveStore* store_ = nullptr;
    uint32_t storeSignal_ = 0;
    int64_t storeClose_ = -1;
};

// Longest row name kept (1 MiB); longer names are cut on import and on
// saving and rejected on reading.
inline constexpr uint32_t kMaxRowName = 1u << 20;

class Waview_FileManager : public FileManager {
public:
    Waview_FileManager() = default;
    ~Waview_FileManager() override;

    // Creating registers: the object gets the next index and joins the list.
    // Returns null for an unknown type code.
    Waview_Signal* NewSignal(int32_t typeCode);
    Waview_Signal* NewStringSignal();
    Waview_ScalarHierarchy* NewScalarRow();
    Waview_CompositeHierarchy* NewCompositeRow();

    Waview_Signal* Signal(int32_t i) const; // null outside the list
    Waview_Hierarchy* Row(int32_t i) const;
    int32_t SignalCount() const { return signalCount; }
    int32_t RowCount() const { return rowCount; }
    int64_t EndTime() const { return endTime; }
    int32_t TimescaleExponent() const { return timescaleExponent; }
    void SetTimescaleExponent(int32_t e) { timescaleExponent = e; }
    void SetEndTime(int64_t t) { endTime = t; }

    // SaveData(t) of every signal in index order (t = -1 writes no closing).
    bool CloseAllSignals(int64_t t);
    // LoadData of every signal, then EndTime = the largest last-entry time.
    bool ComputeEndTime();
    void Clear();
    // Moves everything `from` holds into this document (cleared first).
    void TakeFrom(Waview_FileManager& from);
    // The compact store imported signals read from; kept with the document.
    void SetStore(std::shared_ptr<const WaveStore> store) { store_ = std::move(store); }
    const WaveStore* Store() const { return store_.get(); }
    // Rows that are nobody's child, in index order (the tree's top level).
    std::vector<int32_t> TopRows() const;
    // A fresh block of unused slots, carved from large chunks so that import
    // does not pay one allocation per 32 entries. Freed with the document.
    EntryBlock* AllocBlock();

private:
    int32_t signalCount = 0;
    int32_t rowCount = 0;
    std::vector<std::unique_ptr<Waview_Signal>> signals;
    std::vector<std::unique_ptr<Waview_Hierarchy>> rows;
    int64_t endTime = -1;
    int32_t timescaleExponent = 0;
    std::vector<std::unique_ptr<EntryBlock[]>> chunks_;
    std::shared_ptr<const WaveStore> store_;
    size_t chunkUsed_ = 0, chunkSize_ = 0;
};
