// Builds from the window: saving first, running make through the build
// runner without blocking the event loop, and the end of a build.
#include <QDir>
#include <QDockWidget>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include "base/qt/strings.h"
#include "base/short_name.h"
#include "frame/main_frame.h"
#include "frame/panes.h"
#include "frame/problems_pane.h"
#include "project/jump.h"
#include "project/qt/dialogs.h"
#include "project/qt/propertysheet.h"

using namespace korl;

void Korl_MainFrame::CreateBuildRunner() {
    runner_ = std::make_unique<BuildRunner>(
        [this](const std::string& text) {
            compile_->Append(QString::fromUtf8(text.data(), int(text.size())));
        },
        [this](const BuildResult& r) { OnBuildEnded(r); });
    // Stands in for a descriptor that cannot be watched (no pidfd).
    buildTimer_ = new QTimer(this);
    buildTimer_->setInterval(100);
    connect(buildTimer_, &QTimer::timeout, this, [this] {
        if (runner_->Running()) runner_->Process();
        if (!runner_->Running()) UnwatchBuild();
    });
}

void Korl_MainFrame::SaveOpenProjectFiles() {
    for (Korl_EditorChildFrame* child : EditorChildren())
        if (project_.IsProjectFile(S(ChildPath(child)))) SaveChild(child);
}

void Korl_MainFrame::StartBuild(BuildKind kind) {
    if (BuildRunning()) return;
    std::string source;
    if (kind == BuildKind::Compile) {
        QMdiSubWindow* child = ActiveChild();
        const QString path = ActiveChildKind() == ChildKind::Editor ? ChildPath(child) : QString();
        if (path.isEmpty() || !project_.IsProjectSource(S(path))) {
            ShowMessage(this, kNotProjectSourceText, QMessageBox::Ok, QMessageBox::Information);
            return;
        }
        SaveChild(child);
        source = S(path);
    } else {
        SaveOpenProjectFiles();
    }
    compile_->Clear();
    ShowProblems({}); // the marks of the last build go with its text
    ShowPane(Korl_Pane::Compile);
    std::string error;
    runner_->SetJobs(static_cast<unsigned>(Korl_ProjectPropertySheet::BuildJobsSetting()));
    if (!runner_->Start(kind, project_, tools_, source, &error)) {
        const BuildRunner::ProcessFailure& failure = runner_->LastProcessFailure();
        if (!failure.caption.empty())
            ShowMessage(this, Q(failure.text), QMessageBox::Ok, QMessageBox::Critical, Q(failure.caption));
        else
            ShowMessage(this, Q(error), QMessageBox::Ok, QMessageBox::Critical);
        commands_->NotifyStatesChanged();
        return;
    }
    WatchBuild();
    ShowStatusMessage("Building...", 2000);
    commands_->NotifyStatesChanged();
    Q_EMIT events_->buildStarted();
    Q_EMIT buildStarted();
}

void Korl_MainFrame::WatchBuild() {
    UnwatchBuild();
    auto process = [this] {
        if (runner_->Running()) runner_->Process();
        // A descriptor at its end stays readable: stop watching it.
        if (outNotifier_ && runner_->OutputFd() < 0) outNotifier_->setEnabled(false);
        if (exitNotifier_ && runner_->ExitFd() < 0) exitNotifier_->setEnabled(false);
        if (!runner_->Running()) UnwatchBuild();
    };
    if (runner_->OutputFd() >= 0) {
        outNotifier_ = new QSocketNotifier(runner_->OutputFd(), QSocketNotifier::Read, this);
        connect(outNotifier_, &QSocketNotifier::activated, this, process);
    }
    if (runner_->ExitFd() >= 0) {
        exitNotifier_ = new QSocketNotifier(runner_->ExitFd(), QSocketNotifier::Read, this);
        connect(exitNotifier_, &QSocketNotifier::activated, this, process);
    }
    buildTimer_->start();
}

void Korl_MainFrame::UnwatchBuild() {
    for (QSocketNotifier** n : {&outNotifier_, &exitNotifier_}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    if (buildTimer_) buildTimer_->stop();
}

void Korl_MainFrame::OnBuildEnded(const BuildResult& result) {
    // The build's descriptors are closed now; a build started from here may reuse their numbers.
    UnwatchBuild();
    lastBuild_ = result;
    QList<Korl_FileProblem> problems;
    for (const BuildProblem& p : result.problems) problems.append({Q(p.file), p.line, p.error, Q(p.message)});
    ShowProblems(problems);
    ShowStatusMessage(
        Q(BuildRunner::SummaryLine(result.targetName, result.errors, result.warnings)).trimmed(), 0);
    commands_->NotifyStatesChanged();
    // The debugger and the browsers start their follow-up from here.
    Q_EMIT events_->buildEnded(result);
    commands_->NotifyStatesChanged();
    Q_EMIT buildEnded(result);
}

void Korl_MainFrame::OnStopBuild() {
    if (BuildRunning()) runner_->Stop();
}

void Korl_MainFrame::ShowProblems(const QList<Korl_FileProblem>& problems) {
    editors_->SetProblems(problems);
    problems_->SetProblems(problems, Q(project_.Directory()));
    const QString summary = problems_->Summary();
    PaneDock(Korl_Pane::Problems)
        ->setWindowTitle(summary.isEmpty() ? PaneTitle(Korl_Pane::Problems)
                                           : QString(" Problems (%1) ").arg(problems_->Problems().size()));
}

void Korl_MainFrame::JumpToProblem(const QString& file, int line) {
    const QString title = Q(ProjectShortName(S(file), project_.Directory()));
    OpenDocument(file, title, line - 1);
}

void Korl_MainFrame::JumpToLine(const QString& lineText) {
    auto target = ParseJumpLine(S(lineText));
    if (!target) return;
    std::string dir = project_.Directory();
    if (dir.empty()) dir = S(QDir::currentPath()) + "/";
    const QString full = Q(ResolveJumpFile(target->file, dir));
    // Titles follow the tree's rule, so a file opened from the tree is found again.
    const QString title = Q(ProjectShortName(S(full), project_.Directory()));
    OpenDocument(full, title, target->line - 1);
}
