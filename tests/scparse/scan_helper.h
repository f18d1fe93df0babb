#pragma once
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "scparse/design_model.h"
#include "scparse/sc_lexer.h"

namespace sctest {

inline std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "korl_scparse_" + std::to_string(::getpid()) + "_" + name;
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

using LexerHook = std::function<void(SC_Lexer&)>;

// Scans `source` as file `name` into `model`; `before` runs after
// yycreate, `after` once the scan is done. Returns the scanner's messages
// (its error, when it failed, comes last).
inline std::vector<std::string> scan(DesignModel& model, const std::string& source,
                                     const char* name = "t.cpp", const LexerHook& before = {},
                                     const LexerHook& after = {}) {
    FILE* in = fmemopen(const_cast<char*>(source.data()), source.size(), "r");
    if (source.empty()) in = std::fopen("/dev/null", "r");
    SC_Lexer lexer(model);
    lexer.yyin = in;
    EXPECT_EQ(lexer.yycreate(), 1);
    lexer.setFileName(name);
    if (before) before(lexer);
    lexer.yylex();
    if (after) after(lexer);
    std::fclose(in);
    std::vector<std::string> messages = lexer.messages();
    if (lexer.failed()) messages.push_back(lexer.error());
    return messages;
}

// The records of a module as one line a record, for readable comparisons:
// "port in a 'A' @3", "signal s @4 [4]", "process run @7 loop".
inline std::string describe(const ModuleRecord& m) {
    std::ostringstream out;
    auto item = [&](const char* what, const DesignItem& d, const char* extra = "") {
        out << what << extra << " " << d.name;
        if (!d.label.empty() && d.label != d.name) out << " '" << d.label << "'";
        out << " @" << d.line;
        if (!d.arraySize.empty()) out << " [" << d.arraySize << "]";
        if (const auto* l = dynamic_cast<const LocatedItem*>(&d)) {
            if (l->inLoop) out << " loop";
            if (l->conditional) out << " cond";
        }
        out << "\n";
    };
    static const char* const dir[] = {" port", " in", " out", " inout"};
    for (const auto& p : m.ports)
        item("port", *p, p->direction >= 0 && p->direction < 4 ? dir[p->direction] : "");
    for (const auto& e : m.exports) item("export", *e);
    for (const auto& s : m.signals) item("signal", *s, s->channel.empty() ? "" : (" " + s->channel).c_str());
    for (const auto& c : m.clocks) item("clock", *c);
    for (const auto& p : m.processes) item("process", *p);
    for (const auto& i : m.instances) item("instance", *i);
    for (const auto& o : m.objects) item("object", *o, o->pointer ? " *" : "");
    for (const auto& f : m.functions) item("function", *f);
    return out.str();
}

inline std::string describe(const DesignModel& model, const std::string& module) {
    auto m = model.findModule(module);
    return m ? describe(*m) : "(no module " + module + ")";
}

} // namespace sctest
