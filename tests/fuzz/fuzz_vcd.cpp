// libFuzzer target: VCD text through the parser (whole tree and streaming)
// and the importer into the wave document, serial and parallel. A wave file
// the importer writes must read back with the same rows and signals, and the
// parallel import must write the same bytes as the serial one, and the
// paint summaries of bus and scope rows must not depend on where the rows
// read their changes from.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "grammar/parser.h"
#include "waview/summary.h"
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

std::string Slurp(const std::string& path) {
    std::string data;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
        std::fclose(f);
    }
    return data;
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
    // The importer, serial and in small parallel chunks: both must accept
    // or refuse alike and write the same wave file.
    static const std::string out = "/tmp/korl_fuzz_vcd_" + std::to_string(getpid()) + ".wvw";
    static const std::string out2 = "/tmp/korl_fuzz_vcd_" + std::to_string(getpid()) + "_p.wvw";
    Waview_ImportOptions o;
    o.maxBusWidth = 4096; // keeps a tiny input from asking for gigabytes
    o.maxBitRows = 1 << 16;
    o.threads = 1;
    o.chunkBytes = size + 1;
    Waview_VCDConverter conv("fuzz.vcd");
    conv.SetWavePath(out);
    conv.SetInputText(text);
    conv.SetOptions(o);
    const bool ok = conv.Convert();
    o.threads = 3;
    o.chunkBytes = 16;
    Waview_VCDConverter par("fuzz.vcd");
    par.SetWavePath(out2);
    par.SetInputText(text);
    par.SetOptions(o);
    if (par.Convert() != ok) __builtin_trap();
    if (ok) {
        Waview_FileManager& doc = conv.Document();
        std::string s;
        for (int32_t i = 0; i < doc.RowCount() && i < 200; ++i) {
            for (int radix : {kRadixBinary, kRadixHex, kRadixSigned, kRadixOctal}) {
                doc.Row(i)->SetRadix(radix);
                doc.Row(i)->ValueTextAt(s, conv.LargestTime() / 2);
            }
            doc.Row(i)->GetDepth();
        }
        Waview_FileManager back;
        std::string error;
        if (!ReadWaveFile(back, out, &error) || back.RowCount() != doc.RowCount() ||
            back.SignalCount() != doc.SignalCount())
            __builtin_trap();
        if (Slurp(out) != Slurp(out2)) __builtin_trap();
        // Bus and scope summaries read from the store equal those of the
        // same rows read back from the file (their own entries).
        for (int32_t i = 0; i < doc.RowCount() && i < 200; ++i) {
            if (doc.Row(i)->GetKind() != kRowComposite) continue;
            const Waview_Summary a(*static_cast<Waview_CompositeHierarchy*>(doc.Row(i)));
            const Waview_Summary b(*static_cast<Waview_CompositeHierarchy*>(back.Row(i)));
            if (a.Count() != b.Count()) __builtin_trap();
            for (int64_t k = 0; k < a.Count(); ++k)
                if (a.Time(k) != b.Time(k) || a.Value(k) != b.Value(k) || a.States(k) != b.States(k))
                    __builtin_trap();
        }
        unlink(out.c_str());
        unlink(out2.c_str());
    }
    return 0;
}
