#pragma once
// The VCD importer's inside, shared by its three files: reading the
// declarations (vcd_import_decls.cpp), parsing a chunk of the body
// (vcd_import_chunk.cpp), and merging the chunks and building the document
// (vcd_import.cpp).
#include "waview/vcd_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace vcd_import_detail {

constexpr int kMaxScopeDepth = 1000;
const char kUnnamedScope[] = "(unnamed)";

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// End of the token at p: the first white space at or after it, or end.
// Eight bytes at a time: a byte below '!' is flagged (the lowest flag is
// exact), and only white space among those ends the token.
inline const char* TokenEnd(const char* p, const char* end) {
    while (end - p >= 8) {
        uint64_t x;
        std::memcpy(&x, p, 8);
        const uint64_t below = (x - 0x2121212121212121ull) & ~x & 0x8080808080808080ull;
        if (!below) {
            p += 8;
            continue;
        }
        p += __builtin_ctzll(below) >> 3;
        if (IsSpace(*p)) return p;
        ++p;
    }
    while (p < end && !IsSpace(*p)) ++p;
    return p;
}

inline bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

inline bool ParseI64(std::string_view s, int64_t& out) {
    bool neg = false;
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
        neg = s[0] == '-';
        s.remove_prefix(1);
    }
    if (!AllDigits(s)) return false;
    uint64_t v = 0;
    for (char c : s) {
        if (v > (uint64_t(INT64_MAX) - uint64_t(c - '0')) / 10) return false;
        v = v * 10 + uint64_t(c - '0');
    }
    out = neg ? -int64_t(v) : int64_t(v);
    return true;
}

// A row name of at most kMaxRowName bytes; the suffix (a bit index) is kept.
inline std::string Cut(std::string_view base, std::string_view suffix = {}) {
    if (suffix.size() > kMaxRowName) suffix = suffix.substr(0, kMaxRowName);
    std::string s(base.substr(0, std::min<size_t>(base.size(), kMaxRowName - suffix.size())));
    s += suffix;
    return s;
}

// "\040" and "\\" escapes of string values.
inline std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() + 0 && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += char((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[++i];
            out += n == 'n' ? '\n' : n == 't' ? '\t' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

// Input text read in pieces: unlike a string it does not clear the room
// it grows by before a read overwrites it.
class TextBuffer {
public:
    size_t size() const { return size_; }
    const char* data() const { return data_.get(); }
    char operator[](size_t i) const { return data_[i]; }
    std::string_view view() const { return {data_.get(), size_}; }
    size_t rfind(std::string_view what) const { return view().rfind(what); }
    size_t rfind(char c) const { return view().rfind(c); }
    // Room for n more bytes at the end; Commit(k) keeps k of them.
    char* Room(size_t n) {
        if (size_ + n > capacity_) {
            const size_t cap = std::max(size_ + n, capacity_ + capacity_ / 2);
            std::unique_ptr<char[]> bigger(new char[cap]);
            if (size_) std::memcpy(bigger.get(), data_.get(), size_);
            data_ = std::move(bigger);
            capacity_ = cap;
        }
        return data_.get() + size_;
    }
    void Commit(size_t k) { size_ += k; }
    void Append(std::string_view text) {
        if (text.empty()) return;
        std::memcpy(Room(text.size()), text.data(), text.size());
        Commit(text.size());
    }
    // Drops the first n bytes.
    void Consume(size_t n) {
        if (n == 0) return;
        std::memmove(data_.get(), data_.get() + n, size_ - n);
        size_ -= n;
    }

private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0, capacity_ = 0;
};

// What an identifier code changes.
struct Target {
    uint32_t signal = 0; // store signal
    uint32_t width = 1;
    WaveStoreSignal::Kind kind = WaveStoreSignal::kVector;
    bool bus = false; // declared wider than one bit
};

// Identifier codes: up to seven bytes packed into a key of an open-addressed
// table (all simulators write in practice), longer ones in a hash map.
class CodeMap {
public:
    const Target* Find(std::string_view code) const {
        uint64_t key;
        if (Pack(code, key)) {
            if (table_.empty()) return nullptr;
            const size_t mask = table_.size() - 1;
            for (size_t i = Slot(key, mask);; i = (i + 1) & mask) {
                if (table_[i].first == key) return &targets_[size_t(table_[i].second)];
                if (table_[i].first == 0) return nullptr;
            }
        }
        auto it = long_.find(std::string(code));
        return it == long_.end() ? nullptr : &targets_[size_t(it->second)];
    }
    void Add(std::string_view code, const Target& t) {
        const int32_t index = int32_t(targets_.size());
        targets_.push_back(t);
        uint64_t key;
        if (!Pack(code, key)) {
            long_.emplace(std::string(code), index);
            return;
        }
        if ((count_ + 1) * 2 > table_.size()) {
            std::vector<std::pair<uint64_t, int32_t>> old(std::max<size_t>(64, table_.size() * 2));
            old.swap(table_);
            count_ = 0;
            for (const auto& [k, v] : old)
                if (k) Insert(k, v);
        }
        Insert(key, index);
    }

private:
    static size_t Slot(uint64_t key, size_t mask) {
        return size_t((key * 0x9E3779B97F4A7C15ull) >> 20) & mask;
    }
    static bool Pack(std::string_view code, uint64_t& key) {
        if (code.empty() || code.size() > 7) return false;
        uint64_t k = uint64_t(code.size()) << 56;
        for (size_t i = 0; i < code.size(); ++i) k |= uint64_t(uint8_t(code[i])) << (8 * i);
        key = k;
        return true;
    }
    void Insert(uint64_t key, int32_t v) {
        const size_t mask = table_.size() - 1;
        size_t i = Slot(key, mask);
        while (table_[i].first) i = (i + 1) & mask;
        table_[i] = {key, v};
        ++count_;
    }
    std::vector<Target> targets_;
    std::vector<std::pair<uint64_t, int32_t>> table_;
    size_t count_ = 0;
    std::unordered_map<std::string, int32_t> long_;
};

// Warnings of one kind, counted; the first occurrence keeps its detail.
struct WarningSet {
    struct W {
        int64_t line = 0;
        int64_t count = 0;
        std::string detail;
    };
    std::map<std::string, W> byKind;
    // One warning per unknown command, up to a few dozen different ones.
    void AddUnknownCommand(std::string_view command, int64_t line) {
        if (byKind.size() < 48)
            Add("unknown command " + std::string(command.substr(0, 40)) + " is skipped", line, "");
        else
            Add("other unknown commands are skipped", line, command);
    }
    void Add(const std::string& kind, int64_t line, std::string_view detail) {
        W& w = byKind[kind];
        if (w.count == 0 || line < w.line) {
            w.line = line;
            w.detail = std::string(detail.substr(0, 200));
        }
        ++w.count;
    }
    void Merge(const WarningSet& o, int64_t lineBase) {
        for (const auto& [k, w] : o.byKind) {
            W& m = byKind[k];
            if (m.count == 0 || w.line + lineBase < m.line) {
                m.line = w.line + lineBase;
                m.detail = w.detail;
            }
            m.count += w.count;
        }
    }
};

// One '#' line of a chunk (or the time in effect where the chunk starts).
struct TimeMark {
    int64_t time = 0;
    int64_t line = 0; // within the chunk, 0-based
    bool inherit = false;
    bool bad = false; // not representable: keeps the time in effect
};

struct ChunkResult {
    std::vector<TimeMark> marks;
    std::vector<WaveStoreSignal> partial; // per store signal, times are mark indices
    std::vector<std::string> strings;
    WarningSet warnings;
    int64_t lines = 0;         // newlines in the chunk
    bool endsSkipping = false; // inside a command that runs past the chunk
    bool cancelled = false;
};

} // namespace vcd_import_detail

using namespace vcd_import_detail;

struct Waview_VcdImporter::Impl {
    Waview_VcdImporter& self;
    explicit Impl(Waview_VcdImporter& s) : self(s) {}

    // --- input ---------------------------------------------------------------
    std::FILE* file = nullptr;
    TextBuffer buf; // unparsed text
    size_t pos = 0; // declarations: read position in buf
    bool eof = false;
    int64_t line = 1;      // line of buf[pos]
    uint64_t consumed = 0; // bytes of the input before buf[0]

    bool Fill(size_t want);
    bool readError = false;

    // Next whitespace-separated token of the declarations.
    bool Token(std::string_view& tok, int64_t& tokLine);
    size_t tokStart = 0;

    // --- declarations ----------------------------------------------------------
    struct Decl {
        bool scope = false;
        std::string name;
        int32_t parent = -1; // index into decls
        std::vector<int32_t> items;
        // variables
        std::string type, code, first, second;
        bool ranged = false;
        int64_t size = 1;
    };
    std::vector<Decl> decls;
    std::vector<int32_t> top; // top-level declarations in order
    CodeMap codes;
    std::vector<int32_t> firstDeclOf; // store signal -> its first variable
    WaveStore* store = nullptr;
    int64_t coefficient = 1;
    int32_t exponent = 0;
    WarningSet warnings;
    int64_t bodyLine = 1;

    void Refuse(const std::string& expecting, int64_t atLine) {
        self.messages_.push_back({"Parser Error", "Parse failed\nExpecting " + expecting + "\nin line: " +
                                                      std::to_string(atLine) + " of " + self.path_});
    }
    void SourceError() { self.messages_.push_back({"Parser Error", "Error opening the source file"}); }

    bool SkipToEnd(const char* what, int64_t startLine, std::string* joined = nullptr);

    int32_t AddDecl(Decl d, std::vector<int32_t>& scopes);

    bool Timescale(int64_t startLine);

    // Reads declarations up to $enddefinitions (or the first body text, when
    // it is missing). Leaves pos at the start of the body.
    bool Declarations();

    bool Variable(int64_t l, std::vector<int32_t>& scopes);

    const Waview_ImportOptions& options() const { return self.options_; }

    // --- body ------------------------------------------------------------------
    // Parses [begin, end) of the body. Starts skipping up to a $end when the
    // previous chunk ended inside a command.
    void ParseChunk(const char* begin, const char* end, bool skipping, ChunkResult& r) const;

    // --- merge ---------------------------------------------------------------
    int64_t lineBase = 0;
    bool haveTime = false;
    std::vector<std::vector<uint32_t>> markMaps;

    void MergeTimes(ChunkResult& r, std::vector<uint32_t>& map, uint32_t& stringBase);

    // Room for `needed` elements; a store signal is sized once for the whole
    // dump from the share of it read so far (scale), so that its changes are
    // not copied again and again while it grows.
    template <class V>
    static void Grow(V& v, size_t needed, double scale) {
        if (needed <= v.capacity()) return;
        const size_t guess = size_t(double(needed) * scale * 1.05);
        v.reserve(std::max(needed, std::max(guess, v.capacity() + v.capacity() / 2)));
        Populate(v.data(), v.capacity() * sizeof(*v.data()));
    }
    static void Populate(const void* p, size_t bytes);

    // Appends chunk partial p to g. `strict` says the chunk's times map to
    // distinct global times: then only p's first change can meet g's last
    // one, and the rest (already free of repeats) is copied as it is.
    static void MergeSignal(WaveStoreSignal& g, const WaveStoreSignal& p, const std::vector<uint32_t>& map,
                            bool strict, uint32_t stringBase, double scale, std::vector<uint8_t>& digits,
                            std::vector<uint8_t>& rec);

    void Merge(std::vector<ChunkResult>& results, int threads);

    // Runs f(k, threads) on `threads` threads. A memory failure on any of
    // them is thrown again here, on the importing thread, once all are done.
    template <class F>
    static void RunParallel(int threads, F&& f) {
        if (threads <= 1) {
            f(size_t(0), size_t(1));
            return;
        }
        std::atomic<bool> failed{false};
        auto guarded = [&](size_t k) {
            try {
                f(k, size_t(threads));
            } catch (const std::bad_alloc&) {
                failed = true;
            } catch (const std::length_error&) {
                failed = true;
            }
        };
        std::vector<std::thread> pool;
        for (int k = 1; k < threads; ++k) pool.emplace_back([&guarded, k] { guarded(size_t(k)); });
        guarded(0);
        for (std::thread& t : pool) t.join();
        if (failed) throw std::bad_alloc();
    }

    // Where the next chunk may start: just after a newline that precedes a
    // '#', at or after `from`; buf.size() when there is none.
    size_t NextSplit(std::string_view text, size_t from) const;

    bool Body();

    bool Cancel() {
        self.cancelled_ = true;
        return false;
    }

    // --- document ------------------------------------------------------------
    std::vector<std::vector<int32_t>> busSignals; // store signal -> doc signal per bit
    std::vector<int32_t> scalarSignal;            // store signal -> doc signal
    uint64_t bitRows = 0;

    static bool NineState(const WaveStoreSignal& s) {
        return s.kind == WaveStoreSignal::kVector && s.digitBits == 4;
    }

    int32_t BuildRow(Waview_FileManager& doc, int32_t index, int32_t level, int32_t order, int64_t closeAt);

    void Build(Waview_FileManager& doc);
};
