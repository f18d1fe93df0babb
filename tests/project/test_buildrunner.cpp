// The build runner against the real make, g++ and ld. Projects here are tiny
// so that each build takes well under a second, except where a compiler must
// still be running to be stopped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "project/buildrunner.h"
#include "project/childprocess.h"
#include "project/paths.h"
#include "project/project.h"
#include "project/toollayout.h"

namespace fs = std::filesystem;
using korl::BuildKind;
using korl::BuildResult;
using korl::BuildRunner;

namespace {

class BuildRunnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(KORL_BINARY_DIR) / ("buildrunner_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        tools_ = korl::CurrentToolLayout();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void Write(const std::string& name, const std::string& text) { std::ofstream(dir_ / name) << text; }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    // A project file listing `sources`, loaded.
    void MakeProject(const std::vector<std::string>& sources) {
        std::string text = "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=" + std::to_string(sources.size()) +
                           "\nNoOfHFiles=0\n[Cpps]\n";
        for (std::size_t i = 0; i < sources.size(); ++i)
            text += "Item" + std::to_string(i) + "=" + sources[i] + "\n";
        Write("demo.k1", text);
        ASSERT_TRUE(project_.Load(Path("demo.k1")));
    }

    // Runs one build to its end and returns everything the pane showed.
    std::string Run(BuildKind kind, const std::string& source = {}, unsigned jobs = 0) {
        std::string shown;
        bool ended = false;
        BuildRunner runner([&](const std::string& t) { shown += t; },
                           [&](const BuildResult& r) {
                               result_ = r;
                               ended = true;
                           });
        std::string error;
        runner.SetJobs(jobs);
        EXPECT_TRUE(runner.Start(kind, project_, tools_, source, &error)) << error;
        runner.WaitForEnd();
        EXPECT_TRUE(ended);
        EXPECT_FALSE(fs::exists(dir_ / "makefile"));
        return shown;
    }

    fs::path dir_;
    korl::ToolLayout tools_;
    korl::Project project_;
    BuildResult result_;
};

} // namespace

TEST_F(BuildRunnerTest, CompileShowsRewrittenDiagnosticsAndTheSummary) {
    Write("broken.cpp",
          "int f() {\n"
          "    int unused;\n"
          "#error not finished\n"
          "    return missing;\n"
          "}\n");
    MakeProject({"broken.cpp"});
    std::string shown = Run(BuildKind::Compile, Path("broken.cpp"));
    // The single-file makefile names the source by its full path.
    const std::string f = Path("broken.cpp");
    EXPECT_EQ(shown, "Compiling...\r\n" + f + "\r\n" + f +
                         ":3:2: error: error: #error not finished\r\n"
                         "    3 | #error not finished\r\n"
                         "      |  ^~~~~\r\n" +
                         f + ": In function 'int f()':\r\n" + f +
                         ":4:12: error: 'missing' was not declared in this scope\r\n"
                         "    4 |     return missing;\r\n"
                         "      |            ^~~~~~~\r\n" +
                         f +
                         ":2:9: warning: unused variable 'unused' [-Wunused-variable]\r\n"
                         "    2 |     int unused;\r\n"
                         "      |         ^~~~~~\r\n"
                         "\r\n"
                         "broken.o - 2 error(s), 1 warning(s)\r\n");
    EXPECT_EQ(result_.kind, BuildKind::Compile);
    EXPECT_EQ(result_.errors, 2u);
    EXPECT_EQ(result_.warnings, 1u);
    EXPECT_FALSE(result_.stopped);
}

TEST_F(BuildRunnerTest, FailedLinkCountsUndefinedReferencesAndHidesCollect2) {
    Write("main.cpp", "void helper();\nint main() { helper(); return 0; }\n");
    MakeProject({"main.cpp"});
    std::string shown = Run(BuildKind::Build);
    EXPECT_EQ(shown.substr(0, shown.find("Linking...")), "Compiling...\r\nmain.cpp\r\n");
    EXPECT_NE(shown.find("undefined reference to `helper()'\r\n"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("collect2"), std::string::npos) << shown;
    EXPECT_EQ(result_.errors, 1u) << shown;
    EXPECT_FALSE(result_.executableExists);

    // Fixed, it links; built again, make finds nothing to do.
    Write("main.cpp", "void helper() {}\nint main() { helper(); return 0; }\n");
    EXPECT_EQ(Run(BuildKind::Build),
              "Compiling...\r\nmain.cpp\r\nLinking...\r\n\r\ndemo - 0 error(s), 0 warning(s)\r\n");
    EXPECT_TRUE(result_.executableExists);
    EXPECT_EQ(result_.executablePath, Path("demo"));
    EXPECT_EQ(Run(BuildKind::Debug), "demo is up to date.\r\n\r\ndemo - 0 error(s), 0 warning(s)\r\n");
    EXPECT_EQ(result_.kind, BuildKind::Debug);
    // Rebuild All makes everything again.
    EXPECT_EQ(Run(BuildKind::RebuildAll),
              "Compiling...\r\nmain.cpp\r\nLinking...\r\n\r\ndemo - 0 error(s), 0 warning(s)\r\n");
}

TEST_F(BuildRunnerTest, StartFailuresLeaveNothingBehind) {
    Write("a.cpp", "int a;\n");
    Write("a.h", "");
    MakeProject({"a.cpp"});
    BuildRunner runner(nullptr, nullptr);
    std::string error;
    EXPECT_FALSE(runner.Start(BuildKind::Compile, project_, tools_, Path("a.h"), &error));
    EXPECT_EQ(error, korl::kNotProjectSourceText);

    korl::ToolLayout noMake = tools_;
    noMake.make = "/nonexistent/bin/make";
    EXPECT_FALSE(runner.Start(BuildKind::Build, project_, noMake, {}, &error));
    EXPECT_NE(error.find("/nonexistent/bin/make"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
    EXPECT_FALSE(runner.Running());
    // The window's box: the system's words, captioned with the command line.
    EXPECT_EQ(runner.LastProcessFailure().text, "No such file or directory");
    EXPECT_EQ(runner.LastProcessFailure().caption.rfind("/nonexistent/bin/make", 0), 0u);
    EXPECT_FALSE(runner.Start(BuildKind::Compile, project_, tools_, Path("a.h"), &error));
    EXPECT_TRUE(runner.LastProcessFailure().caption.empty());

    // A project whose directory has gone cannot get its makefile.
    fs::remove_all(dir_);
    EXPECT_FALSE(runner.Start(BuildKind::Build, project_, tools_, {}, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(dir_));
}

TEST_F(BuildRunnerTest, StopWhileCompilingCancelsAndCountsOneError) {
    // Parsing systemc.h keeps cc1plus busy long enough to be caught.
    Write("slow.cpp", "#include <systemc.h>\nint sc_main(int, char**) { return 0; }\n");
    MakeProject({"slow.cpp"});
    std::string shown;
    BuildResult result;
    BuildRunner runner([&](const std::string& t) { shown += t; }, [&](const BuildResult& r) { result = r; });
    std::string error;
    runner.SetJobs(1); // one job: make echoes the command at once
    ASSERT_TRUE(runner.Start(BuildKind::Build, project_, tools_, {}, &error)) << error;

    // Wait until the compiler runs in the build's group, then stop.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    bool compiling = false;
    while (!compiling && runner.Running() && std::chrono::steady_clock::now() < deadline) {
        runner.Process();
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::error_code ec;
            std::string comm;
            std::ifstream(entry.path() / "comm") >> comm;
            if (comm == "cc1plus" && fs::read_symlink(entry.path() / "cwd", ec) == dir_) compiling = true;
        }
    }
    ASSERT_TRUE(compiling);
    runner.Stop();
    runner.WaitForEnd();
    EXPECT_EQ(shown,
              "Compiling...\r\nslow.cpp\r\n"
              "Compiling is canceled by user.\r\n"
              "\r\n"
              "demo - 1 error(s), 0 warning(s)\r\n");
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.errors, 1u);
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
    EXPECT_FALSE(fs::exists(dir_ / "slow.o"));
}

namespace {

// Compilers of this test's directory still running.
int CompilersIn(const fs::path& dir) {
    int n = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::error_code ec;
        std::string comm;
        std::ifstream(entry.path() / "comm") >> comm;
        if ((comm == "cc1plus" || comm == "g++" || comm == "make") &&
            fs::read_symlink(entry.path() / "cwd", ec) == dir)
            ++n;
    }
    return n;
}

} // namespace

TEST_F(BuildRunnerTest, EveryNastyNameBuildsAndNothingInANameRuns) {
    const std::vector<std::string> names = {"a b",
                                            "q\"uote",
                                            "s'q",
                                            "d$ollar",
                                            "x$(shell touch PWNED)y",
                                            "$(touch PWNED)",
                                            "`touch PWNED`",
                                            "p(a)r",
                                            "h#ash",
                                            "semi;col",
                                            "co:lon",
                                            "per%cent",
                                            "st*r",
                                            "qu?y",
                                            "br[a]",
                                            "eq=ual",
                                            "amp&",
                                            "-dash",
                                            "~tilde",
                                            "tab\tname",
                                            "two  sp",
                                            "$HOME"};
    std::vector<std::string> sources;
    for (std::size_t i = 0; i < names.size(); ++i) {
        Write(names[i] + ".cpp", "int f" + std::to_string(i) + "() { return " + std::to_string(i) + "; }\n");
        sources.push_back(Path(names[i] + ".cpp"));
    }
    Write("main.cpp", "int main() { return 0; }\n");
    sources.push_back(Path("main.cpp"));
    // The title, and with it the executable, is nasty too.
    // (A title ending in ")" would read as an archive member to make.)
    const std::string title = "my design;`touch PWNED`$(touch PWNED).x";
    ASSERT_TRUE(project_.NewProject(Path(title + ".k1")));
    korl::AddFilesResult added = project_.AddExistingFiles(sources);
    ASSERT_EQ(added.addedSources.size(), sources.size());
    ASSERT_TRUE(project_.Save());

    std::string shown = Run(BuildKind::Build, {}, 2);
    EXPECT_EQ(result_.errors, 0u) << shown;
    EXPECT_TRUE(result_.executableExists) << shown;
    EXPECT_TRUE(fs::exists(dir_ / title)) << shown;
    EXPECT_FALSE(fs::exists(dir_ / "PWNED"));
    EXPECT_FALSE(fs::exists(fs::path(std::getenv("HOME") ? std::getenv("HOME") : "/") / "PWNED"));
    for (const std::string& n : names) {
        EXPECT_TRUE(fs::exists(dir_ / (n + ".o"))) << n;
        if (n.find('\t') != std::string::npos) continue; // the pane expands tabs
        // The pane names each source as it is; a leading "-" or "~" is guarded.
        const std::string guard = n[0] == '-' || n[0] == '~' ? "./" : "";
        EXPECT_NE(shown.find("Compiling...\r\n" + guard + n + ".cpp\r\n"), std::string::npos) << n << shown;
    }
    // Nothing changed: make sees every target up to date.
    EXPECT_EQ(Run(BuildKind::Build, {}, 2),
              title + " is up to date.\r\n\r\n" + title + " - 0 error(s), 0 warning(s)\r\n");
    // One edited source is compiled again, alone.
    fs::last_write_time(dir_ / "semi;col.cpp", fs::file_time_type::clock::now() + std::chrono::seconds(5));
    shown = Run(BuildKind::Build, {}, 2);
    EXPECT_EQ(shown, "Compiling...\r\nsemi;col.cpp\r\nLinking...\r\n\r\n" + title +
                         " - 0 error(s), 0 warning(s)\r\n");
    // Compile with the single-file makefile.
    shown = Run(BuildKind::Compile, Path("x$(shell touch PWNED)y.cpp"), 2);
    EXPECT_EQ(result_.errors, 0u) << shown;
    EXPECT_FALSE(fs::exists(dir_ / "PWNED"));
}

TEST_F(BuildRunnerTest, OptionValuesAreNeverRun) {
    fs::create_directories(dir_ / "my inc");
    Write("my inc/cfg.h", "#define VALUE 3\n");
    Write("main.cpp", "#include \"cfg.h\"\nint main() { return VALUE - 3 + TWO - 2; }\n");
    MakeProject({"main.cpp"});
    project_.SetExtraIncludes(" my inc , $(shell touch PWNED),`touch PWNED`");
    project_.SetExtraPreprocessor("TWO=2,X=$(shell touch PWNED),Y=`touch PWNED`;touch PWNED");
    project_.SetExtraLibraryPaths("$(shell touch PWNED)");
    project_.SetExtraLibraries("$(touch PWNED).o");
    std::string shown = Run(BuildKind::Build);
    EXPECT_FALSE(fs::exists(dir_ / "PWNED"));
    // The made-up object is missing (blanks are removed from this option),
    // and the linker says which.
    EXPECT_NE(shown.find("ld: cannot find $(touchPWNED).o: No such file or directory\r\n"), std::string::npos)
        << shown << shown;
    EXPECT_GE(result_.errors, 1u);
    project_.SetExtraLibraries("");
    shown = Run(BuildKind::Build);
    EXPECT_EQ(result_.errors, 0u) << shown;
    EXPECT_TRUE(result_.executableExists);
    EXPECT_FALSE(fs::exists(dir_ / "PWNED"));
}

TEST_F(BuildRunnerTest, NamesMakeCannotExpressAreRefusedBeforeAnyMakefile) {
    Write("main.cpp", "int main() { return 0; }\n");
    Write("bad\nname.cpp", "int f() { return 0; }\n");
    MakeProject({"main.cpp"});
    // Adding refuses it and says which character.
    korl::AddFilesResult added = project_.AddExistingFiles({Path("bad\nname.cpp"), Path("pi|pe.cpp")});
    ASSERT_EQ(added.refused.size(), 2u);
    EXPECT_NE(added.refused[0].second.find("a newline"), std::string::npos);
    EXPECT_NE(added.refused[1].second.find("'|'"), std::string::npos);
    EXPECT_EQ(project_.Sources().size(), 1u);
    EXPECT_FALSE(project_.AddNewFile(Path("new\rfile"), 0).refused.empty());
    EXPECT_FALSE(fs::exists(dir_ / "new\rfile.cpp"));

    // A project file that already holds one: the build fails with the reason.
    Write("demo.k1", "[ProjectInfo]\nVersion=1.0\nNoOfCppFiles=2\n[Cpps]\nItem0=main.cpp\nItem1=pi|pe.cpp\n");
    ASSERT_TRUE(project_.Load(Path("demo.k1")));
    BuildRunner runner(nullptr, nullptr);
    std::string error;
    EXPECT_FALSE(runner.Start(BuildKind::Build, project_, tools_, {}, &error));
    EXPECT_NE(error.find("pi|pe.cpp contains '|', which make cannot express"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(dir_ / "makefile"));
}

TEST_F(BuildRunnerTest, FailuresAreNeverReportedAsSuccess) {
    Write("main.cpp", "int main() { return 0; }\n");
    // A listed source that is missing: make's "No rule" is the error.
    MakeProject({"main.cpp", "gone.cpp"});
    std::string shown = Run(BuildKind::Build, {}, 1);
    EXPECT_NE(shown.find("No rule to make target 'gone.cpp', needed by 'gone.o'"), std::string::npos)
        << shown;
    EXPECT_EQ(result_.errors, 1u) << shown;
    EXPECT_NE(shown.find("demo - 1 error(s)"), std::string::npos);

    // The linker cannot find a library: its name stays in the line.
    MakeProject({"main.cpp"});
    project_.SetExtraLibraries("libnothere.a");
    shown = Run(BuildKind::Build);
    EXPECT_NE(shown.find("ld: cannot find -lnothere: No such file or directory\r\n"), std::string::npos)
        << shown;
    EXPECT_EQ(result_.errors, 1u) << shown;
    EXPECT_FALSE(result_.executableExists);

    // make failing without a word, and make succeeding without a program.
    project_.SetExtraLibraries("");
    korl::ToolLayout silent = tools_;
    silent.make = "/bin/false";
    for (auto [make, text] :
         {std::pair<std::string, std::string>{"/bin/false", "error: make ended with exit status 1\r\n"},
          {"/bin/true", "error: the executable demo was not produced\r\n"}}) {
        silent.make = make;
        std::string out;
        BuildRunner runner([&](const std::string& t) { out += t; },
                           [&](const BuildResult& r) { result_ = r; });
        std::string error;
        ASSERT_TRUE(runner.Start(BuildKind::Build, project_, silent, {}, &error)) << error;
        runner.WaitForEnd();
        EXPECT_EQ(out, text + "\r\ndemo - 1 error(s), 0 warning(s)\r\n");
        EXPECT_EQ(result_.errors, 1u);
    }
}

TEST_F(BuildRunnerTest, ParallelOutputStaysTogetherPerCompiler) {
    std::vector<std::string> sources;
    for (int i = 0; i < 6; ++i) {
        const std::string name = "unit" + std::to_string(i) + ".cpp";
        Write(name, "int f() {\n    int unused;\n    return missing" + std::to_string(i) + ";\n}\n");
        sources.push_back(name);
    }
    MakeProject(sources);
    project_.SetExtraPreprocessor("");
    // -k is not used: make stops starting jobs after the first failure, so
    // count what was compiled.
    const std::string shown = Run(BuildKind::Build, {}, 3);
    unsigned compiled = 0;
    std::size_t pos = 0;
    while ((pos = shown.find("Compiling...\r\n", pos)) != std::string::npos) {
        pos += 14;
        const std::string name = shown.substr(pos, shown.find("\r\n", pos) - pos);
        ++compiled;
        // Everything up to the next "Compiling..." speaks of this file only.
        const std::size_t end = std::min(shown.find("Compiling...", pos), shown.find("\r\n\r\ndemo"));
        const std::string block = shown.substr(pos, end - pos);
        for (const std::string& other : sources)
            if (other != name) {
                EXPECT_EQ(block.find(other), std::string::npos) << block;
            }
        EXPECT_NE(block.find(name + ":3:12: error: 'missing"), std::string::npos) << block;
        EXPECT_NE(block.find(name + ":2:9: warning: unused variable"), std::string::npos) << block;
    }
    EXPECT_GE(compiled, 1u);
    EXPECT_EQ(result_.errors, compiled) << shown;
    EXPECT_EQ(result_.warnings, compiled) << shown;
}

TEST_F(BuildRunnerTest, StopDuringAParallelBuildEndsEveryJob) {
    std::vector<std::string> sources;
    for (int i = 0; i < 4; ++i) {
        const std::string name = "slow" + std::to_string(i) + ".cpp";
        Write(name, "#include <systemc.h>\nint f" + std::to_string(i) + "() { return 0; }\n");
        sources.push_back(name);
    }
    MakeProject(sources);
    std::string shown;
    BuildResult result;
    BuildRunner runner([&](const std::string& t) { shown += t; }, [&](const BuildResult& r) { result = r; });
    runner.SetJobs(3);
    std::string error;
    ASSERT_TRUE(runner.Start(BuildKind::Build, project_, tools_, {}, &error)) << error;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int running = 0;
    while (running < 2 && runner.Running() && std::chrono::steady_clock::now() < deadline) {
        runner.Process();
        running = 0;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            std::error_code ec;
            std::string comm;
            std::ifstream(entry.path() / "comm") >> comm;
            if (comm == "cc1plus" && fs::read_symlink(entry.path() / "cwd", ec) == dir_) ++running;
        }
    }
    ASSERT_GE(running, 2);
    runner.Stop();
    runner.WaitForEnd();
    EXPECT_TRUE(result.stopped);
    EXPECT_NE(shown.find("Compiling is canceled by user.\r\n"), std::string::npos) << shown;
    EXPECT_NE(shown.find("demo - 1 error(s), 0 warning(s)\r\n"), std::string::npos) << shown;
    // The group was killed before the end was reported; allow the kernel a
    // bounded moment to reap.
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (CompilersIn(dir_) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(CompilersIn(dir_), 0);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(fs::exists(dir_ / ("slow" + std::to_string(i) + ".o")));
}
