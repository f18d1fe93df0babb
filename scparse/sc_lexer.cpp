#include "scparse/sc_lexer.h"

#include <cstdarg>
#include <cstring>

#include "scparse/sc_rules.h"

using namespace sc_rules;

namespace {
// Marker left in the comment return slot by a constructor call in sc_main.
constexpr int kCtorCallMarker = 154;
} // namespace

SC_Lexer::SC_Lexer(DesignModel& model, const char* reportPath) : model_(model) {
    yystateaction = kStates;
    yytransitionaction = kTransitions;
    yytransitionmax = kTransitionCount;
    if (reportPath) report_ = std::fopen(reportPath, "w");
}

SC_Lexer::~SC_Lexer() {
    if (report_) std::fclose(report_);
}

void SC_Lexer::yyoutput(int) {}

void SC_Lexer::setFileName(const char* path) { fileName.set(path); }

void SC_Lexer::report(const char* format, ...) {
    if (!report_) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(report_, format, args);
    va_end(args);
}

template <class T>
std::shared_ptr<T> SC_Lexer::record(const char* name, const char* label) {
    auto r = std::make_shared<T>(name, label);
    r->line = yylineno;
    r->file = fileName.str();
    return r;
}

bool SC_Lexer::split(Text250& text, Text250& name) {
    const char* space = std::strrchr(text.s, ' ');
    if (!space) return false;
    int at = static_cast<int>(space - text.s);
    name.set(space + 1, text.n - at - 1);
    text.s[at] = '\0';
    text.n = at;
    return true;
}

void SC_Lexer::recordProcess(const char* kind) {
    report("%s : %s : %d \n", kind, yytext, yylineno);
    if (deferredFlag) {
        auto p = record<DeferredProcessItem>(yytext, "");
        p->ownerClass = ownerClassName.str();
        model_.deferredProcesses.push_back(p);
    } else {
        auto p = record<ProcessItem>(yytext, "");
        if (currentModule) currentModule->processes.push_back(p);
    }
    BEGIN(CTOR_BODY);
}

void SC_Lexer::recordInstance(const char* name, const char* label) {
    if (deferredFlag) {
        auto i = record<DeferredInstanceItem>(name, label);
        i->ownerClass = ownerClassName.str();
        model_.deferredInstances.push_back(i);
    } else {
        auto i = record<InstanceItem>(name, label);
        if (currentModule) currentModule->instances.push_back(i);
    }
}

void SC_Lexer::memberImpl(const char* name) {
    auto m = std::make_shared<MemberImplItem>(name, name);
    m->implLine = yylineno;
    m->implFile = fileName.str();
    const char* space = std::strrchr(topText.s, ' ');
    m->ownerClass = space ? std::string(space + 1) : topText.str();
    model_.memberImpls.push_back(m);
}

void SC_Lexer::clearModuleMember() {
    moduleMemberText.clear();
    moduleMemberName.clear();
    pointerFlag = 0;
    arraySize.clear();
    moduleArrayFlag = 0;
}

void SC_Lexer::clearClassMember() {
    classMemberText.clear();
    classMemberName.clear();
    pointerFlag = 0;
    arraySize.clear();
    classArrayFlag = 0;
}

// Module and class members are declared alike; `kind` names them in the report.
void SC_Lexer::memberDeclare(const char* kind, Text250& text, Text250& name, unsigned char& arrayFlag,
                             std::vector<std::shared_ptr<ObjectItem>>* objects, bool semicolon) {
    if (!split(text, name)) {
        name.set(text.s, text.n);
        text.clear();
    }
    if (semicolon && pointerFlag)
        report("%s item %s is declared as %s pointer at %d\n", kind, name.s, text.s, yylineno);
    else
        report("%s item %s is declared as %s at %d\n", kind, name.s, text.s, yylineno);
    auto o = record<ObjectItem>(name.s, "");
    o->type = text.str();
    o->pointer = pointerFlag != 0;
    if (objects) objects->push_back(o);
    if (arrayFlag) report("above %s item is an array of size %s\n", kind, arraySize.s);
    if (!semicolon) {
        name.clear();
        arraySize.clear();
        arrayFlag = 0;
    }
}

void SC_Lexer::modMemberDeclare(bool semicolon) {
    memberDeclare("module", moduleMemberText, moduleMemberName, moduleArrayFlag,
                  currentModule ? &currentModule->objects : nullptr, semicolon);
    if (semicolon) {
        clearModuleMember();
        BEGIN(MODULE_BODY);
    }
}

void SC_Lexer::clsMemberDeclare(bool semicolon) {
    memberDeclare("class", classMemberText, classMemberName, classArrayFlag,
                  currentClass ? &currentClass->objects : nullptr, semicolon);
    if (semicolon) {
        clearClassMember();
        BEGIN(CLASS_BODY);
    }
}

void SC_Lexer::clsFunction(bool body) {
    const char* format = ctorFlag   ? "Constructor %s is declared as %s at %d\n"
                         : dtorFlag ? "Destructor %s is declared as %s at %d\n"
                                    : "Function %s is declared as %s at %d\n";
    report(format, classMemberName.s, classMemberText.s, yylineno);
    std::string name = (dtorFlag ? "~" : "") + classMemberName.str();
    auto f = record<FunctionItem>(name.c_str(), name.c_str());
    f->returnType = classMemberText.str();
    f->implLine = yylineno;
    f->implFile = fileName.str();
    if (currentClass) currentClass->functions.push_back(f);
    classMemberText.clear();
    classMemberName.clear();
    pointerFlag = ctorFlag = dtorFlag = 0;
    BEGIN(body ? CLASS_FUNC_BODY : CLASS_BODY);
}

void SC_Lexer::operatorRecord(Text250& memberText, std::shared_ptr<FunctionItem>* out) {
    int cut = yyleng;
    while (cut > 0 && yytext[cut - 1] != '(') --cut;
    if (cut > 0) --cut;
    yytext[cut] = '\0';
    report("operator %s is overloaded as %s at %d\n", yytext, memberText.s, yylineno);
    std::string name = std::string("operator") + yytext;
    auto f = record<FunctionItem>(name.c_str(), name.c_str());
    f->returnType = memberText.str();
    f->implLine = yylineno;
    f->implFile = fileName.str();
    *out = f;
}

void SC_Lexer::classRecordOpen() {
    auto c = std::make_shared<ClassRecord>(className.s, "");
    c->line = classBeginLine;
    c->file = fileName.str();
    model_.classes.push_back(c);
    currentClass = c;
}

void SC_Lexer::mainObjectDeclare() {
    if (pointerFlag)
        report("object %s is declared as %s pointer at %d\n", mainObjectName.s, mainStmtText.s, yylineno);
    else
        report("object %s is declared as %s at %d\n", mainObjectName.s, mainStmtText.s, yylineno);
    auto o = record<ObjectItem>(mainObjectName.s, "");
    o->type = mainStmtText.str();
    o->pointer = pointerFlag != 0;
    if (currentModule) currentModule->objects.push_back(o);
}

int SC_Lexer::yyaction(int rule) {
    // Most matches are single skipped characters: keep their path short.
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
    const int target = kRuleTarget[rule];
    const int line = yylineno;
    auto enter = [&] {
        if (target >= 0) BEGIN(target);
    };

    switch (action) {
        case Action::Nothing:
            break;
        case Action::Begin:
            enter();
            break;

        // ---- top level ----
        case Action::MainBegin:
            report("\nmain body\n");
            currentModule = model_.findOrAddModule("sc_main");
            currentModule->line = line;
            currentModule->file = fileName.str();
            currentModule->main = true;
            BEGIN(MAIN_PARAMS);
            break;
        case Action::TopWord:
            topText.set(yytext, yyleng);
            if (topText.equals("void")) voidFlag = 1;
            BEGIN(TOP_DECL);
            break;
        case Action::AngleOpen:
            ++angleDepth;
            enter();
            break;
        case Action::AngleClose:
            if (--angleDepth == 0) enter();
            break;
        case Action::TopDeclWord:
            topText.append(' ');
            topText.append(yytext, yyleng);
            break;
        case Action::TopDeclAngle:
            topText.append('<');
            ++angleDepth;
            BEGIN(TOP_DECL_TARGS);
            break;
        case Action::TopDeclTargsClose:
            topText.append('>');
            if (--angleDepth == 0) BEGIN(TOP_DECL);
            break;
        case Action::TopDeclTargsChar:
            topText.append(yytext[0]);
            if (yytext[0] == '<') ++angleDepth;
            if (yytext[0] == ';') BEGIN(TOP_DECL);
            break;
        case Action::FuncDepthOpen:
            ++funcDepth;
            enter();
            break;
        case Action::FuncDepthClose:
            if (--funcDepth == 0) enter();
            break;
        case Action::TopDeclBodyClose:
            if (--funcDepth == 0) {
                topText.clear();
                BEGIN(INITIAL);
            }
            break;
        case Action::QualifiedName:
            if (topText.equals(yytext)) {
                ownerClassName.set(yytext, yyleng);
                BEGIN(CTOR_IMPL);
            } else {
                report(voidFlag ? "Process %s is declared as %s at %d\n"
                                : "Function %s is declared as %s at %d\n",
                       yytext, topText.s, line);
                memberImpl(yytext);
                BEGIN(MEMBER_IMPL_TAIL);
            }
            break;
        case Action::QualifiedTilde:
            dtorFlag = 1;
            BEGIN(DTOR_IMPL_NAME);
            break;
        case Action::DtorImplName: {
            report("Destructor %s is implemented at %d\n", yytext, line);
            std::string name = std::string("~") + yytext;
            memberImpl(name.c_str());
            BEGIN(DTOR_IMPL_TAIL);
            break;
        }
        case Action::MemberImplBodyClose:
            if (--funcDepth == 0) {
                topText.clear();
                voidFlag = 0;
                if (dtorFlag) {
                    report("destructor ends here : %d\n", line);
                    dtorFlag = 0;
                }
                BEGIN(INITIAL);
            }
            break;
        case Action::CtorImplParams:
            report("class constructor %s is implemented at %d\n", ownerClassName.s, line);
            deferredFlag = 1;
            BEGIN(CTOR_HEAD);
            break;

        // ---- classes, structs and module heads ----
        case Action::ModuleName:
            report("\ncurrent module is : %s \n", yytext);
            moduleName.set(yytext, yyleng);
            currentModule = model_.findOrAddModule(yytext);
            currentModule->line = line;
            currentModule->file = fileName.str();
            BEGIN(MODULE_OPEN);
            break;
        case Action::ModuleOpen:
            report("begins at : %d \n", line);
            ++bodyDepth;
            BEGIN(MODULE_BODY);
            break;
        case Action::ClassName:
            className.set(yytext, yyleng);
            classBeginLine = line;
            report("\nclass or struct %s begins at %d\n", yytext, line);
            BEGIN(CLASS_HEAD);
            break;
        case Action::ClassForward:
            report("class or struct %s ends at : %d \n", className.s, line);
            BEGIN(INITIAL);
            break;
        case Action::ClassHeadOpen:
            ++bodyDepth;
            report("class or struct %s begins at %d\n", className.s, line);
            classKind = 4;
            classRecordOpen();
            BEGIN(CLASS_BODY);
            break;
        case Action::BaseModule:
        case Action::BaseChannel:
            if (action == Action::BaseModule) {
                report("current module is : %s \n", className.s);
                classKind = 1;
            } else {
                report("current channel is : %s \n", className.s);
                classKind = 2;
            }
            currentModule = model_.findOrAddModule(className.s);
            currentModule->line = classBeginLine;
            currentModule->file = fileName.str();
            BEGIN(MODULE_CLASS_OPEN);
            break;
        case Action::BaseInterface:
            report("current interface is : %s \n", className.s);
            classKind = 3;
            break;
        case Action::ClassBasesOpen:
            ++bodyDepth;
            classRecordOpen();
            BEGIN(CLASS_BODY);
            break;
        case Action::BodyDepthOpen:
            ++bodyDepth;
            enter();
            break;

        // ---- module bodies ----
        case Action::ModuleBodyClose:
            if (--bodyDepth == 0) {
                report("ends at : %d \n", line);
                moduleName.clear();
                className.clear();
                classKind = 0;
                currentModule = nullptr;
                BEGIN(INITIAL);
            }
            break;
        case Action::ArrayKind:
            arrayKind = target == SIGNAL_DECL  ? 0
                        : target == IN_DECL    ? 1
                        : target == OUT_DECL   ? 2
                        : target == INOUT_DECL ? 3
                        : target == PORT_DECL  ? 4
                                               : 5;
            enter();
            break;
        case Action::CtorBegin:
            report("Constructor begins at : %d\n", line);
            BEGIN(CTOR_HEAD);
            break;
        case Action::ModuleMemberStart:
            moduleMemberText.set(yytext, yyleng);
            arrayKind = 6;
            BEGIN(MODULE_MEMBER);
            break;
        case Action::ModuleDtorBegin:
            report("destructor begins at : %d\n", line);
            BEGIN(MODULE_DTOR_HEAD);
            break;
        case Action::ModuleClock: {
            report("module %s clock %s is declared at %d\n", className.s, yytext, line);
            auto c = record<ClockItem>(yytext, "");
            if (currentModule) currentModule->clocks.push_back(c);
            BEGIN(MODULE_CLOCK_TAIL);
            break;
        }
        case Action::DtorDepthOpen:
            ++dtorDepth;
            enter();
            break;
        case Action::DtorBodyClose:
            if (--dtorDepth == 0) {
                report("destructor ends at : %d\n", line);
                enter();
            }
            break;

        // ---- ports, signals, exports ----
        case Action::SignalDecl: {
            report("sc_signal : %s : %d \n", yytext, line);
            auto s = record<SignalItem>(yytext, "");
            if (currentModule) currentModule->signals.push_back(s);
            break;
        }
        case Action::InDecl:
        case Action::OutDecl:
        case Action::InoutDecl: {
            int direction = action == Action::InDecl ? 1 : action == Action::OutDecl ? 2 : 3;
            report(direction == 1   ? "sc_in : %s : %d \n"
                   : direction == 2 ? "sc_out : %s : %d \n"
                                    : "sc_inout : %s : %d \n",
                   yytext, line);
            auto p = record<PortItem>(yytext, "");
            p->direction = direction;
            if (currentModule) currentModule->ports.push_back(p);
            break;
        }
        case Action::PortTypeOpen:
            portTypeText.append('<');
            ++angleDepth;
            enter();
            break;
        case Action::PortTypeClose:
            portTypeText.append('>');
            if (--angleDepth == 0) enter();
            break;
        case Action::PortTypeChar:
            portTypeText.append(yytext[0]);
            if (yytext[0] == '<') ++angleDepth;
            break;
        case Action::PortDecl: {
            report("sc_port of type %s : %s : %d \n", portTypeText.s, yytext, line);
            auto p = record<PortItem>(yytext, "");
            p->direction = 0;
            p->interfaceType = portTypeText.str();
            if (currentModule) currentModule->ports.push_back(p);
            portTypeText.clear();
            break;
        }
        case Action::ExportDecl: {
            report("sc_export of type %s : %s : %d \n", portTypeText.s, yytext, line);
            auto e = record<ExportItem>(yytext, "");
            e->interfaceType = portTypeText.str();
            if (currentModule) currentModule->exports.push_back(e);
            portTypeText.clear();
            break;
        }
        case Action::ArraySize:
            if (moduleArrayFlag)
                arraySize.set(yytext, yyleng);
            else
                report("above item is an array of size %s\n", yytext);
            break;
        case Action::ArraySizeClose: {
            static const int back[] = {SIGNAL_DECL, IN_DECL,     OUT_DECL,     INOUT_DECL,
                                       PORT_DECL,   EXPORT_DECL, MODULE_MEMBER};
            BEGIN(arrayKind >= 0 && arrayKind <= 6 ? back[arrayKind] : MODULE_MEMBER);
            break;
        }

        // ---- module members ----
        case Action::ModMemberAngle:
            moduleMemberText.append('<');
            ++angleDepth;
            BEGIN(MODULE_MEMBER_TARGS);
            break;
        case Action::PointerFlag:
            pointerFlag = 1;
            break;
        case Action::ModMemberWord:
            moduleMemberText.append(' ');
            moduleMemberText.append(yytext, yyleng);
            break;
        case Action::ModMemberSemi:
            modMemberDeclare(true);
            break;
        case Action::ModMemberComma:
            modMemberDeclare(false);
            break;
        case Action::ModMemberBracket:
            moduleArrayFlag = 1;
            arrayKind = 6;
            BEGIN(ARRAY_SIZE);
            break;
        case Action::ModMemberParen:
            if (split(moduleMemberText, moduleMemberName)) {
                BEGIN(MODULE_FUNC_PARAMS);
            } else {
                clearModuleMember();
                BEGIN(MODULE_BODY);
            }
            break;
        case Action::ModMemberTargsClose:
            moduleMemberText.append('>');
            if (--angleDepth == 0) BEGIN(MODULE_MEMBER);
            break;
        case Action::ModMemberTargsChar:
            moduleMemberText.append(yytext[0]);
            if (yytext[0] == '<') ++angleDepth;
            break;
        case Action::ModFuncDecl:
        case Action::ModFuncDef: {
            report("Function %s is declared as %s at %d\n", moduleMemberName.s, moduleMemberText.s, line);
            auto f = record<FunctionItem>(moduleMemberName.s, moduleMemberName.s);
            f->returnType = moduleMemberText.str();
            if (action == Action::ModFuncDef) {
                ++funcDepth;
                f->implLine = line;
                f->implFile = fileName.str();
            }
            if (currentModule) currentModule->functions.push_back(f);
            moduleMemberText.clear();
            moduleMemberName.clear();
            pointerFlag = 0;
            BEGIN(action == Action::ModFuncDef ? MODULE_FUNC_BODY : MODULE_BODY);
            break;
        }
        case Action::ModOperator: {
            std::shared_ptr<FunctionItem> f;
            operatorRecord(moduleMemberText, &f);
            if (currentModule) currentModule->functions.push_back(f);
            BEGIN(MODULE_OPERATOR_PARAMS);
            break;
        }
        case Action::OpDepthOpen:
            ++opDepth;
            enter();
            break;
        case Action::OpDepthClose:
            if (--opDepth == 0) enter();
            break;

        // ---- constructors ----
        case Action::CtorHeadEnd:
            report("Constructor ends at : %d\n", line);
            BEGIN(MODULE_BODY);
            break;
        case Action::CtorDepthOpen:
            ++ctorDepth;
            enter();
            break;
        case Action::CtorObjectName:
            ctorObjectName.set(yytext, yyleng);
            enter();
            break;
        case Action::CtorInitName:
            report("object %s is instantiated as %s\n", ctorObjectName.s, yytext);
            instanceName.set(yytext, yyleng - 1);
            recordInstance(ctorObjectName.s, instanceName.s);
            ctorObjectName.clear();
            instanceName.clear();
            BEGIN(CTOR_INIT_LIST);
            break;
        case Action::CtorBodyClose:
            if (--ctorDepth == 0) {
                if (deferredFlag) {
                    deferredFlag = 0;
                    ownerClassName.clear();
                    BEGIN(INITIAL);
                } else {
                    BEGIN(MODULE_BODY);
                }
                report("Constructor ends at : %d\n", line);
            }
            break;
        case Action::ProcessMethod:
            recordProcess("SC_METHOD");
            break;
        case Action::ProcessThread:
            recordProcess("SC_THREAD");
            break;
        case Action::ProcessCThread:
            recordProcess("SC_CTHREAD");
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
            ctorObjectName.clear();
            BEGIN(CTOR_BODY);
            break;
        case Action::CtorStmtOpen:
            ++ctorDepth;
            ctorObjectName.clear();
            BEGIN(CTOR_BODY);
            break;
        case Action::CtorStmtClose:
            --ctorDepth;
            ctorObjectName.clear();
            BEGIN(CTOR_BODY);
            break;
        case Action::CtorNewType:
            ctorTypeName.set(yytext, yyleng);
            break;
        case Action::CtorNewName:
            instanceName.set(yytext, yyleng - 1);
            report("object %s of type %s is instantiated as %s\n", ctorObjectName.s, ctorTypeName.s,
                   instanceName.s);
            recordInstance(ctorObjectName.s, instanceName.s);
            break;
        case Action::CtorNewEnd:
            ctorObjectName.clear();
            instanceName.clear();
            ctorTypeName.clear();
            BEGIN(CTOR_BODY);
            break;

        // ---- class and struct bodies ----
        case Action::ClassBodyClose:
            if (--bodyDepth == 0) {
                report("struct %s ends at : %d \n", className.s, line);
                className.clear();
                classKind = 0;
                currentClass = nullptr;
                BEGIN(INITIAL);
            }
            break;
        case Action::ClassMemberStart:
            classMemberText.set(yytext, yyleng);
            arrayKind = 6;
            BEGIN(CLASS_MEMBER);
            break;
        case Action::ClsMemberAngle:
            classMemberText.append('<');
            ++angleDepth;
            BEGIN(CLASS_MEMBER_TARGS);
            break;
        case Action::DestructorFlag:
            dtorFlag = 1;
            break;
        case Action::ClsMemberWord:
            classMemberText.append(' ');
            classMemberText.append(yytext, yyleng);
            break;
        case Action::ClsMemberSemi:
            clsMemberDeclare(true);
            break;
        case Action::ClsMemberComma:
            clsMemberDeclare(false);
            break;
        case Action::ClsMemberBracket:
            classArrayFlag = 1;
            arrayKind = 6;
            BEGIN(CLASS_ARRAY_SIZE);
            break;
        case Action::ClsArraySize:
            arraySize.set(yytext, yyleng);
            break;
        case Action::ClsMemberParen:
            if (split(classMemberText, classMemberName)) {
                if (!dtorFlag && classMemberName.equals(className.s)) ctorFlag = 1;
                BEGIN(CLASS_FUNC_PARAMS);
            } else if (classMemberText.equals(className.s)) {
                if (!dtorFlag) ctorFlag = 1;
                classMemberName.set(classMemberText.s, classMemberText.n);
                classMemberText.clear();
                BEGIN(CLASS_FUNC_PARAMS);
            } else {
                clearClassMember();
                BEGIN(CLASS_BODY);
            }
            break;
        case Action::ClsMemberTargsClose:
            classMemberText.append('>');
            if (--angleDepth == 0) BEGIN(CLASS_MEMBER);
            break;
        case Action::ClsMemberTargsChar:
            classMemberText.append(yytext[0]);
            if (yytext[0] == '<') ++angleDepth;
            break;
        case Action::ClsFuncDecl:
            clsFunction(false);
            break;
        case Action::ClsFuncDef:
            ++funcDepth;
            clsFunction(true);
            break;
        case Action::ClsOperator: {
            std::shared_ptr<FunctionItem> f;
            operatorRecord(classMemberText, &f);
            if (currentClass) currentClass->functions.push_back(f);
            BEGIN(CLASS_OPERATOR_PARAMS);
            break;
        }
        case Action::ClsDtorName: {
            report("destructor of class %s begins at : %d\n", yytext, line);
            std::string name = std::string("~") + yytext;
            auto f = record<FunctionItem>(name.c_str(), name.c_str());
            f->implLine = line;
            f->implFile = fileName.str();
            if (currentClass) currentClass->functions.push_back(f);
            BEGIN(CLASS_DTOR_TAIL);
            break;
        }

        // ---- the body of sc_main ----
        case Action::MainOpen:
            ++mainDepth;
            report("begins at : %d\n", line);
            break;
        case Action::MainClose:
            if (--mainDepth == 0) {
                report("ends at : %d\n", line);
                currentModule = nullptr;
                BEGIN(INITIAL);
            }
            break;
        case Action::MainStmtStart:
            mainStmtText.set(yytext, yyleng);
            BEGIN(MAIN_STMT);
            break;
        case Action::MainClock: {
            report("main clock %s is declared at %d\n", yytext, line);
            auto c = record<ClockItem>(yytext, "");
            if (currentModule) currentModule->clocks.push_back(c);
            BEGIN(MAIN_CLOCK_TAIL);
            break;
        }
        case Action::MainSignalName:
            mainSignalName.set(yytext, yyleng);
            BEGIN(MAIN_SIGNAL_NAME);
            break;
        case Action::MainSignalEnd:
        case Action::MainSignalLabel: {
            const bool labelled = action == Action::MainSignalLabel;
            if (labelled)
                report("main signal %s is declared as %s at %d\n", mainSignalName.s, yytext, line);
            else
                report("main signal %s is declared at %d\n", mainSignalName.s, line);
            auto s = record<SignalItem>(mainSignalName.s, labelled ? yytext : "");
            if (currentModule) currentModule->signals.push_back(s);
            BEGIN(MAIN_BODY);
            break;
        }
        case Action::MainStmtWord:
            mainStmtText.append(' ');
            mainStmtText.append(yytext, yyleng);
            break;
        case Action::MainStmtAngle:
            mainStmtText.append('<');
            ++angleDepth;
            BEGIN(MAIN_STMT_TARGS);
            break;
        case Action::MainStmtTargsClose:
            mainStmtText.append('>');
            if (--angleDepth == 0) BEGIN(MAIN_STMT);
            break;
        case Action::MainStmtTargsChar:
            mainStmtText.append(yytext[0]);
            if (yytext[0] == '<') ++angleDepth;
            break;
        case Action::MainStmtAssign:
            if (split(mainStmtText, mainObjectName)) {
                mainObjectDeclare();
            } else {
                mainObjectName.set(mainStmtText.s, mainStmtText.n);
                mainStmtText.clear();
            }
            BEGIN(MAIN_ASSIGN);
            break;
        case Action::MainStmtSemi:
        case Action::MainStmtComma:
            if (!split(mainStmtText, mainObjectName)) {
                mainObjectName.set(mainStmtText.s, mainStmtText.n);
                mainStmtText.clear();
            }
            mainObjectDeclare();
            mainObjectName.clear();
            instanceName.clear();
            pointerFlag = 0;
            if (action == Action::MainStmtSemi) {
                mainStmtText.clear();
                BEGIN(MAIN_BODY);
            }
            break;
        case Action::MainStmtParen:
            if (split(mainStmtText, mainObjectName)) {
                commentReturn = kCtorCallMarker;
                BEGIN(MAIN_INST_ARGS);
            } else {
                mainObjectName.clear();
                mainStmtText.clear();
                instanceName.clear();
                BEGIN(MAIN_CALL);
            }
            break;
        case Action::MainDepthOpen:
            ++mainDepth;
            BEGIN(MAIN_BODY);
            break;
        case Action::MainDepthClose:
            --mainDepth;
            BEGIN(MAIN_BODY);
            break;
        case Action::MainInstName:
            instanceName.set(yytext, yyleng - 1);
            BEGIN(MAIN_INST_CLOSE);
            break;
        case Action::MainNewEnd: {
            report("object %s is instantiated at %d\n", mainObjectName.s, line);
            auto i = record<InstanceItem>(mainObjectName.s, "");
            if (currentModule) currentModule->instances.push_back(i);
            mainObjectName.clear();
            mainStmtText.clear();
            instanceName.clear();
            pointerFlag = 0;
            BEGIN(MAIN_BODY);
            break;
        }
        case Action::MainInstClose: {
            report("object %s is instantiated as %s at %d\n", mainObjectName.s, instanceName.s, line);
            auto i = record<InstanceItem>(mainObjectName.s, instanceName.s);
            if (currentModule) currentModule->instances.push_back(i);
            if (commentReturn == kCtorCallMarker) {
                mainObjectDeclare();
                commentReturn = 0;
            }
            BEGIN(MAIN_INST_TAIL);
            break;
        }
        case Action::MainInstNext:
            mainObjectName.clear();
            instanceName.clear();
            pointerFlag = 0;
            BEGIN(MAIN_STMT);
            break;
        case Action::MainInstEnd:
            mainObjectName.clear();
            mainStmtText.clear();
            instanceName.clear();
            pointerFlag = 0;
            BEGIN(MAIN_BODY);
            break;

        // ---- comments ----
        case Action::CommentOpen:
            ++commentDepth;
            commentReturn = yystart;
            BEGIN(COMMENT);
            break;
        case Action::CommentClose:
            if (--commentDepth == 0) BEGIN(commentReturn);
            commentReturn = 0;
            break;
        case Action::CommentEof:
            std::fputs("unexpected eof in comment\n", stdout);
            break;
    }
}
