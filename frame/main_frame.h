#pragma once
// Korl_MainFrame: the IDE window's chrome (menus, toolbar, status bar, MDI
// area, panes) and the services the window parts depend on. It carries out
// the frame's own commands (project, build, view, window); the parts
// register theirs with the command registry (app/ installs them).
//
// The member functions are spread over a few files by concern:
//   main_frame.cpp      chrome, menus, toolbar, status bar, title, events
//   frame_commands.cpp  the frame context's commands and their states
//   pane_manager.cpp    panes: creation, layout, toggling, cycling, reset
//   build_control.cpp   builds: start, watch, end, jump to an error line
//   project_commands.cpp project commands and opening files
//   child_windows.cpp   MDI children: editors, the editor command context,
//                       closing them all with one round of questions
//   problems_pane.cpp   the Problems pane; recent_files.cpp the recent lists;
//                       about.cpp the About box
#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

#include "debugger/breakpoint_table.h"
#include "editor/editor_document.h"
#include "frame/command_registry.h"
#include "frame/recent_files.h"
#include "frame/services.h"
#include "project/buildrunner.h"
#include "project/project.h"
#include "project/toollayout.h"

class QAction;
class QDockWidget;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QSocketNotifier;
class QTimer;
class QToolBar;
class Korl_CompileWindow;
class Korl_ProblemsWindow;
class Korl_OutputWindow;
class Korl_WorkspaceWindow;

class Korl_MainFrame : public QMainWindow, public Korl_FrameServices, public Korl_BreakpointHost {
    Q_OBJECT
public:
    enum class ChildKind { None, Editor, Wave, Other };

    struct Options {
        bool restoreState = true; // read the saved window state at creation
        bool saveState = true;    // write it when the frame closes
    };

    Korl_MainFrame();
    explicit Korl_MainFrame(Options options, QWidget* parent = nullptr);
    ~Korl_MainFrame() override;

    // ---- commands ----------------------------------------------------------
    QAction* Action(int id) const;
    void OnCommand(int id);
    bool IsCommandEnabled(int id);
    // Brings menus and toolbar in line with the registry's states.
    void UpdateCommandUI();
    // Top-level menu titles of the menu bar now shown.
    QStringList MenuTitles() const;
    ChildKind ActiveChildKind() const;

    // ---- panes -------------------------------------------------------------
    QDockWidget* PaneDock(Korl_Pane pane) const { return docks_[int(pane)]; }
    static QString PaneTitle(Korl_Pane pane);
    Korl_CompileWindow* CompileWindow() const { return compile_; }
    Korl_OutputWindow* ConsoleWindow() const { return console_; }
    Korl_WorkspaceWindow* WorkspaceWindow() const { return workspace_; }
    Korl_ProblemsWindow* ProblemsWindow() const { return problems_; }
    QToolBar* ToolBar() const { return toolbar_; }
    void ResetPanes();
    void ApplyDefaultLayout();

    // ---- project -----------------------------------------------------------
    // Load `path` as the project (the shell steps included); false when the
    // user cancelled a question about unsaved changes or the file was refused.
    bool LoadProject(const QString& path);
    // Asks every question about unsaved changes that closing all children
    // (and, with `withProject`, the project) would ask, before anything
    // closes; then closes the children. False when the user cancelled:
    // nothing has closed and nothing is lost. A project answered Discard is
    // closed by the next Close without a second question.
    bool CloseAllChildren(bool withProject);
    // The File menu's recent lists (newest first).
    Korl_RecentList& RecentProjects() { return recentProjects_; }
    Korl_RecentList& RecentFiles() { return recentFiles_; }
    // Opens an entry of a recent list; a path that is gone leaves the list
    // with a note.
    void OpenRecent(const QString& path, bool project);
    // The About box's text (asks the tools for their versions once).
    QString AboutText() const;
    void SetTools(const korl::ToolLayout& tools) { tools_ = tools; }

    // ---- documents ---------------------------------------------------------
    // A .k1 path loads the project, a .vcd path opens a wave window, any other
    // path an editor titled with the file name.
    void OpenPath(const QString& path);
    void DropFiles(const QStringList& paths);
    Korl_EditorChildFrame* NewDocument();
    QList<Korl_EditorChildFrame*> EditorChildren() const;
    QMdiSubWindow* ActiveChild() const;
    static QString ChildPath(QMdiSubWindow* child); // editors only
    static QString ChildTitle(QMdiSubWindow* child);

    // ---- build -------------------------------------------------------------
    const korl::BuildResult& LastBuild() const { return lastBuild_; }

    // ---- Korl_FrameServices ------------------------------------------------
    // A message with a timeout is transient; one without stays until the
    // project changes (texts about the project or its build).
    void ShowStatusMessage(const QString& text, int timeoutMs) override;
    QString StatusText() const;
    void AddStatusWidget(QWidget* widget) override;
    void SetPaneWidget(Korl_Pane pane, QWidget* widget) override;
    QWidget* PaneContainer(Korl_Pane pane) const override;
    void ShowPane(Korl_Pane pane) override;
    bool PaneOnScreen(Korl_Pane pane) const override;
    void AppendConsole(const QString& text) override;
    void AppendConsoleLine(const QString& text) override;
    void ClearConsole() override;
    void SetConsoleInput(std::function<void(const std::string&)> sink) override;
    Korl_EditorManager* Editors() const override { return editors_; }
    // Open (or activate) by identity, optionally at a 0-based line; null when
    // the file cannot be loaded.
    Korl_EditorChildFrame* OpenDocument(const QString& fullPath, const QString& title,
                                        int line = -1) override;
    QMdiArea* MdiArea() const override { return mdi_; }
    korl::Project& Project() override { return project_; }
    bool ProjectOpen() const override { return projectOpen_; }
    const korl::ToolLayout& Tools() const override { return tools_; }
    bool BuildRunning() const override { return runner_ && runner_->Running(); }
    void StartDebugBuild() override;
    Korl_CommandRegistry& Commands() override { return *commands_; }
    Korl_FrameEvents& Events() override { return *events_; }
    korl::BreakpointTable& Breakpoints() override { return breakpoints_; }
    void ProcessEnded(bool normalEnd) override;
    void OpenVcdFile(const QString& path) override;
    QWidget* PromptParent() override;

    // ---- Korl_BreakpointHost: the editors' marks follow the one table ------
    void AddBreakpoint(const QString& file, int line) override;
    void RemoveBreakpoint(const QString& file, int line) override;
    QList<int> BreakpointLines(const QString& file) const override;

    void SetVcdOpener(std::function<void(const QString&)> fn) override { vcdOpener_ = std::move(fn); }

Q_SIGNALS:
    void buildStarted();
    void buildEnded(const korl::BuildResult& result);
    void commandStatesChanged();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void childEvent(QChildEvent* e) override;

private:
    // main_frame.cpp
    void CreateActions();
    void CreateMenus();
    void RebuildMenuBar();
    void FillWindowMenu();
    void CreateToolBar();
    void CreateStatusBar();
    void UpdateTitle();
    void FillRecentMenu(QMenu* menu, bool projects);
    void NoteRecent(const QString& path, bool project);
    // Project texts leave the status bar when the project changes.
    void ClearProjectStatus();
    void SetStatusPanes(const QString& position, const QString& overtype, const QString& readOnly);
    void OnActiveChildChanged();

    // frame_commands.cpp
    void RegisterFrameCommands();
    void RegisterCommand(int id, std::function<void()> run, std::function<bool()> enabled = {});
    void TileChildren(bool stacked);
    void ShowAbout();

    // pane_manager.cpp
    void CreatePanes();
    void TogglePane(Korl_Pane pane);
    void CyclePane(int step);
    bool BehindAnotherTab(QDockWidget* dock) const;
    void TidyDockTabs();

    // project_commands.cpp
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

    // build_control.cpp
    void CreateBuildRunner();
    void StartBuild(korl::BuildKind kind);
    void OnBuildEnded(const korl::BuildResult& result);
    void OnStopBuild();
    void WatchBuild();
    void UnwatchBuild();
    void SaveOpenProjectFiles();
    void JumpToLine(const QString& lineText);
    void JumpToProblem(const QString& file, int line);
    void ShowProblems(const QList<Korl_FileProblem>& problems);

    // child_windows.cpp
    void CreateEditors();
    void RegisterEditorCommands();
    void CloseChildByIdentity(const QString& path, const QString& title);
    bool SaveChild(QMdiSubWindow* child);

    Options options_;
    korl::Project project_;
    korl::ToolLayout tools_;
    bool projectOpen_ = false;
    korl::BreakpointTable breakpoints_;

    Korl_CommandRegistry* commands_ = nullptr;
    Korl_FrameEvents* events_ = nullptr;
    QHash<int, QAction*> actions_;
    QMenu* fileMenu_[3] = {};
    QMenu* viewMenu_ = nullptr;
    QMenu* projectMenu_ = nullptr;
    QMenu* debugMenu_ = nullptr;
    QMenu* editMenu_ = nullptr;
    QMenu* waveMenu_ = nullptr;
    QMenu* windowMenu_ = nullptr;
    QMenu* helpMenu_ = nullptr;
    QMenu* recentProjectsMenu_ = nullptr;
    QMenu* recentFilesMenu_ = nullptr;
    Korl_RecentList recentProjects_{"Recent/Projects"};
    Korl_RecentList recentFiles_{"Recent/Files"};
    QString baseStatus_ = "Ready"; // what the status bar shows between messages
    QString lastTip_;
    ChildKind menuKind_ = ChildKind::Other;
    QToolBar* toolbar_ = nullptr;
    QLabel* positionPane_ = nullptr;
    QLabel* overtypePane_ = nullptr;
    QLabel* readOnlyPane_ = nullptr;

    QMdiArea* mdi_ = nullptr;
    QDockWidget* docks_[kKorlPaneCount] = {};
    Korl_CompileWindow* compile_ = nullptr;
    Korl_OutputWindow* console_ = nullptr;
    Korl_WorkspaceWindow* workspace_ = nullptr;
    Korl_ProblemsWindow* problems_ = nullptr;
    Korl_EditorManager* editors_ = nullptr;

    std::unique_ptr<korl::BuildRunner> runner_;
    korl::BuildResult lastBuild_;
    QSocketNotifier* outNotifier_ = nullptr;
    QSocketNotifier* exitNotifier_ = nullptr;
    QTimer* buildTimer_ = nullptr;

    std::function<void(const QString&)> vcdOpener_;
    bool closing_ = false;
    korl::ClosePrompt closePrompt_;
    bool projectDiscardAnswered_ = false;
};
