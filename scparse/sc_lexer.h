#pragma once
// The SystemC scanner: the rule actions over the generated tables. One
// SC_Lexer scans one file and adds what it recognises to a DesignModel;
// on request it also describes each recognised construct in report lines.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "scparse/design_model.h"
#include "scparse/model_builder.h"
#include "scparse/sc_text.h"
#include "scparse/yylexer.h"

namespace sc_rules {
enum class Action : unsigned char;
}

// Receives the report lines (each ending in "\n"); a debugging aid.
using ReportSink = std::function<void(std::string_view text)>;

class SC_Lexer : public yl::yyflexer {
public:
    explicit SC_Lexer(DesignModel& model, ReportSink report = {});
    ~SC_Lexer() override;

    void yyoutput(int ch) override;
    int yyaction(int action) override;

    void setFileName(const char* path);

    // Warnings about the file just scanned ("unexpected eof in comment").
    const std::vector<std::string>& messages() const { return messages_; }

private:
    // One entry per open loop or condition of a constructor or sc_main body.
    struct Control {
        bool loop = false;
        bool block = false; // a braced body (ends at its "}"), else one statement (ends at ";")
        int depth = 0;      // brace depth of the braced body
    };

    void runAction(int rule, sc_rules::Action action);
    // The actions of module and class bodies, and of the top level and
    // sc_main; each returns false for an action that is not its own.
    bool bodyAction(sc_rules::Action action, int target);
    bool topAction(sc_rules::Action action, int target);
    void report(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    int line() const { return yylineno; }

    // Literals are read by hand: no comment marker inside one opens a comment.
    void skipString(char quote);
    void skipRawString();
    void quotedText(const std::string& text);

    void declareModuleMember(bool semicolon);
    void declareClassMember(bool semicolon);
    void classFunction(bool body);
    std::shared_ptr<FunctionItem> operatorFunction(const scparse::Text250& memberText, bool toClass);
    void declareMainObject();
    void recordNew();
    void recordMainInstance(const char* label, bool expression);

    int& bodyDepthOf(int condition);
    void pushControl(bool loop);
    void openBlock(int depth);
    void closeBlock(int depth);
    void endStatement();
    void updateContext();

    scparse::ModelBuilder build_;
    ReportSink report_;
    std::vector<std::string> messages_;

    // Depth counters.
    int angleDepth_ = 0;
    int bodyDepth_ = 0;
    int ctorDepth_ = 0;
    int funcDepth_ = 0;
    int mainDepth_ = 0;
    int dtorDepth_ = 0;
    int opDepth_ = 0;
    int commentDepth_ = 0;
    int commentReturn_ = 0;
    int argsDepth_ = 0;
    int argsReturn_ = 0;

    bool voidFlag_ = false;
    bool dtorFlag_ = false;
    bool ctorFlag_ = false;
    bool ctorCall_ = false; // sc_main: "type name(" declares an object and an instance
    bool initNamed_ = false;
    int arrayKind_ = 0;

    scparse::Text250 moduleName_, className_, ctorObjectName_, ctorTypeName_, topText_, portTypeText_,
        ownerClassName_, instanceName_, newArgs_;
    // One accumulator for the declaration under way: module member, class
    // member or sc_main statement (they never interleave).
    scparse::Declaration decl_;
    int classBeginLine_ = 0;
    bool newInMain_ = false;
    bool newArgsDone_ = false;
    bool controlLoop_ = false;

    std::shared_ptr<DesignItem> lastDeclared_; // takes an array size or a name string
    std::vector<Control> controls_;
};
