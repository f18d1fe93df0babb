// Rule actions of module, class and struct heads and bodies: members,
// ports and signals, constructors and their processes.
#include "scparse/sc_lexer.h"

#include "scparse/sc_rules.h"

using namespace sc_rules;
using scparse::Text250;

// ---- declarations ----

// A module member declarator ends at ";" or ",".
void SC_Lexer::declareModuleMember(bool semicolon) {
    decl_.splitOrName();
    const bool pointer = semicolon && decl_.pointer;
    report(pointer ? "module item %s is declared as %s pointer at %d\n"
                   : "module item %s is declared as %s at %d\n",
           decl_.name.s, decl_.text.s, line());
    build_.object(decl_.name.str(), decl_.text.str(), decl_.pointer, decl_.arraySize.str(), line(), false);
    if (decl_.array) report("above module item is an array of size %s\n", decl_.arraySize.s);
    if (semicolon) {
        decl_.clear();
        BEGIN(MODULE_BODY);
    } else {
        decl_.nextDeclarator();
    }
}

void SC_Lexer::declareClassMember(bool semicolon) {
    decl_.splitOrName();
    const bool pointer = semicolon && decl_.pointer;
    report(pointer ? "class item %s is declared as %s pointer at %d\n"
                   : "class item %s is declared as %s at %d\n",
           decl_.name.s, decl_.text.s, line());
    build_.object(decl_.name.str(), decl_.text.str(), decl_.pointer, decl_.arraySize.str(), line(), true);
    if (decl_.array) report("above class item is an array of size %s\n", decl_.arraySize.s);
    if (semicolon) {
        decl_.clear();
        BEGIN(CLASS_BODY);
    } else {
        decl_.nextDeclarator();
    }
}

void SC_Lexer::classFunction(bool body) {
    const char* format = ctorFlag_   ? "Constructor %s is declared as %s at %d\n"
                         : dtorFlag_ ? "Destructor %s is declared as %s at %d\n"
                                     : "Function %s is declared as %s at %d\n";
    report(format, decl_.name.s, decl_.text.s, line());
    std::string name = (dtorFlag_ ? "~" : "") + decl_.name.str();
    build_.function(name, decl_.text.str(), line(), true, true);
    decl_.clear();
    ctorFlag_ = dtorFlag_ = false;
    BEGIN(body ? CLASS_FUNC_BODY : CLASS_BODY);
}

std::shared_ptr<FunctionItem> SC_Lexer::operatorFunction(const Text250& memberText, bool toClass) {
    int cut = yyleng;
    while (cut > 0 && yytext[cut - 1] != '(') --cut;
    if (cut > 0) --cut;
    yytext[cut] = '\0';
    report("operator %s is overloaded as %s at %d\n", yytext, memberText.s, line());
    return build_.function(std::string("operator") + yytext, memberText.str(), line(), true, toClass);
}

// Returns false for an action that is not one of a module or class.
bool SC_Lexer::bodyAction(Action action, int target) {
    const int line = yylineno;
    auto enter = [&] {
        if (target >= 0) BEGIN(target);
    };

    switch (action) {
        // ---- classes, structs and module heads ----
        case Action::ModuleName:
            report("\ncurrent module is : %s \n", yytext);
            moduleName_.set(yytext, yyleng);
            build_.beginModule(yytext, line);
            BEGIN(MODULE_OPEN);
            break;
        case Action::ModuleOpen:
            report("begins at : %d \n", line);
            ++bodyDepth_;
            BEGIN(MODULE_BODY);
            break;
        case Action::ClassName:
            className_.set(yytext, yyleng);
            classBeginLine_ = line;
            report("\nclass or struct %s begins at %d\n", yytext, line);
            BEGIN(CLASS_HEAD);
            break;
        case Action::ClassForward:
            report("class or struct %s ends at : %d \n", className_.s, line);
            BEGIN(INITIAL);
            break;
        case Action::ClassHeadOpen:
            ++bodyDepth_;
            report("class or struct %s begins at %d\n", className_.s, line);
            build_.beginClass(className_.str(), classBeginLine_);
            BEGIN(CLASS_BODY);
            break;
        case Action::BaseModule:
        case Action::BaseChannel:
            report(action == Action::BaseModule ? "current module is : %s \n" : "current channel is : %s \n",
                   className_.s);
            build_.beginModule(className_.str(), classBeginLine_);
            BEGIN(MODULE_CLASS_OPEN);
            break;
        case Action::BaseInterface:
            report("current interface is : %s \n", className_.s);
            break;
        case Action::ClassBasesOpen:
            ++bodyDepth_;
            build_.beginClass(className_.str(), classBeginLine_);
            BEGIN(CLASS_BODY);
            break;
        case Action::BodyDepthOpen:
            ++bodyDepth_;
            enter();
            break;

        // ---- module bodies ----
        case Action::ModuleBodyClose:
            if (--bodyDepth_ == 0) {
                report("ends at : %d \n", line);
                moduleName_.clear();
                className_.clear();
                build_.endModule();
                BEGIN(INITIAL);
            }
            break;
        case Action::ArrayKind:
            arrayKind_ = target == SIGNAL_DECL  ? 0
                         : target == IN_DECL    ? 1
                         : target == OUT_DECL   ? 2
                         : target == INOUT_DECL ? 3
                         : target == PORT_DECL  ? 4
                                                : 5;
            lastDeclared_ = nullptr;
            enter();
            break;
        case Action::CtorBegin:
            report("Constructor begins at : %d\n", line);
            controls_.clear();
            updateContext();
            BEGIN(CTOR_HEAD);
            break;
        case Action::ModuleMemberStart:
            decl_.start(yytext, yyleng);
            arrayKind_ = 6;
            BEGIN(MODULE_MEMBER);
            break;
        case Action::ModuleDtorBegin:
            report("destructor begins at : %d\n", line);
            BEGIN(MODULE_DTOR_HEAD);
            break;
        case Action::ModuleClock:
            report("module %s clock %s is declared at %d\n", className_.s, yytext, line);
            lastDeclared_ = build_.clock(yytext, "", line);
            BEGIN(MODULE_CLOCK_TAIL);
            break;
        case Action::DtorDepthOpen:
            ++dtorDepth_;
            enter();
            break;
        case Action::DtorBodyClose:
            if (--dtorDepth_ == 0) {
                report("destructor ends at : %d\n", line);
                enter();
            }
            break;

        // ---- ports, signals, exports ----
        case Action::SignalDecl:
            report("sc_signal : %s : %d \n", yytext, line);
            lastDeclared_ = build_.signal(yytext, "", line);
            break;
        case Action::InDecl:
        case Action::OutDecl:
        case Action::InoutDecl: {
            int direction = action == Action::InDecl ? 1 : action == Action::OutDecl ? 2 : 3;
            report(direction == 1   ? "sc_in : %s : %d \n"
                   : direction == 2 ? "sc_out : %s : %d \n"
                                    : "sc_inout : %s : %d \n",
                   yytext, line);
            lastDeclared_ = build_.port(yytext, direction, "", line);
            break;
        }
        case Action::PortTypeOpen:
            portTypeText_.append('<');
            ++angleDepth_;
            enter();
            break;
        case Action::PortTypeClose:
            portTypeText_.append('>');
            if (--angleDepth_ == 0) enter();
            break;
        case Action::PortTypeChar:
            portTypeText_.append(yytext, yyleng);
            if (yytext[0] == '<') ++angleDepth_;
            break;
        case Action::PortDecl:
            report("sc_port of type %s : %s : %d \n", portTypeText_.s, yytext, line);
            lastDeclared_ = build_.port(yytext, 0, portTypeText_.str(), line);
            portTypeText_.clear();
            break;
        case Action::ExportDecl:
            report("sc_export of type %s : %s : %d \n", portTypeText_.s, yytext, line);
            lastDeclared_ = build_.exportItem(yytext, portTypeText_.str(), line);
            portTypeText_.clear();
            break;
        case Action::ArraySize:
            // The size may be an expression: its words are kept apart, so
            // only a single number or name reads as a constant.
            if (!decl_.arraySize.empty()) decl_.arraySize.append(' ');
            decl_.arraySize.append(yytext, yyleng);
            if (arrayKind_ < 6 && !decl_.array) report("above item is an array of size %s\n", yytext);
            if (arrayKind_ < 6 || arrayKind_ == 7) {
                if (lastDeclared_) lastDeclared_->arraySize = decl_.arraySize.str();
            }
            break;
        case Action::ArraySizeClose: {
            static const int back[] = {SIGNAL_DECL, IN_DECL,       OUT_DECL,         INOUT_DECL, PORT_DECL,
                                       EXPORT_DECL, MODULE_MEMBER, MAIN_SIGNAL_NAME, MAIN_STMT};
            const bool keep = arrayKind_ >= 6;
            if (!keep) decl_.arraySize.clear();
            BEGIN(arrayKind_ >= 0 && arrayKind_ <= 8 ? back[arrayKind_] : MODULE_MEMBER);
            break;
        }
        case Action::MainArray:
            arrayKind_ = yystart == MAIN_SIGNAL_NAME ? 7 : 8;
            decl_.arraySize.clear();
            decl_.array = true;
            BEGIN(ARRAY_SIZE);
            break;

        // ---- module members ----
        case Action::ModMemberAngle:
            decl_.text.append('<');
            ++angleDepth_;
            BEGIN(MODULE_MEMBER_TARGS);
            break;
        case Action::PointerFlag:
            decl_.pointer = true;
            break;
        case Action::ModMemberWord:
            decl_.word(yytext, yyleng);
            break;
        case Action::ModMemberSemi:
            declareModuleMember(true);
            break;
        case Action::ModMemberComma:
            declareModuleMember(false);
            break;
        case Action::ModMemberBracket:
            decl_.array = true;
            decl_.arraySize.clear();
            arrayKind_ = 6;
            BEGIN(ARRAY_SIZE);
            break;
        case Action::ModMemberParen:
            if (decl_.split()) {
                BEGIN(MODULE_FUNC_PARAMS);
            } else {
                decl_.clear();
                BEGIN(MODULE_BODY);
            }
            break;
        case Action::ModMemberTargsClose:
            decl_.text.append('>');
            if (--angleDepth_ == 0) BEGIN(MODULE_MEMBER);
            break;
        case Action::ModMemberTargsChar:
            decl_.text.append(yytext, yyleng);
            if (yytext[0] == '<') ++angleDepth_;
            break;
        case Action::ModFuncDecl:
        case Action::ModFuncDef: {
            const bool body = action == Action::ModFuncDef;
            report("Function %s is declared as %s at %d\n", decl_.name.s, decl_.text.s, line);
            build_.function(decl_.name.str(), decl_.text.str(), line, body, false);
            if (body) ++funcDepth_;
            decl_.clear();
            BEGIN(body ? MODULE_FUNC_BODY : MODULE_BODY);
            break;
        }
        case Action::ModOperator:
            operatorFunction(decl_.text, false);
            BEGIN(MODULE_OPERATOR_PARAMS);
            break;
        case Action::OpDepthOpen:
            ++opDepth_;
            enter();
            break;
        case Action::OpDepthClose:
            if (--opDepth_ == 0) enter();
            break;

        // ---- constructors ----
        case Action::CtorHeadEnd:
            report("Constructor ends at : %d\n", line);
            BEGIN(MODULE_BODY);
            break;
        case Action::CtorDepthOpen:
            ++ctorDepth_;
            if (yystart == CTOR_BODY) openBlock(ctorDepth_);
            enter();
            break;
        case Action::CtorObjectName:
            ctorObjectName_.set(yytext, yyleng);
            initNamed_ = false;
            enter();
            break;
        case Action::ArgsOpen:
            if (target >= 0 && target != yystart) {
                argsDepth_ = 1;
                BEGIN(target);
            } else {
                ++argsDepth_;
            }
            break;
        case Action::ArgsClose:
            if (--argsDepth_ <= 0) {
                argsDepth_ = 0;
                ctorObjectName_.clear();
                enter();
            }
            break;
        case Action::CtorInitName:
            // The first quoted name of a member's initialiser is its name.
            if (initNamed_ || argsDepth_ != 1) break;
            initNamed_ = true;
            report("object %s is instantiated as %s\n", ctorObjectName_.s, yytext);
            instanceName_.set(yytext + 1, yyleng - 2);
            build_.instance(ctorObjectName_.str(), instanceName_.str(), line);
            instanceName_.clear();
            break;
        case Action::CtorBodyClose:
            if (--ctorDepth_ == 0) {
                if (build_.deferred()) {
                    build_.endDeferred();
                    ownerClassName_.clear();
                    BEGIN(INITIAL);
                } else {
                    BEGIN(MODULE_BODY);
                }
                controls_.clear();
                updateContext();
                report("Constructor ends at : %d\n", line);
            } else {
                closeBlock(ctorDepth_);
            }
            break;
        case Action::ProcessMethod:
        case Action::ProcessThread:
        case Action::ProcessCThread:
            report("%s : %s : %d \n",
                   action == Action::ProcessMethod   ? "SC_METHOD"
                   : action == Action::ProcessThread ? "SC_THREAD"
                                                     : "SC_CTHREAD",
                   yytext, line);
            build_.process(yytext, line);
            BEGIN(CTOR_BODY);
            break;
        case Action::Sensitive:
            report("sensitive to : %s : %d \n", yytext, line);
            break;
        case Action::SensitivePos:
            report("sensitive to positive edge of : %s : %d \n", yytext, line);
            break;
        case Action::SensitiveNeg:
            report("sensitive to negatove edge of : %s : %d \n", yytext, line);
            break;
        case Action::CtorStmtSemi:
            ctorObjectName_.clear();
            BEGIN(CTOR_BODY);
            endStatement();
            break;
        case Action::CtorStmtOpen:
            ++ctorDepth_;
            ctorObjectName_.clear();
            BEGIN(CTOR_BODY);
            openBlock(ctorDepth_);
            break;
        case Action::CtorStmtClose:
            --ctorDepth_;
            ctorObjectName_.clear();
            BEGIN(CTOR_BODY);
            closeBlock(ctorDepth_);
            break;
        case Action::CtorNewType:
            ctorTypeName_.set(yytext, yyleng);
            break;
        case Action::CtorNewEnd:
            ctorObjectName_.clear();
            instanceName_.clear();
            ctorTypeName_.clear();
            BEGIN(CTOR_BODY);
            endStatement();
            break;
        case Action::NewArgsOpen:
            newInMain_ = yystart == MAIN_NEW || yystart == MAIN_STMT;
            newArgs_.clear();
            newArgsDone_ = false;
            argsDepth_ = 1;
            BEGIN(NEW_ARGS);
            break;
        case Action::NewArgsLiteral: {
            // The literal is read whole: "(" or "//" inside it is text.
            const char quote = yytext[0];
            std::string text(1, quote);
            for (;;) {
                int ch = input();
                if (ch < 0 || ch == '\n') break;
                text += static_cast<char>(ch);
                if (ch == '\\') {
                    int next = input();
                    if (next < 0 || next == '\n') break;
                    text += static_cast<char>(next);
                } else if (ch == quote) {
                    break;
                }
            }
            if (!newArgsDone_) newArgs_.append(text.data(), static_cast<int>(text.size()));
            break;
        }
        case Action::ScopeJoin:
            decl_.text.append("::", 2);
            break;
        case Action::NewArgsChar:
            if (yytext[0] == '(') ++argsDepth_;
            if (!newArgsDone_) newArgs_.append(yytext, yyleng);
            break;
        case Action::NewArgsComma:
            if (argsDepth_ == 1)
                newArgsDone_ = true;
            else if (!newArgsDone_)
                newArgs_.append(',');
            break;
        case Action::NewArgsClose:
            if (--argsDepth_ > 0) {
                if (!newArgsDone_) newArgs_.append(')');
                break;
            }
            argsDepth_ = 0;
            recordNew();
            newArgs_.clear();
            if (newInMain_) {
                BEGIN(MAIN_INST_TAIL);
            } else {
                ctorObjectName_.clear();
                ctorTypeName_.clear();
                BEGIN(CTOR_NEW);
            }
            break;

        // ---- constructor arguments of a clock, signal or port declaration ----
        case Action::ItemArgsOpen:
            argsReturn_ = yystart;
            argsDepth_ = 1;
            initNamed_ = false;
            BEGIN(ITEM_ARGS);
            break;
        case Action::ItemLabel:
            if (initNamed_ || argsDepth_ != 1) break;
            initNamed_ = true;
            if (lastDeclared_) lastDeclared_->label.assign(yytext + 1, static_cast<size_t>(yyleng - 2));
            break;
        case Action::ItemArgsClose:
            if (--argsDepth_ <= 0) {
                argsDepth_ = 0;
                BEGIN(argsReturn_);
            }
            break;

        // ---- class and struct bodies ----
        case Action::ClassBodyClose:
            if (--bodyDepth_ == 0) {
                report("struct %s ends at : %d \n", className_.s, line);
                className_.clear();
                build_.endClass();
                BEGIN(INITIAL);
            }
            break;
        case Action::ClassMemberStart:
            decl_.start(yytext, yyleng);
            arrayKind_ = 6;
            BEGIN(CLASS_MEMBER);
            break;
        case Action::ClsMemberAngle:
            decl_.text.append('<');
            ++angleDepth_;
            BEGIN(CLASS_MEMBER_TARGS);
            break;
        case Action::DestructorFlag:
            dtorFlag_ = true;
            break;
        case Action::ClsMemberWord:
            decl_.word(yytext, yyleng);
            break;
        case Action::ClsMemberSemi:
            declareClassMember(true);
            break;
        case Action::ClsMemberComma:
            declareClassMember(false);
            break;
        case Action::ClsMemberBracket:
            decl_.array = true;
            decl_.arraySize.clear();
            arrayKind_ = 6;
            BEGIN(CLASS_ARRAY_SIZE);
            break;
        case Action::ClsArraySize:
            decl_.arraySize.set(yytext, yyleng);
            break;
        case Action::ClsMemberParen:
            if (decl_.split()) {
                if (!dtorFlag_ && decl_.name.equals(className_.s)) ctorFlag_ = true;
                BEGIN(CLASS_FUNC_PARAMS);
            } else if (decl_.text.equals(className_.s)) {
                if (!dtorFlag_) ctorFlag_ = true;
                decl_.name.set(decl_.text.s, decl_.text.n);
                decl_.text.clear();
                BEGIN(CLASS_FUNC_PARAMS);
            } else {
                decl_.clear();
                BEGIN(CLASS_BODY);
            }
            break;
        case Action::ClsMemberTargsClose:
            decl_.text.append('>');
            if (--angleDepth_ == 0) BEGIN(CLASS_MEMBER);
            break;
        case Action::ClsMemberTargsChar:
            decl_.text.append(yytext, yyleng);
            if (yytext[0] == '<') ++angleDepth_;
            break;
        case Action::ClsFuncDecl:
            classFunction(false);
            break;
        case Action::ClsFuncDef:
            ++funcDepth_;
            classFunction(true);
            break;
        case Action::ClsOperator:
            operatorFunction(decl_.text, true);
            BEGIN(CLASS_OPERATOR_PARAMS);
            break;
        case Action::ClsDtorName: {
            report("destructor of class %s begins at : %d\n", yytext, line);
            build_.function(std::string("~") + yytext, "", line, true, true);
            BEGIN(CLASS_DTOR_TAIL);
            break;
        }

        default:
            return false;
    }
    return true;
}
