#pragma once
// A small INI file with the semantics of the Windows private-profile
// functions that project files were designed around: sections and keys keep
// the order in which they were first written, lookups ignore ASCII letter
// case and take the first match, values are trimmed, lose one pair of
// enclosing quotes and are read into 256-byte buffers (255 characters).
// Lookups go through a hash index, so reading and writing stay linear in the
// size of the file.
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

namespace korl {

class IniFile {
public:
    static constexpr size_t kMaxValue = 255;

    // Reads a file; false (and an empty file) when it cannot be read, is no
    // regular file or is larger than kMaxFileBytes, with the reason in
    // `error` (the system's text, or "not a regular file", ...). Each line is
    // kept to kMaxLine characters.
    static constexpr size_t kMaxFileBytes = 64u << 20;
    static constexpr size_t kMaxLine = 64u << 10;
    bool Load(const std::string& path, std::string* error = nullptr);
    void Parse(std::string_view text);

    // The value, or `def` when the section or key is missing; both cut to
    // kMaxValue characters.
    std::string Get(std::string_view section, std::string_view key, std::string_view def = {}) const;
    bool Has(std::string_view section, std::string_view key) const;

    // Replaces the value of an existing key or appends the key (and its
    // section) at the end. Line breaks in a value end it.
    void Set(std::string_view section, std::string_view key, std::string_view value);

    std::vector<std::string> Sections() const;
    std::vector<std::string> Keys(std::string_view section) const;

    // "[Section]" and "key=value" lines, each ending in a line feed.
    std::string Text() const;

    // Writes Text() beside `path` and renames it over the old file.
    bool Save(const std::string& path, std::string* error = nullptr) const;

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
        std::unordered_map<std::string, size_t> index; // lower-case key -> entry
    };
    const Section* FindSection(std::string_view name) const;
    Section& AddSection(std::string_view name);
    const Entry* FindEntry(const Section& s, std::string_view key) const;
    std::vector<Section> sections_;
    std::unordered_map<std::string, size_t> sectionIndex_; // lower-case name -> section
};

} // namespace korl
