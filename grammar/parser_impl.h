#pragma once
// Internals shared by the runtime and the VCD parse.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "grammar/parser.h"

struct PgMessage {
    int32_t code = 0;
    int32_t severity = 2; // 2 error, 1 warning
    std::string expecting;
    int64_t line = 0;
    int64_t startPos = 0;
};

struct PgNode {
    int32_t sym = 0;
    int32_t parent = -1;
    int32_t first = -1, last = -1, next = -1;
    int32_t count = 0;
    uint64_t textOff = 0;
    uint32_t textLen = 0;
};

// Whitespace-separated tokens read in large blocks from a file or a buffer.
class TokenSource {
public:
    static constexpr size_t kBlock = 4 << 20;
    static constexpr size_t kMaxToken = 256u << 20;

    bool OpenFile(const std::string& path);
    void OpenBuffer(std::string text);
    bool IsOpen() const { return file_ != nullptr || memory_; }
    void Close();
    // False at the end of input; tooLong is set when a token exceeds kMaxToken.
    bool Next(std::string_view& tok);
    int64_t Line() const { return line_; }
    int64_t TokenLine() const { return tokenLine_; }
    uint64_t Offset() const { return consumed_ + pos_; }
    bool tooLong = false;
    bool readError = false; // the file could not be read (a directory, an I/O error)

private:
    bool Refill();
    std::FILE* file_ = nullptr;
    bool memory_ = false;
    bool eof_ = false;
    std::vector<char> buf_;
    size_t pos_ = 0, end_ = 0;
    uint64_t consumed_ = 0;
    int64_t line_ = 1, tokenLine_ = 1;
};

struct ParserInterface::Impl {
    // grammar
    bool grammarLoaded = false;
    int32_t version = 0;
    std::vector<GrammarContext> contexts;
    std::vector<int32_t> sortedContexts;
    std::vector<std::string> names;
    std::vector<char> byteCode;

    // messages
    std::vector<PgMessage> errors, warnings;
    void Error(int32_t code, std::string expecting, int64_t line);

    // input and tree
    TokenSource src;
    bool streaming = false;
    bool started = false;
    bool finished = false;
    uint64_t bytesAtEnd = 0;
    int32_t scopeDepthLimit = 1000;
    std::vector<PgNode> nodes;
    std::string text;
    int32_t simList = -1;
    size_t simNodeMark = 0, simTextMark = 0;
    int32_t lastParent = -1, lastIndex = -1, lastChild = -1; // GetChildNode cache

    int32_t NewNode(int32_t sym, int32_t parent);
    int32_t Leaf(int32_t sym, int32_t parent, std::string_view t);
    void Reset();
    bool Valid(PGNode n) const { return n != 0 && n <= nodes.size(); }
    const PgNode& N(PGNode n) const { return nodes[n - 1]; }
    void JoinText(int32_t node, std::string& out) const;

    // parse
    bool ParseDeclarations(int32_t declList);
    bool ProduceSimCommand(); // false at the end or on an error
    bool ParseValueChange(std::string_view tok, int32_t parent, bool* recognised);
    bool UntilEnd(std::string* joined, const char* what);
};
