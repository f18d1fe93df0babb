// The debugger in the IDE window: takes over the Debug menu of a
// Korl_MainFrame, runs a gdb session from the event loop after a successful
// debug build, and shows its stops in the editors and the Examine, Stack and
// Virtual Console panes.
#pragma once

#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringDecoder>
#include <memory>
#include <string>

#include "debugger/qt/stack_window.h"
#include "debugger/qt/watch_window.h"
#include "editor/editor_document.h"

class QSocketNotifier;
class QTimer;
class Korl_MainFrame;

namespace korl {
class BreakpointTable;
class Korl_GdbSession;
class Korl_ProgramRun;
struct BuildResult;
} // namespace korl

class Korl_DebugController : public QObject, public Korl_BreakpointHost {
    Q_OBJECT
public:
    explicit Korl_DebugController(Korl_MainFrame& frame);
    ~Korl_DebugController() override;

    korl::Korl_GdbSession* Session() const { return session_.get(); }
    Korl_WatchWindow* Examine(int which) const { return examine_[which == 2 ? 1 : 0]; }
    Korl_StackWindow* Stack() const { return stack_; }
    QLabel* SimContextLabel() const { return simLabel_; }
    const QString& StopFile() const { return stopFile_; }
    int StopLine() const { return stopLine_; }

    // Korl_BreakpointHost: the frame keeps the table, the session follows it.
    void AddBreakpoint(const QString& file, int line) override;
    void RemoveBreakpoint(const QString& file, int line) override;
    QList<int> BreakpointLines(const QString& file) const override;

signals:
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
    void Sync();
    void Finish();
    void InstallStartHandler();
    void LoadWatches();
    void SaveWatches();
    void SetWatchLabels(const QStringList& labels);
    bool AtStop() const;

    Korl_MainFrame& frame_;
    std::unique_ptr<korl::Korl_GdbSession> session_;
    std::unique_ptr<korl::Korl_ProgramRun> run_;
    QSocketNotifier* runRead_ = nullptr;
    QTimer* runTimer_ = nullptr;
    bool runOnly_ = false;
    std::unique_ptr<korl::BreakpointTable> table_;
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
    int stopSerial_ = 0;
    bool loadingWatches_ = false;
};

// Installs the debugger on the frame (owned by it); returns the controller.
Korl_DebugController* InstallDebugger(Korl_MainFrame& frame);
