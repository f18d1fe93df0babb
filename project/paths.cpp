#include "project/paths.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace korl {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool StartsWithDrive(std::string_view path) {
    return path.size() >= 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

PathParts SplitPath(std::string_view path) {
    PathParts p;
    size_t pos = 0;
    if (StartsWithDrive(path)) {
        p.drive = std::string(path.substr(0, 2));
        pos = 2;
    }
    size_t lastSep = std::string_view::npos;
    for (size_t i = pos; i < path.size(); ++i)
        if (IsSeparator(path[i])) lastSep = i;
    size_t nameStart = pos;
    if (lastSep != std::string_view::npos) {
        p.dir = std::string(path.substr(pos, lastSep + 1 - pos));
        nameStart = lastSep + 1;
    }
    std::string_view name = path.substr(nameStart);
    size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        p.base = std::string(name);
    } else {
        p.base = std::string(name.substr(0, dot));
        p.ext = std::string(name.substr(dot));
    }
    return p;
}

std::string DirectoryOf(std::string_view path) {
    PathParts p = SplitPath(path);
    return p.drive + p.dir;
}

std::string FileNameOf(std::string_view path) {
    PathParts p = SplitPath(path);
    return p.base + p.ext;
}

std::string ExtensionOf(std::string_view name) {
    size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string StemOf(std::string_view name) {
    size_t dot = name.rfind('.');
    return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string ToForwardSlashes(std::string s) {
    for (char& c : s)
        if (c == '\\') c = '/';
    return s;
}

static bool IsWhite(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string TrimWhitespace(std::string_view s) {
    size_t b = 0, e = s.size();
    while (b < e && IsWhite(s[b])) ++b;
    while (e > b && IsWhite(s[e - 1])) --e;
    return std::string(s.substr(b, e - b));
}

namespace {

void TrimLeadingSeparators(std::string& s) {
    size_t n = 0;
    while (n < s.size() && IsSeparator(s[n])) ++n;
    s.erase(0, n);
}

void TrimTrailingSeparators(std::string& s) {
    while (!s.empty() && IsSeparator(s.back())) s.pop_back();
}

// The text before the first backslash, or when there is none before the
// first slash, or the whole text.
std::string FirstComponent(const std::string& s) {
    size_t pos = s.find('\\');
    if (pos == std::string::npos) pos = s.find('/');
    return pos == std::string::npos ? s : s.substr(0, pos);
}

void RemoveFirstComponent(std::string& s) {
    size_t n = FirstComponent(s).size();
    s.erase(0, n);
    if (!s.empty()) s.erase(0, 1);
}

// Splits at both separators, folding "." and ".."; `rooted` tells whether
// the text began with a separator.
std::vector<std::string> NormalComponents(std::string_view s) {
    std::vector<std::string> parts;
    std::string cur;
    auto flush = [&]() {
        if (cur.empty() || cur == ".") {
        } else if (cur == "..") {
            if (!parts.empty() && parts.back() != ".." &&
                !(parts.size() == 1 && parts[0].size() == 2 && StartsWithDrive(parts[0])))
                parts.pop_back();
        } else {
            parts.push_back(cur);
        }
        cur.clear();
    };
    for (char c : s) {
        if (IsSeparator(c))
            flush();
        else
            cur.push_back(c);
    }
    flush();
    return parts;
}

std::string JoinComponents(const std::vector<std::string>& parts, bool rooted) {
    std::string out = rooted ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

std::string CurrentDirectory() {
    std::vector<char> buf(4096);
    for (int tries = 0; tries < 6; ++tries) {
        if (getcwd(buf.data(), buf.size())) return buf.data();
        if (errno != ERANGE) break;
        buf.resize(buf.size() * 2);
    }
    return "/";
}

} // namespace

std::string MakeRelative(std::string_view pathIn, std::string_view baseIn) {
    const std::string drive = SplitPath(pathIn).drive;
    if (baseIn.substr(0, drive.size()) != drive) return std::string(pathIn);

    std::string path(pathIn), base(baseIn);
    TrimLeadingSeparators(path);
    TrimTrailingSeparators(path);
    base.erase(0, drive.size());
    TrimLeadingSeparators(base);
    if (path.compare(0, drive.size(), drive) == 0) path.erase(0, drive.size());
    TrimLeadingSeparators(path);

    while (!base.empty() && !path.empty()) {
        if (FirstComponent(base) != FirstComponent(path)) break;
        RemoveFirstComponent(base);
        RemoveFirstComponent(path);
    }
    size_t up = 0;
    while (!FirstComponent(base).empty()) {
        ++up;
        RemoveFirstComponent(base);
    }
    std::string result;
    for (size_t i = 0; i < up; ++i) result += "../";
    result += path;
    TrimTrailingSeparators(result);
    // A name like "C:x" beside the project would read back as a drive path.
    if (drive.empty() && StartsWithDrive(result)) result.insert(0, "./");
    return result;
}

std::string NormalizeDirectory(std::string_view dir) {
    bool rooted = !dir.empty() && IsSeparator(dir[0]);
    std::string out = JoinComponents(NormalComponents(dir), rooted);
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

std::string ResolveStoredDirectory(std::string_view dirPart, std::string_view projectDir) {
    if (dirPart.empty()) return std::string(projectDir);
    // Only a letter makes a drive: ".:x/" is a folder named ".:x".
    bool absolute = IsSeparator(dirPart[0]) || StartsWithDrive(dirPart);
    if (absolute) return NormalizeDirectory(dirPart);
    std::string joined(projectDir);
    if (!joined.empty() && !IsSeparator(joined.back())) joined += '/';
    joined += dirPart;
    return NormalizeDirectory(joined);
}

std::string AbsolutePath(std::string_view path, std::string_view cwd) {
    std::string full;
    if (!path.empty() && IsSeparator(path[0])) {
        full = std::string(path);
    } else {
        full = cwd.empty() ? CurrentDirectory() : std::string(cwd);
        full += '/';
        full += path;
    }
    return JoinComponents(NormalComponents(full), true);
}

bool FileExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::FILE* OpenRegularFile(const std::string& path, const char* mode) {
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) (void)fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    std::FILE* f = fdopen(fd, mode);
    if (!f) close(fd);
    return f;
}

} // namespace korl
