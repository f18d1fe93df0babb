#include "debugger/qt/debug_controller.h"

#include <QDockWidget>
#include <QLabel>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QSettings>
#include <QTimer>
#include <QUrl>

#include "base/command_ids.h"
#include "frame/command_registry.h"
#include "frame/services.h"
#include "project/project.h"
#include "project/toollayout.h"
#include "debugger/breakpoint_table.h"
#include "debugger/gdb_session.h"
#include "debugger/program_run.h"
#include "debugger/qt/stack_window.h"
#include "debugger/qt/watch_window.h"
#include "base/qt/strings.h"
#include "debugger/sim_context.h"
#include "project/qt/dialogs.h"
#include "debugger/stop_record.h"

namespace {
using korl::Q;
using korl::S;

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
} // namespace

Korl_DebugController* InstallDebugger(Korl_FrameServices& frame, QObject* owner) {
    return new Korl_DebugController(frame, owner);
}

Korl_DebugController::Korl_DebugController(Korl_FrameServices& frame, QObject* owner)
    : QObject(owner), frame_(frame) {
    setObjectName("DebugController");
    examine_[0] = new Korl_WatchWindow;
    examine_[0]->setObjectName("Examine1");
    examine_[1] = new Korl_WatchWindow;
    examine_[1]->setObjectName("Examine2");
    stack_ = new Korl_StackWindow;
    stack_->SetGoToSource([this](const korl::StackFrame& f) { GoToSource(f); });
    frame_.SetPaneWidget(Korl_Pane::Examine1, examine_[0]);
    frame_.SetPaneWidget(Korl_Pane::Examine2, examine_[1]);
    frame_.SetPaneWidget(Korl_Pane::Stack, stack_);

    // "When and where am I" at each stop, next to the caret position.
    simLabel_ = new QLabel;
    simLabel_->setObjectName("SimContext");
    frame_.AddStatusWidget(simLabel_);

    // A session belongs to the project it debugs: closing the project (or
    // opening another) ends it. The listener is never removed: the project is
    // a member of the frame and goes before the frame's children, this one
    // included.
    frame_.Project().AddListener([this](korl::ProjectEvent e) {
        if (e == korl::ProjectEvent::Closed) {
            StopDebugging();
            StopRun();
            SetWatchLabels({});
            // A stale listing would open the old project's sources.
            if (stack_) stack_->SetFrames({}, {});
        } else if (e == korl::ProjectEvent::Opened) {
            LoadWatches();
        }
    });
    // The watch lists belong to the project: kept with it, restored with it.
    for (int i = 0; i < 2; ++i)
        connect(examine_[i], &Korl_WatchWindow::labelsChanged, this, [this] { SaveWatches(); });

    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] {
        if (!session_) return;
        session_->OnTimer();
        Sync();
    });

    // A pane shown during a stop is filled at once.
    const std::pair<Korl_Pane, int> panes[] = {
        {Korl_Pane::Examine1, 0}, {Korl_Pane::Examine2, 1}, {Korl_Pane::Stack, 2}};
    for (auto [pane, which] : panes) {
        if (auto* dock = qobject_cast<QDockWidget*>(frame_.PaneContainer(pane)))
            connect(dock, &QDockWidget::visibilityChanged, this, [this, which](bool visible) {
                if (visible && AtStop()) Refresh(which == 0, which == 1, which == 2);
            });
    }

    // Values on hover, through the Examine panes' decoder; only at a stop.
    if (frame_.Editors())
        frame_.Editors()->SetHoverProvider(
            [this](const QString& expression, std::function<void(const QString&)> show) {
                if (!AtStop()) return;
                session_->EvaluateWatch(S(expression), [show](const std::string& value) {
                    if (value != korl::kNoSymbol) show(Q(value));
                });
                Sync();
            });

    // The frame keeps the one breakpoint table; a session in progress follows it.
    connect(&frame_.Events(), &Korl_FrameEvents::breakpointsChanged, this, [this] { Sync(); });
    connect(&frame_.Events(), &Korl_FrameEvents::frameDestroying, this, [this] {
        if (table_) table_->SetSession(nullptr);
        table_ = nullptr;
    });
    connect(&frame_.Events(), &Korl_FrameEvents::buildEnded, this, [this](const korl::BuildResult& build) {
        if (build.kind == korl::BuildKind::Debug && Korl_BuildSucceeded(build)) StartSession(build);
    });

    using namespace korl;
    auto registerCommand = [this](int id, std::function<void()> run, std::function<bool()> enabled) {
        frame_.Commands().Register(Korl_CommandContext::Debugger, id, std::move(run), [enabled] {
            return Korl_CommandState{enabled(), false};
        });
    };
    // Start Debugging: Continue at a stop; without a session, the debug build
    // whose end starts one.
    registerCommand(
        ID_DEBUG_START,
        [this] {
            if (!session_) {
                BuildThenStart(false);
                return;
            }
            if (AtStop()) session_->Continue();
            Sync();
        },
        [this] {
            if (session_) return AtStop();
            return !run_ && frame_.ProjectOpen() && !frame_.BuildRunning();
        });
    registerCommand(
        ID_DEBUG_STOP,
        [this] {
            if (run_)
                StopRun();
            else
                StopDebugging();
        },
        [this] { return (session_ && !session_->Ended()) || (run_ && !run_->Ended()); });
    registerCommand(
        ID_DEBUG_RUN, [this] { BuildThenStart(true); },
        [this] { return !session_ && !run_ && frame_.ProjectOpen() && !frame_.BuildRunning(); });
    registerCommand(
        ID_DEBUG_STEP_INTO, [this] { Step(&Korl_GdbSession::StepInto); }, [this] { return AtStop(); });
    registerCommand(
        ID_DEBUG_STEP_OVER, [this] { Step(&Korl_GdbSession::StepOver); }, [this] { return AtStop(); });
    registerCommand(
        ID_DEBUG_STEP_OUT, [this] { Step(&Korl_GdbSession::StepOut); }, [this] { return AtStop(); });
    registerCommand(
        ID_DEBUG_RUN_TO_CURSOR, [this] { RunToCursor(); },
        [this] { return AtStop() && frame_.Editors() && frame_.Editors()->ActiveView(); });
    frame_.Commands().NotifyStatesChanged();
}

namespace {
QString WatchKey(const std::string& projectFile, int pane) {
    return "Watches/" + QString::fromLatin1(QUrl::toPercentEncoding(Q(projectFile))) + "/Examine" +
           QString::number(pane + 1);
}
} // namespace

void Korl_DebugController::SetWatchLabels(const QStringList& labels) {
    loadingWatches_ = true;
    for (const auto& w : examine_)
        if (w) w->SetLabels(labels);
    loadingWatches_ = false;
}

void Korl_DebugController::LoadWatches() {
    const std::string file = frame_.Project().FilePath();
    QSettings settings;
    loadingWatches_ = true;
    for (int i = 0; i < 2; ++i)
        if (examine_[i]) examine_[i]->SetLabels(settings.value(WatchKey(file, i)).toStringList());
    loadingWatches_ = false;
}

void Korl_DebugController::SaveWatches() {
    if (loadingWatches_ || !frame_.ProjectOpen()) return;
    const std::string file = frame_.Project().FilePath();
    QSettings settings;
    for (int i = 0; i < 2; ++i) {
        if (!examine_[i]) continue;
        const QStringList labels = examine_[i]->Labels();
        if (labels.isEmpty())
            settings.remove(WatchKey(file, i));
        else
            settings.setValue(WatchKey(file, i), labels);
    }
}

void Korl_DebugController::BuildThenStart(bool runOnly) {
    if (session_ || run_) return;
    // The debug build's end starts the session, or the plain run.
    runOnly_ = runOnly;
    frame_.StartDebugBuild();
}

bool Korl_DebugController::AtStop() const { return session_ && !finishing_ && session_->AtStop(); }

Korl_DebugController::~Korl_DebugController() {
    // Ends gdb and the program without callbacks.
    if (table_) table_->SetSession(nullptr);
    for (const auto& w : examine_)
        if (w) w->SetSession(nullptr);
    session_.reset();
}

void Korl_DebugController::StartSession(const korl::BuildResult& build) {
    if (session_ || run_) return;
    if (runOnly_) {
        runOnly_ = false;
        StartRun(build);
        return;
    }
    korl::Project& project = frame_.Project();
    const korl::ToolLayout& tools = frame_.Tools();
    korl::GdbStartOptions options;
    if (!tools.debugger.empty()) options.gdbPath = tools.debugger;
    options.executable = FileNameOf(build.executablePath);
    options.projectDir = project.Directory();
    options.toolRoot = tools.toolRoot;
    options.programArgs = korl::SplitProgramArguments(project.ProgramArguments());
    korl::DeletePreviousVcd(options.projectDir, project.Title());

    korl::GdbSessionCallbacks callbacks;
    callbacks.output = [this](std::string_view text) {
        frame_.AppendConsole(decoder_.decode(QByteArrayView(text.data(), qsizetype(text.size()))));
    };
    // Position and refresh run from the event loop, once the session has left
    // its callback: opening a file may show a prompt with its own event loop.
    callbacks.position = [this](const std::string& file, int line0) {
        QTimer::singleShot(0, this, [this, file, line0] {
            AfterBox([this, file, line0] {
                if (session_ && !finishing_) ShowPosition(file, line0);
            });
        });
    };
    callbacks.stopped = [this] {
        QTimer::singleShot(0, this, [this] { AfterBox([this] { Refresh(true, true, true); }); });
    };
    callbacks.errorBox = [this](const std::string& text) {
        QTimer::singleShot(0, this, [this, t = Q(text)] { ShowErrorBox(t); });
    };
    callbacks.ended = [this](int exitFlag) {
        exitFlag_ = exitFlag;
        finishing_ = true;
        for (QSocketNotifier* n : {gdbRead_, consoleRead_, consoleWrite_})
            if (n) n->setEnabled(false);
        QTimer::singleShot(0, this, [this] { Finish(); });
    };

    decoder_ = QStringDecoder(QStringDecoder::Utf8);
    frame_.ClearConsole();
    ShowConsoleWithFocus();
    session_ = std::make_unique<korl::Korl_GdbSession>(std::move(callbacks));
    table_ = &frame_.Breakpoints();
    finishing_ = false;
    std::string error;
    if (!korl::StartDebugging(*session_, *table_, options, &error)) {
        table_->SetSession(nullptr);
        session_.reset();
        table_ = nullptr;
        frame_.Commands().NotifyStatesChanged();
        korl::ShowMessage(frame_.PromptParent(), Q(error), QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    for (const auto& w : examine_)
        if (w) w->SetSession(session_.get());

    gdbRead_ = new QSocketNotifier(session_->GdbFd(), QSocketNotifier::Read, this);
    connect(gdbRead_, &QSocketNotifier::activated, this, [this] {
        if (!session_) return;
        session_->OnGdbReadable();
        Sync();
    });
    if (session_->ConsoleFd() >= 0) {
        consoleRead_ = new QSocketNotifier(session_->ConsoleFd(), QSocketNotifier::Read, this);
        connect(consoleRead_, &QSocketNotifier::activated, this, [this] {
            if (!session_) return;
            session_->OnConsoleReadable();
            Sync();
        });
        consoleWrite_ = new QSocketNotifier(session_->ConsoleFd(), QSocketNotifier::Write, this);
        consoleWrite_->setEnabled(false);
        connect(consoleWrite_, &QSocketNotifier::activated, this, [this] {
            if (!session_) return;
            session_->OnConsoleWritable();
            Sync();
        });
    }
    frame_.SetConsoleInput([this](const std::string& keys) {
        if (!session_ || session_->Ended()) return;
        session_->WriteConsole(keys);
        Sync();
    });
    Sync();
    frame_.Commands().NotifyStatesChanged();
    Q_EMIT debuggingStarted();
}

void Korl_DebugController::StartRun(const korl::BuildResult& build) {
    korl::Project& project = frame_.Project();
    korl::DeletePreviousVcd(project.Directory(), project.Title());
    decoder_ = QStringDecoder(QStringDecoder::Utf8);
    frame_.ClearConsole();
    ShowConsoleWithFocus();
    korl::Korl_ProgramRun::Callbacks callbacks;
    callbacks.output = [this](std::string_view text) {
        frame_.AppendConsole(decoder_.decode(QByteArrayView(text.data(), qsizetype(text.size()))));
    };
    callbacks.ended = [this](int exitFlag) {
        exitFlag_ = exitFlag;
        // Its descriptors are closed now: watching them would only warn.
        if (runRead_) runRead_->setEnabled(false);
        QTimer::singleShot(0, this, [this] { FinishRun(); });
    };
    run_ = std::make_unique<korl::Korl_ProgramRun>(std::move(callbacks));
    std::string error;
    if (!run_->Start(build.executablePath, korl::SplitProgramArguments(project.ProgramArguments()),
                     project.Directory(), &error)) {
        run_.reset();
        frame_.Commands().NotifyStatesChanged();
        korl::ShowMessage(frame_.PromptParent(), Q(error), QMessageBox::Ok, QMessageBox::Critical);
        return;
    }
    runRead_ = new QSocketNotifier(run_->ConsoleFd(), QSocketNotifier::Read, this);
    connect(runRead_, &QSocketNotifier::activated, this, [this] {
        if (run_) run_->OnConsoleReadable();
    });
    runTimer_ = new QTimer(this);
    connect(runTimer_, &QTimer::timeout, this, [this] {
        if (run_) run_->OnTimer();
    });
    runTimer_->start(run_->TimeoutMs());
    frame_.SetConsoleInput([this](const std::string& keys) {
        if (run_ && !run_->Ended()) run_->WriteConsole(keys);
    });
    frame_.Commands().NotifyStatesChanged();
    Q_EMIT runStarted();
}

void Korl_DebugController::StopRun() {
    if (run_ && !run_->Ended()) run_->Stop();
}

void Korl_DebugController::FinishRun() {
    if (!run_) return;
    if (runRead_) {
        runRead_->setEnabled(false);
        runRead_->deleteLater();
        runRead_ = nullptr;
    }
    if (runTimer_) {
        runTimer_->stop();
        runTimer_->deleteLater();
        runTimer_ = nullptr;
    }
    run_.reset();
    frame_.ProcessEnded(exitFlag_ == 1);
    Q_EMIT runEnded(exitFlag_);
}

void Korl_DebugController::Sync() {
    if (!session_) return;
    if (session_->Ended() || session_->GdbFd() < 0) {
        for (QSocketNotifier* n : {gdbRead_, consoleRead_, consoleWrite_})
            if (n) n->setEnabled(false);
        timer_->stop();
        return;
    }
    if (session_->ConsoleFd() < 0) {
        for (QSocketNotifier* n : {consoleRead_, consoleWrite_})
            if (n) n->setEnabled(false);
    } else if (consoleWrite_) {
        consoleWrite_->setEnabled(session_->ConsoleWantsWrite());
    }
    const int ms = session_->TimeoutMs();
    if (ms < 0)
        timer_->stop();
    else
        timer_->start(ms);
}

void Korl_DebugController::Step(void (korl::Korl_GdbSession::*command)()) {
    if (!AtStop()) return;
    (session_.get()->*command)();
    Sync();
    frame_.Commands().NotifyStatesChanged();
}

void Korl_DebugController::RunToCursor() {
    if (!AtStop() || !frame_.Editors()) return;
    Korl_EditorView* view = frame_.Editors()->ActiveView();
    if (!view || view->FullPath().isEmpty()) return;
    session_->RunToCursor(S(view->FullPath()), view->CaretLineQuery());
    Sync();
    frame_.Commands().NotifyStatesChanged();
}

void Korl_DebugController::StopDebugging() {
    if (!session_ || session_->Ended()) return;
    session_->Stop(); // the end path follows from the event loop
    Sync();
}

void Korl_DebugController::ShowPosition(const std::string& file, int line0) {
    if (file.empty() || line0 < 0) {
        // In a library without source: no line to mark, so none stays marked.
        ClearPosition();
        if (session_) frame_.ShowStatusMessage(Q(korl::NoSourcePositionText(session_->LastStop().frame)), 0);
        return;
    }
    if (!frame_.Editors()) return;
    const QString full = Q(file);
    if (!stopFile_.isEmpty() && stopFile_ != full) ClearPosition();
    const QString shortName = Q(korl::ProjectShortName(file, frame_.Project().Directory()));
    if (!frame_.Editors()->ShowPosition(full, shortName, line0)) return;
    stopFile_ = full;
    stopLine_ = line0;
}

void Korl_DebugController::ClearPosition() {
    if (!stopFile_.isEmpty() && frame_.Editors())
        frame_.Editors()->ClearPosition(
            stopFile_, Q(korl::ProjectShortName(S(stopFile_), frame_.Project().Directory())));
    stopFile_.clear();
    stopLine_ = -1;
}

void Korl_DebugController::Refresh(bool examine1, bool examine2, bool stack) {
    if (!AtStop()) return;
    auto visible = [this](Korl_Pane pane) { return frame_.PaneOnScreen(pane); };
    if (examine1 && examine_[0] && visible(Korl_Pane::Examine1)) examine_[0]->RefreshAll();
    if (examine2 && examine_[1] && visible(Korl_Pane::Examine2)) examine_[1]->RefreshAll();
    if (stack && visible(Korl_Pane::Stack))
        session_->ListFrames([this](bool, const std::vector<korl::StackFrame>& frames) {
            if (stack_) stack_->SetFrames(frames, frame_.Project().Directory());
        });
    if (examine1 && examine2 && stack) {
        korl::ReadSimContext(*session_, [this](const std::string& text) {
            if (simLabel_) simLabel_->setText(Q(text));
            Q_EMIT stopShown();
        });
    }
    Sync();
    frame_.Commands().NotifyStatesChanged();
}

void Korl_DebugController::GoToSource(const korl::StackFrame& f) {
    if (f.file.empty() || f.line < 1) return;
    const std::string dir = frame_.Project().Directory();
    frame_.OpenDocument(Q(f.file), Q(korl::ProjectShortName(f.file, dir)), f.line - 1);
}

void Korl_DebugController::ShowErrorBox(const QString& text) {
    // The stop's position and refresh wait until the box is answered, so the
    // panes do not change behind it.
    boxOpen_ = true;
    korl::ShowMessage(frame_.PromptParent(), text, QMessageBox::Ok, QMessageBox::Critical);
    boxOpen_ = false;
    std::vector<std::function<void()>> pending;
    pending.swap(afterBox_);
    for (auto& f : pending) f();
}

void Korl_DebugController::AfterBox(std::function<void()> f) {
    if (boxOpen_) {
        afterBox_.push_back(std::move(f));
        return;
    }
    f();
}

void Korl_DebugController::ShowConsoleWithFocus() {
    frame_.ShowPane(Korl_Pane::Console);
    // Typed answers to the program's first prompt go to the program, not to an editor.
    if (auto* dock = qobject_cast<QDockWidget*>(frame_.PaneContainer(Korl_Pane::Console));
        dock && dock->widget())
        dock->widget()->setFocus(Qt::OtherFocusReason);
}

void Korl_DebugController::Finish() {
    if (!session_) return;
    for (QSocketNotifier** n : {&gdbRead_, &consoleRead_, &consoleWrite_}) {
        if (*n) {
            (*n)->setEnabled(false);
            (*n)->deleteLater();
            *n = nullptr;
        }
    }
    timer_->stop();
    if (table_) table_->SetSession(nullptr);
    for (const auto& w : examine_)
        if (w) w->SetSession(nullptr);
    session_.reset();
    table_ = nullptr;
    finishing_ = false;
    ClearPosition();
    for (const auto& w : examine_)
        if (w) w->RefreshAll();
    if (simLabel_) simLabel_->clear();
    // The closing line, the command states and the project's dump.
    frame_.ProcessEnded(exitFlag_ == 1);
    Q_EMIT debuggingEnded(exitFlag_);
}
