// VCD import throughput and memory: generates a large dump (scopes, scalars,
// buses, integers, reals), converts it in a child process, and does the same
// with vcd2fst when it is installed, printing MB/s, peak memory and the ratio.
//
//   bench_vcd_convert [MEGABYTES=120] [DIR=/tmp] [keep]   (keep: leave the dump for profiling)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "waview/vcd_converter.h"

namespace {

struct RunResult {
    bool ok = false;
    double seconds = 0;
    double cpu = 0;
    long peakKb = 0;
};

// Runs fn in a child so its peak resident size is its own.
template <class Fn>
RunResult InChild(Fn fn) {
    RunResult r;
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(fn() ? 0 : 1);
    int status = 0;
    struct rusage ru {};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.peakKb = ru.ru_maxrss;
    r.cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
    return r;
}

std::string Code(int i) {
    std::string c;
    do {
        c += static_cast<char>(33 + i % 94);
        i /= 94;
    } while (i);
    return c;
}

uint64_t Generate(const std::string& path, uint64_t targetBytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    std::fprintf(f, "$date generated $end\n$version bench $end\n$timescale 1 ps $end\n");
    const int kModules = 40, kScalars = 30, kBuses = 8, kInts = 2, kReals = 2;
    const int perModule = kScalars + kBuses + kInts + kReals;
    int code = 0;
    std::fprintf(f, "$scope module tb $end\n");
    for (int m = 0; m < kModules; ++m) {
        std::fprintf(f, "$scope module u%d $end\n", m);
        for (int i = 0; i < kScalars; ++i)
            std::fprintf(f, "$var wire 1 %s s%d $end\n", Code(code++).c_str(), i);
        for (int i = 0; i < kBuses; ++i)
            std::fprintf(f, "$var reg %d %s bus%d [%d:0] $end\n", 8 << (i % 3), Code(code++).c_str(), i,
                         (8 << (i % 3)) - 1);
        for (int i = 0; i < kInts; ++i)
            std::fprintf(f, "$var integer 32 %s n%d $end\n", Code(code++).c_str(), i);
        for (int i = 0; i < kReals; ++i)
            std::fprintf(f, "$var real 64 %s r%d $end\n", Code(code++).c_str(), i);
        std::fprintf(f, "$upscope $end\n");
    }
    std::fprintf(f, "$upscope $end\n$enddefinitions $end\n$dumpvars\n");
    for (int i = 0; i < code; ++i) std::fprintf(f, "x%s\n", Code(i).c_str());
    std::fprintf(f, "$end\n");
    std::mt19937_64 rng(1);
    uint64_t t = 0;
    char bits[40];
    while (static_cast<uint64_t>(std::ftell(f)) < targetBytes) {
        t += 1 + rng() % 100;
        std::fprintf(f, "#%llu\n", static_cast<unsigned long long>(t));
        for (int k = 0; k < 200; ++k) {
            const int id = static_cast<int>(rng() % code);
            const int kind = id % perModule;
            const std::string c = Code(id);
            if (kind < kScalars) {
                std::fprintf(f, "%c%s\n", "01xz"[rng() % 4 < 3 ? rng() % 2 : 2 + rng() % 2], c.c_str());
            } else if (kind < kScalars + kBuses + kInts) {
                const int w = kind < kScalars + kBuses ? 8 << ((kind - kScalars) % 3) : 32;
                uint64_t v = rng();
                int n = 0;
                for (int b = w - 1; b >= 0; --b) bits[n++] = (v >> b) & 1 ? '1' : '0';
                bits[n] = 0;
                const char* s = bits;
                while (*s == '0' && s[1]) ++s; // dumps drop leading zeros
                std::fprintf(f, "b%s %s\n", s, c.c_str());
            } else {
                std::fprintf(f, "r%.6g %s\n", double(rng() % 100000) / 7.0, c.c_str());
            }
        }
    }
    const uint64_t size = static_cast<uint64_t>(std::ftell(f));
    std::fclose(f);
    return size;
}

void Report(const char* who, double mb, const RunResult& r) {
    std::printf(
        "%-8s %7.1f MB: %7.2f s wall = %7.1f MB/s, %7.2f s CPU = %7.1f MB/s, peak memory %7.1f MB%s\n", who,
        mb, r.seconds, mb / r.seconds, r.cpu, mb / r.cpu, r.peakKb / 1024.0, r.ok ? "" : " (FAILED)");
    std::fflush(stdout);
}

bool OnPath(const char* prog) {
    const std::string cmd = std::string("command -v ") + prog + " > /dev/null 2>&1";
    return std::system(cmd.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv) {
    const uint64_t mb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 120;
    const std::string dir = argc > 2 ? argv[2] : "/tmp";
    const std::string vcd = dir + "/korl_bench.vcd", wvw = dir + "/korl_bench.wvw",
                      fst = dir + "/korl_bench.fst";
    std::printf("generating %llu MB dump %s ...\n", static_cast<unsigned long long>(mb), vcd.c_str());
    std::fflush(stdout);
    const uint64_t bytes = Generate(vcd, mb << 20);
    if (!bytes) {
        std::fprintf(stderr, "cannot write %s\n", vcd.c_str());
        return 1;
    }
    const double size = double(bytes) / (1 << 20);

    RunResult ours = InChild([&] {
        Waview_VCDConverter conv(vcd);
        conv.SetWavePath(wvw);
        const bool ok = conv.Convert();
        if (ok)
            std::printf("korl: %d rows, %d signals, end time %lld\n", conv.Document().RowCount(),
                        conv.Document().SignalCount(), static_cast<long long>(conv.LargestTime()));
        std::fflush(stdout);
        return ok;
    });
    Report("korl", size, ours);

    if (OnPath("vcd2fst") && !(argc > 3 && std::strcmp(argv[3], "keep") == 0)) {
        RunResult theirs = InChild([&] {
            const std::string cmd = "vcd2fst '" + vcd + "' '" + fst + "' > /dev/null 2>&1";
            execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
            return false;
        });
        Report("vcd2fst", size, theirs);
        std::printf("speed ratio korl/vcd2fst: %.2fx wall clock, %.2fx CPU time\n",
                    theirs.seconds / ours.seconds, theirs.cpu / ours.cpu);
        std::remove(fst.c_str());
    } else {
        std::printf("vcd2fst not installed (Debian package gtkwave): no comparison\n");
    }
    if (!(argc > 3 && std::strcmp(argv[3], "keep") == 0)) std::remove(vcd.c_str());
    std::remove(wvw.c_str());
    return ours.ok ? 0 : 1;
}
