#include "debugger/stop_record.h"

#include "debugger/mi_parser.h"
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
std::string SourceOf(const MiValue& frame, const std::string* toolRoot, std::string_view workingDir) {
    auto map = [&](std::string_view p) { return toolRoot ? MapLibraryPath(p, *toolRoot) : std::string(p); };
    const MiValue* file = frame.Find("file");
    if (!file || file->kind != MiValue::Kind::String) return {};
    std::string path = ResolveSourcePath(map(file->text), workingDir);
    if (!path.empty() && IsFile(path)) return path;
    std::string_view full = frame.Str("fullname");
    if (!full.empty()) {
        std::string other = ResolveSourcePath(map(full), workingDir);
        if (!other.empty() && IsFile(other)) return other;
    }
    return path;
}

std::string LastComponent(std::string_view path) {
    std::size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
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

void StopRecordFrom(const MiRecord& record, std::string_view toolRoot, std::string_view workingDir,
                    StopRecord& out, int& resultNumber) {
    out = StopRecord{};
    const MiValue& r = record.results;
    out.reason = Cut(r.Str("reason"));
    if (r.Find("bkptno")) {
        out.bkptno = int(r.Num("bkptno", 0));
        resultNumber = out.bkptno;
    }
    out.signalMeaning = Cut(r.Str("signal-meaning"));
    out.signalName = Cut(r.Str("signal-name"));
    const MiValue* frame = r.Find("frame");
    if (frame && frame->kind == MiValue::Kind::Tuple) {
        const std::string root(toolRoot);
        out.file = Cut(SourceOf(*frame, &root, workingDir));
        out.line = int(frame->Num("line", -1));
        out.from = Cut(frame->Str("from"));
        out.frame = FrameFrom(*frame, toolRoot, workingDir);
        out.frame.level = 0;
    }
}

void ParseStopRecord(std::string_view record, std::string_view toolRoot, std::string_view workingDir,
                     StopRecord& out, int& resultNumber) {
    MiRecord parsed;
    if (!ParseMiRecord(record, parsed)) {
        out = StopRecord{};
        return;
    }
    StopRecordFrom(parsed, toolRoot, workingDir, out, resultNumber);
}

StackFrame FrameFrom(const MiValue& frame, std::string_view toolRoot, std::string_view workingDir) {
    StackFrame f;
    f.level = int(frame.Num("level", -1));
    f.line = int(frame.Num("line", -1));
    f.func = Cut(frame.Str("func", "??"));
    f.addr = Cut(frame.Str("addr"));
    f.from = Cut(LastComponent(frame.Str("from")));
    f.gdbFile = Cut(frame.Str("file"));
    // SystemC's own sources are not installed: its frames list as library code.
    if (!toolRoot.empty() || f.gdbFile.find("../../../../src/sysc") == std::string::npos) {
        const std::string root(toolRoot);
        std::string file = SourceOf(frame, toolRoot.empty() ? nullptr : &root, workingDir);
        if (!file.empty() && IsFile(file)) f.file = Cut(file);
    }
    return f;
}

std::vector<StackFrame> FramesFrom(const MiValue& results, std::string_view workingDir) {
    std::vector<StackFrame> frames;
    const MiValue* stack = results.Find("stack");
    if (!stack) return frames;
    for (const auto& [name, value] : stack->items)
        if (value.kind == MiValue::Kind::Tuple) frames.push_back(FrameFrom(value, {}, workingDir));
    return frames;
}

std::vector<StackFrame> ParseFrameListing(std::string_view reply, std::string_view workingDir) {
    MiRecord parsed;
    if (!ParseMiRecord(reply, parsed)) return {};
    return FramesFrom(parsed.results, workingDir);
}

std::string ShortFunctionName(std::string_view func) {
    if (func.empty()) return "??";
    std::string_view name = func;
    // The parameter list is the last top-level "(...)", qualifiers after it
    // go with it; operator() keeps its own parentheses.
    std::size_t close = name.rfind(')');
    if (close != std::string_view::npos) {
        int depth = 0;
        for (std::size_t i = close + 1; i-- > 0;) {
            if (name[i] == ')') {
                ++depth;
            } else if (name[i] == '(' && --depth == 0) {
                if (i > 0 && !(i >= 8 && name.substr(i - 8, 8) == "operator")) name = name.substr(0, i);
                break;
            }
        }
    }
    std::string out;
    int depth = 0;
    std::size_t openAt = 0;
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '<' && !(i >= 8 && name.substr(i - 8, 8) == "operator")) {
            if (depth++ == 0) openAt = i;
            if (depth == 1) out += c;
            continue;
        }
        if (c == '>' && depth > 0) {
            if (--depth == 0) {
                std::string_view args = name.substr(openAt + 1, i - openAt - 1);
                out += args.size() > 24 ? std::string("...") : std::string(args);
                out += '>';
            }
            continue;
        }
        if (depth == 0) out += c;
    }
    if (depth > 0) return std::string(name); // unbalanced: as gdb wrote it
    return out;
}

std::string FrameText(const StackFrame& frame, std::string_view projectDir) {
    std::string text = std::to_string(frame.level) + "  " + ShortFunctionName(frame.func) + "  ";
    if (!frame.file.empty())
        text += ProjectShortName(frame.file, projectDir) + ":" + std::to_string(frame.line);
    else if (!frame.from.empty())
        text += "in " + frame.from;
    else if (!frame.gdbFile.empty())
        text += LastComponent(frame.gdbFile) + ":" + std::to_string(frame.line);
    else
        text += "in ??";
    return text;
}

std::string NoSourcePositionText(const StackFrame& frame) {
    std::string text =
        "Stopped in " + (frame.func.empty() ? std::string("??") : ShortFunctionName(frame.func));
    if (!frame.from.empty())
        text += " in " + frame.from;
    else if (!frame.gdbFile.empty())
        text += " (" + LastComponent(frame.gdbFile) + ", no source)";
    else
        text += " (no source)";
    return text;
}

std::string StackText(const std::vector<StackFrame>& frames, std::string_view projectDir) {
    std::string text;
    for (const StackFrame& f : frames) text += FrameText(f, projectDir) + "\r\n";
    return text;
}

} // namespace korl
