#include "waview/types.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace {

const StateInfo kBitTable[] = {
    {'0', {0, 128, 0}, 0.0},
    {'1', {0, 255, 0}, 1.0},
};
const StateInfo kVerilogTable[] = {
    {'0', {0, 255, 0}, 0.0},
    {'1', {0, 255, 0}, 1.0},
    {'Z', {0, 0, 255}, 0.5},
    {'X', {255, 0, 0}, 0.5},
};
const StateInfo kStdLogicTable[] = {
    {'U', {255, 255, 255}, 0.5}, {'X', {255, 0, 0}, 0.5},     {'0', {0, 128, 0}, 0.0},
    {'1', {0, 255, 0}, 1.0},     {'Z', {0, 0, 255}, 0.5},     {'W', {128, 128, 128}, 0.5},
    {'L', {128, 128, 255}, 0.5}, {'H', {255, 128, 128}, 0.5}, {'-', {255, 255, 0}, 0.5},
};

std::string Printf64(const char* fmt, int64_t v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, fmt, static_cast<long long>(v));
    return buf;
}

// A flat trace has no range; draw it at the bottom instead of dividing by 0.
double SafeRange(double r) { return r == 0.0 ? 1.0 : r; }

} // namespace

int64_t SegmentView::X(int64_t t) const {
    if (scaleDen == 0) return 0;
    // Wrapping arithmetic: absurd zoom factors give absurd positions, never UB.
    uint64_t d = static_cast<uint64_t>(t) - static_cast<uint64_t>(start);
    int64_t prod = static_cast<int64_t>(d * static_cast<uint64_t>(scaleNum));
    if (scaleDen == -1) return static_cast<int64_t>(0 - static_cast<uint64_t>(prod));
    return prod / scaleDen;
}

// --- state types -----------------------------------------------------------

Waview_BitType::Waview_BitType() : Waview_StateType(kTypeBit, kBitTable, 2) {}
Waview_VerilogType::Waview_VerilogType() : Waview_StateType(kTypeVerilog, kVerilogTable, 4) {}
Waview_StdLogicType::Waview_StdLogicType() : Waview_StateType(kTypeStdLogic, kStdLogicTable, 9) {}

char Waview_StateType::StateChar(int32_t code) const {
    if (code >= 0 && code < count_) return table_[code].ch;
    if (code > 32 && code < 127) return static_cast<char>(code);
    return '?';
}

Rgb Waview_StateType::StateColour(int32_t code) const {
    if (code >= 0 && code < count_) return table_[code].colour;
    return {255, 0, 0};
}

double Waview_StateType::StateLevel(int32_t code) const {
    if (code >= 0 && code < count_) return table_[code].level;
    return 0.5;
}

std::string& Waview_StateType::FormatEntry(std::string& out, const ChangeEntry* entry, int) const {
    out = " ";
    if (entry) out.assign(1, StateChar(entry->State()));
    return out;
}

int Waview_StateType::DrawSegment(const SegmentView& view, const RowRect& rect, SegmentSink& dc,
                                  const ChangeEntry* prev, const ChangeEntry* next,
                                  const ChangeEntry* minEntry, const ChangeEntry* maxEntry,
                                  int digital) const {
    const int64_t x1 = prev ? view.X(prev->time) : 0;
    const int64_t x2 = view.X(next->time);
    const int64_t h = rect.bottom - rect.top - 4;
    if (digital) {
        auto y = [&](int32_t code) { return (rect.bottom - 2) - static_cast<int64_t>(h * StateLevel(code)); };
        const int64_t yNext = y(next->State());
        if (prev) {
            const int64_t yPrev = y(prev->State());
            dc.Line(x1, yPrev, x2, yPrev, StateColour(prev->State()));
            dc.Line(x2, yPrev, x2, yNext, StateColour(next->State()));
        } else {
            dc.Line(x2, rect.bottom - 2, x2, yNext, StateColour(next->State()));
        }
    } else if (prev) {
        const double range =
            SafeRange(minEntry && maxEntry ? double(maxEntry->State()) - minEntry->State() : 0);
        auto y = [&](int32_t code) {
            return rect.bottom - static_cast<int64_t>(code * double(h) / range) - 2;
        };
        dc.Line(x1, y(prev->State()), x2, y(next->State()), StateColour(prev->State()));
    }
    return x1 < view.width ? 1 : 0;
}

// --- numeric types ---------------------------------------------------------

namespace {

void DrawBusSegment(const SegmentView& view, const RowRect& rect, SegmentSink& dc, const ChangeEntry* prev,
                    const ChangeEntry* next, int64_t x1, int64_t x2) {
    const int64_t yLow = rect.bottom - 2, yHigh = rect.top + 2;
    const bool same = prev && static_cast<uint32_t>(prev->bits) == static_cast<uint32_t>(next->bits);
    if (same) {
        dc.Line(x1 - 1, yLow, x1 + 1, yLow, kNumericColour);
        dc.Line(x1 - 1, yHigh, x1 + 1, yHigh, kNumericColour);
    } else {
        dc.Line(x1 - 1, yLow, x1 + 1, yHigh, kNumericColour);
        dc.Line(x1 - 1, yHigh, x1 + 1, yLow, kNumericColour);
    }
    dc.Line(x1 + 1, yLow, x2 - 1, yLow, kNumericColour);
    dc.Line(x1 + 1, yHigh, x2 - 1, yHigh, kNumericColour);
}

} // namespace

int Waview_IntType::DrawSegment(const SegmentView& view, const RowRect& rect, SegmentSink& dc,
                                const ChangeEntry* prev, const ChangeEntry* next, const ChangeEntry* minEntry,
                                const ChangeEntry* maxEntry, int digital) const {
    const int64_t x1 = prev ? view.X(prev->time) : 0;
    const int64_t x2 = view.X(next->time);
    if (digital) {
        DrawBusSegment(view, rect, dc, prev, next, x1, x2);
    } else if (prev) {
        const int64_t h = rect.bottom - rect.top - 4;
        double range = 0;
        if (minEntry && maxEntry)
            range = double(int64_t(int32_t(uint32_t(maxEntry->bits))) -
                           int64_t(int32_t(uint32_t(minEntry->bits))));
        range = SafeRange(range);
        auto y = [&](const ChangeEntry* e) {
            const int64_t prod = static_cast<int64_t>(e->bits * static_cast<uint64_t>(h));
            return rect.bottom - static_cast<int64_t>(double(prod) / range) - 2;
        };
        dc.Line(x1, y(prev), x2, y(next), kNumericColour);
    }
    return x1 < view.width ? 1 : 0;
}

int Waview_RealType::DrawSegment(const SegmentView& view, const RowRect& rect, SegmentSink& dc,
                                 const ChangeEntry* prev, const ChangeEntry* next,
                                 const ChangeEntry* minEntry, const ChangeEntry* maxEntry,
                                 int digital) const {
    const int64_t x1 = prev ? view.X(prev->time) : 0;
    const int64_t x2 = view.X(next->time);
    if (digital) {
        DrawBusSegment(view, rect, dc, prev, next, x1, x2);
    } else if (prev) {
        const double h = rect.bottom - rect.top - 4;
        const double range = SafeRange(minEntry && maxEntry ? maxEntry->Real() - minEntry->Real() : 0);
        auto y = [&](const ChangeEntry* e) {
            const double v = e->Real() * h / range;
            // Clamp so NaN or huge values cannot overflow the conversion.
            const double c = v != v ? 0.0 : v > 1e15 ? 1e15 : v < -1e15 ? -1e15 : v;
            return rect.bottom - static_cast<int64_t>(c) - 2;
        };
        dc.Line(x1, y(prev), x2, y(next), kNumericColour);
    }
    return x1 < view.width ? 1 : 0;
}

std::string& Waview_IntType::FormatEntry(std::string& out, const ChangeEntry* entry, int radix) const {
    out = " ";
    if (!entry) return out;
    const int64_t v = entry->Int();
    switch (radix) {
        case kRadixBinary:
            out += BinaryDigits(static_cast<uint64_t>(v)) + "b";
            break;
        case kRadixHex: {
            char buf[40];
            std::snprintf(buf, sizeof buf, " %llXh ", static_cast<unsigned long long>(v));
            out = buf;
            break;
        }
        case kRadixUnsigned: {
            char buf[40];
            std::snprintf(buf, sizeof buf, " %lluu ", static_cast<unsigned long long>(v));
            out = buf;
            break;
        }
        case kRadixSigned:
            out = Printf64(" %lldd ", v);
            break;
        default:
            break;
    }
    return out;
}

std::string& Waview_RealType::FormatEntry(std::string& out, const ChangeEntry* entry, int) const {
    out = " ";
    if (!entry) return out;
    // %f of 1e308 needs over 300 digits; size the buffer for the worst case.
    char buf[400];
    std::snprintf(buf, sizeof buf, " %fr ", entry->Real());
    out = buf;
    return out;
}

// --- conversions -----------------------------------------------------------

std::string BinaryDigits(uint64_t value) {
    char buf[65];
    int pos = 64;
    do {
        buf[--pos] = static_cast<char>('0' + (value & 1));
        value >>= 1;
    } while (value);
    return std::string(buf + pos, buf + 64);
}

std::string HexDigits(uint64_t value) {
    static const char kDigits[] = "0123456789ABCDEF";
    char buf[17];
    int pos = 16;
    do {
        buf[--pos] = kDigits[value & 15];
        value >>= 4;
    } while (value);
    return std::string(buf + pos, buf + 16) + "h";
}

uint64_t UnsignedOfBits(std::string_view bits) {
    uint64_t value = 0, weight = 1;
    for (size_t i = bits.size(); i-- > 0 && weight;) {
        if (bits[i] == '1') value += weight;
        weight <<= 1;
    }
    return value;
}

int64_t SignedOfBits(std::string_view bits) {
    if (bits.empty()) return 0;
    uint64_t v = UnsignedOfBits(bits.substr(1));
    if (bits[0] != '0') {
        const size_t n = bits.size();
        const uint64_t top = n - 1 < 64 ? (uint64_t(1) << (n - 1)) : 0;
        v -= top;
    }
    return static_cast<int64_t>(v);
}

namespace {

// A digit's class in numeric radices: 0, 1, z, or x for anything unknown.
enum DigitClass { kD0, kD1, kDz, kDx };

DigitClass ClassOf(char c) {
    switch (c) {
        case '0':
        case 'l':
        case 'L':
            return kD0;
        case '1':
        case 'h':
        case 'H':
            return kD1;
        case 'z':
        case 'Z':
            return kDz;
        default:
            return kDx;
    }
}

// Digits of `bits` grouped `per` bits from the right; a group with an x bit
// is 'x', with z bits (and no x) 'z'. Leading zero digits are dropped.
std::string GroupDigits(std::string_view bits, int per) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bits.size() / size_t(per) + 1);
    size_t end = bits.size();
    while (end > 0) {
        const size_t begin = end >= size_t(per) ? end - size_t(per) : 0;
        unsigned value = 0;
        bool x = false, z = false;
        for (size_t i = begin; i < end; ++i) {
            const DigitClass d = ClassOf(bits[i]);
            value = value * 2 + (d == kD1 ? 1 : 0);
            x = x || d == kDx;
            z = z || d == kDz;
        }
        out += x ? 'x' : z ? 'z' : kDigits[value];
        end = begin;
    }
    while (out.size() > 1 && out.back() == '0') out.pop_back();
    if (out.empty()) out = "0";
    return std::string(out.rbegin(), out.rend());
}

} // namespace

std::string DecimalOfBits(std::string_view bits, bool isSigned) {
    // Little-endian 32-bit limbs of the value.
    std::vector<uint32_t> limbs((bits.size() + 31) / 32 + 1, 0);
    const size_t n = bits.size();
    for (size_t i = 0; i < n; ++i)
        if (bits[n - 1 - i] == '1') limbs[i / 32] |= uint32_t(1) << (i % 32);
    const bool negative = isSigned && n > 0 && bits[0] == '1';
    if (negative) {
        // Two's complement over n bits: invert, add one, keep n bits.
        uint64_t carry = 1;
        for (size_t k = 0; k < limbs.size(); ++k) {
            const uint64_t v = uint64_t(uint32_t(~limbs[k])) + carry;
            limbs[k] = uint32_t(v);
            carry = v >> 32;
        }
        const size_t full = n / 32;
        if (n % 32) limbs[full] &= (uint32_t(1) << (n % 32)) - 1;
        for (size_t k = full + (n % 32 ? 1 : 0); k < limbs.size(); ++k) limbs[k] = 0;
        // -2^(n-1) has only the sign bit: the masked sum is zero then.
        bool zero = true;
        for (uint32_t l : limbs) zero = zero && l == 0;
        if (zero && n > 0 && n - 1 < limbs.size() * 32) limbs[(n - 1) / 32] |= uint32_t(1) << ((n - 1) % 32);
    }
    std::string digits;
    size_t top = limbs.size();
    while (top > 0 && limbs[top - 1] == 0) --top;
    while (top > 0) {
        // Divide by 10^9 and emit nine digits of remainder.
        uint64_t rem = 0;
        for (size_t k = top; k-- > 0;) {
            const uint64_t cur = (rem << 32) | limbs[k];
            limbs[k] = uint32_t(cur / 1000000000u);
            rem = cur % 1000000000u;
        }
        while (top > 0 && limbs[top - 1] == 0) --top;
        for (int d = 0; d < 9 && (top > 0 || rem > 0); ++d) {
            digits += char('0' + rem % 10);
            rem /= 10;
        }
    }
    if (digits.empty()) digits = "0";
    if (negative) digits += '-';
    return std::string(digits.rbegin(), digits.rend());
}

std::string VectorText(std::string_view digits, int radix) {
    switch (radix) {
        case kRadixBinary:
            return " " + std::string(digits) + "b";
        case kRadixHex:
            return " " + GroupDigits(digits, 4) + "h";
        case kRadixOctal:
            return " " + GroupDigits(digits, 3) + "o";
        case kRadixUnsigned:
        case kRadixSigned: {
            const char suffix = radix == kRadixUnsigned ? 'u' : 'd';
            bool x = false, z = false;
            std::string bits(digits);
            for (char& c : bits) {
                const DigitClass d = ClassOf(c);
                x = x || d == kDx;
                z = z || d == kDz;
                c = d == kD1 ? '1' : '0';
            }
            if (x || z) return std::string(" ") + (x ? 'x' : 'z') + suffix + ' ';
            return " " + DecimalOfBits(bits, radix == kRadixSigned) + suffix + " ";
        }
        default:
            return std::string(digits);
    }
}

const char* TypeCodeName(int32_t code) {
    switch (code) {
        case kTypeInteger:
            return "integer";
        case kTypeReal:
            return "real";
        case kTypeBit:
            return "two-state";
        case kTypeVerilog:
            return "four-state";
        case kTypeStdLogic:
            return "nine-state";
        default:
            return "unknown";
    }
}

std::string TimeLabel(int64_t t, int32_t exponent) {
    if (t <= 0) return Printf64(" %lld ", t);
    int u = 3 - exponent / 3;
    while (u > 0 && t % 1000 == 0) {
        t /= 1000;
        --u;
    }
    static const char kUnits[] = "GMKsmunpf";
    if (u >= 0 && u < 9) {
        char buf[48];
        std::snprintf(buf, sizeof buf, " %lld%c ", static_cast<long long>(t), kUnits[u]);
        return buf;
    }
    return Printf64(" %lld ", t);
}
