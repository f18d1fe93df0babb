#include "debugger/stop_record.h"

#include "debugger/mi_text.h"

#include <sys/stat.h>

#include <vector>

namespace korl {

namespace {

std::string Cut(std::string_view text) { return std::string(text.substr(0, kMaxStopField)); }

bool IsDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Lexical normalisation: no ".", no "..", no doubled slashes.
std::string Normalise(const std::string& path) {
    std::vector<std::string_view> parts;
    std::string_view rest(path);
    while (!rest.empty()) {
        std::size_t slash = rest.find('/');
        std::string_view part = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash + 1);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string out;
    for (std::string_view part : parts) {
        out += '/';
        out += part;
    }
    return out.empty() ? "/" : out;
}

bool IsFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// "file=" is relative to where the program was compiled, normally the
// project directory; when it names no file from there, gdb's "fullname="
// (the compile directory's view) is the better guess.
std::string SourceOf(std::string_view record, const std::string* toolRoot, std::string_view workingDir) {
    auto map = [&](std::string_view p) { return toolRoot ? MapLibraryPath(p, *toolRoot) : std::string(p); };
    auto file = FieldValue(record, "file=");
    if (!file) return {};
    std::string path = ResolveSourcePath(map(*file), workingDir);
    if (!path.empty() && IsFile(path)) return path;
    if (auto full = FieldValue(record, "fullname=")) {
        std::string other = ResolveSourcePath(map(*full), workingDir);
        if (!other.empty() && IsFile(other)) return other;
    }
    return path;
}

} // namespace

std::string MapLibraryPath(std::string_view path, std::string_view toolRoot) {
    std::string root(toolRoot);
    std::size_t at;
    if (path.find("../../../../src/sysc/") != std::string_view::npos) {
        at = path.find("/src/sysc/");
        return root + "/libraries/systemc-2.1.v1" + std::string(path.substr(at));
    }
    if (path.find("../../../src/scv/") != std::string_view::npos) {
        at = path.find("/src/scv/");
        return root + "/libraries/scv-1.0p2-sysc2.2" + std::string(path.substr(at));
    }
    if (path == "scv_constraint.cpp")
        return root + "/libraries/scv-1.0p2-sysc2.2/src/scv/" + std::string(path);
    at = path.find("/mingw/include/");
    if (at != std::string_view::npos) return root + std::string(path.substr(at));
    return std::string(path);
}

std::string ResolveSourcePath(std::string_view path, std::string_view workingDir) {
    if (path.empty()) return {};
    std::string p(path);
    for (char& c : p)
        if (c == '\\') c = '/';
    std::string full = p[0] == '/' ? p : std::string(workingDir) + "/" + p;
    full = Normalise(full);
    std::size_t slash = full.rfind('/');
    std::string dir = slash == 0 ? "/" : full.substr(0, slash);
    if (!IsDirectory(dir)) return {};
    return full;
}

void ParseStopRecord(std::string_view record, std::string_view toolRoot, std::string_view workingDir,
                     StopRecord& out, int& resultNumber) {
    out = StopRecord{};
    if (auto v = FieldValue(record, "reason=")) out.reason = Cut(*v);
    if (auto v = FieldValue(record, "bkptno=")) resultNumber = int(ParseDecimal(*v));
    const std::string root(toolRoot);
    out.file = Cut(SourceOf(record, &root, workingDir));
    if (auto v = FieldValue(record, "line=")) out.line = int(ParseDecimal(*v, -1));
    if (auto v = FieldValue(record, "from=")) out.from = Cut(*v);
    if (auto v = FieldValue(record, "signal-meaning=")) out.signalMeaning = Cut(*v);
    if (auto v = FieldValue(record, "signal-name=")) out.signalName = Cut(*v);
}

std::string ParseFrameListing(std::string_view reply, std::string_view workingDir) {
    std::string stack;
    static constexpr std::string_view kFrame = "frame=";
    std::size_t at = reply.find(kFrame);
    while (at != std::string_view::npos) {
        std::size_t next = reply.find(kFrame, at + kFrame.size());
        std::string_view frame =
            reply.substr(at, next == std::string_view::npos ? std::string_view::npos : next - at);
        at = next;

        long long level = -1, line = -1;
        if (auto v = FieldValue(frame, "level=")) level = ParseDecimal(*v, -1);
        if (auto v = FieldValue(frame, "line=")) line = ParseDecimal(*v, -1);
        std::string from;
        if (auto v = FieldValue(frame, "from=")) {
            std::size_t slash = v->rfind('/');
            from = Cut(slash == std::string_view::npos ? *v : v->substr(slash + 1));
        }
        std::string file;
        if (auto v = FieldValue(frame, "file=")) {
            if (v->find("../../../../src/sysc") == std::string_view::npos)
                file = Cut(SourceOf(frame, nullptr, workingDir));
        }
        if (!file.empty())
            stack += std::to_string(level) + ": " + file + " line=" + std::to_string(line) + "\r\n";
        else
            stack += std::to_string(level) + ": " + from + "\r\n";
    }
    return stack;
}

std::optional<SourceLocation> StackLineLocation(std::string_view stackLine, std::string_view projectDir) {
    std::string_view text = stackLine.substr(0, 255);
    std::size_t key = text.find("line=");
    if (key == std::string_view::npos) return std::nullopt;
    SourceLocation loc;
    loc.line = int(ParseDecimal(text.substr(key + 5), 0));
    std::string_view head = text.substr(0, key);
    if (!head.empty() && head.back() == ' ') head.remove_suffix(1);
    std::size_t blank = head.find(' ');
    if (blank == std::string_view::npos) return std::nullopt;
    std::string_view file = head.substr(blank + 1);
    if (file.empty()) return std::nullopt;
    loc.file = ResolveSourcePath(file, projectDir);
    if (loc.file.empty()) loc.file = std::string(file);
    return loc;
}

} // namespace korl
