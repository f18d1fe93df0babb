#include "waview/store.h"

#include <algorithm>
#include <cstring>

bool DigitOf(char c, uint8_t& digit) {
    switch (c) {
        case '0':
            digit = kDigit0;
            return true;
        case '1':
            digit = kDigit1;
            return true;
        case 'z':
        case 'Z':
            digit = kDigitZ;
            return true;
        case 'x':
        case 'X':
            digit = kDigitX;
            return true;
        case 'u':
        case 'U':
            digit = kDigitU;
            return true;
        case 'w':
        case 'W':
            digit = kDigitW;
            return true;
        case 'l':
        case 'L':
            digit = kDigitL;
            return true;
        case 'h':
        case 'H':
            digit = kDigitH;
            return true;
        case '-':
            digit = kDigitDash;
            return true;
        default:
            return false;
    }
}

char DigitChar(uint8_t digit) { return digit <= kDigitDash ? "01ZXUWLH-"[digit] : '?'; }

namespace {

uint8_t GetDigit(const uint8_t* record, uint32_t i, uint8_t bits) {
    const size_t bit = size_t(i) * bits;
    return uint8_t((record[bit / 8] >> (bit % 8)) & ((1u << bits) - 1));
}

} // namespace

void PackDigits(const uint8_t* digits, uint32_t width, uint8_t bits, uint8_t* record) {
    if (bits == 1) {
        // Eight digits a byte, no read-modify-write.
        uint32_t i = 0, byte = 0;
        for (; i + 8 <= width; i += 8, ++byte)
            record[byte] =
                uint8_t(digits[i] | digits[i + 1] << 1 | digits[i + 2] << 2 | digits[i + 3] << 3 |
                        digits[i + 4] << 4 | digits[i + 5] << 5 | digits[i + 6] << 6 | digits[i + 7] << 7);
        if (i < width) {
            uint8_t last = 0;
            for (uint32_t k = 0; i + k < width; ++k) last |= uint8_t(digits[i + k] << k);
            record[byte] = last;
        }
        return;
    }
    std::memset(record, 0, (size_t(width) * bits + 7) / 8);
    for (uint32_t i = 0; i < width; ++i) {
        const size_t bit = size_t(i) * bits;
        record[bit / 8] |= uint8_t(digits[i] << (bit % 8));
    }
}

uint8_t WaveStoreSignal::Digit(size_t n, uint32_t i) const {
    return GetDigit(values.data() + n * RecordBytes(), i, digitBits);
}

std::string WaveStoreSignal::Digits(size_t n) const {
    std::string s(width, '0');
    const uint8_t* r = values.data() + n * RecordBytes();
    for (uint32_t i = 0; i < width; ++i) s[i] = DigitChar(GetDigit(r, i, digitBits));
    return s;
}

double WaveStoreSignal::Real(size_t n) const {
    double d;
    std::memcpy(&d, values.data() + n * 8, 8);
    return d;
}

uint32_t WaveStoreSignal::StringIndex(size_t n) const {
    uint32_t v;
    std::memcpy(&v, values.data() + n * 4, 4);
    return v;
}

void WaveStoreSignal::Widen(uint8_t bits) {
    if (kind != kVector || bits <= digitBits) return;
    const size_t oldBytes = RecordBytes(), count = Count();
    const uint8_t oldBits = digitBits;
    digitBits = bits;
    const size_t newBytes = RecordBytes();
    std::vector<uint8_t> out(count * newBytes);
    std::vector<uint8_t> digits(width);
    for (size_t n = 0; n < count; ++n) {
        for (uint32_t i = 0; i < width; ++i) digits[i] = GetDigit(values.data() + n * oldBytes, i, oldBits);
        PackDigits(digits.data(), width, bits, out.data() + n * newBytes);
    }
    values.swap(out);
}

int64_t WaveStoreSignal::IndexBefore(uint32_t t) const {
    const auto it = std::lower_bound(times.begin(), times.end(), t);
    return int64_t(it - times.begin()) - 1;
}

uint32_t WaveStore::TimeIndexAtOrAfter(int64_t t) const {
    return uint32_t(std::lower_bound(times.begin(), times.end(), t) - times.begin());
}

int64_t WaveStore::ChangeBefore(uint32_t s, int64_t t) const {
    if (s >= signals.size()) return -1;
    return signals[s].IndexBefore(TimeIndexAtOrAfter(t));
}

size_t WaveStore::MemoryBytes() const {
    size_t total = times.capacity() * sizeof(int64_t);
    for (const WaveStoreSignal& s : signals)
        total += sizeof s + s.times.capacity() * sizeof(uint32_t) + s.values.capacity();
    for (const std::string& s : strings) total += sizeof s + s.capacity();
    return total;
}
