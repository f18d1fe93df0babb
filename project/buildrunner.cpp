#include "project/buildrunner.h"
#include "base/result.h"

#include <cstring>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

#include "project/jump.h"
#include "project/makefile.h"
#include "project/paths.h"
#include "project/project.h"
#include "project/toollayout.h"

namespace korl {

BuildRunner::BuildRunner(ShowFn show, EndFn ended) : show_(std::move(show)), ended_(std::move(ended)) {}

BuildRunner::~BuildRunner() {
    if (child_) {
        child_->kill();
        child_.reset();
        ::unlink((directory_ + kMakefileName).c_str());
    }
}

unsigned BuildRunner::DefaultJobs() {
    const unsigned n = std::thread::hardware_concurrency();
    return n == 0 ? 1 : n;
}

std::string BuildRunner::SummaryLine(const std::string& target, unsigned errors, unsigned warnings) {
    char counts[64];
    std::snprintf(counts, sizeof counts, " - %u error(s), %u warning(s)\r\n", errors, warnings);
    return target + counts;
}

std::string BuildRunner::CompileTargetName(const Project& project, const std::string& sourcePath) {
    ProjectItem item = ProjectItem::FromPath(sourcePath);
    return StemOf(project.DisplayTitle(item)) + ".o";
}

bool BuildRunner::Start(BuildKind kind, Project& project, const ToolLayout& tools,
                        const std::string& sourcePath, std::string* error) {
    auto fail = [&](std::string text) {
        if (error) *error = std::move(text);
        return false;
    };
    processFailure_ = {};
    if (child_) return fail("a build is already running");
    if (!project.IsOpen()) return fail("no project is open");

    const bool compile = kind == BuildKind::Compile;
    if (compile && !project.IsProjectSource(sourcePath)) return fail(kNotProjectSourceText);

    const std::string directory = project.Directory();
    std::string writeError;
    bool written = compile ? WriteFileMakefile(project, tools, sourcePath, &writeError)
                           : WriteProjectMakefile(project, tools, kind == BuildKind::RebuildAll, &writeError);
    if (!written) return fail(writeError.empty() ? "cannot write " + directory + kMakefileName : writeError);

    ChildProcessOptions options;
    options.argv = {tools.make};
    if (kind == BuildKind::RebuildAll) options.argv.push_back("-B");
    const unsigned jobs = Jobs();
    if (jobs > 1) {
        // Each compiler's lines reach the pane together, after its command.
        options.argv.push_back("-j" + std::to_string(jobs));
        options.argv.push_back("--output-sync=target");
    }
    options.workingDirectory = directory;
    std::string startError;
    int code = 0;
    auto child = StartChildProcess(options, &startError, &code);
    if (!child) {
        ::unlink((directory + kMakefileName).c_str());
        std::string commandLine;
        for (const std::string& a : options.argv) commandLine += (commandLine.empty() ? "" : " ") + a;
        processFailure_ = {code != 0 ? korl::SystemText(code) : std::string("Korl: cannot create Process"),
                           commandLine};
        return fail(startError);
    }

    child_ = std::move(child);
    kind_ = kind;
    directory_ = directory;
    errors_ = 0;
    warnings_ = 0;
    stopped_ = false;
    problems_.clear();
    context_ = BuildLineContext{};
    context_.projectTitle = project.Title();
    context_.exeSuffix = tools.exeSuffix;
    context_.makeName = FileNameOf(tools.make);
    context_.targetName =
        compile ? CompileTargetName(project, sourcePath) : project.Title() + tools.exeSuffix;
    executablePath_ = directory + project.Title() + tools.exeSuffix;
    return true;
}

int BuildRunner::OutputFd() const { return child_ ? child_->outputFd() : -1; }
int BuildRunner::ExitFd() const { return child_ ? child_->exitFd() : -1; }

BuildProblem ProblemOfLine(std::string_view shownLine, bool error, std::string_view projectDirectory) {
    std::string_view s = shownLine;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    BuildProblem p;
    p.error = error;
    if (auto target = ParseJumpLine(s)) {
        p.file = ResolveJumpFile(target->file, projectDirectory);
        p.line = target->line;
    }
    // The message starts after the word that made the line count.
    std::size_t word = s.find(error ? "error:" : "warning:");
    if (word == std::string_view::npos) word = s.find(error ? "warning:" : "error:");
    if (word != std::string_view::npos && !p.file.empty()) {
        s = s.substr(s.find(':', word) + 1);
        while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    }
    p.message = std::string(s);
    return p;
}

void BuildRunner::Show(const std::string& text) {
    if (!text.empty() && show_) show_(text);
}

void BuildRunner::ShowCounted(const std::string& text, unsigned errors, unsigned warnings) {
    errors_ += errors;
    warnings_ += warnings;
    if ((errors || warnings) && problems_.size() < kMaxBuildProblems && !text.empty())
        problems_.push_back(ProblemOfLine(text, errors > 0, directory_));
    Show(text);
}

void BuildRunner::Process() {
    if (!child_) return;
    for (const std::string& line : child_->readAvailable()) {
        ClassifiedLine c = ClassifyBuildLine(line, context_);
        ShowCounted(c.shown, c.errors, c.warnings);
    }
    if (child_->finished()) Finish();
}

void BuildRunner::Stop() {
    if (!child_ || stopped_) return;
    StopReport report = child_->stop();
    stopped_ = true;
    if (report.message.empty())
        ++errors_;
    else
        ShowCounted(report.message, 1, 0);
}

void BuildRunner::Finish() {
    BuildResult result;
    result.kind = kind_;
    result.targetName = context_.targetName;
    result.errors = errors_;
    result.warnings = warnings_;
    result.stopped = stopped_;
    result.makeExitCode = child_->exitCode();
    child_.reset();

    result.executablePath = executablePath_;
    result.executableExists = FileExists(executablePath_);
    // make's word counts even when no line said why; and "0 error(s)" must
    // mean there is a program to run.
    if (!stopped_ && errors_ == 0 && result.makeExitCode != 0) {
        ShowCounted("error: make ended with exit status " + std::to_string(result.makeExitCode) + "\r\n", 1,
                    0);
    }
    if (!stopped_ && errors_ == 0 && kind_ != BuildKind::Compile && !result.executableExists) {
        ShowCounted("error: the executable " + context_.targetName + " was not produced\r\n", 1, 0);
    }
    result.errors = errors_;
    result.warnings = warnings_;
    result.problems = std::move(problems_);
    problems_.clear();

    Show("\r\n");
    Show(SummaryLine(result.targetName, errors_, warnings_));
    ::unlink((directory_ + kMakefileName).c_str());
    if (ended_) ended_(result);
}

void BuildRunner::WaitForEnd(int wakeFd, const std::function<void()>& onWake) {
    while (child_) {
        pollfd fds[3];
        nfds_t n = 0;
        int out = OutputFd(), exit = ExitFd();
        if (out >= 0) fds[n++] = {out, POLLIN, 0};
        if (exit >= 0) fds[n++] = {exit, POLLIN, 0};
        if (wakeFd >= 0) fds[n++] = {wakeFd, POLLIN, 0};
        // The timeout covers the escalation of a stop and systems without pidfd.
        int ready = ::poll(fds, n, 200);
        if (ready > 0 && wakeFd >= 0 && (fds[n - 1].revents & POLLIN) && onWake) onWake();
        Process();
    }
}

} // namespace korl
