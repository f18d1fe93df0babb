#pragma once
// Compact store of an imported dump: one signal per identifier code, times
// as indices into one shared table, values packed, repeats not stored.
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Digit codes of packed values. Two-state values need one bit per digit,
// four-state two, nine-state four.
enum WaveDigit : uint8_t {
    kDigit0,
    kDigit1,
    kDigitZ,
    kDigitX,
    kDigitU,
    kDigitW,
    kDigitL,
    kDigitH,
    kDigitDash,
};
// Digit of a dump character; false for a character that is none of
// 0 1 x z u w l h - (either case).
bool DigitOf(char c, uint8_t& digit);
// The same as a table: kNoDigit for characters that are none.
inline constexpr uint8_t kNoDigit = 0xFF;
struct DigitTable {
    uint8_t d[256];
    constexpr DigitTable() : d() {
        for (int i = 0; i < 256; ++i) d[i] = kNoDigit;
        const char* up = "01ZXUWLH-";
        const char* low = "01zxuwlh-";
        for (uint8_t k = 0; k < 9; ++k) {
            d[uint8_t(up[k])] = k;
            d[uint8_t(low[k])] = k;
        }
    }
    constexpr uint8_t operator[](uint8_t c) const { return d[c]; }
};
inline constexpr DigitTable kDigitTable;
// Display character of a digit: "01ZXUWLH-".
char DigitChar(uint8_t digit);
// Bits a digit needs: 1, 2 or 4.
inline int DigitBitsFor(uint8_t digit) { return digit < 2 ? 1 : digit < 4 ? 2 : 4; }

struct WaveStoreSignal {
    enum Kind : uint8_t { kVector, kReal, kString };
    Kind kind = kVector;
    uint32_t width = 1;          // digits per value (vectors)
    uint8_t digitBits = 1;       // 1, 2 or 4; grows when a value needs it
    std::vector<uint32_t> times; // indices into the store's time table
    std::vector<uint8_t> values; // RecordBytes() per change

    size_t RecordBytes() const {
        return kind == kReal ? 8 : kind == kString ? 4 : (size_t(width) * digitBits + 7) / 8;
    }
    size_t Count() const { return times.size(); }
    // Digit i (0 = most significant) of change n.
    uint8_t Digit(size_t n, uint32_t i) const;
    // All digits of change n as display characters.
    std::string Digits(size_t n) const;
    double Real(size_t n) const;
    uint32_t StringIndex(size_t n) const;
    // Re-packs every stored value at a wider digit size.
    void Widen(uint8_t bits);
    // Appends one change at time index t. A change at the time of the last
    // one replaces it; a value equal to the one in effect is not stored.
    inline void Append(uint32_t t, const uint8_t* record);
    // Index of the last change strictly before time index t, or -1.
    int64_t IndexBefore(uint32_t t) const;
};

struct WaveStore {
    std::vector<int64_t> times; // strictly increasing
    std::vector<WaveStoreSignal> signals;
    std::vector<std::string> strings;

    // Time index of the first time not earlier than t (times.size() if none).
    uint32_t TimeIndexAtOrAfter(int64_t t) const;
    // Change of signal s in effect at t (the last strictly earlier), or -1.
    int64_t ChangeBefore(uint32_t s, int64_t t) const;
    size_t MemoryBytes() const;
};

namespace wave_store_detail {

// Records of up to eight bytes move as one word: fixed-size copies the
// compiler turns into plain loads and stores, no library call.
template <size_t N>
inline uint64_t LoadN(const uint8_t* p) {
    uint64_t v = 0;
    std::memcpy(&v, p, N);
    return v;
}

inline uint64_t LoadSmall(const uint8_t* p, size_t n) {
    switch (n) {
        case 1:
            return p[0];
        case 2:
            return LoadN<2>(p);
        case 3:
            return LoadN<3>(p);
        case 4:
            return LoadN<4>(p);
        case 5:
            return LoadN<5>(p);
        case 6:
            return LoadN<6>(p);
        case 7:
            return LoadN<7>(p);
        default:
            return LoadN<8>(p);
    }
}

inline void CopyRecord(uint8_t* dst, const uint8_t* src, size_t bytes) {
    switch (bytes) {
        case 1:
            dst[0] = src[0];
            return;
        case 2:
            std::memcpy(dst, src, 2);
            return;
        case 4:
            std::memcpy(dst, src, 4);
            return;
        case 8:
            std::memcpy(dst, src, 8);
            return;
        default:
            std::memcpy(dst, src, bytes);
    }
}

inline bool SameRecord(const uint8_t* a, const uint8_t* b, size_t bytes) {
    if (bytes <= 8) return LoadSmall(a, bytes) == LoadSmall(b, bytes);
    return std::memcmp(a, b, bytes) == 0;
}

} // namespace wave_store_detail

inline void WaveStoreSignal::Append(uint32_t t, const uint8_t* record) {
    using namespace wave_store_detail;
    const size_t bytes = RecordBytes();
    const size_t n = times.size();
    if (n > 0) [[likely]] {
        uint8_t* last = values.data() + (n - 1) * bytes;
        if (times[n - 1] == t) {
            // Glitch inside one time: the last value of that time counts.
            CopyRecord(last, record, bytes);
            if (n >= 2 && SameRecord(last - bytes, record, bytes)) {
                times.pop_back();
                values.resize((n - 1) * bytes);
            }
            return;
        }
        if (SameRecord(last, record, bytes)) return;
    }
    times.push_back(t);
    const size_t at = values.size();
    values.resize(at + bytes);
    CopyRecord(values.data() + at, record, bytes);
}

// Packs digits (one per byte, most significant first) into a record.
void PackDigits(const uint8_t* digits, uint32_t width, uint8_t bits, uint8_t* record);
