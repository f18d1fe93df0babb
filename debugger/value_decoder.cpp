#include "debugger/value_decoder.h"

#include "debugger/gdb_command.h"
#include "debugger/mi_text.h"
#include "debugger/value_tree.h"

#include <algorithm>
#include <cctype>

namespace korl {

namespace {

// gdb prints at most this many array elements unless told otherwise.
constexpr std::size_t kWordsPerFetch = 200;

bool Contains(std::string_view text, std::string_view marker) {
    return text.find(marker) != std::string_view::npos;
}

// An expression to which ".member" can be appended as is: a chain of names,
// member accesses and subscripts. Anything else is parenthesised first.
bool IsPostfixChain(std::string_view e) {
    if (e.empty()) return false;
    int depth = 0;
    for (std::size_t i = 0; i < e.size(); ++i) {
        char c = e[i];
        if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (--depth < 0) return false;
        } else if (depth > 0) {
            continue;
        } else if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.' || c == ':') {
            continue;
        } else if (c == '-' && i + 1 < e.size() && e[i + 1] == '>') {
            ++i;
        } else {
            return false;
        }
    }
    return depth == 0;
}

std::string Member(const std::string& expression, std::string_view member) {
    return (IsPostfixChain(expression) ? expression : "(" + expression + ")") + std::string(member);
}

bool IsHex(std::string_view t) {
    if (t.size() < 3 || t.substr(0, 2) != "0x") return false;
    for (char c : t.substr(2))
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

// "0x7ffe..." or "(T *) 0x7ffe...": a pointer with nothing printed behind it.
std::optional<std::string_view> BarePointer(std::string_view v) {
    if (!v.empty() && v.front() == '(') {
        std::size_t close = v.rfind(") 0x");
        if (close == std::string_view::npos || v.substr(0, close).find('*') == std::string_view::npos)
            return std::nullopt;
        v = v.substr(close + 2);
    }
    if (!IsHex(v) || v.find_first_not_of("0x") == std::string_view::npos) return std::nullopt;
    return v;
}

// Name of the first base class of a printed object: "{<NAME> = ...".
std::string_view FirstBase(std::string_view v) {
    if (v.size() < 3 || v[0] != '{' || v[1] != '<') return {};
    int depth = 0;
    for (std::size_t i = 1; i < v.size(); ++i) {
        if (v[i] == '<')
            ++depth;
        else if (v[i] == '>' && --depth == 0)
            return v.substr(2, i - 2);
    }
    return {};
}

bool StripNamespace(std::string_view& name, std::string_view ns) {
    if (StartsWith(name, ns)) name.remove_prefix(ns.size());
    return true;
}

std::string Trimmed(std::string_view t) {
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    return std::string(t);
}

std::optional<std::uint64_t> NumberAfter(std::string_view value, std::string_view marker, char stop) {
    auto text = TextBetween(value, marker, stop);
    if (!text) return std::nullopt;
    return ParseUnsigned(Trimmed(*text));
}

} // namespace

std::string MemberPath(const std::string& expression, std::string_view member) {
    return Member(expression, member);
}

ValueShape ShapeOf(std::string_view v) {
    if (v.empty() || v.front() != '{') return ValueShape::Scalar;
    if (StartsWith(v, "{static char_to_logic =") || StartsWith(v, "{static logic_to_char =") ||
        (StartsWith(v, "{m_val = ") && v.find(',') == std::string_view::npos))
        return ValueShape::SystemC;
    std::string_view base = FirstBase(v);
    StripNamespace(base, "sc_dt::");
    for (std::string_view t :
         {"sc_int_base", "sc_uint_base", "sc_signed", "sc_unsigned", "sc_bv_base", "sc_lv_base"})
        if (base == t) return ValueShape::SystemC;
    base = FirstBase(v);
    StripNamespace(base, "sc_core::");
    for (std::string_view t :
         {"sc_signal", "sc_port", "sc_in<", "sc_out<", "sc_inout<", "sc_clock", "sc_buffer"})
        if (StartsWith(base, t)) return ValueShape::Channel;
    return ValueShape::Aggregate;
}

std::string ReplyValue(std::string_view reply) {
    std::size_t key = reply.find("value=");
    if (key == std::string_view::npos) return {};
    std::size_t open = reply.find('"', key + 6);
    if (open == std::string_view::npos) return {};
    std::size_t i = open + 1;
    while (i < reply.size() && reply[i] != '"') {
        if (reply[i] == '\\' && i + 1 < reply.size()) ++i;
        ++i;
    }
    std::size_t length = std::min(i - open - 1, kMaxValueText);
    return std::string(reply.substr(open + 1, length));
}

std::string FormatBits(std::uint64_t word, int width) {
    if (width <= 0) return {};
    std::size_t w = std::min<std::size_t>(std::size_t(width), kMaxDecodedBits);
    std::string out(w, '0');
    for (std::size_t i = 0; i < w && i < 64; ++i)
        if ((word >> i) & 1u) out[w - 1 - i] = '1';
    return out;
}

std::string FormatLogic(std::uint64_t data, std::uint64_t control, int width) {
    std::string d = FormatBits(data, width);
    std::string c = FormatBits(control, width);
    for (std::size_t i = 0; i < d.size(); ++i)
        if (c[i] == '1') d[i] = d[i] == '0' ? 'z' : 'x';
    return d;
}

std::string FormatBitWords(const std::vector<std::uint32_t>& words, std::size_t width) {
    width = std::min(width, kMaxDecodedBits);
    std::string out(width, '0');
    for (std::size_t i = 0; i < width; ++i) {
        std::size_t w = i / 32;
        if (w < words.size() && ((words[w] >> (i % 32)) & 1u)) out[width - 1 - i] = '1';
    }
    return out;
}

std::string FormatLogicWords(const std::vector<std::uint32_t>& data,
                             const std::vector<std::uint32_t>& control, std::size_t width) {
    std::string d = FormatBitWords(data, width);
    std::string c = FormatBitWords(control, width);
    for (std::size_t i = 0; i < d.size(); ++i)
        if (c[i] == '1') d[i] = d[i] == '0' ? 'z' : 'x';
    return d;
}

std::string BigDigitsToDecimal(const std::vector<std::uint32_t>& digits, bool negative) {
    std::vector<std::uint32_t> n(digits);
    for (auto& d : n) d &= (1u << 30) - 1;
    while (!n.empty() && n.back() == 0) n.pop_back();
    if (n.empty()) return "0";
    std::vector<std::uint32_t> chunks; // base 10^9, least significant first
    while (!n.empty()) {
        std::uint64_t rest = 0;
        for (std::size_t i = n.size(); i-- > 0;) {
            std::uint64_t cur = (rest << 30) | n[i];
            n[i] = std::uint32_t(cur / 1000000000u);
            rest = cur % 1000000000u;
        }
        chunks.push_back(std::uint32_t(rest));
        while (!n.empty() && n.back() == 0) n.pop_back();
    }
    std::string out = negative ? "-" : "";
    out += std::to_string(chunks.back());
    for (std::size_t i = chunks.size() - 1; i-- > 0;) {
        std::string part = std::to_string(chunks[i]);
        out.append(9 - part.size(), '0');
        out += part;
    }
    return out;
}

std::optional<std::vector<std::uint32_t>> ParseWordList(std::string_view text, std::size_t count) {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    if (!t.empty() && t.front() == '{') {
        if (t.back() != '}') return std::nullopt;
        t = t.substr(1, t.size() - 2);
    }
    std::vector<std::uint32_t> words;
    while (!t.empty()) {
        std::size_t comma = t.find(',');
        std::string_view item = t.substr(0, comma);
        t = comma == std::string_view::npos ? std::string_view{} : t.substr(comma + 1);
        while (!item.empty() && item.front() == ' ') item.remove_prefix(1);
        auto value = ParseUnsigned(item);
        if (!value || *value > 0xFFFFFFFFu) return std::nullopt;
        std::size_t digits = 0;
        while (digits < item.size() && std::isdigit(static_cast<unsigned char>(item[digits]))) ++digits;
        std::string_view rest = item.substr(digits);
        std::uint64_t repeat = 1;
        if (!Trimmed(rest).empty()) {
            auto n = TextBetween(rest, "<repeats ", ' ');
            if (!n) return std::nullopt;
            auto r = ParseUnsigned(*n);
            if (!r) return std::nullopt;
            repeat = *r;
        }
        if (repeat > count || words.size() + repeat > count) return std::nullopt;
        words.insert(words.end(), std::size_t(repeat), std::uint32_t(*value));
    }
    if (words.size() != count) return std::nullopt;
    return words;
}

WatchEvaluation::WatchEvaluation(std::string expression) : expression_(std::move(expression)) {
    if (expression_.size() > kMaxCommandArgument - 64) {
        Finish(std::string(kExpressionTooLong));
        return;
    }
    next_ = expression_;
}

WatchEvaluation::WatchEvaluation(std::string expression, const std::string& knownValue)
    : WatchEvaluation(std::move(expression)) {
    if (!done_) Supply(EvalResult{true, knownValue});
}

void WatchEvaluation::Finish(std::string text) {
    result_ = prefix_.empty() ? std::move(text) : prefix_ + text;
    next_.clear();
    done_ = true;
}

void WatchEvaluation::Supply(const EvalResult& result) {
    if (done_) return;
    switch (stage_) {
        case Stage::First:
            first_ = result.value;
            if (!result.ok) {
                Finish(result.value);
                return;
            }
            if (StartsWith(first_, "@0x") && IsHex(std::string_view(first_).substr(1))) {
                // a reference prints its address only: the object is read through it
                expression_ = "*&(" + expression_ + ")";
                stage_ = Stage::Deref;
                next_ = expression_;
                return;
            }
            if (auto address = BarePointer(first_)) {
                pointer_ = std::string(*address);
                expression_ = "*(" + expression_ + ")";
                stage_ = Stage::Deref;
                next_ = expression_;
                return;
            }
            if (ShapeOf(first_) == ValueShape::Aggregate) {
                // a module or struct holding ports: its members are read one by one
                value_ = first_;
                Decode();
                return;
            }
            if (Contains(first_, "sc_port<sc_core::sc_signal_in_if<") ||
                Contains(first_, "sc_port<sc_core::sc_signal_inout_if<")) {
                expression_ = Member(expression_, ".m_interface->m_cur_val");
            } else if (Contains(first_, "sc_signal_inout_if<")) {
                expression_ = Member(expression_, ".m_cur_val");
            } else {
                value_ = first_;
                Decode();
                return;
            }
            stage_ = Stage::Rewritten;
            next_ = expression_;
            return;
        case Stage::Rewritten:
            if (!result.ok) {
                Finish(first_);
                return;
            }
            value_ = result.value;
            Decode();
            return;
        case Stage::Deref: {
            // A pointer shows its target only when that is a SystemC value or channel.
            ValueShape shape = result.ok ? ShapeOf(result.value) : ValueShape::Scalar;
            bool pointer = !pointer_.empty();
            if (!result.ok || (pointer && shape != ValueShape::SystemC && shape != ValueShape::Channel)) {
                Finish(first_);
                return;
            }
            if (pointer) prefix_ = pointer_ + " -> ";
            pointer_.clear();
            first_ = result.value;
            stage_ = Stage::First;
            std::string known = first_;
            Supply(EvalResult{true, known});
            return;
        }
        case Stage::BigDigits:
            if (!TakeWords(result) || done_ || stage_ != Stage::BigDigits) return;
            Finish(BigDigitsToDecimal(words_, negative_));
            return;
        case Stage::BitData:
            if (!TakeWords(result) || done_ || stage_ != Stage::BitData) return;
            Finish(FormatBitWords(words_, width_));
            return;
        case Stage::LogicData:
            if (!TakeWords(result) || done_ || stage_ != Stage::LogicData) return;
            data_ = std::move(words_);
            stage_ = Stage::LogicControl;
            FetchWords(".m_ctrl", ".m_size");
            return;
        case Stage::LogicControl:
            if (!TakeWords(result) || done_ || stage_ != Stage::LogicControl) return;
            Finish(FormatLogicWords(data_, words_, width_));
            return;
    }
}

// Starts fetching `wordsWanted_` words behind EXPR.pointerMember.
void WatchEvaluation::FetchWords(const std::string& pointerMember, const std::string& countMember) {
    pointer_ = pointerMember;
    countMember_ = countMember;
    words_.clear();
    chunkStart_ = 0;
    chunkSize_ = std::min(wordsWanted_, kWordsPerFetch);
    if (chunkSize_ == wordsWanted_)
        next_ = "*" + Member(expression_, pointer_) + "@" + Member(expression_, countMember_);
    else
        next_ = "*" + Member(expression_, pointer_) + "@" + std::to_string(chunkSize_);
    if (next_.size() > kMaxCommandArgument) Finish(value_);
}

// Takes one chunk of words; asks for the next chunk while words are missing.
// Returns true when all words are in words_.
bool WatchEvaluation::TakeWords(const EvalResult& result) {
    auto words = result.ok ? ParseWordList(result.value, chunkSize_) : std::nullopt;
    if (!words) {
        Finish(value_);
        return false;
    }
    words_.insert(words_.end(), words->begin(), words->end());
    chunkStart_ += chunkSize_;
    if (chunkStart_ >= wordsWanted_) return true;
    chunkSize_ = std::min(wordsWanted_ - chunkStart_, kWordsPerFetch);
    next_ = "*(" + Member(expression_, pointer_) + "+" + std::to_string(chunkStart_) + ")@" +
            std::to_string(chunkSize_);
    return false;
}

void WatchEvaluation::Decode() {
    const std::string& v = value_;
    if (ShapeOf(v) == ValueShape::Aggregate) {
        aggregate_ = true;
        Finish(v);
        return;
    }
    if (Contains(v, "{<sc_uint_base> =") || Contains(v, "{<sc_int_base> =") ||
        Contains(v, "{<sc_dt::sc_uint_base> =") || Contains(v, "{<sc_dt::sc_int_base> =")) {
        auto text = TextBetween(v, "m_val = ", ',');
        Finish(text ? std::string(*text) : v);
        return;
    }
    if (Contains(v, "{<sc_unsigned> =") || Contains(v, "{<sc_signed> =") ||
        Contains(v, "{<sc_dt::sc_unsigned> =") || Contains(v, "{<sc_dt::sc_signed> =")) {
        auto sgn = TextBetween(v, "sgn = ", ',');
        auto ndigits = NumberAfter(v, "ndigits = ", ',');
        if (!sgn || !ndigits || *ndigits == 0 || *ndigits > kMaxBigDigits) {
            Finish(v);
            return;
        }
        negative_ = Trimmed(*sgn) == "-1";
        if (Trimmed(*sgn) == "0") {
            Finish("0");
            return;
        }
        wordsWanted_ = std::size_t(*ndigits);
        stage_ = Stage::BigDigits;
        FetchWords(".digit", ".ndigits");
        return;
    }
    bool bv = Contains(v, "{<sc_bv_base> =") || Contains(v, "{<sc_dt::sc_bv_base> =");
    bool lv = !bv && (Contains(v, "{<sc_lv_base> =") || Contains(v, "{<sc_dt::sc_lv_base> ="));
    if (bv || lv) {
        auto len = NumberAfter(v, "m_len = ", ',');
        auto size = NumberAfter(v, "m_size = ", ',');
        if (!len || !size || *len == 0 || *len > kMaxDecodedBits || *size != (*len + 31) / 32) {
            Finish(v);
            return;
        }
        width_ = std::size_t(*len);
        wordsWanted_ = std::size_t(*size);
        stage_ = bv ? Stage::BitData : Stage::LogicData;
        FetchWords(".m_data", ".m_size");
        return;
    }
    if (Contains(v, "{static char_to_logic =") || Contains(v, "{static logic_to_char =")) {
        auto m = TextBetween(v, "m_val = ", '}');
        if (!m) {
            Finish(v);
            return;
        }
        std::string_view name = *m;
        if (StartsWith(name, "sc_dt::")) name.remove_prefix(7);
        if (name == "Log_0")
            Finish("0");
        else if (name == "Log_1")
            Finish("1");
        else if (name == "Log_Z")
            Finish("z");
        else if (name == "Log_X")
            Finish("x");
        else
            Finish(std::string(*m));
        return;
    }
    if (Contains(v, "{m_val =")) {
        auto text = TextBetween(v, "m_val = ", '}');
        Finish(text ? std::string(*text) : v);
        return;
    }
    Finish(v);
}

std::string EvaluateWatch(std::string_view expression,
                          const std::function<EvalResult(const std::string&)>& evaluate) {
    return EvaluateWatchTree(expression, evaluate).value;
}

} // namespace korl
