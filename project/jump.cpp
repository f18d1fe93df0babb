#include "project/jump.h"

#include "project/paths.h"

namespace korl {

namespace {

constexpr std::size_t kMaxPaneLine = 1024;

// A decimal line number (blanks before it allowed); nothing for other text.
std::optional<int> ParseNumber(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ') ++i;
    if (i == s.size()) return std::nullopt;
    long value = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        value = value * 10 + (s[i] - '0');
        if (value > 100000000) return std::nullopt;
    }
    return static_cast<int>(value);
}

} // namespace

std::optional<JumpTarget> ParseJumpLine(std::string_view paneLine) {
    std::string_view s = paneLine.substr(0, kMaxPaneLine);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    std::size_t word = s.find("error:");
    if (word == std::string_view::npos) word = s.find("warning:");
    if (word == std::string_view::npos || word < 2) return std::nullopt;
    s = s.substr(0, word - 2); // drops the ": " before the word

    // "file:line", "file:line:column"; fields that are no number (the "fatal"
    // of "x.cpp:3:10: fatal error:") are skipped.
    std::optional<int> line;
    while (!line) {
        std::size_t colon = s.rfind(':');
        if (colon == std::string_view::npos) return std::nullopt;
        line = ParseNumber(s.substr(colon + 1));
        s = s.substr(0, colon);
    }
    std::size_t colon = s.rfind(':');
    if (colon != std::string_view::npos && colon + 1 < s.size() && s[colon + 1] != '/' &&
        s[colon + 1] != '\\') {
        if (auto first = ParseNumber(s.substr(colon + 1))) {
            line = first;
            s = s.substr(0, colon);
        }
    }
    if (s.empty() || *line <= 0) return std::nullopt;
    return JumpTarget{std::string(s), *line};
}

std::string ResolveJumpFile(std::string_view file, std::string_view projectDirectory) {
    PathParts parts = SplitPath(file);
    std::string dir = ResolveStoredDirectory(parts.drive + parts.dir, projectDirectory);
    return dir + parts.base + parts.ext;
}

} // namespace korl
