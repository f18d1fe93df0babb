// Clean build of a generated SystemC project: Korl's build (make -jN, one job
// per processor unless given) against serial make of the same makefile.
// Prints both times and their ratio; also times reading and writing a
// project file of 100,000 keys.
//   bench_build [SOURCES [JOBS]]   (default 12 sources)
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "project/buildrunner.h"
#include "project/makefile.h"
#include "project/project.h"
#include "project/toollayout.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

void WriteSource(const fs::path& dir, int i) {
    const std::string n = "stage" + std::to_string(i);
    std::ofstream(dir / (n + ".cpp")) << "#include <systemc.h>\n"
                                         "SC_MODULE("
                                      << n
                                      << ") {\n"
                                         "    sc_in<bool> clk;\n"
                                         "    sc_in<sc_uint<16> > a;\n"
                                         "    sc_out<sc_uint<16> > q;\n"
                                         "    void step() { q.write(a.read() + "
                                      << i
                                      << "); }\n"
                                         "    SC_CTOR("
                                      << n
                                      << ") { SC_METHOD(step); sensitive << clk.pos(); }\n"
                                         "};\n"
                                         "sc_module* make_"
                                      << n << "() { return new " << n << "(\"" << n << "\"); }\n";
}

void Clean(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().extension() == ".o" || e.path().filename() == "bench") fs::remove(e.path());
}

} // namespace

int main(int argc, char** argv) {
    const int sources = argc > 1 ? std::max(1, std::atoi(argv[1])) : 12;
    const unsigned jobs = argc > 2 ? static_cast<unsigned>(std::max(1, std::atoi(argv[2]))) : 0;
    const fs::path dir = fs::temp_directory_path() / ("korl-bench-build-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (int i = 0; i < sources; ++i) WriteSource(dir, i);
    std::ofstream(dir / "main.cpp") << "#include <systemc.h>\nint sc_main(int, char**) { return 0; }\n";

    korl::Project project;
    project.NewProject((dir / "bench.k1").string());
    std::vector<std::string> files{(dir / "main.cpp").string()};
    for (int i = 0; i < sources; ++i)
        files.push_back((dir / ("stage" + std::to_string(i) + ".cpp")).string());
    project.AddExistingFiles(files);
    project.Save();
    const korl::ToolLayout tools = korl::CurrentToolLayout();

    // Korl's build.
    korl::BuildResult result;
    korl::BuildRunner runner(nullptr, [&](const korl::BuildResult& r) { result = r; });
    runner.SetJobs(jobs);
    std::string error;
    auto start = Clock::now();
    if (!runner.Start(korl::BuildKind::RebuildAll, project, tools, {}, &error)) {
        std::fprintf(stderr, "bench_build: %s\n", error.c_str());
        return 1;
    }
    runner.WaitForEnd();
    const double korl = Seconds(start);
    if (result.errors != 0 || !result.executableExists) {
        std::fprintf(stderr, "bench_build: the build failed (%u errors)\n", result.errors);
        return 1;
    }

    // Serial make of the same makefile.
    Clean(dir);
    if (!korl::WriteProjectMakefile(project, tools, true, &error)) {
        std::fprintf(stderr, "bench_build: %s\n", error.c_str());
        return 1;
    }
    const std::string cmd = "cd '" + dir.string() + "' && LC_ALL=C '" + tools.make + "' -j1 >/dev/null 2>&1";
    start = Clock::now();
    const int rc = std::system(cmd.c_str());
    const double serial = Seconds(start);
    if (rc != 0 || !fs::exists(dir / "bench")) {
        std::fprintf(stderr, "bench_build: serial make failed\n");
        return 1;
    }

    std::printf("clean build of %d SystemC sources + main\n", sources);
    std::printf("  Korl build (%u jobs):  %.2f s\n", runner.Jobs(), korl);
    std::printf("  serial make:          %.2f s\n", serial);
    std::printf("  ratio:                %.2f (target <= 0.60 on 2 cores)\n", korl / serial);

    // A project file of 100,000 keys: read and written back.
    {
        std::string text = "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=100000\nNoOfHFiles=0\n[Cpps]\n";
        for (int i = 0; i < 100000; ++i)
            text += "Item" + std::to_string(i) + "=src" + std::to_string(i) + ".cpp\n";
        std::ofstream(dir / "big.k1") << text;
        korl::Project big;
        start = Clock::now();
        big.Load((dir / "big.k1").string());
        const double read = Seconds(start);
        big.SetExtraPreprocessor("X");
        start = Clock::now();
        big.Save();
        const double write = Seconds(start);
        std::printf("project file of 100,000 keys (%zu sources): read %.3f s, write %.3f s\n",
                    big.Sources().size(), read, write);
    }
    fs::remove_all(dir);
    return 0;
}
