// libFuzzer target: arbitrary bytes as the output of a build. The line
// assembler cuts them into lines and every line is classified; what the
// Compile pane gets is either nothing or text ending in CR LF.
#include <cstdint>
#include <string>
#include <vector>

#include "project/classify.h"
#include "project/lineassembler.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    korl::BuildLineContext context;
    context.targetName = "counter";
    context.projectTitle = "counter";
    korl::LineAssembler assembler(512);
    std::vector<std::string> lines;
    // Two feeds, so a line may be split across them as pipes split it.
    assembler.feed(bytes.substr(0, size / 2), lines);
    assembler.feed(bytes.substr(size / 2), lines);
    for (const std::string& line : lines) {
        if (line.size() > assembler.maxLength() || line.find('\n') != std::string::npos) __builtin_trap();
        const korl::ClassifiedLine c = korl::ClassifyBuildLine(line, context);
        if (!c.shown.empty() && (c.shown.size() < 2 || c.shown.compare(c.shown.size() - 2, 2, "\r\n") != 0))
            __builtin_trap();
        if (c.errors > 1 || c.warnings > 1) __builtin_trap();
        korl::IsMakeLine(line, context.makeName);
        if (korl::IsSourceExcerptLine(line) && (c.errors || c.warnings)) __builtin_trap();
    }
    return 0;
}
