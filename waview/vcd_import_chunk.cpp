// Parsing one chunk of the body into its own partial signals; chunks run
// on worker threads and touch nothing shared.
#include "waview/vcd_import_impl.h"

void Waview_VcdImporter::Impl::ParseChunk(const char* begin, const char* end, bool skipping,
                                          ChunkResult& r) const {
    const size_t nsig = store->signals.size();
    // Results are reused round after round: their vectors keep their memory.
    r.partial.resize(nsig);
    for (size_t i = 0; i < nsig; ++i) {
        WaveStoreSignal& p = r.partial[i];
        p.kind = store->signals[i].kind;
        p.width = store->signals[i].width;
        // As wide as the merged signal already is, so that merging copies
        // the records as they are.
        p.digitBits = store->signals[i].digitBits;
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
        p = TokenEnd(p, end);
        return std::string_view(s, size_t(p - s));
    };
    // The rest of a change is on its line: a missing identifier code never
    // takes the next line (nor, at a chunk's end, the next chunk's).
    auto lineToken = [&]() -> std::string_view {
        while (p < end && IsSpace(*p) && *p != '\n') ++p;
        const char* from = p;
        p = TokenEnd(p, end);
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
                        r.warnings.Add("vector values for real or string variables are skipped", at, code);
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
