#include "console_build.h"
#include "base/result.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "project/toollayout.h"

namespace korlc {
namespace {

int g_wakePipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
    int saved = errno;
    char c = 's';
    [[maybe_unused]] ssize_t n = ::write(g_wakePipe[1], &c, 1);
    errno = saved;
}

bool InstallStopSignals() {
    if (g_wakePipe[0] < 0 && ::pipe2(g_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
    struct sigaction sa {};
    sa.sa_handler = OnStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(sig, &sa, nullptr);
    // A reader that goes away (korlc build | head) must not leave make
    // running without us: the output is dropped and the build runs to its end.
    ::signal(SIGPIPE, SIG_IGN);
    return true;
}

void DrainWakePipe() {
    char buf[64];
    while (::read(g_wakePipe[0], buf, sizeof buf) > 0) {
    }
}

} // namespace

void PrintPaneText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i)
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) out += text[i];
    std::fwrite(out.data(), 1, out.size(), stdout);
    std::fflush(stdout);
}

bool RunConsoleBuild(korl::BuildKind kind, korl::Project& project, const std::string& source, unsigned jobs,
                     korl::BuildResult* result, std::string* error) {
    if (!InstallStopSignals()) {
        *error = std::string("cannot create pipe: ") + korl::SystemText(errno);
        return false;
    }
    korl::BuildRunner runner(PrintPaneText, [result](const korl::BuildResult& r) { *result = r; });
    runner.SetJobs(jobs);
    if (!runner.Start(kind, project, korl::CurrentToolLayout(), source, error)) return false;
    runner.WaitForEnd(g_wakePipe[0], [&] {
        DrainWakePipe();
        runner.Stop();
    });
    return true;
}

} // namespace korlc
