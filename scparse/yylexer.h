#pragma once
// Table-driven longest-match scanner with start conditions. yylexer holds
// the state, buffers and services; yyflexer adds the scanning loop over the
// compressed automaton tables (state rows of default/base/action, and
// next/check pairs). The rule actions live in a derived class.
#include <cstdint>
#include <cstdio>
#include <unordered_set>

namespace yl {

struct yystate_t {
    int16_t def;    // <0: every byte goes to -def; >0: retry lookup in state def; 0: no transition
    int16_t base;   // index of this state's row in the transition table
    int16_t action; // rule number accepted here; 0 = not accepting
};

struct yytransition_t {
    int16_t next;
    int16_t check; // owner state of this slot
};

class yylexer {
public:
    yylexer();
    virtual ~yylexer();

    virtual int yylex() = 0;
    virtual int yygetchar();
    virtual int yyinput();
    virtual void yyoutput(int ch);
    virtual void yyunput(int ch);
    virtual int yywrap();
    virtual void yytextoverflow();
    virtual void yyunputoverflow();
    virtual void yyerror(const char* text);
    virtual int yyaction(int action) = 0;

    int yycreate(void* parser = nullptr);
    void yycleanup();

    int yystart = 0;
    unsigned char yyeol = 1;
    unsigned char yyoldeol = 1;
    int* yystatebuf = nullptr;
    int* yysstatebuf = nullptr;
    char* yystext = nullptr;
    int yytext_size = 0;
    int yystext_size = 100;
    int yytext_max = 0;
    int* yyunputbufptr = nullptr;
    int* yysunputbufptr = nullptr;
    int yyunput_size = 0;
    int yysunput_size = 100;
    int yyunputindex = 0;
    int yyunput_max = 0;
    unsigned char yymoreflg = 0;
    unsigned char yyrejectflg = 0;
    unsigned char yyreturnflg = 0;
    void* yyparserptr = nullptr;
    unsigned char yytextgrow = 1;
    unsigned char yyunputgrow = 1;
    FILE* yyin;
    FILE* yyout;
    FILE* yyerr;
    char* yytext = nullptr;
    int yyleng = 0;
    int yylineno = 1;

    // Tables, set by the derived class.
    const yystate_t* yystateaction = nullptr;
    const yytransition_t* yytransitionaction = nullptr;
    int yytransitionmax = 0;
    const int* yybackup = nullptr; // trailing context: unused by these rules
    const int* yymatch = nullptr;  // several actions per state: unused by these rules

    void BEGIN(int condition) { yystart = condition; }

    // Remembering dead-end scan positions keeps rescans of pushed-back text
    // linear; switching it off only serves to check that it changes nothing.
    void setDeadEndMemo(bool on) { yydeadendmemo_ = on; }

protected:
    // Grow the text (and state) buffer; ends the process when it cannot.
    void yygrowtext();
    void yygrowunput();
    void freeGrown();

    // Absolute input position (characters delivered minus characters pushed
    // back), used to remember scan positions that are known to lead nowhere.
    long long yypos_ = 0;
    std::unordered_set<uint64_t> yydeadends_;
    long long yydeadendmax_ = -1;
    bool yydeadendmemo_ = true;
};

class yyflexer : public yylexer {
public:
    int yylex() override;

protected:
    int nextState(int state, int ch) const {
        for (;;) {
            const yystate_t& row = yystateaction[state];
            const int index = row.base + ch;
            if (static_cast<unsigned>(index) < static_cast<unsigned>(yytransitionmax) &&
                yytransitionaction[index].check == state)
                return yytransitionaction[index].next;
            if (row.def < 0) return ch <= 255 ? -row.def : 0;
            if (row.def == 0) return 0;
            state = row.def;
        }
    }
    bool hasTransitions(int state) const {
        return yystateaction[state].def != 0 || yystateaction[state].base != 0;
    }
};

} // namespace yl
