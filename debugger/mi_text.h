// Small text helpers over gdb machine-interface records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korl {

// Value of the first `key` (e.g. "file=") in `text`: the characters between
// the first double quote after the key and the next double quote. Escaped
// quotes are not recognised. nullopt when the key or a quote is missing.
std::optional<std::string_view> FieldValue(std::string_view text, std::string_view key);

// Leading decimal number of `text` (optional sign); `fallback` when none.
// Saturates instead of overflowing.
long long ParseDecimal(std::string_view text, long long fallback = 0);

// Unsigned decimal with saturation; nullopt when `text` holds no digit first.
std::optional<std::uint64_t> ParseUnsigned(std::string_view text);

// The text after the first `marker` up to (not including) the first
// `stop` character after it; nullopt when the marker or stop is missing.
std::optional<std::string_view> TextBetween(std::string_view text, std::string_view marker, char stop);

bool StartsWith(std::string_view text, std::string_view prefix);

} // namespace korl
