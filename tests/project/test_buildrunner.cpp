// The build runner against the real make, g++ and ld. Projects here are tiny
// so that each build takes well under a second, except where a compiler must
// still be running to be stopped.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

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
    std::string Run(BuildKind kind, const std::string& source = {}) {
        std::string shown;
        bool ended = false;
        BuildRunner runner([&](const std::string& t) { shown += t; },
                           [&](const BuildResult& r) {
                               result_ = r;
                               ended = true;
                           });
        std::string error;
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
