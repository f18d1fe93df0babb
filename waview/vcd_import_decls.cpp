// Reading the dump up to its body: the input buffer, tokens, and the
// declarations ($timescale, $scope, $var).
#include "waview/vcd_import_impl.h"

bool Waview_VcdImporter::Impl::Fill(size_t want) {
    if (eof) return false;
    if (self.useText_) {
        buf.Append(self.text_);
        self.text_.clear();
        self.text_.shrink_to_fit();
        eof = true;
        return true;
    }
    const size_t got = std::fread(buf.Room(want), 1, want, file);
    buf.Commit(got);
    if (got < want) {
        eof = true;
        if (std::ferror(file)) readError = true;
    }
    return got > 0;
}

bool Waview_VcdImporter::Impl::Token(std::string_view& tok, int64_t& tokLine) {
    for (;;) {
        while (pos < buf.size() && IsSpace(buf[pos])) {
            if (buf[pos] == '\n') ++line;
            ++pos;
        }
        if (pos < buf.size()) break;
        if (!Fill(1 << 20)) return false;
    }
    size_t end = pos;
    for (;;) {
        while (end < buf.size() && !IsSpace(buf[end])) ++end;
        if (end < buf.size() || eof) break;
        if (end - pos > (64u << 20)) break; // a token this long is cut
        if (!Fill(1 << 20)) break;
    }
    tok = std::string_view(buf.data() + pos, end - pos);
    tokLine = line;
    tokStart = pos;
    pos = end;
    return true;
}

bool Waview_VcdImporter::Impl::SkipToEnd(const char* what, int64_t startLine, std::string* joined) {
    std::string_view t;
    int64_t l;
    while (Token(t, l)) {
        if (t == "$end") return true;
        if (joined) *joined += t;
    }
    Refuse(std::string("$end to close ") + what, startLine);
    return false;
}

int32_t Waview_VcdImporter::Impl::AddDecl(Decl d, std::vector<int32_t>& scopes) {
    const int32_t i = int32_t(decls.size());
    d.parent = scopes.empty() ? -1 : scopes.back();
    decls.push_back(std::move(d));
    if (scopes.empty())
        top.push_back(i);
    else
        decls[size_t(scopes.back())].items.push_back(i);
    return i;
}

bool Waview_VcdImporter::Impl::Timescale(int64_t startLine) {
    std::string s;
    if (!SkipToEnd("$timescale", startLine, &s)) return false;
    size_t n = 0;
    while (n < s.size() && ((s[n] >= '0' && s[n] <= '9') || s[n] == '.')) ++n;
    int64_t c = 0;
    const std::string digits = s.substr(0, n);
    if (n == 0 || !ParseI64(digits.substr(0, digits.find('.')), c) || c <= 0 || c > INT32_MAX) {
        Refuse("time coefficient (1, 10 or 100)", startLine);
        return false;
    }
    static const std::pair<const char*, int32_t> kUnits[] = {{"s", 0},   {"ms", -3},  {"us", -6},
                                                             {"ns", -9}, {"ps", -12}, {"fs", -15},
                                                             {"Ks", 3},  {"Ms", 6},   {"Gs", 9}};
    const std::string unit = s.substr(n);
    for (const auto& [name, e] : kUnits)
        if (unit == name) {
            coefficient = c;
            exponent = e;
            return true;
        }
    Refuse("time unit (s, ms, us, ns, ps, fs)", startLine);
    return false;
}

bool Waview_VcdImporter::Impl::Declarations() {
    std::vector<int32_t> scopes;
    std::string_view tok;
    int64_t l;
    for (;;) {
        if (!Token(tok, l)) {
            if (readError) {
                SourceError();
                return false;
            }
            // A dump of declarations only: nothing changes, still shown.
            bodyLine = line;
            return true;
        }
        if (tok == "$enddefinitions") {
            if (!SkipToEnd("$enddefinitions", l)) return false;
            bodyLine = line;
            return true;
        }
        const char c = tok[0];
        if (c == '#' || tok == "$dumpvars" || tok == "$dumpall" || tok == "$dumpon" || tok == "$dumpoff" ||
            tok.substr(0, 10) == "$dumpports" ||
            (c != '$' && c != 0 &&
             (c == 'b' || c == 'B' || c == 'r' || c == 'R' || std::strchr("01xXzZ", c)))) {
            // No $enddefinitions: the body starts here.
            pos = tokStart;
            bodyLine = l;
            return true;
        }
        if (tok == "$comment" || tok == "$date" || tok == "$version") {
            const std::string what(tok);
            if (!SkipToEnd(what.c_str(), l)) return false;
        } else if (tok == "$timescale") {
            if (!Timescale(l)) return false;
        } else if (tok == "$scope") {
            std::vector<std::string> parts;
            std::string_view t;
            int64_t tl;
            for (;;) {
                if (!Token(t, tl)) {
                    Refuse("$end to close $scope", l);
                    return false;
                }
                if (t == "$end") break;
                if (parts.size() < 2) parts.emplace_back(t);
            }
            if (int32_t(scopes.size()) >= kMaxScopeDepth) {
                self.messages_.push_back(
                    {"Parser Error",
                     "Max stack exceeded\nExpecting $upscope (scopes nest too deeply)\nin line: " +
                         std::to_string(l) + " of " + self.path_});
                return false;
            }
            Decl d;
            d.scope = true;
            if (parts.size() < 2) {
                warnings.Add("a $scope without a name is shown as \"(unnamed)\"", l, "");
                d.name = kUnnamedScope;
            } else {
                d.name = Cut(parts[1]);
            }
            scopes.push_back(AddDecl(std::move(d), scopes));
        } else if (tok == "$upscope") {
            if (!SkipToEnd("$upscope", l)) return false;
            if (!scopes.empty()) scopes.pop_back();
        } else if (tok == "$var") {
            if (!Variable(l, scopes)) return false;
        } else if (c == '$') {
            warnings.AddUnknownCommand(tok, l);
            const std::string what(tok);
            if (!SkipToEnd(what.c_str(), l)) return false;
        } else {
            Refuse(
                "declaration command ($comment, $date, $enddefinitions, $scope, $timescale, $upscope, "
                "$var, $version)",
                l);
            return false;
        }
    }
}

bool Waview_VcdImporter::Impl::Variable(int64_t l, std::vector<int32_t>& scopes) {
    static const char* const kParts[] = {"variable type", "size", "identifier code", "reference name"};
    std::string part[4];
    std::string_view t;
    int64_t tl;
    for (int i = 0; i < 4; ++i) {
        if (!Token(t, tl) || t == "$end") {
            Refuse(kParts[i], tl);
            return false;
        }
        part[i] = t;
    }
    Decl d;
    d.type = part[0];
    d.code = part[2];
    std::string name = part[3];
    // Extended dumps give ports a range as their size: "[7:0]".
    if (part[1].size() > 2 && part[1].front() == '[') {
        const std::string r = part[1].substr(1, part[1].size() - 2);
        const size_t colon = r.find(':');
        int64_t a = 0, b = 0;
        if (colon == std::string::npos || !ParseI64(r.substr(0, colon), a) ||
            !ParseI64(r.substr(colon + 1), b)) {
            Refuse("decimal number (variable size)", l);
            return false;
        }
        d.size = (a > b ? a - b : b - a) + 1;
        d.first = r.substr(0, colon);
        d.second = r.substr(colon + 1);
        d.ranged = true;
    } else {
        if (!AllDigits(part[1])) {
            Refuse("decimal number (variable size)", l);
            return false;
        }
        if (!ParseI64(part[1], d.size) || d.size < 1) {
            Refuse("variable size of at least 1", l);
            return false;
        }
    }
    // The rest up to $end: a range "[7:0]" apart from the name, or more
    // name. A command instead of $end means the $end is missing.
    std::string rest;
    for (;;) {
        if (!Token(t, tl)) {
            Refuse("$end to close $var", tl);
            return false;
        }
        if (t == "$end") break;
        if (t[0] == '$') {
            warnings.Add("a $var has no $end", l, name);
            pos = tokStart;
            line = tl;
            break;
        }
        if (rest.size() < 4096) rest += t;
    }
    name += rest;
    const size_t open = name.rfind('[');
    if (!d.ranged && open != std::string::npos && open > 0 && name.back() == ']') {
        const std::string r = name.substr(open + 1, name.size() - open - 2);
        const size_t colon = r.find(':');
        int64_t a, b;
        const std::string fa = colon == std::string::npos ? r : r.substr(0, colon);
        const std::string fb = colon == std::string::npos ? "" : r.substr(colon + 1);
        if (ParseI64(fa, a) && (colon == std::string::npos || ParseI64(fb, b))) {
            d.ranged = true;
            d.first = fa;
            d.second = fb;
            name.resize(open);
        }
    }
    d.name = name;
    const int32_t index = AddDecl(std::move(d), scopes);
    Decl& v = decls[size_t(index)];
    if (codes.Find(v.code)) return true; // an alias of an earlier variable
    Target target;
    target.signal = uint32_t(store->signals.size());
    WaveStoreSignal s;
    if (v.type == "real" || v.type == "realtime" || v.type == "shortreal") {
        s.kind = WaveStoreSignal::kReal;
    } else if (v.type == "string") {
        s.kind = WaveStoreSignal::kString;
    } else {
        // Wider than the bound: the leftmost digits are kept.
        s.width = uint32_t(std::min<int64_t>(v.size, options().maxBusWidth));
        if (v.size > int64_t(options().maxBusWidth))
            warnings.Add("buses wider than " + std::to_string(options().maxBusWidth) +
                             " bits keep their leftmost bits",
                         l, v.name);
        target.bus = v.size > 1 && v.type != "integer";
    }
    target.kind = s.kind;
    target.width = s.width;
    store->signals.push_back(std::move(s));
    firstDeclOf.push_back(index);
    codes.Add(v.code, target);
    return true;
}
