#pragma once
// The build commands without windows: Build, Rebuild All, Compile and the
// builds that come before debugging and elaboration. A build writes the
// makefile, runs make in the project directory, classifies every line it
// prints, and at the end shows the summary line and deletes the makefile.
//
// The runner never blocks and starts no thread: the owner watches OutputFd()
// and ExitFd() (poll() in korlc, socket notifiers in the window program) and
// calls Process() when one is readable; WaitForEnd() is the blocking loop for
// console use. Saving open editors before a build is the caller's part.
//
// In the window program: after Start(), one read notifier on OutputFd() and
// one on ExitFd(), both calling Process(); disable a notifier once its getter
// returns -1 (the descriptor stays open but is at its end), and delete both
// in the end callback at the latest: the descriptors are closed by then, and
// a build started from that callback may get the same numbers.
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "project/childprocess.h"
#include "project/classify.h"

namespace korl {

class Project;
struct ToolLayout;

enum class BuildKind {
    Build,      // make
    RebuildAll, // make -B, includes rescanned
    Compile,    // the single-file makefile: one object
    Debug,      // a Build whose end starts the debugger
    Elaborate,  // a Build whose end starts elaboration
};

// One error or warning of a build, as the Compile pane counted it.
struct BuildProblem {
    std::string file;    // full path; empty when the line names no source place
    int line = 0;        // 1-based; 0 without a place
    bool error = true;   // else a warning
    std::string message; // the text after "error: " or "warning: ", or the whole line
};

// The problem a counted pane line reports (the line as shown, its line end
// allowed); the place is resolved as the jump to source resolves it.
BuildProblem ProblemOfLine(std::string_view shownLine, bool error, std::string_view projectDirectory);

struct BuildResult {
    BuildKind kind = BuildKind::Build;
    std::string targetName; // what the summary names
    unsigned errors = 0;
    unsigned warnings = 0;
    bool stopped = false;       // Stop Build ended it
    std::string executablePath; // project directory + title + suffix
    bool executableExists = false;
    int makeExitCode = -1; // a failure counts as an error when nothing else did
    // Every counted line in the order it came, at most kMaxBuildProblems.
    std::vector<BuildProblem> problems;
};

inline constexpr std::size_t kMaxBuildProblems = 10000;

inline constexpr const char* kNotProjectSourceText =
    "Cannot compile this file because it is not a project source file.";

class BuildRunner {
public:
    // Text for the Compile pane; every line in it ends in "\r\n".
    using ShowFn = std::function<void(const std::string& text)>;
    using EndFn = std::function<void(const BuildResult& result)>;

    BuildRunner(ShowFn show, EndFn ended);
    ~BuildRunner(); // a running build is killed and its makefile deleted
    BuildRunner(const BuildRunner&) = delete;
    BuildRunner& operator=(const BuildRunner&) = delete;

    // Writes the makefile and starts make. On failure nothing runs, nothing
    // has been shown, no makefile is left and `error` says why (for Compile of
    // a file that is no project source: kNotProjectSourceText). For Compile,
    // `sourcePath` is the full path of the file to compile.
    bool Start(BuildKind kind, Project& project, const ToolLayout& tools, const std::string& sourcePath,
               std::string* error);

    // When Start() failed because make could not be started: the box the
    // window shows, the system's text (or "Korl: cannot create Process")
    // captioned with the command line. Empty otherwise.
    struct ProcessFailure {
        std::string text;
        std::string caption;
    };
    const ProcessFailure& LastProcessFailure() const { return processFailure_; }

    // Jobs make runs at once (-jN, its output kept together per target);
    // 0 means one per processor. Takes effect at the next Start().
    void SetJobs(unsigned jobs) { jobs_ = jobs; }
    unsigned Jobs() const { return jobs_ == 0 ? DefaultJobs() : jobs_; }
    static unsigned DefaultJobs();

    bool Running() const { return child_ != nullptr; }
    // Watch these for readability while Running(); -1 when there is nothing
    // to watch (ExitFd() is -1 on systems without pidfd: call Process() from
    // a timer then). The descriptors stay valid until the end of the build.
    int OutputFd() const;
    int ExitFd() const;

    // Classifies what make has printed; after the last line, ends the build:
    // "\r\n" and the summary line are shown, the makefile is deleted and the
    // end callback runs (it may start the next build).
    void Process();

    // Stop Build: ends make and everything it started. The cancel text (when
    // a compiler or linker was running) is shown, and the cancel counts as
    // one error. The end follows through Process() as usual.
    void Stop();

    unsigned Errors() const { return errors_; }
    unsigned Warnings() const { return warnings_; }
    BuildKind Kind() const { return kind_; }

    // Runs Process() until the build has ended. When `wakeFd` becomes
    // readable, `onWake` is called (korlc: Ctrl+C stops the build).
    void WaitForEnd(int wakeFd = -1, const std::function<void()>& onWake = {});

    // "%s - %u error(s), %u warning(s)\r\n"
    static std::string SummaryLine(const std::string& target, unsigned errors, unsigned warnings);
    // Name of the object Compile builds, as the summary shows it: the stem of
    // the editor title (the name, or the full path outside the project
    // directory) + ".o".
    static std::string CompileTargetName(const Project& project, const std::string& sourcePath);

private:
    ProcessFailure processFailure_;
    void Show(const std::string& text);
    // Shows a line that counts and notes its problem.
    void ShowCounted(const std::string& text, unsigned errors, unsigned warnings);
    void Finish();

    ShowFn show_;
    EndFn ended_;
    std::unique_ptr<ChildProcess> child_;
    BuildLineContext context_;
    BuildKind kind_ = BuildKind::Build;
    std::string directory_;
    std::string executablePath_;
    unsigned errors_ = 0;
    unsigned warnings_ = 0;
    bool stopped_ = false;
    unsigned jobs_ = 0;
    std::vector<BuildProblem> problems_;
};

} // namespace korl
