// Rule actions of the top level (declarations and implementations outside
// any class) and of the body of sc_main.
#include "scparse/sc_lexer.h"

#include <cstring>

#include "scparse/sc_rules.h"

using namespace sc_rules;

// ---- sc_main objects and instances ----

void SC_Lexer::declareMainObject() {
    report(
        decl_.pointer ? "object %s is declared as %s pointer at %d\n" : "object %s is declared as %s at %d\n",
        decl_.name.s, decl_.text.s, line());
    build_.object(decl_.name.str(), decl_.text.str(), decl_.pointer, decl_.arraySize.str(), line(), false);
}

// The name argument of "new T(...)" or of "T name(...)" in sc_main: a
// quoted name, or the expression that makes the name at run time
// (*expression set).
static std::string nameArgument(const std::string& text, bool* expression) {
    *expression = false;
    size_t b = text.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return {};
    size_t e = text.find_last_not_of(" \t\r\n");
    std::string arg = text.substr(b, e - b + 1);
    if (arg.size() >= 2 && arg.front() == '"' && arg.back() == '"' && arg.find('"', 1) == arg.size() - 1)
        return arg.substr(1, arg.size() - 2);
    *expression = true;
    std::string out;
    bool space = false;
    for (char c : arg) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            space = true;
            continue;
        }
        if (space && !out.empty()) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

void SC_Lexer::recordNew() {
    bool expression = false;
    const std::string label = nameArgument(newArgs_.str(), &expression);
    if (newInMain_) {
        recordMainInstance(label.c_str(), expression);
        return;
    }
    report("object %s of type %s is instantiated as %s\n", ctorObjectName_.s, ctorTypeName_.s, label.c_str());
    build_.instance(ctorObjectName_.str(), label, line())->nameExpression = expression;
}

void SC_Lexer::recordMainInstance(const char* label, bool expression) {
    report("object %s is instantiated as %s at %d\n", decl_.name.s, label, line());
    build_.instance(decl_.name.str(), label, line())->nameExpression = expression;
    if (ctorCall_) {
        declareMainObject();
        ctorCall_ = false;
    }
}

// Returns false for an action that is not one of the top level or sc_main.
bool SC_Lexer::topAction(Action action, int target) {
    const int line = yylineno;
    auto enter = [&] {
        if (target >= 0) BEGIN(target);
    };

    switch (action) {
        // ---- top level ----
        case Action::MainBegin:
            report("\nmain body\n");
            build_.beginMain(line);
            controls_.clear();
            updateContext();
            BEGIN(MAIN_PARAMS);
            break;
        case Action::TopWord:
            topText_.set(yytext, yyleng);
            if (topText_.equals("void")) voidFlag_ = true;
            BEGIN(TOP_DECL);
            break;
        case Action::AngleOpen:
            ++angleDepth_;
            enter();
            break;
        case Action::AngleClose:
            if (--angleDepth_ == 0) enter();
            break;
        case Action::TopDeclWord:
            topText_.append(' ');
            topText_.append(yytext, yyleng);
            break;
        case Action::TopDeclAngle:
            topText_.append('<');
            ++angleDepth_;
            BEGIN(TOP_DECL_TARGS);
            break;
        case Action::TopDeclTargsClose:
            topText_.append('>');
            if (--angleDepth_ == 0) BEGIN(TOP_DECL);
            break;
        case Action::TopDeclTargsChar:
            topText_.append(yytext, yyleng);
            if (yytext[0] == '<') ++angleDepth_;
            if (yytext[0] == ';') BEGIN(TOP_DECL);
            break;
        case Action::FuncDepthOpen:
            ++funcDepth_;
            enter();
            break;
        case Action::FuncDepthClose:
            if (--funcDepth_ == 0) enter();
            break;
        case Action::TopDeclBodyClose:
            if (--funcDepth_ == 0) {
                topText_.clear();
                BEGIN(INITIAL);
            }
            break;
        case Action::QualifiedName:
            if (topText_.equals(yytext)) {
                ownerClassName_.set(yytext, yyleng);
                BEGIN(CTOR_IMPL);
            } else {
                report(voidFlag_ ? "Process %s is declared as %s at %d\n"
                                 : "Function %s is declared as %s at %d\n",
                       yytext, topText_.s, line);
                const char* space = std::strrchr(topText_.s, ' ');
                build_.memberImpl(yytext, space ? std::string(space + 1) : topText_.str(), line);
                BEGIN(MEMBER_IMPL_TAIL);
            }
            break;
        case Action::QualifiedTilde:
            dtorFlag_ = true;
            BEGIN(DTOR_IMPL_NAME);
            break;
        case Action::DtorImplName: {
            report("Destructor %s is implemented at %d\n", yytext, line);
            const char* space = std::strrchr(topText_.s, ' ');
            build_.memberImpl(std::string("~") + yytext, space ? std::string(space + 1) : topText_.str(),
                              line);
            BEGIN(DTOR_IMPL_TAIL);
            break;
        }
        case Action::MemberImplBodyClose:
            if (--funcDepth_ == 0) {
                topText_.clear();
                voidFlag_ = false;
                if (dtorFlag_) {
                    report("destructor ends here : %d\n", line);
                    dtorFlag_ = false;
                }
                BEGIN(INITIAL);
            }
            break;
        case Action::CtorImplParams:
            report("class constructor %s is implemented at %d\n", ownerClassName_.s, line);
            build_.beginDeferred(ownerClassName_.str());
            controls_.clear();
            updateContext();
            BEGIN(CTOR_HEAD);
            break;

        // ---- the body of sc_main ----
        case Action::MainOpen:
            ++mainDepth_;
            report("begins at : %d\n", line);
            openBlock(mainDepth_);
            break;
        case Action::MainClose:
            if (--mainDepth_ == 0) {
                report("ends at : %d\n", line);
                build_.endModule();
                controls_.clear();
                updateContext();
                BEGIN(INITIAL);
            } else {
                closeBlock(mainDepth_);
            }
            break;
        case Action::MainStmtStart:
            decl_.start(yytext, yyleng);
            BEGIN(MAIN_STMT);
            break;
        case Action::MainClock:
            report("main clock %s is declared at %d\n", yytext, line);
            lastDeclared_ = build_.clock(yytext, "", line);
            BEGIN(MAIN_CLOCK_TAIL);
            break;
        case Action::MainSignalName:
            // Each declarator is a signal; its arguments may name it.
            report("main signal %s is declared at %d\n", yytext, line);
            lastDeclared_ = build_.signal(yytext, "", line);
            decl_.arraySize.clear();
            BEGIN(MAIN_SIGNAL_NAME);
            break;
        case Action::MainStmtWord:
            decl_.word(yytext, yyleng);
            break;
        case Action::MainStmtAngle:
            decl_.text.append('<');
            ++angleDepth_;
            BEGIN(MAIN_STMT_TARGS);
            break;
        case Action::MainStmtTargsClose:
            decl_.text.append('>');
            if (--angleDepth_ == 0) BEGIN(MAIN_STMT);
            break;
        case Action::MainStmtTargsChar:
            decl_.text.append(yytext, yyleng);
            if (yytext[0] == '<') ++angleDepth_;
            break;
        case Action::MainStmtAssign:
            if (decl_.split()) {
                declareMainObject();
            } else {
                decl_.name.set(decl_.text.s, decl_.text.n);
                decl_.text.clear();
            }
            BEGIN(MAIN_ASSIGN);
            break;
        case Action::MainStmtSemi:
        case Action::MainStmtComma:
            decl_.splitOrName();
            declareMainObject();
            decl_.name.clear();
            decl_.arraySize.clear();
            decl_.array = false;
            instanceName_.clear();
            decl_.pointer = false;
            if (action == Action::MainStmtSemi) {
                decl_.text.clear();
                BEGIN(MAIN_BODY);
                endStatement();
            }
            break;
        case Action::MainStmtParen:
            if (decl_.split()) {
                ctorCall_ = true;
                newInMain_ = true;
                newArgs_.clear();
                newArgsDone_ = false;
                argsDepth_ = 1;
                BEGIN(NEW_ARGS);
            } else {
                decl_.clear();
                instanceName_.clear();
                BEGIN(MAIN_CALL);
            }
            break;
        case Action::MainDepthOpen:
            ++mainDepth_;
            BEGIN(MAIN_BODY);
            openBlock(mainDepth_);
            break;
        case Action::MainDepthClose:
            --mainDepth_;
            BEGIN(MAIN_BODY);
            closeBlock(mainDepth_);
            break;
        case Action::MainNewEnd:
            report("object %s is instantiated at %d\n", decl_.name.s, line);
            build_.instance(decl_.name.str(), "", line);
            decl_.clear();
            instanceName_.clear();
            BEGIN(MAIN_BODY);
            endStatement();
            break;
        case Action::MainInstClose:
            recordMainInstance(instanceName_.s, false);
            BEGIN(MAIN_INST_TAIL);
            break;
        case Action::MainInstNext:
            decl_.name.clear();
            decl_.arraySize.clear();
            decl_.array = false;
            decl_.pointer = false;
            instanceName_.clear();
            ctorCall_ = false;
            BEGIN(MAIN_STMT);
            break;
        case Action::MainInstEnd:
            decl_.clear();
            instanceName_.clear();
            ctorCall_ = false;
            BEGIN(MAIN_BODY);
            endStatement();
            break;

        default:
            return false;
    }
    return true;
}
