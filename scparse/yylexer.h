#pragma once
// Table-driven longest-match scanner with start conditions. yylexer holds
// the state, buffers and services; yyflexer adds the scanning loop over the
// compressed automaton tables (state rows of default/base/action, and
// next/check pairs). The rule actions live in a derived class.
#include <cstdint>
#include <cstdio>
#include <string>
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
    // yylex reads through the engine's own buffered input (input() below);
    // these serve actions that read ahead by hand.
    virtual int yygetchar();
    virtual int yyinput();
    virtual void yyoutput(int ch);
    virtual void yyunput(int ch);
    virtual int yywrap();
    virtual void yytextoverflow();
    virtual void yyunputoverflow();
    // Keeps the message for the caller (error()); nothing is printed.
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
    FILE* yyout = nullptr; // default echo; null = no echo
    FILE* yyerr = nullptr; // unused: messages are kept (error())
    char* yytext = nullptr;
    int yyleng = 0;
    int yylineno = 1;

    // Tables, set by the derived class.
    const yystate_t* yystateaction = nullptr;
    const yytransition_t* yytransitionaction = nullptr;
    int yytransitionmax = 0;
    int yystatecount = 0; // rows of yystateaction; 0 = unknown (no dense table)
    // Per action number: nonzero when the action does nothing, so the
    // scanning loop need not call yyaction at all (null: always call).
    const unsigned char* yyquiet = nullptr;
    int yyquietmax = 0;
    const int* yybackup = nullptr; // trailing context: unused by these rules
    const int* yymatch = nullptr;  // several actions per state: unused by these rules

    void BEGIN(int condition) { yystart = condition; }

    // Remembering dead-end scan positions keeps rescans of pushed-back text
    // linear; switching it off only serves to check that it changes nothing.
    void setDeadEndMemo(bool on) { yydeadendmemo_ = on; }

    // A buffer that could not grow stops the scan: yylex returns -1 and
    // error() tells why. The scanner is unusable until yycreate.
    bool failed() const { return yyfailed_; }
    const std::string& error() const { return yyerror_; }

protected:
    // Grow the text (and state) buffer; false (and the scan failed) when it cannot.
    bool yygrowtext();
    bool yygrowunput();
    void freeGrown();

    // Reads the next byte of yyin through a block buffer, joining lines
    // ended by a backslash as the preprocessor does; the joined newlines
    // are counted when the next character is delivered.
    int readSpliced();
    // True when at least n unread bytes are buffered (fewer only at end).
    bool ensure(size_t n) { return inlen_ - inpos_ >= n || refill(n); }
    bool refill(size_t n);
    int input() {
        int ch;
        if (yyunputindex > 0) {
            ch = yyunputbufptr[--yyunputindex];
        } else if (inpos_ < inlen_ && inbuf_[inpos_] != '\\' && splicedLines_ == 0) {
            ch = inbuf_[inpos_++];
        } else {
            ch = readSpliced();
        }
        if (ch == '\n') ++yylineno;
        if (ch >= 0) ++yypos_;
        return ch;
    }

    bool yyfailed_ = false;
    std::string yyerror_;
    int splicedLines_ = 0;
    unsigned char inbuf_[1 << 16];
    size_t inpos_ = 0;
    size_t inlen_ = 0;
    bool ineof_ = false;

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

    // The compressed tables expanded to one row of 256 next states per
    // state (a dead end is stored as 0), built once per table set: the hot
    // loop then costs one load per character. Built on the first yylex.
    const int16_t* denseTable();
    const int16_t* dense_ = nullptr;
};

} // namespace yl
