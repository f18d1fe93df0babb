#pragma once
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

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

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Scans `source` as file `name` into `model` and returns the report.
using LexerHook = std::function<void(SC_Lexer&)>;

// Scans `source` as file `name` into `model` and returns the report;
// `before` runs after yycreate, `after` once the scan is done.
inline std::string scan(DesignModel& model, const std::string& source, const char* name = "t.cpp",
                        const LexerHook& before = {}, const LexerHook& after = {}) {
    const std::string src = tempPath("src.cpp"), report = tempPath("report.out");
    writeFile(src, source);
    {
        SC_Lexer lexer(model, report.c_str());
        FILE* in = std::fopen(src.c_str(), "r");
        lexer.yyin = in;
        EXPECT_EQ(lexer.yycreate(), 1);
        lexer.setFileName(name);
        if (before) before(lexer);
        lexer.yylex();
        if (after) after(lexer);
        std::fclose(in);
    }
    std::string text = readFile(report);
    std::remove(src.c_str());
    std::remove(report.c_str());
    return text;
}

inline std::string scan(const std::string& source) {
    DesignModel model;
    return scan(model, source);
}

} // namespace sctest
