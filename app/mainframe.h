#pragma once
// Korl_MainFrame: the IDE window. It owns the project, the panes, the
// editor and wave children and the running build; every menu command comes
// here first and is either carried out or passed on to the active child.
//
// Hook points for the parts that arrive later:
//  - SetCommandHandler(id, fn) takes over a command (debugger: Start/Stop
//    Debugging, stepping, Run to Cursor; waveform viewer: Open VCD File);
//    SetCommandStateHandler(id, fn) decides its enabled state.
//  - SetDebugStarter / SetElaborator run after a successful debug or
//    elaboration build.
//  - SetVcdOpener opens a dump in a wave window.
//  - SetPaneWidget(pane, widget) replaces a pane's content (Design and
//    Source Browser, Examine 1 and 2, Stack).
//  - Breakpoints() is the breakpoint table the editors' marks follow.
//  - A wave window is a QMdiSubWindow whose class inherits Waview_ChildFrame
//    (or that carries the property korlChildKind = "wave");
//    it takes its commands through Q_INVOKABLE bool OnCommand(int id) and
//    reports their state through Q_INVOKABLE int CommandFlags(int id)
//    (bit 0 enabled, bit 1 checked; -1 for an id it does not know).
#include <QHash>
#include <QMainWindow>
#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "project/buildrunner.h"
#include "project/project.h"
#include "project/toollayout.h"
#include "editor/editor_document.h"

class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSocketNotifier;
class QTimer;
class QToolBar;
class Korl_CompileWindow;
class Korl_OutputWindow;
class Korl_WorkspaceWindow;

// One breakpoint: full path, 1-based line, the debugger's number (0 = none yet).
struct BreakpointRecord {
    std::string path;
    int line = 0;
    int number = 0;
};

class Korl_MainFrame : public QMainWindow, public Korl_BreakpointHost {
    Q_OBJECT
public:
    enum Pane {
        ProjectBrowserPane,
        DesignBrowserPane,
        SourceBrowserPane,
        CompilePane,
        ConsolePane,
        Examine1Pane,
        Examine2Pane,
        StackPane,
        PaneCount
    };
    enum class ChildKind { None, Editor, Wave, Other };

    struct Options {
        bool restoreState = true; // read the saved window state at creation
        bool saveState = true;    // write it when the frame closes
    };

    Korl_MainFrame();
    explicit Korl_MainFrame(Options options, QWidget* parent = nullptr);
    ~Korl_MainFrame() override;

    // ---- commands ----------------------------------------------------------
    QAction* Action(int id) const { return actions_.value(id); }
    void OnCommand(int id);
    bool IsCommandEnabled(int id);
    void UpdateCommandUI();
    void SetCommandHandler(int id, std::function<void()> handler);
    void SetCommandStateHandler(int id, std::function<bool()> enabled);
    // Top-level menu titles of the menu bar now shown.
    QStringList MenuTitles() const;
    ChildKind ActiveChildKind() const;

    // ---- panes -------------------------------------------------------------
    QDockWidget* PaneDock(Pane pane) const { return docks_[pane]; }
    static QString PaneTitle(Pane pane);
    void SetPaneWidget(Pane pane, QWidget* widget);
    Korl_CompileWindow* CompileWindow() const { return compile_; }
    Korl_OutputWindow* ConsoleWindow() const { return console_; }
    Korl_WorkspaceWindow* WorkspaceWindow() const { return workspace_; }
    QMdiArea* MdiArea() const { return mdi_; }
    QToolBar* ToolBar() const { return toolbar_; }
    void ResetPanes();
    void ApplyDefaultLayout();

    // ---- project -----------------------------------------------------------
    korl::Project& Project() { return project_; }
    bool ProjectOpen() const { return projectOpen_; }
    // Load `path` as the project (the shell steps included).
    void LoadProject(const QString& path);
    const korl::ToolLayout& Tools() const { return tools_; }
    void SetTools(const korl::ToolLayout& tools) { tools_ = tools; }

    // ---- documents ---------------------------------------------------------
    // A .k1 path loads the project, a .vcd path opens a wave window, any other
    // path an editor titled with the file name.
    void OpenPath(const QString& path);
    void DropFiles(const QStringList& paths);
    // Editor documents: open (or activate) by identity, optionally at a
    // 0-based line; null when the file cannot be loaded.
    Korl_EditorChildFrame* OpenDocument(const QString& fullPath, const QString& title, int line = -1);
    Korl_EditorChildFrame* NewDocument();
    Korl_EditorManager* Editors() const { return editors_; }
    QList<Korl_EditorChildFrame*> EditorChildren() const;
    QMdiSubWindow* ActiveChild() const;
    static QString ChildPath(QMdiSubWindow* child); // editors only
    static QString ChildTitle(QMdiSubWindow* child);

    // ---- build -------------------------------------------------------------
    bool BuildRunning() const { return runner_ && runner_->Running(); }
    const korl::BuildResult& LastBuild() const { return lastBuild_; }

    // ---- console -----------------------------------------------------------
    void AppendConsole(const QString& text);
    void AppendConsoleLine(const QString& text);
    void ClearConsole();
    // What typed keys are written to while a run takes input; none otherwise.
    void SetConsoleInput(std::function<void(const std::string&)> sink);

    // ---- debugger, browsers and waves ---------------------------------------
    std::vector<BreakpointRecord>& Breakpoints() { return breakpoints_; }
    void AddBreakpoint(const QString& file, int line) override;
    void RemoveBreakpoint(const QString& file, int line) override;
    QList<int> BreakpointLines(const QString& file) const override;
    void SetDebugStarter(std::function<void(const korl::BuildResult&)> fn) { debugStarter_ = std::move(fn); }
    void SetElaborator(std::function<void(const korl::BuildResult&)> fn) { elaborator_ = std::move(fn); }
    void SetVcdOpener(std::function<void(const QString&)> fn) { vcdOpener_ = std::move(fn); }
    void SetPanesResetHandler(std::function<void()> fn) { panesReset_ = std::move(fn); }
    // End of a debugged run: the closing line, command states, the VCD.
    void OnProcessEnded(bool normalEnd);

    // Message shown in the status bar for commands whose part is missing.
    static QString NotAvailableText(int id);

signals:
    void buildStarted();
    void buildEnded(const korl::BuildResult& result);
    void commandStatesChanged();

protected:
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void CreateActions();
    void CreateMenus();
    void RebuildMenuBar();
    void FillWindowMenu();
    void CreateToolBar();
    void CreateStatusBar();
    void CreatePanes();
    void SetFrameState(std::initializer_list<int> ids, bool enabled);
    bool RouteToChild(int id);
    int ChildCommandState(int id, bool* handled);
    void TogglePane(Pane pane);
    void CyclePane(int step);
    bool BehindAnotherTab(QDockWidget* dock) const;
    void TileChildren(bool stacked);
    void TidyDockTabs();
    void UpdateTitle();
    void SetStatusPanes(const QString& position, const QString& overtype, const QString& readOnly);

    // Project commands.
    void OnNewProject();
    void OnOpenProject();
    void OnCloseProject();
    void AfterProjectOpened();
    void OnOptions();
    void OnAddNewFile();
    void OnAddExistingFile();
    void OnSaveAll();
    void OnOpenFiles();
    void OnOpenVcd();
    void OpenVcdFile(const QString& path);

    // Builds.
    void StartBuild(korl::BuildKind kind);
    void OnBuildEnded(const korl::BuildResult& result);
    void OnStopBuild();
    void WatchBuild();
    void UnwatchBuild();
    void SaveOpenProjectFiles();
    void JumpToLine(const QString& lineText);

    // Editors (bridging to the editor documents).
    void CreateEditors();
    void CloseChildByIdentity(const QString& path, const QString& title);
    bool SendToChild(QMdiSubWindow* child, int id);

    Options options_;
    korl::Project project_;
    korl::ToolLayout tools_;
    bool projectOpen_ = false;

    QHash<int, QAction*> actions_;
    QHash<int, bool> frameState_;
    QHash<int, std::function<void()>> handlers_;
    QHash<int, std::function<bool()>> stateHandlers_;
    QMenu* fileMenu_[3] = {};
    QMenu* viewMenu_ = nullptr;
    QMenu* projectMenu_ = nullptr;
    QMenu* debugMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* waveMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    ChildKind menuKind_ = ChildKind::Other;
    QToolBar* toolbar_ = nullptr;
    QLabel* positionPane_ = nullptr;
    QLabel* overtypePane_ = nullptr;
    QLabel* readOnlyPane_ = nullptr;
    QTimer* idleTimer_ = nullptr;

    QMdiArea* mdi_ = nullptr;
    QDockWidget* docks_[PaneCount] = {};
    Korl_CompileWindow* compile_ = nullptr;
    Korl_OutputWindow* console_ = nullptr;
    Korl_WorkspaceWindow* workspace_ = nullptr;
    Korl_EditorManager* editors_ = nullptr;

    std::unique_ptr<korl::BuildRunner> runner_;
    korl::BuildResult lastBuild_;
    QSocketNotifier* outNotifier_ = nullptr;
    QSocketNotifier* exitNotifier_ = nullptr;
    QTimer* buildTimer_ = nullptr;

    std::vector<BreakpointRecord> breakpoints_;
    std::function<void(const korl::BuildResult&)> debugStarter_;
    std::function<void(const korl::BuildResult&)> elaborator_;
    std::function<void(const QString&)> vcdOpener_;
    std::function<void()> panesReset_;
    bool closing_ = false;
};
