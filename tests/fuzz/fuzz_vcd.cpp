// libFuzzer target: VCD text through the parser (whole tree and streaming)
// and the whole importer into the wave document. A wave file the importer
// writes must read back with the same rows and signals.
#include <cstdint>
#include <string>
#include <unistd.h>

#include "grammar/parser.h"
#include "waview/vcd_converter.h"
#include "waview/wvwfile.h"

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
        Waview_FileManager back;
        std::string error;
        if (!ReadWaveFile(back, out, &error) || back.RowCount() != doc.RowCount() ||
            back.SignalCount() != doc.SignalCount())
            __builtin_trap();
        unlink(out.c_str());
    }
    return 0;
}
