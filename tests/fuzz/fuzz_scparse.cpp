// libFuzzer target: arbitrary bytes as a SystemC source file. Scanning,
// building the model, filling both trees and resolving every jump must
// neither crash nor hang. Built and run for a bounded time by the
// sanitizer build of ./test when clang is installed.
#include <cstdint>
#include <cstdio>

#include "scparse/elaborate.h"
#include "scparse/sc_lexer.h"

namespace {

void visit(const std::vector<scparse::BrowserNode>& nodes, scparse::BrowserTree tree) {
    for (const auto& node : nodes) {
        if (node.record)
            for (int cmd :
                 {scparse::kGotoDeclaration, scparse::kGotoImplementation, scparse::kGotoInstantiation})
                scparse::resolveJump(scparse::jumpLocation(*node.record, cmd), "/p/");
        scparse::contextCommands(tree, node.image);
        visit(node.children, tree);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    FILE* in = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!in) return 0;
    DesignModel model;
    {
        SC_Lexer lexer(model);
        lexer.yyin = in;
        if (lexer.yycreate()) {
            lexer.setFileName("fuzz.cpp");
            lexer.yylex();
        }
    }
    std::fclose(in);
    model.build();
    visit(scparse::fillDesignBrowser(model.root), scparse::BrowserTree::Design);
    visit(scparse::fillSourceBrowser(model.modules, model.classes), scparse::BrowserTree::Source);
    return 0;
}
