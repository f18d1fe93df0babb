// A stop with 20 watches (two of them arrays of 16 SystemC values, shown as
// trees), the simulation context and the stack: Korl's refresh against the
// raw gdb round trips of the same requests. Prints both times and the ratio.
// Needs g++, gdb and libsystemc-dev. Run: build/bench/bench_debugger
#include "debugger/gdb_session.h"
#include "debugger/mi_parser.h"
#include "debugger/sim_context.h"
#include "debugger/value_decoder.h"
#include "debugger/value_tree.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace korl;
using Clock = std::chrono::steady_clock;

namespace {

const std::vector<std::string> kWatches = {"arr",    "wide",   "grid",   "lvs", "m",    "w",       "same",
                                           "ref",    "ptr",    "arr[3]", "m.b", "m.c",  "w.nib",   "grid[1]",
                                           "lvs[0]", "big[5]", "argc",   "m.a", "w.on", "wide[15]"};

// gdb on plain pipes, one command at a time, waiting for its prompt.
struct RawGdb {
    pid_t pid = -1;
    int in = -1, out = -1;
    std::string pending;
    double seconds = 0;

    bool Start(const std::string& dir) {
        int a[2], b[2];
        if (pipe(a) || pipe(b)) return false;
        // the program gets a terminal of its own, as in Korl
        int master = posix_openpt(O_RDWR | O_NOCTTY);
        if (master < 0 || grantpt(master) || unlockpt(master)) return false;
        std::string tty = std::string("--tty=") + ptsname(master);
        pid = fork();
        if (pid == 0) {
            dup2(a[0], 0), dup2(b[1], 1), dup2(b[1], 2);
            if (chdir(dir.c_str()) != 0) _exit(127);
            setpgid(0, 0);
            execlp("gdb", "gdb", "-q", "-i", "mi", tty.c_str(), "-iex", "set print object on", "aggregates",
                   nullptr);
            _exit(127);
        }
        close(a[0]), close(b[1]);
        in = a[1], out = b[0];
        return !Until("(gdb) ").empty();
    }
    // Reads up to a line starting with `prefix`; returns the lines read.
    std::string Until(const std::string& prefix) {
        std::string all;
        for (;;) {
            std::size_t nl;
            while ((nl = pending.find('\n')) != std::string::npos) {
                std::string line = pending.substr(0, nl + 1);
                pending.erase(0, nl + 1);
                all += line;
                if (line.rfind(prefix, 0) == 0) return all;
            }
            char buf[65536];
            ssize_t n = read(out, buf, sizeof buf);
            if (n <= 0) return {};
            pending.append(buf, std::size_t(n));
        }
    }
    std::string Request(const std::string& command) {
        auto t0 = Clock::now();
        std::string text = command + "\r\n";
        if (write(in, text.data(), text.size()) < 0) return {};
        std::string reply = Until("(gdb) ");
        seconds += std::chrono::duration<double>(Clock::now() - t0).count();
        return reply;
    }
    void End() {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
};

} // namespace

int main() {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / ("korl_bench_dbg_" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::path(KORL_SOURCE_DIR) / "tests/debugger/data/src/aggregates.cpp",
                  dir / "aggregates.cpp");
    std::string build = "cd '" + dir.string() +
                        "' && g++ -g -femit-class-debug-always -O0 -w -o aggregates aggregates.cpp "
                        "$(pkg-config --cflags --libs systemc 2>/dev/null || echo -lsystemc)";
    if (std::system(build.c_str()) != 0) {
        std::fprintf(stderr, "cannot build aggregates\n");
        return 2;
    }
    int line = 0;
    {
        std::ifstream src(dir / "aggregates.cpp");
        int n = 0;
        for (std::string l; std::getline(src, l);)
            if (++n, l.find("main stop") != std::string::npos) line = n;
    }
    const int rounds = 9;

    // Both gdbs stop at the same line; rounds alternate so that the load of
    // the machine falls on both alike; the best round of each counts.
    RawGdb raw;
    if (!raw.Start(dir.string())) return 2;
    raw.Request("-break-insert \"aggregates.cpp:" + std::to_string(line) + "\"");
    raw.Request("-exec-run");
    raw.Until("*stopped");
    raw.Until("(gdb) ");

    Korl_GdbSession session({{}, {}, {}, {}, {}});
    GdbStartOptions o;
    o.gdbPath = "/usr/bin/gdb";
    o.executable = "aggregates";
    o.projectDir = dir.string();
    if (!session.Start(o)) return 2;
    session.InsertBreakpoint("aggregates.cpp", line, {});
    session.Run();
    while (!session.AtStop() && PollSession(session, 100)) {
    }
    if (!session.AtStop()) return 2;

    double rawSeconds = 1e9, korlSeconds = 1e9;
    int requests = 0;
    for (int r = 0; r < rounds; ++r) {
        // raw: the requests the decoder needs, one by one, each waiting for its prompt
        raw.seconds = 0;
        requests = 0;
        auto ask = [&](const std::string& e) {
            ++requests;
            std::string reply = raw.Request("-data-evaluate-expression " + QuoteExpression(e));
            std::size_t done = reply.find("^done");
            MiRecord record;
            if (done == std::string::npos ||
                !ParseMiRecord(reply.substr(done, reply.find('\n', done) - done), record))
                return EvalResult{false, std::string(kNoSymbol)};
            return EvalResult{true, std::string(record.results.Str("value"))};
        };
        for (const auto& w : kWatches) EvaluateWatchTree(w, ask);
        for (const auto& e : SimContextExpressions()) ask(e);
        raw.Request("-stack-list-frames");
        ++requests;
        rawSeconds = std::min(rawSeconds, raw.seconds);

        // Korl: the session's refresh after a stop
        auto t0 = Clock::now();
        int left = int(kWatches.size()) + 2;
        for (const auto& w : kWatches) session.EvaluateWatchTree(w, [&](const WatchValue&) { --left; });
        ReadSimContext(session, [&](const std::string&) { --left; });
        session.ListFrames([&](bool, const std::vector<korl::StackFrame>&) { --left; });
        while (left > 0 && PollSession(session, 100)) {
        }
        korlSeconds = std::min(korlSeconds, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    raw.End();
    session.Stop();
    fs::remove_all(dir);

    std::printf(
        "stop refresh: %zu watches (2 arrays of 16 SystemC values as trees) + context + stack, %d gdb "
        "requests\n",
        kWatches.size(), requests);
    std::printf("raw MI round trips: %.2f ms\n", rawSeconds * 1000);
    std::printf("Korl refresh:       %.2f ms\n", korlSeconds * 1000);
    std::printf("ratio:              %.2f (target below 2)\n",
                rawSeconds > 0 ? korlSeconds / rawSeconds : 0.0);
    return 0;
}
