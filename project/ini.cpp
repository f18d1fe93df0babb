#include "project/ini.h"

#include "base/atomic_file.h"
#include "project/paths.h"

#include <algorithm>
#include <cstdio>

namespace korl {

namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    size_t b = 0, e = s.size();
    auto white = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (b < e && white(s[b])) ++b;
    while (e > b && white(s[e - 1])) --e;
    return s.substr(b, e - b);
}

std::string Cut(std::string_view s) { return std::string(s.substr(0, IniFile::kMaxValue)); }

std::string_view FirstLine(std::string_view s) {
    size_t n = s.find_first_of("\r\n");
    return n == std::string_view::npos ? s : s.substr(0, n);
}

} // namespace

bool IniFile::Load(const std::string& path) {
    sections_.clear();
    FILE* f = OpenRegularFile(path, "rb");
    if (!f) return false;
    std::string text;
    char buf[65536];
    size_t n;
    while (text.size() < kMaxFileBytes && (n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, std::min(n, kMaxFileBytes - text.size()));
    bool ok = !std::ferror(f);
    std::fclose(f);
    if (!ok) return false;
    Parse(text);
    return true;
}

void IniFile::Parse(std::string_view text) {
    sections_.clear();
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    Section* current = nullptr;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = TrimBlanks(text.substr(pos, std::min(end - pos, kMaxLine)));
        pos = end + 1;
        if (line.empty()) continue;
        if (line[0] == '[') {
            line.remove_prefix(1);
            size_t close = line.find(']');
            std::string_view name = TrimBlanks(line.substr(0, close));
            current = const_cast<Section*>(FindSection(name));
            if (!current) {
                sections_.push_back({std::string(name), {}});
                current = &sections_.back();
            }
            continue;
        }
        size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        std::string_view key = TrimBlanks(line.substr(0, eq));
        std::string_view value = TrimBlanks(line.substr(eq + 1));
        if (key.empty()) continue;
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        bool seen = false;
        for (const Entry& e : current->entries)
            if (SameText(e.key, key)) seen = true;
        if (!seen) current->entries.push_back({std::string(key), std::string(value)});
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& s : sections_)
        if (SameText(s.name, name)) return &s;
    return nullptr;
}

std::string IniFile::Get(std::string_view section, std::string_view key, std::string_view def) const {
    if (const Section* s = FindSection(section))
        for (const Entry& e : s->entries)
            if (SameText(e.key, key)) return Cut(e.value);
    return Cut(def);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
    if (const Section* s = FindSection(section))
        for (const Entry& e : s->entries)
            if (SameText(e.key, key)) return true;
    return false;
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    value = FirstLine(value);
    Section* s = const_cast<Section*>(FindSection(section));
    if (!s) {
        sections_.push_back({std::string(FirstLine(section)), {}});
        s = &sections_.back();
    }
    for (Entry& e : s->entries)
        if (SameText(e.key, key)) {
            e.value = std::string(value);
            return;
        }
    s->entries.push_back({std::string(FirstLine(key)), std::string(value)});
}

std::vector<std::string> IniFile::Sections() const {
    std::vector<std::string> out;
    for (const Section& s : sections_) out.push_back(s.name);
    return out;
}

std::vector<std::string> IniFile::Keys(std::string_view section) const {
    std::vector<std::string> out;
    if (const Section* s = FindSection(section))
        for (const Entry& e : s->entries) out.push_back(e.key);
    return out;
}

std::string IniFile::Text() const {
    std::string out;
    for (const Section& s : sections_) {
        out += '[';
        out += s.name;
        out += "]\n";
        for (const Entry& e : s.entries) {
            out += e.key;
            out += '=';
            out += e.value;
            out += '\n';
        }
    }
    return out;
}

bool IniFile::Save(const std::string& path, std::string* error) const {
    auto saved = WriteFileAtomically(path, Text());
    if (!saved && error) *error = saved.error().message;
    return saved.ok();
}

} // namespace korl
