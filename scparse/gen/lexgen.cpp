// Build-time generator: reads a rule file (start conditions, rules with
// patterns and actions) and writes the automaton tables of a yl::yyflexer
// scanner as C++ source.
//
// Rule file:
//   # comment
//   %conditions NAME...      start conditions in order (the first is INITIAL)
//   %exclusive NAME...       conditions that do not take <*> rules
//   <C1,C2> PATTERN  ACTION  one rule; <*> = every non-exclusive condition,
//                            <*,C> = those plus C
// PATTERN: atoms in sequence, each optionally followed by * or +:
//   "text"  literal (escapes \" \\ \n \t)      ID     [A-Za-z0-9_]+
//   [set]   byte set, [^set] its complement      QNAME  "\"" [A-Za-z0-9_]* "\""
//   ANY     any byte, newline included           <<EOF>> end of input (alone)
// ACTION: "-" (nothing), "=> COND" (enter COND), "@Name" (C++ action), or
//   "@Name => COND" (C++ action that receives COND as its target).
#include <algorithm>
#include <bitset>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ByteSet = std::bitset<256>;

struct Atom {
    ByteSet set;
    bool star = false;
};

struct Rule {
    int number = 0; // from 1
    std::vector<Atom> atoms;
    bool eof = false;
    std::vector<int> conds;
    std::string action; // C++ action name, or "Begin" / "Nothing"
    int target = -1;    // condition index, -1 = none
    int line = 0;
};

[[noreturn]] void fail(int line, const std::string& msg) {
    std::cerr << "lexgen: line " << line << ": " << msg << "\n";
    std::exit(1);
}

ByteSet idChars() {
    ByteSet s;
    for (int c = 'a'; c <= 'z'; ++c) s.set(c);
    for (int c = 'A'; c <= 'Z'; ++c) s.set(c);
    for (int c = '0'; c <= '9'; ++c) s.set(c);
    s.set('_');
    return s;
}

int unescape(const std::string& s, size_t& i, int line) {
    char c = s[i++];
    if (c != '\\') return static_cast<unsigned char>(c);
    if (i >= s.size()) fail(line, "dangling backslash");
    c = s[i++];
    switch (c) {
        case 'n':
            return '\n';
        case 't':
            return '\t';
        case 'r':
            return '\r';
        default:
            return static_cast<unsigned char>(c);
    }
}

struct Parser {
    std::vector<std::string> condNames;
    std::set<int> exclusive;
    std::vector<Rule> rules;

    int condIndex(const std::string& name, int line) const {
        for (size_t i = 0; i < condNames.size(); ++i)
            if (condNames[i] == name) return static_cast<int>(i);
        fail(line, "unknown condition " + name);
    }

    void parsePattern(const std::string& text, size_t& i, Rule& r, int line) {
        while (i < text.size()) {
            while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
            if (i >= text.size()) break;
            if (text[i] == '-' || text[i] == '=' || text[i] == '@') return;
            std::vector<Atom> added;
            if (text[i] == '"') {
                ++i;
                while (i < text.size() && text[i] != '"') {
                    Atom a;
                    a.set.set(unescape(text, i, line));
                    added.push_back(a);
                }
                if (i >= text.size()) fail(line, "unterminated literal");
                ++i;
                if (added.empty()) fail(line, "empty literal");
            } else if (text[i] == '[') {
                ++i;
                bool negate = i < text.size() && text[i] == '^';
                if (negate) ++i;
                Atom a;
                while (i < text.size() && text[i] != ']') {
                    int lo = unescape(text, i, line);
                    if (i + 1 < text.size() && text[i] == '-' && text[i + 1] != ']') {
                        ++i;
                        int hi = unescape(text, i, line);
                        for (int c = lo; c <= hi; ++c) a.set.set(c);
                    } else {
                        a.set.set(lo);
                    }
                }
                if (i >= text.size()) fail(line, "unterminated set");
                ++i;
                if (negate) a.set.flip();
                added.push_back(a);
            } else {
                size_t j = i;
                while (j < text.size() && text[j] != ' ' && text[j] != '\t' && text[j] != '*' &&
                       text[j] != '+')
                    ++j;
                std::string word = text.substr(i, j - i);
                i = j;
                if (word == "ID") {
                    Atom a;
                    a.set = idChars();
                    added.push_back(a);
                    a.star = true;
                    added.push_back(a);
                } else if (word == "QNAME") {
                    Atom q;
                    q.set.set('"');
                    Atom body;
                    body.set = idChars();
                    body.star = true;
                    added = {q, body, q};
                } else if (word == "ANY") {
                    Atom a;
                    a.set.set();
                    added.push_back(a);
                } else if (word == "<<EOF>>") {
                    if (!r.atoms.empty()) fail(line, "<<EOF>> must stand alone");
                    r.eof = true;
                    continue;
                } else {
                    fail(line, "unknown pattern word '" + word + "'");
                }
            }
            if (i < text.size() && (text[i] == '*' || text[i] == '+')) {
                if (added.size() != 1) fail(line, "repetition applies to one atom only");
                Atom a = added[0];
                a.star = true;
                if (text[i] == '*')
                    added[0] = a;
                else
                    added.push_back(a);
                ++i;
            }
            r.atoms.insert(r.atoms.end(), added.begin(), added.end());
        }
    }

    void parse(std::istream& in) {
        std::string text;
        int line = 0;
        while (std::getline(in, text)) {
            ++line;
            size_t i = text.find_first_not_of(" \t");
            if (i == std::string::npos || text[i] == '#') continue;
            if (text[i] == '%') {
                std::istringstream ss(text.substr(i + 1));
                std::string kw, name;
                ss >> kw;
                if (kw == "conditions") {
                    while (ss >> name) condNames.push_back(name);
                } else if (kw == "exclusive") {
                    while (ss >> name) exclusive.insert(condIndex(name, line));
                } else {
                    fail(line, "unknown directive %" + kw);
                }
                continue;
            }
            if (text[i] != '<') fail(line, "rule must start with <conditions>");
            size_t close = text.find('>', i);
            if (close == std::string::npos) fail(line, "missing '>'");
            Rule r;
            r.line = line;
            std::string list = text.substr(i + 1, close - i - 1);
            std::set<int> conds;
            std::stringstream ls(list);
            std::string name;
            while (std::getline(ls, name, ',')) {
                name.erase(0, name.find_first_not_of(" \t"));
                name.erase(name.find_last_not_of(" \t") + 1);
                if (name == "*") {
                    for (size_t c = 0; c < condNames.size(); ++c)
                        if (!exclusive.count(static_cast<int>(c))) conds.insert(static_cast<int>(c));
                } else {
                    conds.insert(condIndex(name, line));
                }
            }
            r.conds.assign(conds.begin(), conds.end());
            size_t p = close + 1;
            parsePattern(text, p, r, line);
            if (r.atoms.empty() && !r.eof) fail(line, "empty pattern");
            std::istringstream as(text.substr(p));
            std::string tok;
            r.action = "Nothing";
            bool any = false;
            while (as >> tok) {
                any = true;
                if (tok == "-") {
                    r.action = "Nothing";
                } else if (tok == "=>") {
                    std::string cond;
                    if (!(as >> cond)) fail(line, "=> needs a condition");
                    r.target = condIndex(cond, line);
                    if (r.action == "Nothing") r.action = "Begin";
                } else if (tok[0] == '@') {
                    r.action = tok.substr(1);
                } else {
                    fail(line, "unexpected '" + tok + "'");
                }
            }
            if (!any) fail(line, "rule without action");
            r.number = static_cast<int>(rules.size()) + 1;
            rules.push_back(r);
        }
        if (condNames.empty()) fail(line, "no %conditions");
    }
};

// NFA item: rule index and position in its atom list. Negative rule values
// tag the start set of a condition so that every condition gets its own
// entry states.
using Item = std::pair<int, int>;
using ItemSet = std::vector<Item>;

struct Dfa {
    const std::vector<Rule>& rules;
    std::map<ItemSet, int> ids;
    std::vector<ItemSet> sets;
    std::vector<std::vector<int>> trans; // per state, 256 targets
    std::vector<int> action;

    explicit Dfa(const std::vector<Rule>& r) : rules(r) {}

    void closeInto(ItemSet& out, Item it) const {
        for (;;) {
            out.push_back(it);
            const Rule& r = rules[it.first];
            if (it.second < static_cast<int>(r.atoms.size()) && r.atoms[it.second].star)
                ++it.second;
            else
                break;
        }
    }

    static void normalise(ItemSet& s) {
        std::sort(s.begin(), s.end());
        s.erase(std::unique(s.begin(), s.end()), s.end());
    }

    int acceptOf(const ItemSet& s) const {
        int best = 0;
        for (const Item& it : s) {
            if (it.first < 0) continue;
            const Rule& r = rules[it.first];
            if (!r.eof && it.second == static_cast<int>(r.atoms.size()))
                if (best == 0 || r.number < best) best = r.number;
        }
        return best;
    }

    int intern(const ItemSet& s, std::vector<int>& work) {
        auto found = ids.find(s);
        if (found != ids.end()) return found->second;
        int id = static_cast<int>(sets.size());
        ids.emplace(s, id);
        sets.push_back(s);
        trans.emplace_back();
        action.push_back(acceptOf(s));
        work.push_back(id);
        return id;
    }

    ItemSet move(const ItemSet& s, int ch) const {
        ItemSet out;
        for (const Item& it : s) {
            if (it.first < 0) continue;
            const Rule& r = rules[it.first];
            if (it.second >= static_cast<int>(r.atoms.size())) continue;
            const Atom& a = r.atoms[it.second];
            if (!a.set.test(ch)) continue;
            closeInto(out, a.star ? it : Item{it.first, it.second + 1});
        }
        normalise(out);
        return out;
    }
};

std::string cppName(const std::string& s) { return s; }

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: lexgen RULES PREFIX OUT.h OUT.cpp\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "lexgen: cannot read " << argv[1] << "\n";
        return 1;
    }
    const std::string prefix = argv[2];
    Parser p;
    p.parse(in);
    const int nconds = static_cast<int>(p.condNames.size());

    // Dead state 0, then two entry states per condition (mid-line, line start).
    Dfa dfa(p.rules);
    std::vector<int> work;
    dfa.intern(ItemSet{{-1000000, 0}}, work); // dead state placeholder
    work.clear();
    std::vector<int> eofAction(nconds, 0);
    for (int c = 0; c < nconds; ++c) {
        ItemSet start{{-1 - c, 0}};
        for (size_t r = 0; r < p.rules.size(); ++r) {
            const Rule& rule = p.rules[r];
            if (!std::count(rule.conds.begin(), rule.conds.end(), c)) continue;
            if (rule.eof) {
                if (eofAction[c] == 0) eofAction[c] = rule.number;
                continue;
            }
            dfa.closeInto(start, Item{static_cast<int>(r), 0});
        }
        Dfa::normalise(start);
        int mid = dfa.intern(start, work);
        ItemSet bol{{-1 - c, 1}};
        int lineStart = dfa.intern(bol, work);
        work.pop_back(); // line-start entry defers to the mid-line one
        if (mid != 2 * c + 1 || lineStart != 2 * c + 2) fail(0, "entry state numbering");
        dfa.trans[lineStart].assign(256, -1);
    }
    while (!work.empty()) {
        int s = work.back();
        work.pop_back();
        std::vector<int> row(256, 0);
        std::map<ItemSet, int> local;
        for (int ch = 0; ch < 256; ++ch) {
            ItemSet t = dfa.move(dfa.sets[s], ch);
            if (t.empty()) continue;
            row[ch] = dfa.intern(t, work);
        }
        dfa.trans[s] = row;
    }
    const int nstates = static_cast<int>(dfa.sets.size());
    if (nstates > 32767) fail(0, "too many states for 16-bit tables");

    // Compress: each state either defaults to one target for all bytes
    // (negative default) plus exceptions, or to a similar, already encoded
    // state (positive default) plus the bytes where they differ.
    struct Row {
        int def = 0;
        std::vector<std::pair<int, int>> exceptions; // byte, next
    };
    std::vector<Row> rows(nstates);
    std::vector<int> defaultOf(nstates, 0);
    // A template is usable when its default chain is short and does not
    // lead back to the state being encoded.
    auto usableTemplate = [&](int from, int self) {
        int length = 0;
        for (int s = from; s > 0; s = defaultOf[s])
            if (s == self || ++length > 3) return false;
        return true;
    };
    for (int s = 1; s < nstates; ++s) {
        if (s % 2 == 0 && s <= 2 * nconds) {
            rows[s].def = s - 1;
            defaultOf[s] = s - 1;
            continue;
        }
        const std::vector<int>& t = dfa.trans[s];
        std::map<int, int> counts;
        for (int ch = 0; ch < 256; ++ch) ++counts[t[ch]];
        int common = 0, best = -1;
        for (auto& [target, n] : counts)
            if (n > best) best = n, common = target;
        Row plain;
        plain.def = common == 0 ? 0 : -common;
        for (int ch = 0; ch < 256; ++ch)
            if (t[ch] != common) plain.exceptions.push_back({ch, t[ch]});
        Row chosen = plain;
        // Template candidates: the targets this state goes to most often.
        std::vector<std::pair<int, int>> byCount;
        for (auto& [target, n] : counts)
            if (target > 0 && target != s) byCount.push_back({n, target});
        std::sort(byCount.rbegin(), byCount.rend());
        for (size_t k = 0; k < byCount.size() && k < 3; ++k) {
            int cand = byCount[k].second;
            if (!usableTemplate(cand, s) || (cand % 2 == 0 && cand <= 2 * nconds)) continue;
            const std::vector<int>& u = dfa.trans[cand];
            if (u.empty()) continue;
            Row r;
            r.def = cand;
            for (int ch = 0; ch < 256; ++ch)
                if (t[ch] != u[ch]) r.exceptions.push_back({ch, t[ch]});
            if (r.exceptions.size() + 2 < chosen.exceptions.size()) chosen = r;
        }
        rows[s] = chosen;
        defaultOf[s] = chosen.def > 0 ? chosen.def : 0;
    }

    // First-fit packing of the exception rows into next/check pairs.
    std::vector<int> order;
    for (int s = 1; s < nstates; ++s)
        if (!rows[s].exceptions.empty()) order.push_back(s);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return rows[a].exceptions.size() > rows[b].exceptions.size(); });
    std::vector<int> next, check;
    std::vector<int> base(nstates, 0);
    for (int s : order) {
        const auto& ex = rows[s].exceptions;
        int lo = ex.front().first;
        for (int b = -lo;; ++b) {
            if (b == 0) continue; // base 0 with default 0 would read as "no transitions"
            bool fits = true;
            for (auto& [ch, nx] : ex) {
                int idx = b + ch;
                if (idx < static_cast<int>(check.size()) && check[idx] != -1) {
                    fits = false;
                    break;
                }
            }
            if (!fits) continue;
            for (auto& [ch, nx] : ex) {
                int idx = b + ch;
                if (idx >= static_cast<int>(check.size())) {
                    check.resize(idx + 1, -1);
                    next.resize(idx + 1, 0);
                }
                check[idx] = s;
                next[idx] = nx;
            }
            base[s] = b;
            break;
        }
    }
    if (next.size() > 32767 + 256u) fail(0, "transition table too large for 16-bit bases");
    for (int s = 1; s < nstates; ++s)
        if (base[s] > 32767 || base[s] < -32768) fail(0, "base out of range");

    // Header.
    std::ofstream h(argv[3]);
    h << "// Generated by lexgen from " << argv[1] << "; do not edit.\n#pragma once\n"
      << "#include \"scparse/yylexer.h\"\n\nnamespace " << prefix << " {\n\n";
    h << "enum Condition : int {\n";
    for (int c = 0; c < nconds; ++c) h << "    " << p.condNames[c] << " = " << 2 * c << ",\n";
    h << "};\n\nenum class Action : unsigned char {\n";
    std::vector<std::string> actions{"Nothing", "Begin"};
    for (const Rule& r : p.rules)
        if (std::find(actions.begin(), actions.end(), r.action) == actions.end()) actions.push_back(r.action);
    for (const std::string& a : actions) h << "    " << cppName(a) << ",\n";
    h << "};\n\n"
      << "constexpr int kRuleCount = " << p.rules.size() << ";\n"
      << "constexpr int kConditionCount = " << nconds << ";\n"
      << "constexpr int kStateCount = " << nstates << ";\n"
      << "constexpr int kTransitionCount = " << next.size() << ";\n"
      << "extern const yl::yystate_t kStates[kStateCount];\n"
      << "extern const yl::yytransition_t kTransitions[kTransitionCount];\n"
      << "// Indexed by rule number (0 unused).\n"
      << "extern const Action kRuleAction[kRuleCount + 1];\n"
      << "extern const short kRuleTarget[kRuleCount + 1];\n"
      << "extern const char* const kConditionNames[kConditionCount];\n\n}  // namespace " << prefix << "\n";

    std::ofstream o(argv[4]);
    std::string hname = argv[3];
    size_t slash = hname.rfind("/scparse/");
    o << "// Generated by lexgen; do not edit.\n#include \""
      << (slash == std::string::npos ? hname : hname.substr(slash + 1)) << "\"\n\nnamespace " << prefix
      << " {\n\n";
    o << "const yl::yystate_t kStates[kStateCount] = {\n";
    for (int s = 0; s < nstates; ++s) {
        int act = dfa.action[s];
        if (s >= 1 && s <= 2 * nconds) act = eofAction[(s - 1) / 2];
        o << "    {" << rows[s].def << ", " << base[s] << ", " << act << "},\n";
    }
    o << "};\n\nconst yl::yytransition_t kTransitions[kTransitionCount] = {\n";
    for (size_t i = 0; i < next.size(); ++i) o << "    {" << next[i] << ", " << check[i] << "},\n";
    o << "};\n\nconst Action kRuleAction[kRuleCount + 1] = {\n    Action::Nothing,\n";
    for (const Rule& r : p.rules)
        o << "    Action::" << r.action << ",  // " << r.number << " line " << r.line << "\n";
    o << "};\n\nconst short kRuleTarget[kRuleCount + 1] = {\n    -1,\n";
    for (const Rule& r : p.rules) o << "    " << (r.target < 0 ? -1 : 2 * r.target) << ",\n";
    o << "};\n\nconst char* const kConditionNames[kConditionCount] = {\n";
    for (int c = 0; c < nconds; ++c) o << "    \"" << p.condNames[c] << "\",\n";
    o << "};\n\n}  // namespace " << prefix << "\n";
    std::cerr << "lexgen: " << p.rules.size() << " rules, " << nconds << " conditions, " << nstates
              << " states, " << next.size() << " transitions\n";
    return h && o ? 0 : 1;
}
