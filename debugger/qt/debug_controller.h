// The debugger in the IDE window: serves the Debug menu's commands, runs a gdb session from the event loop
// after a successful debug build, and shows its stops in the editors and the Examine, Stack and Virtual
// Console panes.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringDecoder>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "debugger/qt/stack_window.h"
#include "debugger/qt/watch_window.h"
#include "editor/editor_document.h"

class QSocketNotifier;
class QTimer;
class Korl_FrameServices;

namespace korl {
class BreakpointTable;
class Korl_ProgramRun;
class Korl_GdbSession;
struct BuildResult;
} // namespace korl

class Korl_DebugController : public QObject {
    Q_OBJECT
public:
    Korl_DebugController(Korl_FrameServices& frame, QObject* owner);
    ~Korl_DebugController() override;

    korl::Korl_GdbSession* Session() const { return session_.get(); }
    Korl_WatchWindow* Examine(int which) const { return examine_[which == 2 ? 1 : 0]; }
    Korl_StackWindow* Stack() const { return stack_; }
    QLabel* SimContextLabel() const { return simLabel_; }
    const QString& StopFile() const { return stopFile_; }
    int StopLine() const { return stopLine_; }

Q_SIGNALS:
    void debuggingStarted();
    // A stop is fully shown: position, values asked, stack and context read.
    void stopShown();
    void debuggingEnded(int exitFlag);
    // Run without the debugger.
    void runStarted();
    void runEnded(int exitFlag);

private:
    void StartSession(const korl::BuildResult& build);
    void BuildThenStart(bool runOnly);
    void StartRun(const korl::BuildResult& build);
    void StopRun();
    void FinishRun();
    void Step(void (korl::Korl_GdbSession::*command)());
    void RunToCursor();
    void StopDebugging();
    void ShowPosition(const std::string& file, int line0);
    void ClearPosition();
    void Refresh(bool examine1, bool examine2, bool stack);
    void GoToSource(const korl::StackFrame& frame);
    void ShowErrorBox(const QString& text);
    void AfterBox(std::function<void()> f);
    void ShowConsoleWithFocus();
    void Sync();
    void Finish();
    void LoadWatches();
    void SaveWatches();
    void SetWatchLabels(const QStringList& labels);
    bool AtStop() const;

    Korl_FrameServices& frame_;
    std::unique_ptr<korl::Korl_GdbSession> session_;
    korl::BreakpointTable* table_ = nullptr; // the frame's, while a session runs
    std::unique_ptr<korl::Korl_ProgramRun> run_;
    QSocketNotifier* runRead_ = nullptr;
    QTimer* runTimer_ = nullptr;
    bool runOnly_ = false;
    QSocketNotifier* gdbRead_ = nullptr;
    QSocketNotifier* consoleRead_ = nullptr;
    QSocketNotifier* consoleWrite_ = nullptr;
    QTimer* timer_ = nullptr;
    QStringDecoder decoder_{QStringDecoder::Utf8};
    // The frame may delete its panes before this controller.
    QPointer<Korl_WatchWindow> examine_[2];
    QPointer<Korl_StackWindow> stack_;
    QPointer<QLabel> simLabel_;
    QString stopFile_;
    int stopLine_ = -1;
    int exitFlag_ = 0;
    bool finishing_ = false;
    bool boxOpen_ = false;
    std::vector<std::function<void()>> afterBox_;
    int stopSerial_ = 0;
    bool loadingWatches_ = false;
};

// Installs the debugger on the frame; `owner` (the frame window) deletes it.
Korl_DebugController* InstallDebugger(Korl_FrameServices& frame, QObject* owner);
