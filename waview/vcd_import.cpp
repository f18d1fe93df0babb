#include "waview/vcd_import.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <stdexcept>
#include <string_view>
#include <thread>
#include <unordered_map>

namespace {

constexpr int kMaxScopeDepth = 1000;
const char kUnnamedScope[] = "(unnamed)";

inline bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

bool ParseI64(std::string_view s, int64_t& out) {
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
std::string Cut(std::string_view base, std::string_view suffix = {}) {
    if (suffix.size() > kMaxRowName) suffix = suffix.substr(0, kMaxRowName);
    std::string s(base.substr(0, std::min<size_t>(base.size(), kMaxRowName - suffix.size())));
    s += suffix;
    return s;
}

// "\040" and "\\" escapes of string values.
std::string Unescape(std::string_view s) {
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

} // namespace

struct Waview_VcdImporter::Impl {
    Waview_VcdImporter& self;
    explicit Impl(Waview_VcdImporter& s) : self(s) {}

    // --- input ---------------------------------------------------------------
    std::FILE* file = nullptr;
    std::string buf; // unparsed text
    size_t pos = 0;  // declarations: read position in buf
    bool eof = false;
    int64_t line = 1;      // line of buf[pos]
    uint64_t consumed = 0; // bytes of the input before buf[0]

    bool Fill(size_t want) {
        if (eof) return false;
        if (self.useText_) {
            buf.append(self.text_);
            self.text_.clear();
            self.text_.shrink_to_fit();
            eof = true;
            return true;
        }
        const size_t old = buf.size();
        buf.resize(old + want);
        const size_t got = std::fread(buf.data() + old, 1, want, file);
        buf.resize(old + got);
        if (got < want) {
            eof = true;
            if (std::ferror(file)) readError = true;
        }
        return got > 0;
    }
    bool readError = false;

    // Next whitespace-separated token of the declarations.
    bool Token(std::string_view& tok, int64_t& tokLine) {
        for (;;) {
            while (pos < buf.size() && IsSpace(buf[pos])) {
                if (buf[pos] == '\n') ++line;
                ++pos;
            }
            if (pos < buf.size()) break;
            if (!Fill(1 << 20)) return false;
        }
        size_t end = pos;
        for (;;) {
            while (end < buf.size() && !IsSpace(buf[end])) ++end;
            if (end < buf.size() || eof) break;
            if (end - pos > (64u << 20)) break; // a token this long is cut
            if (!Fill(1 << 20)) break;
        }
        tok = std::string_view(buf.data() + pos, end - pos);
        tokLine = line;
        tokStart = pos;
        pos = end;
        return true;
    }
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

    bool SkipToEnd(const char* what, int64_t startLine, std::string* joined = nullptr) {
        std::string_view t;
        int64_t l;
        while (Token(t, l)) {
            if (t == "$end") return true;
            if (joined) *joined += t;
        }
        Refuse(std::string("$end to close ") + what, startLine);
        return false;
    }

    int32_t AddDecl(Decl d, std::vector<int32_t>& scopes) {
        const int32_t i = int32_t(decls.size());
        d.parent = scopes.empty() ? -1 : scopes.back();
        decls.push_back(std::move(d));
        if (scopes.empty())
            top.push_back(i);
        else
            decls[size_t(scopes.back())].items.push_back(i);
        return i;
    }

    bool Timescale(int64_t startLine) {
        std::string s;
        if (!SkipToEnd("$timescale", startLine, &s)) return false;
        size_t n = 0;
        while (n < s.size() && ((s[n] >= '0' && s[n] <= '9') || s[n] == '.')) ++n;
        int64_t c = 0;
        const std::string digits = s.substr(0, n);
        if (n == 0 || !ParseI64(digits.substr(0, digits.find('.')), c) || c <= 0 || c > INT32_MAX) {
            Refuse("time coefficient (1, 10 or 100)", startLine);
            return false;
        }
        static const std::pair<const char*, int32_t> kUnits[] = {{"s", 0},   {"ms", -3},  {"us", -6},
                                                                 {"ns", -9}, {"ps", -12}, {"fs", -15},
                                                                 {"Ks", 3},  {"Ms", 6},   {"Gs", 9}};
        const std::string unit = s.substr(n);
        for (const auto& [name, e] : kUnits)
            if (unit == name) {
                coefficient = c;
                exponent = e;
                return true;
            }
        Refuse("time unit (s, ms, us, ns, ps, fs)", startLine);
        return false;
    }

    // Reads declarations up to $enddefinitions (or the first body text, when
    // it is missing). Leaves pos at the start of the body.
    bool Declarations() {
        std::vector<int32_t> scopes;
        std::string_view tok;
        int64_t l;
        for (;;) {
            if (!Token(tok, l)) {
                if (readError) {
                    SourceError();
                    return false;
                }
                // A dump of declarations only: nothing changes, still shown.
                bodyLine = line;
                return true;
            }
            if (tok == "$enddefinitions") {
                if (!SkipToEnd("$enddefinitions", l)) return false;
                bodyLine = line;
                return true;
            }
            const char c = tok[0];
            if (c == '#' || tok == "$dumpvars" || tok == "$dumpall" || tok == "$dumpon" ||
                tok == "$dumpoff" || tok.substr(0, 10) == "$dumpports" ||
                (c != '$' && c != 0 &&
                 (c == 'b' || c == 'B' || c == 'r' || c == 'R' || std::strchr("01xXzZ", c)))) {
                // No $enddefinitions: the body starts here.
                pos = tokStart;
                bodyLine = l;
                return true;
            }
            if (tok == "$comment" || tok == "$date" || tok == "$version") {
                const std::string what(tok);
                if (!SkipToEnd(what.c_str(), l)) return false;
            } else if (tok == "$timescale") {
                if (!Timescale(l)) return false;
            } else if (tok == "$scope") {
                std::vector<std::string> parts;
                std::string_view t;
                int64_t tl;
                for (;;) {
                    if (!Token(t, tl)) {
                        Refuse("$end to close $scope", l);
                        return false;
                    }
                    if (t == "$end") break;
                    if (parts.size() < 2) parts.emplace_back(t);
                }
                if (int32_t(scopes.size()) >= kMaxScopeDepth) {
                    self.messages_.push_back(
                        {"Parser Error",
                         "Max stack exceeded\nExpecting $upscope (scopes nest too deeply)\nin line: " +
                             std::to_string(l) + " of " + self.path_});
                    return false;
                }
                Decl d;
                d.scope = true;
                if (parts.size() < 2) {
                    warnings.Add("a $scope without a name is shown as \"(unnamed)\"", l, "");
                    d.name = kUnnamedScope;
                } else {
                    d.name = Cut(parts[1]);
                }
                scopes.push_back(AddDecl(std::move(d), scopes));
            } else if (tok == "$upscope") {
                if (!SkipToEnd("$upscope", l)) return false;
                if (!scopes.empty()) scopes.pop_back();
            } else if (tok == "$var") {
                if (!Variable(l, scopes)) return false;
            } else if (c == '$') {
                warnings.AddUnknownCommand(tok, l);
                const std::string what(tok);
                if (!SkipToEnd(what.c_str(), l)) return false;
            } else {
                Refuse(
                    "declaration command ($comment, $date, $enddefinitions, $scope, $timescale, $upscope, "
                    "$var, $version)",
                    l);
                return false;
            }
        }
    }

    bool Variable(int64_t l, std::vector<int32_t>& scopes) {
        static const char* const kParts[] = {"variable type", "size", "identifier code", "reference name"};
        std::string part[4];
        std::string_view t;
        int64_t tl;
        for (int i = 0; i < 4; ++i) {
            if (!Token(t, tl) || t == "$end") {
                Refuse(kParts[i], tl);
                return false;
            }
            part[i] = t;
        }
        Decl d;
        d.type = part[0];
        d.code = part[2];
        std::string name = part[3];
        // Extended dumps give ports a range as their size: "[7:0]".
        if (part[1].size() > 2 && part[1].front() == '[') {
            const std::string r = part[1].substr(1, part[1].size() - 2);
            const size_t colon = r.find(':');
            int64_t a = 0, b = 0;
            if (colon == std::string::npos || !ParseI64(r.substr(0, colon), a) ||
                !ParseI64(r.substr(colon + 1), b)) {
                Refuse("decimal number (variable size)", l);
                return false;
            }
            d.size = (a > b ? a - b : b - a) + 1;
            d.first = r.substr(0, colon);
            d.second = r.substr(colon + 1);
            d.ranged = true;
        } else {
            if (!AllDigits(part[1])) {
                Refuse("decimal number (variable size)", l);
                return false;
            }
            if (!ParseI64(part[1], d.size) || d.size < 1) {
                Refuse("variable size of at least 1", l);
                return false;
            }
        }
        // The rest up to $end: a range "[7:0]" apart from the name, or more
        // name. A command instead of $end means the $end is missing.
        std::string rest;
        for (;;) {
            if (!Token(t, tl)) {
                Refuse("$end to close $var", tl);
                return false;
            }
            if (t == "$end") break;
            if (t[0] == '$') {
                warnings.Add("a $var has no $end", l, name);
                pos = tokStart;
                line = tl;
                break;
            }
            if (rest.size() < 4096) rest += t;
        }
        name += rest;
        const size_t open = name.rfind('[');
        if (!d.ranged && open != std::string::npos && open > 0 && name.back() == ']') {
            const std::string r = name.substr(open + 1, name.size() - open - 2);
            const size_t colon = r.find(':');
            int64_t a, b;
            const std::string fa = colon == std::string::npos ? r : r.substr(0, colon);
            const std::string fb = colon == std::string::npos ? "" : r.substr(colon + 1);
            if (ParseI64(fa, a) && (colon == std::string::npos || ParseI64(fb, b))) {
                d.ranged = true;
                d.first = fa;
                d.second = fb;
                name.resize(open);
            }
        }
        d.name = name;
        const int32_t index = AddDecl(std::move(d), scopes);
        Decl& v = decls[size_t(index)];
        if (codes.Find(v.code)) return true; // an alias of an earlier variable
        Target target;
        target.signal = uint32_t(store->signals.size());
        WaveStoreSignal s;
        if (v.type == "real" || v.type == "realtime" || v.type == "shortreal") {
            s.kind = WaveStoreSignal::kReal;
        } else if (v.type == "string") {
            s.kind = WaveStoreSignal::kString;
        } else {
            // Wider than the bound: the leftmost digits are kept.
            s.width = uint32_t(std::min<int64_t>(v.size, options().maxBusWidth));
            if (v.size > int64_t(options().maxBusWidth))
                warnings.Add("buses wider than " + std::to_string(options().maxBusWidth) +
                                 " bits keep their leftmost bits",
                             l, v.name);
            target.bus = v.size > 1 && v.type != "integer";
        }
        target.kind = s.kind;
        target.width = s.width;
        store->signals.push_back(std::move(s));
        firstDeclOf.push_back(index);
        codes.Add(v.code, target);
        return true;
    }

    const Waview_ImportOptions& options() const { return self.options_; }

    // --- body ------------------------------------------------------------------
    // Parses [begin, end) of the body. Starts skipping up to a $end when the
    // previous chunk ended inside a command.
    void ParseChunk(const char* begin, const char* end, bool skipping, ChunkResult& r) const {
        const size_t nsig = store->signals.size();
        // Results are reused round after round: their vectors keep their memory.
        r.partial.resize(nsig);
        for (size_t i = 0; i < nsig; ++i) {
            WaveStoreSignal& p = r.partial[i];
            p.kind = store->signals[i].kind;
            p.width = store->signals[i].width;
            p.digitBits = 1;
            p.times.clear();
            p.values.clear();
        }
        r.marks.clear();
        r.strings.clear();
        r.warnings = WarningSet{};
        r.lines = 0;
        r.endsSkipping = false;
        r.cancelled = false;
        int64_t ln = 0;
        int32_t mark = -1;
        std::vector<uint8_t> digits, record;
        const char* p = begin;
        uint32_t sinceCheck = 0;
        auto token = [&](const char*& s) -> std::string_view {
            while (p < end && IsSpace(*p)) {
                if (*p == '\n') ++ln;
                ++p;
            }
            s = p;
            while (p < end && !IsSpace(*p)) ++p;
            return std::string_view(s, size_t(p - s));
        };
        // The rest of a change is on its line: a missing identifier code never
        // takes the next line (nor, at a chunk's end, the next chunk's).
        auto lineToken = [&]() -> std::string_view {
            while (p < end && IsSpace(*p) && *p != '\n') ++p;
            const char* from = p;
            while (p < end && !IsSpace(*p)) ++p;
            return std::string_view(from, size_t(p - from));
        };
        auto markNow = [&]() {
            if (mark < 0) {
                TimeMark m;
                m.inherit = true;
                m.line = ln;
                r.marks.push_back(m);
                mark = 0;
            }
            return uint32_t(mark);
        };
        std::vector<char> chars;
        // Two-state values into a one-bit-per-digit signal: eight characters
        // checked and packed at a time, straight from the text.
        auto applyTwoState = [&](WaveStoreSignal& ps, uint32_t w, std::string_view value) {
            if (chars.size() < size_t(w) + 8) chars.resize(size_t(w) + 8);
            char* c = chars.data();
            const size_t len = value.size();
            if (len >= w) {
                std::memcpy(c, value.data(), w);
            } else {
                std::memset(c, '0', w - len);
                std::memcpy(c + (w - len), value.data(), len);
            }
            std::memset(c + w, '0', 8);
            uint8_t rec[128];
            if (ps.digitBits == 1) {
                const uint32_t bytes = (w + 7) / 8;
                for (uint32_t k = 0; k < bytes; ++k) {
                    uint64_t x;
                    std::memcpy(&x, c + 8 * k, 8);
                    if ((x & 0xFEFEFEFEFEFEFEFEull) != 0x3030303030303030ull) return false;
                    rec[k] = uint8_t(((x & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56);
                }
            } else {
                // Four-state signal, two-state value: four digits a byte.
                const uint32_t bytes = (w + 3) / 4;
                for (uint32_t k = 0; k < bytes; ++k) {
                    uint32_t x;
                    std::memcpy(&x, c + 4 * k, 4);
                    if ((x & 0xFEFEFEFEu) != 0x30303030u) return false;
                    rec[k] = uint8_t(((x & 0x01010101u) * 0x01041040u) >> 24);
                }
            }
            ps.Append(markNow(), rec);
            return true;
        };
        auto apply = [&](const Target& t, std::string_view value, int64_t atLine) {
            WaveStoreSignal& ps = r.partial[t.signal];
            const uint32_t w = t.width;
            // Padding keeps the first digit unless it is 0 or 1: only then
            // can the fast path hold.
            if (ps.digitBits <= 2 && w <= 512 && !value.empty() && (value[0] == '0' || value[0] == '1') &&
                applyTwoState(ps, w, value))
                return;
            if (digits.size() < w) digits.resize(w);
            uint8_t* dg = digits.data();
            const size_t len = value.size();
            const char* v = value.data();
            // Table look-ups; kNoDigit (0xFF) marks characters that are none.
            uint8_t any = 0, maxd = 0;
            if (len >= w) {
                // A longer value keeps its leftmost digits.
                for (uint32_t i = 0; i < w; ++i) {
                    const uint8_t d = kDigitTable[uint8_t(v[i])];
                    dg[i] = d;
                    any |= d;
                }
            } else {
                const uint8_t first = len ? kDigitTable[uint8_t(v[0])] : uint8_t(kDigit0);
                const uint8_t pad = first <= kDigit1 ? uint8_t(kDigit0) : first;
                const size_t padded = w - len;
                std::memset(dg, pad, padded);
                any = pad;
                for (size_t i = padded; i < w; ++i) {
                    const uint8_t d = kDigitTable[uint8_t(v[i - padded])];
                    dg[i] = d;
                    any |= d;
                }
            }
            if (any > 1) {
                // Not two-state: find odd characters and the widest digit.
                bool odd = false;
                for (uint32_t i = 0; i < w; ++i) {
                    if (dg[i] == kNoDigit) {
                        dg[i] = kDigitX;
                        odd = true;
                    }
                    maxd = std::max(maxd, dg[i]);
                }
                if (odd)
                    r.warnings.Add("value digits other than 0 1 x z u w l h - are shown as x", atLine, value);
            }
            const uint8_t need = uint8_t(DigitBitsFor(maxd));
            if (need > ps.digitBits) ps.Widen(need);
            uint8_t rec[64];
            const size_t bytes = ps.RecordBytes();
            if (bytes > sizeof rec) {
                record.resize(bytes);
                PackDigits(dg, w, ps.digitBits, record.data());
                ps.Append(markNow(), record.data());
            } else {
                PackDigits(dg, w, ps.digitBits, rec);
                ps.Append(markNow(), rec);
            }
        };
        auto lookup = [&](std::string_view code, int64_t atLine) -> const Target* {
            const Target* t = codes.Find(code);
            if (!t) r.warnings.Add("changes to undeclared identifier codes are skipped", atLine, code);
            return t;
        };
        const char* s;
        while (p < end) {
            if (++sinceCheck >= 65536) {
                sinceCheck = 0;
                if (self.cancel_ && self.cancel_->load(std::memory_order_relaxed)) {
                    r.cancelled = true;
                    return;
                }
            }
            const std::string_view tok = token(s);
            if (tok.empty()) break;
            const int64_t at = ln;
            if (skipping) {
                if (tok == "$end") skipping = false;
                continue;
            }
            const char c = tok[0];
            switch (c) {
                case '#': {
                    TimeMark m;
                    m.line = at;
                    const std::string_view digitsText = tok.substr(1);
                    int64_t t = 0;
                    const size_t dot = digitsText.find('.');
                    if (dot == std::string_view::npos && ParseI64(digitsText, t) && t >= 0 &&
                        (coefficient <= 1 || t <= INT64_MAX / coefficient)) {
                        m.time = t * coefficient;
                    } else if (dot != std::string_view::npos) {
                        // Fractional times land on the time unit.
                        char tmp[64];
                        const size_t n = std::min(digitsText.size(), sizeof tmp - 1);
                        std::memcpy(tmp, digitsText.data(), n);
                        tmp[n] = 0;
                        char* stop = nullptr;
                        const double v = std::strtod(tmp, &stop) * double(coefficient);
                        if (stop == tmp + n && v >= 0 && v < 9.2e18) {
                            m.time = int64_t(std::llround(v));
                            if (double(m.time) != v)
                                r.warnings.Add("fractional times are rounded to the time unit", at, tok);
                        } else {
                            m.bad = true;
                        }
                    } else {
                        m.bad = true;
                    }
                    if (m.bad) r.warnings.Add("time lines that are no time are skipped", at, tok);
                    r.marks.push_back(m);
                    mark = int32_t(r.marks.size() - 1);
                    break;
                }
                case '$':
                    if (tok == "$dumpvars" || tok == "$dumpall" || tok == "$dumpon" || tok == "$dumpoff" ||
                        tok == "$end" || tok.substr(0, 10) == "$dumpports")
                        break; // sections need not be closed: their changes stand alone
                    if (tok != "$comment") r.warnings.AddUnknownCommand(tok, at);
                    skipping = true;
                    break;
                case 'b':
                case 'B':
                case 'r':
                case 'R':
                case 's':
                case 'S':
                case 'p':
                case 'P': {
                    std::string_view value = tok.substr(1);
                    const bool port = c == 'p' || c == 'P';
                    if (port) {
                        // Extended dumps: "pVALUE strength0 strength1 code".
                        lineToken();
                        lineToken();
                        r.warnings.Add("port values are shown as their logic level", at, tok);
                    }
                    const std::string_view code = lineToken();
                    if (code.empty()) {
                        r.warnings.Add("value changes without identifier code are skipped", at, tok);
                        break;
                    }
                    const Target* t = lookup(code, at);
                    if (!t) break;
                    if (c == 'r' || c == 'R') {
                        if (t->kind != WaveStoreSignal::kReal) {
                            r.warnings.Add("real values for non-real variables are skipped", at, code);
                            break;
                        }
                        char tmp[64];
                        const size_t n = std::min(value.size(), sizeof tmp - 1);
                        std::memcpy(tmp, value.data(), n);
                        tmp[n] = 0;
                        const double d = std::atof(tmp);
                        uint8_t rec[8];
                        std::memcpy(rec, &d, 8);
                        r.partial[t->signal].Append(markNow(), rec);
                    } else if (c == 's' || c == 'S') {
                        if (t->kind != WaveStoreSignal::kString) {
                            r.warnings.Add("string values for non-string variables are skipped", at, code);
                            break;
                        }
                        const uint32_t index = uint32_t(r.strings.size());
                        r.strings.push_back(Unescape(value));
                        uint8_t rec[4];
                        std::memcpy(rec, &index, 4);
                        r.partial[t->signal].Append(markNow(), rec);
                    } else {
                        if (t->kind != WaveStoreSignal::kVector) {
                            r.warnings.Add("vector values for real or string variables are skipped", at,
                                           code);
                            break;
                        }
                        std::string mapped;
                        if (port) {
                            mapped.reserve(value.size());
                            for (char v : value) {
                                const char m = std::strchr("0DdLl", v)    ? '0'
                                               : std::strchr("1UuHh", v)  ? '1'
                                               : std::strchr("ZzFfTt", v) ? 'z'
                                                                          : 'x';
                                mapped += m;
                            }
                            value = mapped;
                        }
                        // "b0b01": a stray prefix is dropped; "b" alone is 0.
                        if (value.size() > 1 && (value[1] == 'b' || value[1] == 'B') && value[0] == '0') {
                            r.warnings.Add("vector values with a stray prefix are read without it", at, tok);
                            value.remove_prefix(2);
                        }
                        if (value.empty()) {
                            r.warnings.Add("vector values without digits are read as 0", at, tok);
                            value = "0";
                        }
                        apply(*t, value, at);
                    }
                    break;
                }
                default: {
                    if (kDigitTable[uint8_t(c)] == kNoDigit) {
                        r.warnings.Add("unexpected text is skipped", at, tok);
                        break;
                    }
                    const Target* t = lookup(tok.substr(1), at);
                    if (!t) break;
                    if (t->kind != WaveStoreSignal::kVector) {
                        r.warnings.Add("scalar values for real or string variables are skipped", at, tok);
                        break;
                    }
                    if (t->bus)
                        r.warnings.Add("scalar changes aimed at a bus are read as vector values", at, tok);
                    apply(*t, tok.substr(0, 1), at);
                }
            }
        }
        r.lines = ln;
        r.endsSkipping = skipping;
    }

    // --- merge ---------------------------------------------------------------
    int64_t lineBase = 0;
    bool haveTime = false;
    std::vector<std::vector<uint32_t>> markMaps;

    void MergeTimes(ChunkResult& r, std::vector<uint32_t>& map, uint32_t& stringBase) {
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
                warnings.Add("time goes backwards; its changes are shown at the latest time",
                             lineBase + m.line, "#" + std::to_string(m.time / coefficient));
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

    // Room for `needed` elements; a store signal is sized once for the whole
    // dump from the share of it read so far (scale), so that its changes are
    // not copied again and again while it grows.
    template <class V>
    static void Grow(V& v, size_t needed, double scale) {
        if (needed <= v.capacity()) return;
        const size_t guess = size_t(double(needed) * scale * 1.05);
        v.reserve(std::max(needed, std::max(guess, v.capacity() + v.capacity() / 2)));
    }

    // Appends chunk partial p to g. `strict` says the chunk's times map to
    // distinct global times: then only p's first change can meet g's last
    // one, and the rest (already free of repeats) is copied as it is.
    static void MergeSignal(WaveStoreSignal& g, const WaveStoreSignal& p, const std::vector<uint32_t>& map,
                            bool strict, uint32_t stringBase, double scale, std::vector<uint8_t>& digits,
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

    void Merge(std::vector<ChunkResult>& results, int threads) {
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
    size_t NextSplit(const std::string& text, size_t from) const {
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

    bool Body() {
        const int threads = options().threads > 0 ? options().threads
                                                  : int(std::max(1u, std::thread::hardware_concurrency()));
        const size_t chunk = std::max<size_t>(options().chunkBytes, 1);
        // Body text from pos on; buf is reused round by round.
        buf.erase(0, pos);
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
                    const int64_t lastLine = lineBase + int64_t(std::count(buf.begin(), buf.end(), '\n'));
                    warnings.Add("the dump ends early; it is shown up to its last complete time", lastLine,
                                 "");
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
                size_t next = at + chunk >= roundEnd ? roundEnd : NextSplit(buf, at + chunk);
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
            buf.erase(0, roundEnd);
            consumed += roundEnd;
        }
        return true;
    }

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

    int32_t BuildRow(Waview_FileManager& doc, int32_t index, int32_t level, int32_t order, int64_t closeAt) {
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
                s->BindStore(StoreSource{
                    store, sig, ss.kind == WaveStoreSignal::kVector && !isInteger ? 0 : -1, closeAt});
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

    void Build(Waview_FileManager& doc) {
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
};

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
