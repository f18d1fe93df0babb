// Wave-view file and model lookups: writes and reads a large document and
// times value lookups and transition walks, printing MB/s and operations/s.
//
//   bench_wave_file [MILLION_ENTRIES=20] [DIR=/tmp]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

#include "waview/wvwfile.h"

namespace {

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long PeakKb() {
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

} // namespace

int main(int argc, char** argv) {
    const long millions = argc > 1 ? std::atol(argv[1]) : 20;
    const std::string path = std::string(argc > 2 ? argv[2] : "/tmp") + "/korl_bench_wave.wvw";
    const int kSignals = 1000;
    const int64_t perSignal = millions * 1000000 / kSignals;

    Waview_FileManager doc;
    double t0 = Now();
    Waview_CompositeHierarchy* top = doc.NewCompositeRow();
    top->name = "top";
    std::mt19937_64 rng(3);
    for (int s = 0; s < kSignals; ++s) {
        Waview_Signal* sig = doc.NewSignal(s % 3 == 0 ? kTypeInteger : kTypeVerilog);
        Waview_ScalarHierarchy* row = doc.NewScalarRow();
        row->name = "s" + std::to_string(s);
        row->level = 1;
        row->signalIndex = sig->index;
        static_cast<Waview_CompositeHierarchy*>(doc.Row(0))->children.push_back(row->index);
        int64_t t = 0;
        for (int64_t k = 0; k < perSignal; ++k) {
            t += 1 + rng() % 16;
            sig->AppendInteger(t, static_cast<int64_t>(rng() % 4));
        }
    }
    const double build = Now() - t0;
    std::string error;
    t0 = Now();
    if (!WriteWaveFile(doc, path, &error, -1)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double write = Now() - t0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const double mb = double(std::ftell(f)) / (1 << 20);
    std::fclose(f);

    Waview_FileManager back;
    t0 = Now();
    if (!ReadWaveFile(back, path, &error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double read = Now() - t0;

    // Value text at random times (what the value column and tooltips ask).
    const int kLookups = 2000000;
    std::string text;
    t0 = Now();
    for (int i = 0; i < kLookups; ++i) {
        Waview_Hierarchy* r = back.Row(1 + static_cast<int32_t>(rng() % kSignals));
        r->ValueTextAt(text, static_cast<int64_t>(rng() % uint64_t(back.EndTime() + 1)));
    }
    const double lookups = Now() - t0;

    // Walking the transitions of a visible window of 1000 changes per row.
    t0 = Now();
    int64_t walked = 0;
    for (int32_t i = 1; i <= kSignals; ++i) {
        Waview_Signal* s = back.Row(i)->GetSignal();
        const EntryCursor* from = s ? s->LowerBound(back.EndTime() / 2) : nullptr;
        if (!from) continue;
        EntryCursor c = *from;
        for (int k = 0; k < 1000 && s->Iterate(c); ++k) ++walked;
    }
    const double walk = Now() - t0;

    std::printf("entries:  %ld million in %d signals (built in %.2f s)\n", millions, kSignals, build);
    std::printf("write:    %8.1f MB in %6.2f s = %8.1f MB/s\n", mb, write, mb / write);
    std::printf("read:     %8.1f MB in %6.2f s = %8.1f MB/s\n", mb, read, mb / read);
    std::printf("lookups:  %8.2f million value texts/s\n", kLookups / lookups / 1e6);
    std::printf("walk:     %8.2f million transitions/s\n", walked / walk / 1e6);
    std::printf("peak memory: %.1f MB (two documents of %.1f MB entries each)\n", PeakKb() / 1024.0, mb);
    std::remove(path.c_str());
    return 0;
}
