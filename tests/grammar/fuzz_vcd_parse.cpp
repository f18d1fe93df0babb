// libFuzzer target: VCD text through the parser (whole tree and streaming)
// and the converter. Built by scripts/fuzz.sh with clang.
#include <cstdint>
#include <string>
#include <unistd.h>

#include "grammar/parser.h"
#include "waview/vcd_converter.h"

namespace {

void Walk(ParserInterface& p, PGNode n, int depth) {
    for (; n && depth < 64; n = p.GetNextSiblingNode(n)) {
        p.GetNodeText(n);
        p.GetNodeSymbolName(n);
        Walk(p, p.GetChildNode(n, 0), depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (bool streaming : {false, true}) {
        ParserInterface* p = GetParserInterface();
        p->SetStreaming(streaming);
        p->OpenBuffer(text);
        p->Parse();
        Walk(*p, p->FindSymbolNode("value_change_dump", 1), 0);
        for (int i = 0; i < p->GetMessageCount(); ++i) {
            p->GetMessageProperty(i, "Expecting");
            p->GetMessageProperty(i, "LineNumber");
        }
        ReleaseParserInterface(p);
    }
    static const std::string out = "/tmp/korl_fuzz_vcd_" + std::to_string(getpid()) + ".wvw";
    Waview_VCDConverter conv("fuzz.vcd");
    conv.SetWavePath(out);
    conv.SetInputText(text);
    if (conv.Convert()) {
        Waview_FileManager& doc = conv.Document();
        std::string s;
        for (int32_t i = 0; i < doc.RowCount() && i < 200; ++i) {
            doc.Row(i)->ValueTextAt(s, conv.LargestTime() / 2);
            doc.Row(i)->GetDepth();
        }
        unlink(out.c_str());
    }
    return 0;
}
