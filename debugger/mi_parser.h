// gdb's machine-interface output syntax as typed values: one parser for
// result, async and stream records, c-strings with every escape, nested
// tuples and lists. Malformed input gives a message, never a crash.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korl {

// Deepest nesting of tuples and lists accepted.
constexpr std::size_t kMaxMiDepth = 256;

struct MiItem;

struct MiValue {
    enum class Kind { String, Tuple, List };
    Kind kind = Kind::String;
    std::string text; // String
    // Tuple: named items. List: items named (result list) or unnamed (value list).
    std::vector<MiItem> items; // a vector may hold a type completed below; a pair may not (clang)

    // First item of that name; nullptr when absent.
    const MiValue* Find(std::string_view name) const;
    // Text of the named string item; `fallback` when absent or not a string.
    std::string_view Str(std::string_view name, std::string_view fallback = {}) const;
    // The named item as a number (decimal, saturating); `fallback` when absent.
    long long Num(std::string_view name, long long fallback) const;
};

// One item: its name (empty in a value list) and its value.
struct MiItem {
    std::string first;
    MiValue second;
    MiItem() = default;
    MiItem(std::string name, MiValue value) : first(std::move(name)), second(std::move(value)) {}
};

struct MiRecord {
    enum class Type { Result, Exec, Status, Notify, Console, Target, Log, Prompt };
    Type type = Type::Prompt;
    long long token = -1; // -1 without one
    std::string cls;      // "done", "stopped", "thread-group-started"...
    MiValue results;      // a tuple of the record's results
    std::string stream;   // the decoded text of a stream record
};

// Parses one line (line end optional). False with `error` when it is no
// well-formed record; `out` then holds what was read.
bool ParseMiRecord(std::string_view line, MiRecord& out, std::string* error = nullptr);

// A c-string starting at text[pos] (the opening quote); on success pos is
// past the closing quote and `out` holds the decoded bytes.
bool ParseMiCString(std::string_view text, std::size_t& pos, std::string& out);

// Results "a=1,b={...}" up to the end of `text`, into a tuple.
bool ParseMiResults(std::string_view text, MiValue& out, std::string* error = nullptr);

} // namespace korl
