// libFuzzer target: arbitrary bytes as a wave-view file. A file the reader
// accepts must be safe to query and write again. Built by scripts/fuzz.sh.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "waview/summary.h"
#include "waview/wvwfile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string in = "/tmp/korl_fuzz_wvw_" + std::to_string(getpid()) + ".wvw";
    static const std::string out = in + ".out";
    if (FILE* f = std::fopen(in.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    Waview_FileManager doc;
    std::string error;
    if (!ReadWaveFile(doc, in, &error)) {
        if (doc.SignalCount() || doc.RowCount()) __builtin_trap(); // partial document
        return 0;
    }
    std::string s;
    Waview_SummaryCache summaries; // what painting reads
    for (int32_t i = 0; i < doc.RowCount() && i < 500; ++i) {
        Waview_Hierarchy* r = doc.Row(i);
        r->GetDepth();
        for (int radix : {1, 2, 4, 8}) {
            r->SetRadix(radix);
            r->ValueTextAt(s, doc.EndTime() / 2);
        }
        if (const Waview_Summary* sum = summaries.Of(*r)) {
            for (int64_t k = 0; k < sum->Count() && k < 1000; ++k) sum->Range(k, k + 1);
            sum->Range(0, sum->Count());
            sum->FirstAtOrAfter(doc.EndTime() / 2);
        }
    }
    if (WriteWaveFile(doc, out, &error)) {
        // Whatever was accepted is written back byte for byte.
        FILE* f = std::fopen(out.c_str(), "rb");
        std::string back;
        char buf[4096];
        size_t n;
        while (f && (n = std::fread(buf, 1, sizeof buf, f)) > 0) back.append(buf, n);
        if (f) std::fclose(f);
        if (back != std::string(reinterpret_cast<const char*>(data), size)) __builtin_trap();
    }
    return 0;
}
