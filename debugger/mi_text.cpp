#include "debugger/mi_text.h"

#include <limits>

namespace korl {

std::optional<std::string_view> FieldValue(std::string_view text, std::string_view key) {
    std::size_t at = text.find(key);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t open = text.find('"', at + key.size());
    if (open == std::string_view::npos) return std::nullopt;
    std::size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return text.substr(open + 1, close - open - 1);
}

long long ParseDecimal(std::string_view text, long long fallback) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return fallback;
    constexpr long long kMax = std::numeric_limits<long long>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        int digit = text[i] - '0';
        if (value > (kMax - digit) / 10) {
            value = kMax;
            break;
        }
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::optional<std::uint64_t> ParseUnsigned(std::string_view text) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') break;
        unsigned digit = unsigned(c - '0');
        if (value > (kMax - digit) / 10) return kMax;
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::string_view> TextBetween(std::string_view text, std::string_view marker, char stop) {
    std::size_t at = text.find(marker);
    if (at == std::string_view::npos) return std::nullopt;
    std::size_t begin = at + marker.size();
    std::size_t end = text.find(stop, begin);
    if (end == std::string_view::npos) return std::nullopt;
    return text.substr(begin, end - begin);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace korl
