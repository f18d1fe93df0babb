#include "scparse/yylexer.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <vector>

namespace yl {

namespace {
// Backups shorter than this are cheap to rescan and not worth remembering.
constexpr int kDeadEndMinBackup = 4;

uint64_t deadEndKey(long long pos, int state) {
    return (static_cast<uint64_t>(pos) << 16) | static_cast<uint16_t>(state);
}

int grownSize(int current, int maximum) {
    int size;
    if (current == 0)
        size = 100;
    else if (current > INT_MAX / 2)
        size = maximum;
    else
        size = current * 2;
    if (maximum != 0 && size > maximum) size = maximum;
    return size;
}
} // namespace

yylexer::yylexer() : yyin(stdin) {}

yylexer::~yylexer() {
    yycleanup();
    delete[] yystext;
    delete[] yysstatebuf;
    delete[] yysunputbufptr;
}

int yylexer::yycreate(void* parser) {
    char* text = new (std::nothrow) char[static_cast<size_t>(yystext_size) + 1];
    int* states = new (std::nothrow) int[static_cast<size_t>(yystext_size > 0 ? yystext_size : 1)];
    int* unput = new (std::nothrow) int[static_cast<size_t>(yysunput_size > 0 ? yysunput_size : 1)];
    if (!text || !states || !unput) {
        delete[] text;
        delete[] states;
        delete[] unput;
        return 0;
    }
    freeGrown();
    delete[] yystext;
    delete[] yysstatebuf;
    delete[] yysunputbufptr;
    yystext = yytext = text;
    yysstatebuf = yystatebuf = states;
    yysunputbufptr = yyunputbufptr = unput;
    yytext_size = yystext_size;
    yyunput_size = yysunput_size;
    yytext[0] = '\0';
    yyleng = 0;
    yyunputindex = 0;
    yymoreflg = yyrejectflg = yyreturnflg = 0;
    yylineno = 1;
    yyeol = yyoldeol = 1;
    yyparserptr = parser;
    yypos_ = 0;
    yydeadends_.clear();
    yydeadendmax_ = -1;
    yyfailed_ = false;
    yyerror_.clear();
    splicedLines_ = 0;
    inpos_ = inlen_ = 0;
    ineof_ = false;
    return 1;
}

void yylexer::freeGrown() {
    if (yytext != yystext) delete[] yytext;
    if (yystatebuf != yysstatebuf) delete[] yystatebuf;
    if (yyunputbufptr != yysunputbufptr) delete[] yyunputbufptr;
    yytext = yystext;
    yystatebuf = yysstatebuf;
    yyunputbufptr = yysunputbufptr;
}

void yylexer::yycleanup() {
    freeGrown();
    yytext_size = yystext ? yystext_size : 0;
    yyunput_size = yysunputbufptr ? yysunput_size : 0;
    if (yytext) yytext[0] = '\0';
    yyleng = 0;
    yyunputindex = 0;
    yydeadends_.clear();
    yydeadendmax_ = -1;
}

bool yylexer::refill(size_t n) {
    if (inpos_ > 0) {
        std::memmove(inbuf_, inbuf_ + inpos_, inlen_ - inpos_);
        inlen_ -= inpos_;
        inpos_ = 0;
    }
    while (inlen_ < n && !ineof_ && yyin) {
        size_t got = std::fread(inbuf_ + inlen_, 1, sizeof inbuf_ - inlen_, yyin);
        if (got == 0) ineof_ = true;
        inlen_ += got;
    }
    return inlen_ >= n;
}

int yylexer::readSpliced() {
    for (;;) {
        if (!ensure(1)) return -1;
        int ch = inbuf_[inpos_++];
        if (ch == '\\') {
            // Backslash-newline (or backslash-CR-LF) joins two lines.
            size_t skip = 0;
            if (ensure(1) && inbuf_[inpos_] == '\n')
                skip = 1;
            else if (ensure(2) && inbuf_[inpos_] == '\r' && inbuf_[inpos_ + 1] == '\n')
                skip = 2;
            if (skip) {
                inpos_ += skip;
                ++splicedLines_;
                continue;
            }
        }
        // The lines joined away still count, from the character after them.
        yylineno += splicedLines_;
        splicedLines_ = 0;
        return ch;
    }
}

int yylexer::yygetchar() { return readSpliced(); }

int yylexer::yyinput() { return input(); }

void yylexer::yyoutput(int ch) {
    if (yyout) std::fputc(ch, yyout);
}

void yylexer::yyunput(int ch) {
    if (yyunputindex >= yyunput_size && !yygrowunput()) return;
    yyunputbufptr[yyunputindex++] = ch;
    if (ch == '\n') --yylineno;
    --yypos_;
}

int yylexer::yywrap() { return 1; }

void yylexer::yytextoverflow() {
    char msg[64];
    std::snprintf(msg, sizeof msg, "lexer text buffer overflow (%d)", yytext_size);
    yyerror(msg);
}

void yylexer::yyunputoverflow() {
    char msg[64];
    std::snprintf(msg, sizeof msg, "lexer unput buffer overflow (%d)", yyunput_size);
    yyerror(msg);
}

void yylexer::yyerror(const char* text) { yyerror_ = text; }

bool yylexer::yygrowtext() {
    int size = yytextgrow ? grownSize(yytext_size, yytext_max) : yytext_size;
    char* text = nullptr;
    int* states = nullptr;
    if (size > yytext_size) {
        text = new (std::nothrow) char[static_cast<size_t>(size) + 1];
        states = new (std::nothrow) int[static_cast<size_t>(size)];
    }
    if (!text || !states) {
        delete[] text;
        delete[] states;
        yytextoverflow();
        yyfailed_ = true;
        return false;
    }
    if (yyleng > 0) {
        std::memcpy(text, yytext, static_cast<size_t>(yyleng));
        std::memcpy(states, yystatebuf, sizeof(int) * static_cast<size_t>(yyleng));
    }
    if (yytext != yystext) delete[] yytext;
    if (yystatebuf != yysstatebuf) delete[] yystatebuf;
    yytext = text;
    yystatebuf = states;
    yytext_size = size;
    return true;
}

bool yylexer::yygrowunput() {
    int size = yyunputgrow ? grownSize(yyunput_size, yyunput_max) : yyunput_size;
    int* buf = size > yyunput_size ? new (std::nothrow) int[static_cast<size_t>(size)] : nullptr;
    if (!buf) {
        yyunputoverflow();
        yyfailed_ = true;
        return false;
    }
    if (yyunputindex > 0) std::memcpy(buf, yyunputbufptr, sizeof(int) * static_cast<size_t>(yyunputindex));
    if (yyunputbufptr != yysunputbufptr) delete[] yyunputbufptr;
    yyunputbufptr = buf;
    yyunput_size = size;
    return true;
}

const int16_t* yyflexer::denseTable() {
    // One expansion per table set, shared by every scanner of the process;
    // it never changes once built.
    static std::mutex lock;
    static std::map<const yystate_t*, std::vector<int16_t>> tables;
    std::lock_guard<std::mutex> guard(lock);
    std::vector<int16_t>& dense = tables[yystateaction];
    if (dense.empty()) {
        const int states = yystatecount;
        dense.assign(static_cast<size_t>(states) * 257, 0);
        for (int s = 1; s < states; ++s) {
            int16_t* row = dense.data() + static_cast<size_t>(s) * 257;
            for (int ch = 0; ch < 256; ++ch) {
                const int next = nextState(s, ch);
                row[ch] = static_cast<int16_t>(next != 0 && hasTransitions(next) ? next : -next);
            }
            row[256] = 0;
        }
    }
    return dense.data();
}

int yyflexer::yylex() {
    if (!dense_ && yystatecount > 0) dense_ = denseTable();
    for (;;) {
        const int entry = yystart + 1 + (yyeol ? 1 : 0);
        if (!yymoreflg) {
            yyleng = 0;
            yyoldeol = yyeol;
        }
        yymoreflg = 0;
        const int first = yyleng;

        // A scan position remembered as a dead end lies ahead only while we
        // rescan pushed-back text; past it the memory is useless.
        if (yydeadendmax_ >= 0 && yypos_ >= yydeadendmax_) {
            yydeadends_.clear();
            yydeadendmax_ = -1;
        }

        // The hot loop keeps the buffers in locals: only growth moves them.
        int state = entry;
        char* text = yytext;
        int* states = yystatebuf;
        int length = yyleng;
        for (;;) {
            int ch = input();
            if (ch < 0) break;
            if (length >= yytext_size) {
                yyleng = length;
                if (!yygrowtext()) return -1;
                text = yytext;
                states = yystatebuf;
            }
            text[length] = static_cast<char>(ch);
            if (dense_) {
                // Negative: a state without transitions (the match ends there).
                const int next = dense_[static_cast<size_t>(state) * 257 + static_cast<unsigned>(ch)];
                state = next < 0 ? -next : next;
                states[length++] = state;
                if (next <= 0) break;
            } else {
                state = nextState(state, ch);
                states[length++] = state;
                if (state == 0 || !hasTransitions(state)) break;
            }
            if (yypos_ <= yydeadendmax_ && yydeadends_.count(deadEndKey(yypos_, state))) break;
        }
        yyleng = length;

        if (yyleng > first) {
            const int read = yyleng;
            int last = yyleng - 1;
            while (last >= first && (yystatebuf[last] == 0 || yystateaction[yystatebuf[last]].action == 0))
                --last;
            if (yydeadendmemo_ && read - 1 - last >= kDeadEndMinBackup) {
                // Every state after the last accepting one leads to no match
                // from its position: remember that so that rescanning the
                // pushed-back text stays linear.
                long long pos = yypos_;
                for (int i = read - 1; i > last; --i, --pos)
                    if (yystatebuf[i] > 0) yydeadends_.insert(deadEndKey(pos, yystatebuf[i]));
                if (yypos_ > yydeadendmax_) yydeadendmax_ = yypos_;
            }
            const int keep = last >= first ? last + 1 : first + 1;
            while (yyleng > keep) yyunput(static_cast<unsigned char>(yytext[--yyleng]));
            if (yyfailed_) return -1;
            if (last < first) {
                // Nothing matched: echo the single character and go on.
                int ch = static_cast<unsigned char>(yytext[first]);
                yyeol = ch == '\n';
                yyoutput(ch);
                continue;
            }
            yyeol = yytext[yyleng - 1] == '\n';
            const int action = yystateaction[yystatebuf[last]].action;
            if (action < yyquietmax && yyquiet[action]) continue;
            yytext[yyleng] = '\0';
            yyrejectflg = 0;
            int result = yyaction(action);
            if (yyfailed_) return -1;
            if (yyreturnflg) return result;
            continue;
        }

        int eofAction = yystateaction[entry].action;
        if (eofAction != 0) {
            yytext[yyleng] = '\0';
            int result = yyaction(eofAction);
            if (yyreturnflg) return result;
        }
        if (yywrap() == 0) continue;
        yyeol = yyoldeol = 1;
        yystart = 0;
        return 0;
    }
}

} // namespace yl
