#include "debugger/mi_parser.h"

#include "debugger/mi_text.h"

namespace korl {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : t_(text) {}

    bool Results(MiValue& out, char close) {
        out.kind = MiValue::Kind::Tuple;
        if (AtEnd() || Peek() == close) return true;
        for (;;) {
            std::string name;
            MiValue value;
            if (!Result(name, value)) return false;
            out.items.emplace_back(std::move(name), std::move(value));
            if (AtEnd() || Peek() != ',') return true;
            ++pos_;
        }
    }

    bool Result(std::string& name, MiValue& value) {
        std::size_t start = pos_;
        while (!AtEnd() && Peek() != '=' && Peek() != ',' && Peek() != '{' && Peek() != '[' &&
               Peek() != '"' && Peek() != '}' && Peek() != ']')
            ++pos_;
        if (AtEnd() || Peek() != '=' || pos_ == start) return Fail("expected name=value");
        name.assign(t_.substr(start, pos_ - start));
        ++pos_;
        return Value(value);
    }

    bool Value(MiValue& value) {
        if (AtEnd()) return Fail("value missing");
        char c = Peek();
        if (c == '"') {
            value.kind = MiValue::Kind::String;
            if (!ParseMiCString(t_, pos_, value.text)) return Fail("unterminated string");
            return true;
        }
        if (c != '{' && c != '[') return Fail("expected a value");
        if (++depth_ > kMaxMiDepth) return Fail("nested too deep");
        ++pos_;
        bool ok;
        if (c == '{') {
            ok = Results(value, '}');
            value.kind = MiValue::Kind::Tuple;
            ok = ok && Expect('}');
        } else {
            value.kind = MiValue::Kind::List;
            ok = ListItems(value) && Expect(']');
        }
        --depth_;
        return ok;
    }

    // A list holds either values or results.
    bool ListItems(MiValue& list) {
        if (AtEnd() || Peek() == ']') return true;
        for (;;) {
            if (Peek() == '"' || Peek() == '{' || Peek() == '[') {
                MiValue v;
                if (!Value(v)) return false;
                list.items.emplace_back(std::string(), std::move(v));
            } else {
                std::string name;
                MiValue v;
                if (!Result(name, v)) return false;
                list.items.emplace_back(std::move(name), std::move(v));
            }
            if (AtEnd() || Peek() != ',') return true;
            ++pos_;
        }
    }

    bool Expect(char c) {
        if (AtEnd() || Peek() != c) return Fail(std::string("expected '") + c + "'");
        ++pos_;
        return true;
    }
    bool Fail(std::string message) {
        if (error_.empty()) error_ = message + " at column " + std::to_string(pos_ + 1);
        return false;
    }
    bool AtEnd() const { return pos_ >= t_.size(); }
    char Peek() const { return t_[pos_]; }
    std::size_t pos_ = 0;
    std::string error_;

private:
    std::string_view t_;
    std::size_t depth_ = 0;
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

const MiValue* MiValue::Find(std::string_view name) const {
    for (const auto& [n, v] : items)
        if (n == name) return &v;
    return nullptr;
}

std::string_view MiValue::Str(std::string_view name, std::string_view fallback) const {
    const MiValue* v = Find(name);
    return v && v->kind == Kind::String ? std::string_view(v->text) : fallback;
}

long long MiValue::Num(std::string_view name, long long fallback) const {
    const MiValue* v = Find(name);
    if (!v || v->kind != Kind::String) return fallback;
    return ParseDecimal(v->text, fallback);
}

bool ParseMiCString(std::string_view text, std::size_t& pos, std::string& out) {
    if (pos >= text.size() || text[pos] != '"') return false;
    out.clear();
    std::size_t i = pos + 1;
    while (i < text.size()) {
        char c = text[i++];
        if (c == '"') {
            pos = i;
            return true;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        if (i >= text.size()) return false;
        char e = text[i++];
        switch (e) {
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case 'a':
                out += '\a';
                break;
            case 'b':
                out += '\b';
                break;
            case 'f':
                out += '\f';
                break;
            case 'v':
                out += '\v';
                break;
            case 'e':
                out += '\x1b';
                break;
            case 'x': {
                int value = 0, n = 0;
                while (i < text.size() && n < 2 && HexDigit(text[i]) >= 0)
                    value = value * 16 + HexDigit(text[i++]), ++n;
                if (n == 0) return false;
                out += char(value);
                break;
            }
            default:
                if (e >= '0' && e <= '7') {
                    int value = e - '0', n = 1;
                    while (i < text.size() && n < 3 && text[i] >= '0' && text[i] <= '7')
                        value = value * 8 + (text[i++] - '0'), ++n;
                    out += char(value & 0xFF);
                } else {
                    out += e; // \" \\ \' and anything gdb may add
                }
        }
    }
    return false;
}

bool ParseMiResults(std::string_view text, MiValue& out, std::string* error) {
    Reader r(text);
    out = MiValue{};
    bool ok = r.Results(out, '\0') && r.AtEnd();
    if (ok) return true;
    if (error)
        *error = r.error_.empty() ? "unexpected text at column " + std::to_string(r.pos_ + 1) : r.error_;
    return false;
}

bool ParseMiRecord(std::string_view line, MiRecord& out, std::string* error) {
    out = MiRecord{};
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    auto fail = [&](std::string message) {
        if (error) *error = std::move(message);
        return false;
    };
    if (StartsWith(line, "(gdb)")) {
        out.type = MiRecord::Type::Prompt;
        return true;
    }
    std::size_t i = 0;
    if (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        long long token = 0;
        while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
            if (token < 100000000000000000LL) token = token * 10 + (line[i] - '0');
            ++i;
        }
        out.token = token;
    }
    if (i >= line.size()) return fail("record type missing");
    char kind = line[i++];
    switch (kind) {
        case '~':
        case '@':
        case '&': {
            out.type = kind == '~'   ? MiRecord::Type::Console
                       : kind == '@' ? MiRecord::Type::Target
                                     : MiRecord::Type::Log;
            std::size_t at = i;
            if (!ParseMiCString(line, at, out.stream)) return fail("stream record without a closed string");
            if (at != line.size()) return fail("text after the stream string");
            return true;
        }
        case '^':
            out.type = MiRecord::Type::Result;
            break;
        case '*':
            out.type = MiRecord::Type::Exec;
            break;
        case '+':
            out.type = MiRecord::Type::Status;
            break;
        case '=':
            out.type = MiRecord::Type::Notify;
            break;
        default:
            return fail(std::string("unknown record type '") + kind + "'");
    }
    std::size_t comma = line.find(',', i);
    out.cls.assign(line.substr(i, comma == std::string_view::npos ? std::string_view::npos : comma - i));
    if (out.cls.empty()) return fail("record class missing");
    out.results.kind = MiValue::Kind::Tuple;
    if (comma == std::string_view::npos) return true;
    return ParseMiResults(line.substr(comma + 1), out.results, error);
}

} // namespace korl
