#pragma once
// A small INI file with the semantics of the Windows private-profile
// functions that project files were designed around: sections and keys keep
// the order in which they were first written, lookups ignore ASCII letter
// case and take the first match, values are trimmed, lose one pair of
// enclosing quotes and are read into 256-byte buffers (255 characters).
#include <string>
#include <string_view>
#include <vector>

namespace korl {

class IniFile {
public:
    static constexpr size_t kMaxValue = 255;

    // Reads a file; false (and an empty file) when it cannot be read. At most
    // kMaxFileBytes are read and each line is kept to kMaxLine characters.
    static constexpr size_t kMaxFileBytes = 64u << 20;
    static constexpr size_t kMaxLine = 64u << 10;
    bool Load(const std::string& path);
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
    };
    const Section* FindSection(std::string_view name) const;
    std::vector<Section> sections_;
};

} // namespace korl
