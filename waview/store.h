#pragma once
// Compact store of an imported dump: one signal per identifier code, times
// as indices into one shared table, values packed, repeats not stored.
#include <cstdint>
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

    size_t RecordBytes() const;
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
    void Append(uint32_t t, const uint8_t* record);
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

// Packs digits (one per byte, most significant first) into a record.
void PackDigits(const uint8_t* digits, uint32_t width, uint8_t bits, uint8_t* record);
