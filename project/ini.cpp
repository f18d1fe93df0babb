#include "project/ini.h"
#include "base/result.h"

#include "base/atomic_file.h"
#include "project/paths.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace korl {

namespace {

// Keys and section names compare ignoring ASCII letter case.
std::string Folded(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
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

bool IniFile::Load(const std::string& path, std::string* error) {
    sections_.clear();
    sectionIndex_.clear();
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    // Non-blocking, so a FIFO named as a project file is refused, not waited on.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(SystemText(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? "it is a directory" : "not a regular file");
    }
    if (static_cast<unsigned long long>(st.st_size) > kMaxFileBytes) {
        ::close(fd);
        return fail("larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB");
    }
    std::string text;
    char buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            return fail(SystemText(err));
        }
        if (n == 0) break;
        if (text.size() + static_cast<size_t>(n) > kMaxFileBytes) {
            ::close(fd);
            return fail("larger than " + std::to_string(kMaxFileBytes >> 20) + " MiB");
        }
        text.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    Parse(text);
    return true;
}

void IniFile::Parse(std::string_view text) {
    sections_.clear();
    sectionIndex_.clear();
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
            if (!current) current = &AddSection(name);
            continue;
        }
        size_t eq = line.find('=');
        if (!current || eq == std::string_view::npos) continue;
        std::string_view key = TrimBlanks(line.substr(0, eq));
        std::string_view value = TrimBlanks(line.substr(eq + 1));
        if (key.empty()) continue;
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        // The first of repeated keys wins.
        if (current->index.emplace(Folded(key), current->entries.size()).second)
            current->entries.push_back({std::string(key), std::string(value)});
    }
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    auto it = sectionIndex_.find(Folded(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

IniFile::Section& IniFile::AddSection(std::string_view name) {
    sectionIndex_.emplace(Folded(name), sections_.size());
    sections_.push_back({std::string(name), {}, {}});
    return sections_.back();
}

const IniFile::Entry* IniFile::FindEntry(const Section& s, std::string_view key) const {
    auto it = s.index.find(Folded(key));
    return it == s.index.end() ? nullptr : &s.entries[it->second];
}

std::string IniFile::Get(std::string_view section, std::string_view key, std::string_view def) const {
    if (const Section* s = FindSection(section))
        if (const Entry* e = FindEntry(*s, key)) return Cut(e->value);
    return Cut(def);
}

bool IniFile::Has(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    return s && FindEntry(*s, key);
}

void IniFile::Set(std::string_view section, std::string_view key, std::string_view value) {
    value = FirstLine(value);
    section = FirstLine(section);
    key = FirstLine(key);
    Section* s = const_cast<Section*>(FindSection(section));
    if (!s) s = &AddSection(section);
    if (const Entry* e = FindEntry(*s, key)) {
        const_cast<Entry*>(e)->value = std::string(value);
        return;
    }
    s->index.emplace(Folded(key), s->entries.size());
    s->entries.push_back({std::string(key), std::string(value)});
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
            // Reading trims blanks and drops one pair of enclosing quotes:
            // a value they would change goes out quoted.
            const std::string& v = e.value;
            const bool quote =
                !v.empty() && (TrimBlanks(v).size() != v.size() ||
                               (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]));
            if (quote) out += '"';
            out += v;
            if (quote) out += '"';
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
