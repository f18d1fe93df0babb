// The programs the gdb tests debug, built once per build tree: every test
// process of test_debugger shares them (CTest runs one process per test).
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace korl_test {

inline std::string ProgramSourceDir() { return std::string(KORL_SOURCE_DIR) + "/tests/debugger/data/src"; }

// Directory holding watch_types, aggregates, console, typed, crash, spin and "dir with blank/blank",
// with their sources; empty when they could not be built (message in `error`).
inline const std::string& ProgramDir(std::string* error = nullptr) {
    static std::string dir;
    static std::string failure;
    static bool done = false;
    if (!done) {
        done = true;
        namespace fs = std::filesystem;
        std::string target = std::string(KORL_BINARY_DIR) + "/tests/debugger/programs";
        fs::create_directories(target);
        int lock = ::open((target + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0644);
        if (lock >= 0) ::flock(lock, LOCK_EX);
        fs::path stamp = fs::path(target) / "built";
        bool fresh = fs::exists(stamp);
        for (auto& e : fs::recursive_directory_iterator(ProgramSourceDir()))
            if (fresh && e.is_regular_file() && e.last_write_time() > fs::last_write_time(stamp))
                fresh = false;
        if (!fresh) {
            fs::remove(stamp);
            fs::copy(ProgramSourceDir(), target,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing);
            std::string cd = "cd '" + target + "' && ";
            std::string flags = "g++ -g -femit-class-debug-always -O0 -w ";
            std::string sc = " $(pkg-config --cflags --libs systemc 2>/dev/null || echo -lsystemc)";
            std::string cmd = cd + flags + "-o watch_types watch_types.cpp" + sc + " && " + flags +
                              "-o console console.cpp && " + flags + "-o crash crash.cpp && " + flags +
                              "-o spin spin.cpp && " + flags + "-o typed typed.cpp && " + flags +
                              "-o aggregates aggregates.cpp" + sc + " && " + flags +
                              "-o 'dir with blank/blank' 'dir with blank/blank.cpp'";
            if (std::system(cmd.c_str()) == 0)
                std::ofstream(stamp) << "ok\n";
            else
                failure = "cannot build the test programs: " + cmd;
        }
        if (fs::exists(stamp)) dir = target;
        if (lock >= 0) ::close(lock);
    }
    if (error) *error = failure;
    return dir;
}

// 1-based line of the first line of `file` holding `marker`; 0 when none.
inline int LineOf(const std::string& file, const std::string& marker) {
    std::ifstream in(file);
    int n = 0;
    for (std::string l; std::getline(in, l);)
        if (++n, l.find(marker) != std::string::npos) return n;
    return 0;
}

} // namespace korl_test
