// A gdb session driven by poll() that keeps everything its callbacks
// report, for the tests that run the real gdb.
#pragma once

#include "debugger/gdb_session.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "debug_programs.h"

namespace korl_test {

using namespace korl;

// A session with everything its callbacks report.
struct Harness {
    std::string console;
    std::vector<std::pair<std::string, int>> positions; // file, 0-based line
    std::vector<std::string> boxes;
    int stops = 0;
    int endedCount = 0;
    int exitFlag = -1;
    std::function<void()> onStopped;
    Korl_GdbSession session{
        GdbSessionCallbacks{[this](std::string_view t) { console += t; },
                            [this](const std::string& f, int l) { positions.emplace_back(f, l); },
                            [this] {
                                ++stops;
                                if (onStopped) onStopped();
                            },
                            [this](const std::string& t) { boxes.push_back(t); },
                            [this](int flag) {
                                ++endedCount;
                                exitFlag = flag;
                            }}};
    std::string dir;

    bool Start(const std::string& executable, const std::string& in = {}) {
        GdbStartOptions o;
        o.executable = executable;
        o.projectDir = dir = in.empty() ? korl_test::ProgramDir() : in;
        o.toolRoot = "/opt/korl";
        std::string error;
        bool ok = session.Start(o, &error);
        EXPECT_TRUE(ok) << error;
        return ok;
    }

    // Drives the session until `done` holds; false after 20 s.
    bool Until(const std::function<bool()>& done, int ms = 20000) {
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) return false;
            if (!PollSession(session, 50) && !done()) return done();
        }
        return true;
    }
    bool NextStop() {
        int before = stops;
        return Until([&] { return stops > before || session.Ended(); }) && stops > before;
    }
    std::string Watch(const std::string& expression) {
        std::string value;
        bool got = false;
        session.EvaluateWatch(expression, [&](const std::string& v) { value = v, got = true; });
        EXPECT_TRUE(Until([&] { return got; })) << expression;
        return value;
    }
    int Line() const { return positions.empty() ? -100 : positions.back().second + 1; }
};

inline bool Gone(pid_t pid) {
    if (pid <= 0 || ::kill(pid, 0) != 0) return true;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), {});
    std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() &&
           text[close + 2] == 'Z'; // a zombie no one reaped yet
}

} // namespace korl_test
