#pragma once
// What the window parts (debugger, browsers, wave windows) may ask of the
// main window. They depend on this interface only, never on the concrete
// frame; app/ installs them.
#include <QObject>
#include <QString>

#include <functional>
#include <string>

class QMdiArea;
class QWidget;
class Korl_CommandRegistry;
class Korl_EditorChildFrame;
class Korl_EditorManager;

#include "project/buildrunner.h"

namespace korl {
class BreakpointTable;
class Project;
struct ToolLayout;
} // namespace korl

// A build after which its follow-up (debugging, elaborating) runs.
inline bool Korl_BuildSucceeded(const korl::BuildResult& r) {
    return r.errors == 0 && r.executableExists && !r.stopped;
}

enum class Korl_Pane {
    ProjectBrowser,
    DesignBrowser,
    SourceBrowser,
    Compile,
    Console,
    Examine1,
    Examine2,
    Stack,
    Problems, // the last build's errors and warnings
};
inline constexpr int kKorlPaneCount = 9;

// Events of the frame the parts follow.
class Korl_FrameEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
Q_SIGNALS:
    void buildStarted();
    // A build has ended: the debugger and the browsers start their follow-up.
    void buildEnded(const korl::BuildResult& result);
    // The breakpoint table changed (a session in progress sends it on).
    void breakpointsChanged();
    // A project was closed or another one opened: per-project state goes.
    void projectClosed();
    // The frame is going: let go of what it owns (the breakpoint table).
    void frameDestroying();
};

class Korl_FrameServices {
public:
    virtual ~Korl_FrameServices() = default;

    // Status bar.
    virtual void ShowStatusMessage(const QString& text, int timeoutMs) = 0;
    virtual void AddStatusWidget(QWidget* widget) = 0;

    // Panes. The frame owns a widget once it is set.
    virtual void SetPaneWidget(Korl_Pane pane, QWidget* widget) = 0;
    virtual QWidget* PaneContainer(Korl_Pane pane) const = 0;
    virtual void ShowPane(Korl_Pane pane) = 0; // shown and raised
    // Shown and not behind another tab.
    virtual bool PaneOnScreen(Korl_Pane pane) const = 0;

    // The Virtual Console.
    virtual void AppendConsole(const QString& text) = 0;
    virtual void AppendConsoleLine(const QString& text) = 0;
    virtual void ClearConsole() = 0;
    // What typed keys are written to while a run takes input; none otherwise.
    virtual void SetConsoleInput(std::function<void(const std::string&)> sink) = 0;

    // Editors and MDI children.
    virtual Korl_EditorManager* Editors() const = 0;
    virtual Korl_EditorChildFrame* OpenDocument(const QString& fullPath, const QString& title,
                                                int line = -1) = 0;
    virtual QMdiArea* MdiArea() const = 0;

    // The project and the build.
    virtual korl::Project& Project() = 0;
    virtual bool ProjectOpen() const = 0;
    virtual const korl::ToolLayout& Tools() const = 0;
    virtual bool BuildRunning() const = 0;
    // Starts a debug build (Start Debugging before a session runs).
    virtual void StartDebugBuild() = 0;

    // Commands and events.
    virtual Korl_CommandRegistry& Commands() = 0;
    virtual Korl_FrameEvents& Events() = 0;

    // The one breakpoint table of the project; editors show its lines.
    virtual korl::BreakpointTable& Breakpoints() = 0;

    // End of a debugged run: the closing console line, command states, the VCD.
    virtual void ProcessEnded(bool normalEnd) = 0;
    // Opens a dump in a wave window (what Open VCD File does); the wave
    // windows install the opener.
    virtual void OpenVcdFile(const QString& path) = 0;
    virtual void SetVcdOpener(std::function<void(const QString&)> opener) = 0;

    // Parent for prompts and dialogs.
    virtual QWidget* PromptParent() = 0;
};
