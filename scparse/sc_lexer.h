#pragma once
// The SystemC scanner: the rule actions over the generated tables. One
// SC_Lexer scans one file; it writes one report line per recognised
// construct and adds records to a DesignModel.
#include <cstdio>
#include <memory>
#include <string>

#include "scparse/design_model.h"
#include "scparse/yylexer.h"

namespace sc_rules {
enum class Action : unsigned char;
}

// Fixed-size text of at most Size-1 characters; longer text is cut.
template <int Size>
struct FixedText {
    char s[Size] = {};
    int n = 0;

    void clear() { n = 0, s[0] = '\0'; }
    void set(const char* text, int len) { clear(), append(text, len); }
    void set(const char* text) { set(text, static_cast<int>(std::char_traits<char>::length(text))); }
    void append(const char* text, int len) {
        int room = Size - 1 - n;
        if (len > room) len = room;
        if (len > 0) std::char_traits<char>::copy(s + n, text, static_cast<size_t>(len));
        n += len > 0 ? len : 0;
        s[n] = '\0';
    }
    void append(char c) { append(&c, 1); }
    bool empty() const { return n == 0; }
    bool equals(const char* text) const {
        const size_t len = std::char_traits<char>::length(text);
        return len == static_cast<size_t>(n) && std::char_traits<char>::compare(s, text, len) == 0;
    }
    std::string str() const { return std::string(s, static_cast<size_t>(n)); }
};

using Text250 = FixedText<250>;

class SC_Lexer : public yl::yyflexer {
public:
    // Opens the report file for writing (emptying it); reportPath null means
    // no report at all.
    explicit SC_Lexer(DesignModel& model, const char* reportPath = "output.out");
    ~SC_Lexer() override;

    void yyoutput(int ch) override;
    int yyaction(int action) override;

    void setFileName(const char* path);
    bool reportOpen() const { return report_ != nullptr; }

    // Analysis state.
    int angleDepth = 0;
    int bodyDepth = 0;
    int ctorDepth = 0;
    int funcDepth = 0;
    int mainDepth = 0;
    int dtorDepth = 0;
    int opDepth = 0;
    int commentDepth = 0;
    int commentReturn = 0; // also the constructor-call marker of sc_main
    unsigned char pointerFlag = 0;
    unsigned char deferredFlag = 0;
    unsigned char voidFlag = 0;
    unsigned char moduleArrayFlag = 0;
    unsigned char classArrayFlag = 0;
    unsigned char dtorFlag = 0;
    unsigned char ctorFlag = 0;
    Text250 moduleName, className, ctorObjectName, ctorTypeName, moduleMemberText, moduleMemberName,
        classMemberText, classMemberName, topText, portTypeText, ownerClassName, mainSignalName, mainStmtText,
        mainObjectName, instanceName, arraySize;
    int arrayKind = 0;
    int classKind = 0;
    int classBeginLine = 0;
    FixedText<260> fileName;

    std::shared_ptr<ModuleRecord> currentModule;
    std::shared_ptr<ClassRecord> currentClass;

private:
    void runAction(int rule, sc_rules::Action action);
    void report(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    template <class T>
    std::shared_ptr<T> record(const char* name, const char* label);
    void recordProcess(const char* kind);
    void recordInstance(const char* name, const char* label);
    void memberImpl(const char* name);
    bool split(Text250& text, Text250& name);
    void clearModuleMember();
    void clearClassMember();
    void memberDeclare(const char* kind, Text250& text, Text250& name, unsigned char& arrayFlag,
                       std::vector<std::shared_ptr<ObjectItem>>* objects, bool semicolon);
    void modMemberDeclare(bool semicolon);
    void clsMemberDeclare(bool semicolon);
    void clsFunction(bool body);
    void operatorRecord(Text250& memberText, std::shared_ptr<FunctionItem>* out);
    void classRecordOpen();
    void mainObjectDeclare();

    DesignModel& model_;
    FILE* report_ = nullptr;
};
