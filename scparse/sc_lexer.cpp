// The scanner driver: tables, report, literals, comments, loops and
// conditions. The rule actions of module and class bodies are in
// sc_lexer_body.cpp, those of the top level and sc_main in sc_lexer_top.cpp.
#include "scparse/sc_lexer.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "scparse/sc_rules.h"

using namespace sc_rules;
using scparse::Text250;

namespace {

// Rules whose action does nothing: the engine skips their matches itself.
struct QuietRules {
    unsigned char quiet[kRuleCount + 1] = {};
    QuietRules() {
        for (int r = 0; r <= kRuleCount; ++r) quiet[r] = kRuleAction[r] == Action::Nothing;
    }
};
const QuietRules kQuiet;

} // namespace

SC_Lexer::SC_Lexer(DesignModel& model, ReportSink report) : build_(model), report_(std::move(report)) {
    yyquiet = kQuiet.quiet;
    yyquietmax = kRuleCount + 1;
    yystateaction = kStates;
    yytransitionaction = kTransitions;
    yytransitionmax = kTransitionCount;
    yystatecount = kStateCount;
}

SC_Lexer::~SC_Lexer() = default;

void SC_Lexer::yyoutput(int) {}

void SC_Lexer::setFileName(const char* path) {
    // Paths are kept whole: a cut path would jump to the wrong file.
    build_.setFile(path);
}

void SC_Lexer::report(const char* format, ...) {
    if (!report_) return;
    char buf[1024];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n < 0) return;
    report_(
        std::string_view(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1));
}

// ---- literals ----

void SC_Lexer::skipString(char quote) {
    // Only where a name is expected does the text matter.
    const bool keep = quote == '"' && (yystart == CTOR_INIT_ARGS || yystart == ITEM_ARGS);
    std::string text;
    for (;;) {
        int ch = input();
        if (ch < 0 || ch == '\n') return; // unterminated: the line ends it
        if (ch == quote) break;
        if (ch == '\\') {
            int next = input();
            if (next < 0) return;
            if (next == '\n') continue;
            if (keep) text += '\\', text += static_cast<char>(next);
            continue;
        }
        if (keep && text.size() < 250) text += static_cast<char>(ch);
    }
    if (keep) quotedText(text);
}

void SC_Lexer::skipRawString() {
    // R"delim( ... )delim"
    std::string delim;
    for (;;) {
        int ch = input();
        if (ch < 0) return;
        if (ch == '(') break;
        if (delim.size() >= 16 || ch == ')' || ch == '\\' || ch == ' ' || ch == '\n' || ch == '"') return;
        delim += static_cast<char>(ch);
    }
    const std::string close = ")" + delim + "\"";
    size_t matched = 0;
    for (;;) {
        int ch = input();
        if (ch < 0) return;
        if (ch == close[matched]) {
            if (++matched == close.size()) return;
        } else {
            matched = ch == ')' ? 1 : 0;
        }
    }
}

// A string that the quoted-name rules did not take (it holds characters
// other than identifier characters) still names an object where a name
// is expected.
void SC_Lexer::quotedText(const std::string& text) {
    switch (yystart) {
        case CTOR_INIT_ARGS:
        case ITEM_ARGS: {
            std::string quoted = "\"" + text + "\"";
            const int saved = yyleng;
            // Reuse the actions of the quoted-name rules on the whole text.
            char* savedText = yytext;
            std::vector<char> buf(quoted.begin(), quoted.end());
            buf.push_back('\0');
            yytext = buf.data();
            yyleng = static_cast<int>(quoted.size());
            const Action a = yystart == CTOR_INIT_ARGS ? Action::CtorInitName : Action::ItemLabel;
            runAction(0, a);
            yytext = savedText;
            yyleng = saved;
            break;
        }
        default:
            break;
    }
}

// ---- loops and conditions in constructor and sc_main bodies ----

int& SC_Lexer::bodyDepthOf(int condition) { return condition == MAIN_BODY ? mainDepth_ : ctorDepth_; }

void SC_Lexer::pushControl(bool loop) {
    if (controls_.size() < 256) controls_.push_back({loop, false, 0});
    updateContext();
}

void SC_Lexer::openBlock(int depth) {
    // The "{" after a loop or condition head is its body; with nested heads
    // ("for (...) if (...) {") it is the body of all of them.
    for (auto it = controls_.rbegin(); it != controls_.rend() && !it->block; ++it) {
        it->block = true;
        it->depth = depth;
    }
}

void SC_Lexer::closeBlock(int depth) {
    while (!controls_.empty() && controls_.back().block && controls_.back().depth > depth)
        controls_.pop_back();
    updateContext();
}

void SC_Lexer::endStatement() {
    while (!controls_.empty() && !controls_.back().block) controls_.pop_back();
    updateContext();
}

void SC_Lexer::updateContext() {
    bool loop = false;
    for (const auto& c : controls_) loop = loop || c.loop;
    build_.setContext(loop, !controls_.empty() && !loop);
}
// ---- actions ----

int SC_Lexer::yyaction(int rule) {
    // The engine skips quiet rules itself; whatever else is cheap stays cheap.
    const Action action = rule >= 0 && rule <= kRuleCount ? kRuleAction[rule] : Action::Nothing;
    if (action == Action::Nothing) {
        yyreturnflg = 0;
        return 0;
    }
    yyreturnflg = 1;
    runAction(rule, action);
    yyreturnflg = 0;
    return 0;
}

void SC_Lexer::runAction(int rule, Action action) {
    const int target = rule > 0 ? kRuleTarget[rule] : -1;
    auto enter = [&] {
        if (target >= 0) BEGIN(target);
    };

    switch (action) {
        case Action::Nothing:
            break;
        case Action::Begin:
            enter();
            break;

        // ---- literals and constants ----
        case Action::StringLiteral:
            skipString('"');
            break;
        case Action::CharLiteral:
            skipString('\'');
            break;
        case Action::RawString:
            skipRawString();
            break;
        case Action::DefineConstant: {
            // "#define NAME 123"
            const char* p = yytext + 1;
            while (*p == ' ' || *p == '\t') ++p;
            p += 6;
            while (*p == ' ' || *p == '\t') ++p;
            const char* name = p;
            while (*p && *p != ' ' && *p != '\t') ++p;
            std::string n(name, static_cast<size_t>(p - name));
            while (*p == ' ' || *p == '\t') ++p;
            if (std::strlen(p) < 12) build_.constant(n, std::atoll(p));
            break;
        }
        case Action::TopConstant:
        case Action::MemberConstant: {
            const Text250& text = action == Action::TopConstant ? topText_ : decl_.text;
            const char* space = std::strrchr(text.s, ' ');
            const char* name = space ? space + 1 : text.s;
            const char* digits = yytext + 1;
            while (*digits == ' ' || *digits == '\t') ++digits;
            if (std::strlen(digits) < 12) build_.constant(name, std::atoll(digits));
            break;
        }

        // ---- loops and conditions ----
        case Action::ControlHead:
            argsReturn_ = yystart;
            argsDepth_ = 0;
            // "if"/"switch" make a condition, "for"/"while" a loop.
            controlLoop_ = yytext[0] == 'f' || yytext[0] == 'w';
            BEGIN(CONTROL_HEAD);
            break;
        case Action::ControlHeadClose:
            if (--argsDepth_ <= 0) {
                argsDepth_ = 0;
                BEGIN(argsReturn_);
                pushControl(controlLoop_);
            }
            break;
        case Action::ControlBare:
            pushControl(yytext[0] == 'd');
            break;
        case Action::StatementEnd:
            endStatement();
            break;

        // ---- comments ----
        case Action::CommentOpen:
            ++commentDepth_;
            commentReturn_ = yystart;
            BEGIN(COMMENT);
            break;
        case Action::CommentClose:
            if (--commentDepth_ == 0) BEGIN(commentReturn_);
            commentReturn_ = 0;
            break;
        case Action::CommentEof:
            messages_.push_back("unexpected eof in comment");
            break;

        default:
            if (!bodyAction(action, target)) topAction(action, target);
            break;
    }

    // A statement of a constructor or sc_main body that ends in ";" closes
    // the loops and conditions that governed only it.
    if (target >= 0 && yyleng == 1 && yytext[0] == ';' && (target == CTOR_BODY || target == MAIN_BODY) &&
        action == Action::Begin)
        endStatement();
}
