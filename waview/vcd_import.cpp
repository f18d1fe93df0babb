#include "waview/vcd_import_impl.h"

#include <sys/mman.h>

// Faults a fresh block's pages in one call rather than one page at a time,
// which is what a store signal sized for the whole dump costs most.
void Waview_VcdImporter::Impl::Populate(const void* p, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    const uintptr_t page = 4096;
    const uintptr_t a = (uintptr_t(p) + page - 1) & ~(page - 1), b = (uintptr_t(p) + bytes) & ~(page - 1);
    if (b > a + 4 * page) (void)madvise(reinterpret_cast<void*>(a), b - a, MADV_POPULATE_WRITE);
#else
    (void)p;
    (void)bytes;
#endif
}

void Waview_VcdImporter::Impl::MergeTimes(ChunkResult& r, std::vector<uint32_t>& map, uint32_t& stringBase) {
    map.resize(r.marks.size());
    for (size_t i = 0; i < r.marks.size(); ++i) {
        const TimeMark& m = r.marks[i];
        if (m.inherit || m.bad) {
            if (!haveTime) {
                store->times.push_back(0);
                haveTime = true;
            }
            map[i] = uint32_t(store->times.size() - 1);
            continue;
        }
        int64_t t = m.time;
        if (haveTime && t < store->times.back()) {
            warnings.Add("time goes backwards; its changes are shown at the latest time", lineBase + m.line,
                         "#" + std::to_string(m.time / coefficient));
            t = store->times.back();
        }
        if (!haveTime || t > store->times.back()) {
            store->times.push_back(t);
            haveTime = true;
        }
        map[i] = uint32_t(store->times.size() - 1);
    }
    stringBase = uint32_t(store->strings.size());
    for (std::string& s : r.strings) store->strings.push_back(std::move(s));
    warnings.Merge(r.warnings, lineBase);
    lineBase += r.lines;
}

void Waview_VcdImporter::Impl::MergeSignal(WaveStoreSignal& g, const WaveStoreSignal& p,
                                           const std::vector<uint32_t>& map, bool strict, uint32_t stringBase,
                                           double scale, std::vector<uint8_t>& digits,
                                           std::vector<uint8_t>& rec) {
    if (p.Count() == 0) return;
    if (p.digitBits > g.digitBits) g.Widen(p.digitBits);
    const size_t bytes = p.RecordBytes();
    Grow(g.times, g.times.size() + p.Count(), scale);
    Grow(g.values, g.values.size() + p.Count() * g.RecordBytes(), scale);
    const bool sameLayout = p.kind == WaveStoreSignal::kReal ||
                            (p.kind == WaveStoreSignal::kVector && p.digitBits == g.digitBits);
    for (size_t n = 0; n < p.Count(); ++n) {
        if (n == 1 && strict && sameLayout) {
            const size_t old = g.times.size(), rest = p.Count() - 1;
            g.times.resize(old + rest);
            for (size_t k = 0; k < rest; ++k) g.times[old + k] = map[p.times[k + 1]];
            g.values.insert(g.values.end(), p.values.begin() + std::ptrdiff_t(bytes), p.values.end());
            return;
        }
        const uint8_t* src = p.values.data() + n * bytes;
        if (p.kind == WaveStoreSignal::kString) {
            uint32_t index;
            std::memcpy(&index, src, 4);
            index += stringBase;
            uint8_t r4[4];
            std::memcpy(r4, &index, 4);
            g.Append(map[p.times[n]], r4);
        } else if (p.kind == WaveStoreSignal::kVector && p.digitBits != g.digitBits) {
            digits.resize(p.width);
            for (uint32_t i = 0; i < p.width; ++i) digits[i] = p.Digit(n, i);
            rec.resize(g.RecordBytes());
            PackDigits(digits.data(), g.width, g.digitBits, rec.data());
            g.Append(map[p.times[n]], rec.data());
        } else {
            g.Append(map[p.times[n]], src);
        }
    }
}

void Waview_VcdImporter::Impl::Merge(std::vector<ChunkResult>& results, int threads) {
    const uint64_t done = self.bytesRead_.load(), total = self.totalBytes_.load();
    const double scale = done > 0 && total > done ? double(total) / double(done) : 1.0;
    std::vector<std::vector<uint32_t>> maps(results.size());
    std::vector<uint32_t> bases(results.size());
    std::vector<char> strict(results.size(), 1);
    for (size_t k = 0; k < results.size(); ++k) {
        MergeTimes(results[k], maps[k], bases[k]);
        for (size_t i = 1; i < maps[k].size(); ++i)
            if (maps[k][i] == maps[k][i - 1]) strict[k] = 0;
    }
    const size_t nsig = store->signals.size();
    auto work = [&](size_t first, size_t step) {
        std::vector<uint8_t> digits, rec;
        for (size_t s = first; s < nsig; s += step)
            for (size_t k = 0; k < results.size(); ++k)
                MergeSignal(store->signals[s], results[k].partial[s], maps[k], strict[k] != 0, bases[k],
                            scale, digits, rec);
    };
    RunParallel(threads, work);
}

size_t Waview_VcdImporter::Impl::NextSplit(std::string_view text, size_t from) const {
    size_t at = from;
    while (at < text.size()) {
        const void* hit = std::memchr(text.data() + at, '#', text.size() - at);
        if (!hit) return text.size();
        const size_t i = size_t(static_cast<const char*>(hit) - text.data());
        if (i > 0 && text[i - 1] == '\n') return i;
        at = i + 1;
    }
    return text.size();
}

bool Waview_VcdImporter::Impl::Body() {
    const int threads =
        options().threads > 0 ? options().threads : int(std::max(1u, std::thread::hardware_concurrency()));
    const size_t chunk = std::max<size_t>(options().chunkBytes, 1);
    // Body text from pos on; buf is reused round by round.
    buf.Consume(pos);
    consumed += pos;
    pos = 0;
    lineBase = bodyLine;
    bool skipping = false;
    std::vector<ChunkResult> results;
    for (;;) {
        if (self.cancel_ && self.cancel_->load()) return Cancel();
        // Read until a round's worth of text ends in a split point.
        const size_t want = chunk * size_t(threads);
        while (!eof && buf.size() < want) Fill(want - buf.size() + (1 << 16));
        size_t roundEnd = buf.size();
        bool finalRound = false;
        if (!eof) {
            // Cut before the last '#' line; read on while there is none.
            size_t cut = std::string::npos;
            for (;;) {
                const size_t back = buf.rfind("\n#");
                if (back != std::string::npos) {
                    cut = back + 1;
                    break;
                }
                if (eof || !Fill(chunk)) break;
            }
            roundEnd = cut == std::string::npos ? buf.size() : cut;
        } else {
            finalRound = true;
            const size_t lastNewline = buf.rfind('\n');
            const size_t tail = lastNewline == std::string::npos ? 0 : lastNewline + 1;
            bool cutLine = false;
            for (size_t i = tail; i < buf.size() && !cutLine; ++i) cutLine = !IsSpace(buf[i]);
            if (cutLine) {
                // The dump ends inside a line (a killed simulation): what
                // came after the last complete time is left out.
                const size_t back = buf.rfind("\n#");
                const size_t cut = back == std::string::npos ? tail : back + 1;
                const int64_t lastLine =
                    lineBase + int64_t(std::count(buf.data(), buf.data() + buf.size(), '\n'));
                warnings.Add("the dump ends early; it is shown up to its last complete time", lastLine, "");
                roundEnd = std::min(cut, buf.size());
            }
        }
        if (readError) {
            SourceError();
            return false;
        }
        // Chunks of about `chunk` bytes, each starting at a '#' line.
        std::vector<std::pair<size_t, size_t>> spans;
        size_t at = 0;
        while (at < roundEnd) {
            size_t next = at + chunk >= roundEnd ? roundEnd : NextSplit(buf.view(), at + chunk);
            if (next > roundEnd) next = roundEnd;
            spans.push_back({at, next});
            at = next;
        }
        results.resize(spans.size());
        const char* base = buf.data();
        std::atomic<size_t> nextChunk{0};
        auto parse = [&](size_t, size_t) {
            for (size_t k; (k = nextChunk.fetch_add(1)) < spans.size();) {
                ParseChunk(base + spans[k].first, base + spans[k].second, k == 0 && skipping, results[k]);
                self.bytesRead_.fetch_add(spans[k].second - spans[k].first, std::memory_order_relaxed);
            }
        };
        RunParallel(std::min<int>(threads, int(spans.size())), parse);
        for (ChunkResult& r : results)
            if (r.cancelled) return Cancel();
        // A chunk that began inside a command its predecessor opened is
        // parsed again knowing it; the result is then the serial one.
        for (size_t k = 1; k < results.size(); ++k)
            if (results[k - 1].endsSkipping) {
                ParseChunk(base + spans[k].first, base + spans[k].second, true, results[k]);
            }
        if (!results.empty()) skipping = results.back().endsSkipping;
        Merge(results, threads);
        if (finalRound) break;
        buf.Consume(roundEnd);
        consumed += roundEnd;
    }
    return true;
}

int32_t Waview_VcdImporter::Impl::BuildRow(Waview_FileManager& doc, int32_t index, int32_t level,
                                           int32_t order, int64_t closeAt) {
    const Decl& d = decls[size_t(index)];
    if (d.scope) {
        Waview_CompositeHierarchy* row = doc.NewCompositeRow();
        row->level = level;
        row->order = order;
        row->name = d.name;
        const int32_t rowIndex = row->index;
        int32_t i = 0;
        for (int32_t item : d.items) {
            const int32_t child = BuildRow(doc, item, level + 1, i++, closeAt);
            static_cast<Waview_CompositeHierarchy*>(doc.Row(rowIndex))->children.push_back(child);
        }
        return rowIndex;
    }
    const Target* t = codes.Find(d.code);
    const uint32_t sig = t->signal;
    const WaveStoreSignal& ss = store->signals[sig];
    const bool first = firstDeclOf[sig] == index;
    const bool isInteger = decls[size_t(firstDeclOf[sig])].type == "integer";
    if (ss.kind != WaveStoreSignal::kVector || isInteger || !t->bus) {
        if (first || scalarSignal[sig] < 0) {
            Waview_Signal* s = ss.kind == WaveStoreSignal::kReal     ? doc.NewSignal(kTypeReal)
                               : ss.kind == WaveStoreSignal::kString ? doc.NewStringSignal()
                               : isInteger                           ? doc.NewSignal(kTypeInteger)
                                           : doc.NewSignal(NineState(ss) ? kTypeStdLogic : kTypeVerilog);
            s->BindStore(
                StoreSource{store, sig, ss.kind == WaveStoreSignal::kVector && !isInteger ? 0 : -1, closeAt});
            scalarSignal[sig] = s->index;
        }
        Waview_ScalarHierarchy* row = doc.NewScalarRow();
        row->level = level;
        row->order = order;
        row->name = d.ranged ? Cut(d.name, "[" + d.first + "]") : Cut(d.name);
        row->signalIndex = scalarSignal[sig];
        return row->index;
    }
    Waview_CompositeHierarchy* bus = doc.NewCompositeRow();
    bus->level = level;
    bus->order = order;
    bus->name = Cut(d.name);
    bus->BindStore(store, sig, closeAt);
    bus->expanded = 0;
    const int32_t busIndex = bus->index;
    const int64_t size = d.size;
    if (size > int64_t(options().maxBusWidth) || bitRows + uint64_t(size) > options().maxBitRows ||
        uint64_t(size) != ss.width) {
        warnings.Add("buses this wide are shown without their bit rows", 0, d.name);
        return busIndex;
    }
    bitRows += uint64_t(size);
    std::vector<int32_t>& bits = busSignals[sig];
    const bool share = !first && bits.size() == size_t(size);
    int64_t msb = size - 1, lsb = 0;
    if (d.ranged && !d.second.empty()) {
        ParseI64(d.first, msb);
        ParseI64(d.second, lsb);
    }
    const int64_t step = lsb < msb ? 1 : -1;
    int64_t bitNumber = lsb + (size - 1) * step;
    std::vector<int32_t> children;
    children.reserve(size_t(size));
    for (int64_t i = 0; i < size; ++i, bitNumber -= step) {
        int32_t sigIndex;
        if (share) {
            sigIndex = bits[size_t(i)];
        } else {
            Waview_Signal* s = doc.NewSignal(NineState(ss) ? kTypeStdLogic : kTypeVerilog);
            s->BindStore(StoreSource{store, sig, int32_t(i), closeAt});
            sigIndex = s->index;
            if (first) bits.push_back(sigIndex);
        }
        Waview_ScalarHierarchy* row = doc.NewScalarRow();
        row->level = level + 1;
        row->order = int32_t(i);
        row->name = Cut(d.name, "[" + std::to_string(bitNumber) + "]");
        row->signalIndex = sigIndex;
        children.push_back(row->index);
    }
    static_cast<Waview_CompositeHierarchy*>(doc.Row(busIndex))->children = std::move(children);
    return busIndex;
}

void Waview_VcdImporter::Impl::Build(Waview_FileManager& doc) {
    doc.SetTimescaleExponent(exponent);
    const int64_t closeAt = store->times.empty() ? -1 : store->times.back();
    self.largestTime_ = closeAt;
    busSignals.assign(store->signals.size(), {});
    scalarSignal.assign(store->signals.size(), -1);
    for (size_t i = 0; i < top.size(); ++i) BuildRow(doc, top[i], 0, 0, closeAt);
    // Same end time a reader computes: the largest last-entry time.
    int64_t end = -1;
    for (const WaveStoreSignal& s : store->signals)
        if (s.Count() > 0) end = closeAt;
    doc.SetEndTime(end);
}

Waview_VcdImporter::Waview_VcdImporter(std::string dumpPath) : path_(std::move(dumpPath)) {}
Waview_VcdImporter::~Waview_VcdImporter() = default;

void Waview_VcdImporter::SetInputText(std::string text) {
    text_ = std::move(text);
    useText_ = true;
}

bool Waview_VcdImporter::Import(Waview_FileManager& doc) {
    doc.Clear();
    messages_.clear();
    warnings_.clear();
    cancelled_ = false;
    largestTime_ = -1;
    bytesRead_ = 0;
    try {
        Impl d(*this);
        auto store = std::make_shared<WaveStore>();
        d.store = store.get();
        if (useText_) {
            totalBytes_ = text_.size();
        } else {
            d.file = std::fopen(path_.c_str(), "rb");
            if (!d.file) {
                d.SourceError();
                return false;
            }
            std::fseek(d.file, 0, SEEK_END);
            const long size = std::ftell(d.file);
            std::fseek(d.file, 0, SEEK_SET);
            totalBytes_ = size > 0 ? uint64_t(size) : 0;
        }
        struct Closer {
            std::FILE*& f;
            ~Closer() {
                if (f) std::fclose(f);
            }
        } closer{d.file};
        if (!d.Declarations()) return false;
        if (!d.Body()) return false;
        // Give back what the size guesses left over, where it is worth a copy.
        for (WaveStoreSignal& s : store->signals) {
            if (s.times.capacity() > s.times.size() + s.times.size() / 8) s.times.shrink_to_fit();
            if (s.values.capacity() > s.values.size() + s.values.size() / 8) s.values.shrink_to_fit();
        }
        d.Build(doc);
        doc.SetStore(store);
        for (const auto& [text, w] : d.warnings.byKind) {
            std::string t = text;
            if (!w.detail.empty()) t += " (" + w.detail + ")";
            warnings_.push_back({t, w.line, w.count});
        }
        std::stable_sort(warnings_.begin(), warnings_.end(),
                         [](const Waview_ImportWarning& a, const Waview_ImportWarning& b) {
                             return a.firstLine < b.firstLine;
                         });
        bytesRead_ = totalBytes_.load();
        return true;
    } catch (const std::bad_alloc&) {
        doc.Clear();
        messages_.push_back({"Parser Error", "Memory allocation error building tree"});
        return false;
    } catch (const std::length_error&) {
        doc.Clear();
        messages_.push_back({"Parser Error", "Memory allocation error building tree"});
        return false;
    }
}

std::string Waview_VcdImporter::WarningSummary() const {
    if (warnings_.empty()) return "";
    int64_t total = 0;
    for (const Waview_ImportWarning& w : warnings_) total += w.count;
    std::string s = std::to_string(total) + (total == 1 ? " warning:" : " warnings:");
    for (const Waview_ImportWarning& w : warnings_) {
        s += "\n" + w.text;
        if (w.firstLine > 0) s += w.count > 1 ? ", first in line " : ", in line ";
        if (w.firstLine > 0) s += std::to_string(w.firstLine);
        if (w.count > 1) s += " (" + std::to_string(w.count) + " times)";
    }
    return s;
}
