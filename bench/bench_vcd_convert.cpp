// VCD import throughput and memory: generates a dump of RTL shape, imports it
// into the store and converts it to a wave-view file in child processes, and
// converts it with vcd2fst when that is installed, printing MB/s, peak memory
// against the dump's size and the ratio; times `korl --snapshot` of the dump
// (open and first picture) when korl is built.
//
//   bench_vcd_convert [MEGABYTES=120] [DIR=/tmp] [keep]   (keep: leave the dump for profiling)
//   bench_vcd_convert --import DUMP | --convert DUMP WVW | --scroll DUMP [BUDGET_MB]
//                                                          (one run, as its own process)
//
// --scroll shows every scalar and bit row of the dump with all buses expanded,
// thirty rows a frame from top to bottom, as scrolling the window does: each
// frame builds its rows' summaries and, with a budget, trims the cache first.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "waview/store.h"
#include "waview/summary.h"
#include "waview/wave_session.h"
#include "waview/vcd_converter.h"

namespace {

constexpr int kRuns = 7;

struct RunResult {
    bool ok = false;
    double seconds = 0;
    double cpu = 0;
    long peakKb = 0;
};

std::string Code(int i) {
    std::string c;
    do {
        c += static_cast<char>(33 + i % 94);
        i /= 94;
    } while (i);
    return c;
}

// RTL shape: per module a clock and a reset passed down into two sub-scopes
// (aliases), ten scalars, twenty buses of 8 to 64 bits, an integer and a
// real; about 60% of the changes hit buses.
uint64_t Generate(const std::string& path, uint64_t targetBytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::setvbuf(f, nullptr, _IOFBF, 1 << 20);
    std::fprintf(f, "$date generated $end\n$version bench $end\n$timescale 1 ps $end\n");
    const int kModules = 40, kScalars = 10, kBuses = 20;
    struct Var {
        std::string code;
        int width; // 0 real, -1 integer
    };
    std::vector<Var> vars;
    int code = 0;
    std::fprintf(f, "$scope module tb $end\n");
    for (int m = 0; m < kModules; ++m) {
        std::fprintf(f, "$scope module u%d $end\n", m);
        const std::string clk = Code(code++), rst = Code(code++);
        vars.push_back({clk, 1});
        vars.push_back({rst, 1});
        std::fprintf(f, "$var wire 1 %s clk $end\n$var wire 1 %s rst $end\n", clk.c_str(), rst.c_str());
        for (int i = 0; i < kScalars; ++i) {
            vars.push_back({Code(code++), 1});
            std::fprintf(f, "$var wire 1 %s s%d $end\n", vars.back().code.c_str(), i);
        }
        for (int i = 0; i < kBuses; ++i) {
            const int w = 8 + (i * 7) % 57;
            vars.push_back({Code(code++), w});
            std::fprintf(f, "$var reg %d %s bus%d [%d:0] $end\n", w, vars.back().code.c_str(), i, w - 1);
        }
        vars.push_back({Code(code++), -1});
        std::fprintf(f, "$var integer 32 %s n $end\n", vars.back().code.c_str());
        vars.push_back({Code(code++), 0});
        std::fprintf(f, "$var real 64 %s level $end\n", vars.back().code.c_str());
        for (int sub = 0; sub < 2; ++sub)
            std::fprintf(f,
                         "$scope module sub%d $end\n$var wire 1 %s clk $end\n$var wire 1 %s rst $end\n"
                         "$upscope $end\n",
                         sub, clk.c_str(), rst.c_str());
        std::fprintf(f, "$upscope $end\n");
    }
    std::fprintf(f, "$upscope $end\n$enddefinitions $end\n$dumpvars\n");
    for (const Var& v : vars) {
        if (v.width == 1)
            std::fprintf(f, "x%s\n", v.code.c_str());
        else if (v.width == 0)
            std::fprintf(f, "r0 %s\n", v.code.c_str());
        else
            std::fprintf(f, "bx %s\n", v.code.c_str());
    }
    std::fprintf(f, "$end\n");
    std::vector<int> buses, scalars, others;
    for (int i = 0; i < int(vars.size()); ++i)
        (vars[i].width > 1 ? buses : vars[i].width == 1 ? scalars : others).push_back(i);
    std::mt19937_64 rng(1);
    uint64_t t = 0;
    char bits[80];
    while (static_cast<uint64_t>(std::ftell(f)) < targetBytes) {
        t += 1 + rng() % 100;
        std::fprintf(f, "#%llu\n", static_cast<unsigned long long>(t));
        for (int k = 0; k < 200; ++k) {
            const unsigned pick = unsigned(rng() % 100);
            const std::vector<int>& from = pick < 60 ? buses : pick < 96 ? scalars : others;
            const Var& v = vars[size_t(from[rng() % from.size()])];
            if (v.width == 1) {
                std::fprintf(f, "%c%s\n", "01xz"[rng() % 16 ? rng() % 2 : 2 + rng() % 2], v.code.c_str());
            } else if (v.width == 0) {
                std::fprintf(f, "r%.6g %s\n", double(rng() % 100000) / 7.0, v.code.c_str());
            } else {
                const int w = v.width < 0 ? 32 : v.width;
                const uint64_t r = rng();
                int n = 0;
                for (int b = w - 1; b >= 0; --b) bits[n++] = (r >> (b % 64)) & 1 ? '1' : '0';
                if (rng() % 50 == 0) bits[n / 2] = 'x';
                bits[n] = 0;
                const char* p = bits;
                while (*p == '0' && p[1]) ++p; // dumps drop leading zeros
                std::fprintf(f, "b%s %s\n", p, v.code.c_str());
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

// A command as its own process (exec'd, not a fork of this one, whose heap
// it would inherit), timed with its peak resident size.
RunResult Run(const std::vector<std::string>& args, bool quiet) {
    RunResult r;
    std::fflush(stdout);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        if (quiet) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
        }
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage ru {};
    if (pid < 0 || wait4(pid, &status, 0, &ru) != pid) return r;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    r.peakKb = ru.ru_maxrss;
    r.cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
    return r;
}

// The run of median wall time.
RunResult Median(std::vector<RunResult> runs) {
    std::sort(runs.begin(), runs.end(),
              [](const RunResult& a, const RunResult& b) { return a.seconds < b.seconds; });
    return runs[runs.size() / 2];
}

int ImportOnly(const std::string& vcd) {
    Waview_VCDConverter conv(vcd);
    const bool ok = conv.Import();
    if (ok) {
        const WaveStore* store = conv.Document().Store();
        std::printf("korl: %d rows, %d signals, end time %lld, store %.1f MB\n", conv.Document().RowCount(),
                    conv.Document().SignalCount(), static_cast<long long>(conv.LargestTime()),
                    store ? double(store->MemoryBytes()) / (1 << 20) : 0.0);
    }
    return ok ? 0 : 1;
}

int ScrollOnly(const std::string& vcd, long budgetMb) {
    Waview_VCDConverter conv(vcd);
    if (!conv.Import()) return 1;
    Waview_FileManager& doc = conv.Document();
    std::vector<const Waview_Hierarchy*> rows;
    for (int32_t r = 0; r < doc.RowCount(); ++r)
        if (doc.Row(r)->GetKind() != kRowComposite && doc.Row(r)->GetSignal()) rows.push_back(doc.Row(r));
    Waview_SummaryCache cache;
    size_t most = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (size_t top = 0; top < rows.size(); top += 30) {
        if (budgetMb >= 0) cache.Trim(size_t(budgetMb) << 20);
        for (size_t i = top; i < std::min(rows.size(), top + 30); ++i) cache.Of(*rows[i]);
        most = std::max(most, cache.Bytes());
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("scroll: %zu rows in %.2f s, %.1f ms a frame, summaries held at most %.1f MB\n", rows.size(),
                s, s * 1000 / double((rows.size() + 29) / 30), double(most) / (1 << 20));
    return 0;
}

int ConvertOnly(const std::string& vcd, const std::string& wvw) {
    Waview_VCDConverter conv(vcd);
    conv.SetWavePath(wvw);
    return conv.Convert() ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--import") == 0) return ImportOnly(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--convert") == 0) return ConvertOnly(argv[2], argv[3]);
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "--scroll") == 0)
        return ScrollOnly(argv[2], argc == 4 ? std::atol(argv[3]) : -1);
    const uint64_t mb = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 120;
    const std::string dir = argc > 2 ? argv[2] : "/tmp";
    const bool keep = argc > 3 && std::strcmp(argv[3], "keep") == 0;
    const std::string self = "/proc/self/exe";
    char selfPath[4096];
    const ssize_t n = readlink(self.c_str(), selfPath, sizeof selfPath - 1);
    const std::string me = n > 0 ? std::string(selfPath, size_t(n)) : std::string(argv[0]);
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
    const bool haveFst = OnPath("vcd2fst");

    // What opening a dump costs: the import into the store, no file. Seven
    // runs of each, in turn with vcd2fst, the median quoted: on a shared
    // machine fewer runs drift by a tenth.
    Run({me, "--import", vcd}, false);
    std::vector<RunResult> ours, theirs;
    for (int i = 0; i < kRuns; ++i) {
        ours.push_back(Run({me, "--import", vcd}, true));
        if (haveFst) theirs.push_back(Run({"vcd2fst", vcd, fst}, true));
    }
    const RunResult import = Median(ours);
    Report("import", size, import);
    std::printf("import peak memory / dump size: %.2f\n", import.peakKb / 1024.0 / size);
    // korlc vcd2wvw: the import and the wave-view file.
    Report("vcd2wvw", size, Run({me, "--convert", vcd, wvw}, true));
    // Scrolling through every bit of every bus, with the window's budget for
    // summaries and without one.
    Report("scroll", size,
           Run({me, "--scroll", vcd, std::to_string(Waview_WaveSession::kSummaryBudget >> 20)}, false));
    Report("unbounded", size, Run({me, "--scroll", vcd}, false));
    // Opening the dump in the window and drawing its first picture.
    std::vector<RunResult> shots;
#ifdef KORL_APP
    const std::string app = KORL_APP, png = dir + "/korl_bench.png";
    if (access(app.c_str(), X_OK) == 0) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        for (int i = 0; i < kRuns; ++i) shots.push_back(Run({app, "--snapshot", vcd, "-o", png}, true));
        Report("snapshot", size, Median(shots));
        std::remove(png.c_str());
    }
#endif
    if (shots.empty()) std::printf("korl not built: no snapshot timing\n");
    if (haveFst) {
        const RunResult fstRun = Median(theirs);
        Report("vcd2fst", size, fstRun);
        std::printf("speed ratio import/vcd2fst (medians of %d): %.2fx wall clock, %.2fx CPU time\n", kRuns,
                    fstRun.seconds / import.seconds, fstRun.cpu / import.cpu);
        if (!shots.empty())
            std::printf("speed ratio snapshot/vcd2fst (medians of %d): %.2fx wall clock\n", kRuns,
                        fstRun.seconds / Median(shots).seconds);
        std::remove(fst.c_str());
    } else {
        std::printf("vcd2fst not installed (Debian package gtkwave): no comparison\n");
    }
    if (!keep) std::remove(vcd.c_str());
    std::remove(wvw.c_str());
    return import.ok ? 0 : 1;
}
