// VCD parse: declarations into a tree, then simulation commands one by one,
// either all at once or as the converter walks them.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

#include "grammar/parser_impl.h"

namespace {

struct CharClass {
    bool space[256] = {};
    bool scalar[256] = {};
    bool digit[256] = {};
    constexpr CharClass() {
        for (char c : std::string_view(" \t\r\n\v\f")) space[static_cast<unsigned char>(c)] = true;
        for (char c : std::string_view("01xXzZuUwWlLhH-")) scalar[static_cast<unsigned char>(c)] = true;
        for (char c = '0'; c <= '9'; ++c) digit[static_cast<unsigned char>(c)] = true;
    }
};
constexpr CharClass kClass;

inline bool IsSpace(char c) { return kClass.space[static_cast<unsigned char>(c)]; }
inline bool IsScalar(char c) { return kClass.scalar[static_cast<unsigned char>(c)]; }

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!kClass.digit[static_cast<unsigned char>(c)]) return false;
    return true;
}

bool IsIndex(std::string_view s) {
    if (!s.empty() && (s[0] == '-' || s[0] == '+')) s.remove_prefix(1);
    return AllDigits(s);
}

// "[a]" or "[a:b]" exactly.
bool SplitRange(std::string_view r, std::string_view& a, std::string_view& b, bool& two) {
    if (r.size() < 3 || r.front() != '[' || r.back() != ']') return false;
    r = r.substr(1, r.size() - 2);
    const size_t colon = r.find(':');
    two = colon != std::string_view::npos;
    a = two ? r.substr(0, colon) : r;
    b = two ? r.substr(colon + 1) : std::string_view();
    return IsIndex(a) && (!two || IsIndex(b));
}

constexpr size_t kMaxCommentText = 64 * 1024;
const char kSimExpecting[] =
    "simulation command (#time, value change, $dumpvars, $dumpall, $dumpon, $dumpoff, $comment)";

} // namespace

// --- token source ----------------------------------------------------------

bool TokenSource::OpenFile(const std::string& path) {
    Close();
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) return false;
    buf_.resize(kBlock);
    return true;
}

void TokenSource::OpenBuffer(std::string text) {
    Close();
    buf_.assign(text.begin(), text.end());
    end_ = buf_.size();
    memory_ = true;
    eof_ = true;
}

void TokenSource::Close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    memory_ = false;
    eof_ = false;
    pos_ = end_ = 0;
    consumed_ = 0;
    line_ = tokenLine_ = 1;
    tooLong = false;
    readError = false;
    buf_.clear();
    buf_.shrink_to_fit();
}

bool TokenSource::Refill() {
    consumed_ += end_;
    pos_ = end_ = 0;
    if (eof_ || !file_) return false;
    end_ = std::fread(buf_.data(), 1, buf_.size(), file_);
    if (end_ == 0) {
        eof_ = true;
        readError = std::ferror(file_) != 0;
    }
    return end_ > 0;
}

bool TokenSource::Next(std::string_view& tok) {
    for (;;) {
        while (pos_ < end_) {
            const char c = buf_[pos_];
            if (c == '\n')
                ++line_;
            else if (!IsSpace(c))
                break;
            ++pos_;
        }
        if (pos_ < end_) break;
        if (!Refill()) return false;
    }
    tokenLine_ = line_;
    size_t start = pos_;
    for (;;) {
        while (pos_ < end_ && !IsSpace(buf_[pos_])) ++pos_;
        if (pos_ < end_ || eof_ || !file_) break;
        // The token runs to the end of the block: keep it and read on.
        std::memmove(buf_.data(), buf_.data() + start, end_ - start);
        consumed_ += start;
        pos_ -= start;
        end_ -= start;
        start = 0;
        if (end_ == buf_.size()) {
            if (buf_.size() >= kMaxToken) {
                tooLong = true;
                return false;
            }
            buf_.resize(std::min(buf_.size() * 2, kMaxToken));
        }
        const size_t got = std::fread(buf_.data() + end_, 1, buf_.size() - end_, file_);
        if (got == 0) {
            eof_ = true;
            readError = std::ferror(file_) != 0;
        }
        end_ += got;
    }
    tok = std::string_view(buf_.data() + start, pos_ - start);
    return true;
}

// --- parse -----------------------------------------------------------------

bool ParserInterface::Impl::UntilEnd(std::string* joined, const char* what) {
    std::string_view tok;
    while (src.Next(tok)) {
        if (tok == "$end") return true;
        if (joined && joined->size() < kMaxCommentText) {
            if (!joined->empty()) *joined += ' ';
            joined->append(tok.substr(0, kMaxCommentText - joined->size()));
        }
    }
    Error(kPgParseFailed, src.tooLong ? "a shorter token" : std::string("$end to close ") + what,
          src.TokenLine());
    return false;
}

bool ParserInterface::Impl::ParseDeclarations(int32_t declList) {
    std::vector<int32_t> scopes;
    auto parentFor = [&]() { return scopes.empty() ? declList : NewNode(kSymScopeBody, scopes.back()); };
    std::string_view tok;
    std::string s;
    for (;;) {
        if (!src.Next(tok)) {
            if (src.readError)
                Error(kPgErrorOpeningSource, "", 0);
            else
                Error(kPgParseFailed, src.tooLong ? "a shorter token" : "$enddefinitions", src.Line());
            return false;
        }
        const int64_t line = src.TokenLine();
        if (tok == "$enddefinitions") return UntilEnd(nullptr, "$enddefinitions");
        if (tok == "$comment" || tok == "$date" || tok == "$version") {
            const int32_t cmd = tok == "$comment" ? kSymCommentCommand
                                : tok == "$date"  ? kSymDateCommand
                                                  : kSymVersionCommand;
            const int32_t leaf = cmd == kSymCommentCommand ? kSymCommentString
                                 : cmd == kSymDateCommand  ? kSymDateText
                                                           : kSymVersinText;
            s.clear();
            if (!UntilEnd(&s, VcdSymbolName(cmd))) return false;
            // Comments inside a scope are not items of the scope.
            if (scopes.empty()) Leaf(leaf, NewNode(cmd, declList), s);
        } else if (tok == "$timescale") {
            s.clear();
            if (!UntilEnd(&s, "$timescale")) return false;
            s.erase(std::remove(s.begin(), s.end(), ' '), s.end());
            size_t n = 0;
            while (n < s.size() && s[n] >= '0' && s[n] <= '9') ++n;
            if (n == 0) {
                Error(kPgParseFailed, "time coefficient (1, 10 or 100)", line);
                return false;
            }
            // Only the units of the standard (and K, M, G seconds); "7 parsecs"
            // is not 7 ps.
            static constexpr std::string_view kUnits[] = {"s",  "ms", "us", "ns", "ps",
                                                          "fs", "Ks", "Ms", "Gs"};
            const std::string_view unit = std::string_view(s).substr(n);
            if (std::find(std::begin(kUnits), std::end(kUnits), unit) == std::end(kUnits)) {
                Error(kPgParseFailed, "time unit (s, ms, us, ns, ps, fs)", line);
                return false;
            }
            const int32_t cmd = NewNode(kSymTimescaleCommand, declList);
            Leaf(kSymTimeCoefficient, cmd, std::string_view(s).substr(0, n));
            Leaf(kSymTimeUnit, cmd, std::string_view(s).substr(n));
        } else if (tok == "$scope") {
            std::string type, ident;
            std::string_view t;
            if (!src.Next(t) || t == "$end") {
                Error(kPgParseFailed, "scope type (module, task, function, begin, fork)", src.TokenLine());
                return false;
            }
            type = t;
            if (!src.Next(t) || t == "$end") {
                Error(kPgParseFailed, "scope identifier", src.TokenLine());
                return false;
            }
            ident = t;
            if (!UntilEnd(nullptr, "$scope")) return false;
            if (static_cast<int32_t>(scopes.size()) >= scopeDepthLimit) {
                Error(kPgMaxStackExceeded, "$upscope (scopes nest too deeply)", line);
                return false;
            }
            const int32_t cmd = NewNode(kSymScopeCommand, parentFor());
            Leaf(kSymScopeType, cmd, type);
            Leaf(kSymScopeIdentifier, cmd, ident);
            scopes.push_back(cmd);
        } else if (tok == "$upscope") {
            if (!UntilEnd(nullptr, "$upscope")) return false;
            if (!scopes.empty()) scopes.pop_back();
        } else if (tok == "$var") {
            static const char* const kParts[] = {"variable type", "size", "identifier code",
                                                 "reference name"};
            std::string part[4];
            for (int i = 0; i < 4; ++i) {
                std::string_view t;
                if (!src.Next(t) || t == "$end") {
                    Error(kPgParseFailed, kParts[i], src.TokenLine());
                    return false;
                }
                part[i] = t;
            }
            if (!AllDigits(part[1])) {
                Error(kPgParseFailed, "decimal number (variable size)", line);
                return false;
            }
            if (part[1].find_first_not_of('0') == std::string::npos) {
                Error(kPgParseFailed, "variable size of at least 1", line);
                return false;
            }
            std::string rest;
            std::string_view t;
            for (;;) {
                if (!src.Next(t)) {
                    Error(kPgParseFailed, "$end to close $var", src.TokenLine());
                    return false;
                }
                if (t == "$end") break;
                if (rest.size() < kMaxCommentText) rest.append(t);
            }
            // "[7:0]" may be attached to the name or separated by blanks.
            std::string name = part[3] + rest;
            std::string_view a, b;
            bool two = false, ranged = false;
            const size_t open = name.rfind('[');
            if (open != std::string::npos && open > 0 &&
                SplitRange(std::string_view(name).substr(open), a, b, two)) {
                ranged = true;
            }
            const int32_t cmd = NewNode(kSymVarCommand, parentFor());
            Leaf(kSymVarType, cmd, part[0]);
            Leaf(kSymVarSize, cmd, part[1]);
            Leaf(kSymVarIdentifier, cmd, part[2]);
            Leaf(kSymVarName, cmd, ranged ? std::string_view(name).substr(0, open) : name);
            if (ranged) {
                const int32_t r = NewNode(kSymVarRange, cmd);
                if (two) {
                    Leaf(kSymMsbIndex, r, a);
                    Leaf(kSymLsbIndex, r, b);
                } else {
                    Leaf(kSymBitSelectIndex, r, a);
                }
            }
        } else if (!tok.empty() && tok[0] == '$') {
            // Commands other tools add ($attrbegin, ...) carry nothing we show.
            const std::string what(tok);
            if (!UntilEnd(nullptr, what.c_str())) return false;
        } else {
            Error(kPgParseFailed,
                  "declaration command ($comment, $date, $enddefinitions, $scope, $timescale, "
                  "$upscope, $var, $version)",
                  line);
            return false;
        }
    }
}

bool ParserInterface::Impl::ParseValueChange(std::string_view tok, int32_t parent, bool* recognised) {
    *recognised = true;
    const char c = tok[0];
    int32_t valueSym;
    std::string_view value;
    if (IsScalar(c)) {
        valueSym = kSymBinaryNumber;
        value = tok.substr(0, 1);
    } else if (c == 'b' || c == 'B') {
        valueSym = kSymVectorNumber;
        value = tok.substr(1);
        bool ok = !value.empty();
        for (char v : value) ok = ok && IsScalar(v);
        if (!ok) {
            Error(kPgParseFailed, "binary digits (0, 1, x, z) after 'b'", src.TokenLine());
            return false;
        }
    } else if (c == 'r' || c == 'R') {
        valueSym = kSymRealNumber;
        value = tok.substr(1);
        if (value.empty()) {
            Error(kPgParseFailed, "real number after 'r'", src.TokenLine());
            return false;
        }
    } else {
        *recognised = false;
        return false;
    }
    const int32_t node = NewNode(kSymValueChange, parent);
    Leaf(valueSym, node, value);
    std::string_view code;
    if (valueSym == kSymBinaryNumber && tok.size() > 1) {
        code = tok.substr(1);
    } else if (!src.Next(code) || code == "$end") {
        Error(kPgParseFailed, "identifier code", src.TokenLine());
        return false;
    }
    Leaf(kSymVarIdentifier, node, code);
    return true;
}

bool ParserInterface::Impl::ProduceSimCommand() {
    if (finished) return false;
    if (streaming) {
        nodes.resize(simNodeMark);
        text.resize(simTextMark);
        nodes[simList].first = nodes[simList].last = -1;
        lastParent = lastIndex = lastChild = -1;
    }
    auto finish = [&]() {
        finished = true;
        bytesAtEnd = src.Offset();
        src.Close();
        return false;
    };
    std::string_view tok;
    std::string s;
    for (;;) {
        if (!src.Next(tok)) {
            if (src.tooLong) Error(kPgParseFailed, "a shorter token", src.Line());
            if (src.readError) Error(kPgErrorOpeningSource, "", 0);
            return finish();
        }
        const char c = tok[0];
        if (c == '#') {
            if (!AllDigits(tok.substr(1))) {
                Error(kPgParseFailed, "decimal time after '#'", src.TokenLine());
                return finish();
            }
            Leaf(kSymSimulationTime, simList, tok.substr(1));
            return true;
        }
        if (c == '$') {
            int32_t sym = -1;
            if (tok == "$dumpvars")
                sym = kSymDumpvarsCommand;
            else if (tok == "$dumpall")
                sym = kSymDumpallCommand;
            else if (tok == "$dumpon")
                sym = kSymDumponCommand;
            else if (tok == "$dumpoff")
                sym = kSymDumpoffCommand;
            if (sym >= 0) {
                const int32_t cmd = NewNode(sym, simList);
                for (;;) {
                    if (!src.Next(tok)) {
                        Error(kPgParseFailed, src.tooLong ? "a shorter token" : "$end", src.TokenLine());
                        return finish();
                    }
                    if (tok == "$end") return true;
                    if (tok == "$comment") {
                        if (!UntilEnd(nullptr, "$comment")) return finish();
                        continue;
                    }
                    bool recognised;
                    if (!ParseValueChange(tok, cmd, &recognised)) {
                        if (!recognised) Error(kPgParseFailed, "value change or $end", src.TokenLine());
                        return finish();
                    }
                }
            }
            if (tok == "$comment") {
                s.clear();
                if (!UntilEnd(&s, "$comment")) return finish();
                Leaf(kSymCommentString, NewNode(kSymCommentCommand, simList), s);
                return true;
            }
            if (tok == "$end") continue;
            const std::string what(tok);
            if (!UntilEnd(nullptr, what.c_str())) return finish();
            continue;
        }
        bool recognised;
        if (ParseValueChange(tok, simList, &recognised)) return true;
        if (!recognised) Error(kPgEofExpected, kSimExpecting, src.TokenLine());
        return finish();
    }
}
