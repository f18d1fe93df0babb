#include "app/mainframe.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QSocketNotifier>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QTimer>
#include <QToolBar>

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/icons.h"
#include "app/panes.h"
#include "app/windowstate.h"
#include "project/jump.h"
#include "project/paths.h"
#include "project/qt/dialogs.h"
#include "project/qt/propertysheet.h"
#include "project/qt/workspace.h"

using namespace korl;

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }
std::string S(const QString& s) { return s.toStdString(); }

struct PaneInfo {
    const char* title;
    const char* objectName;
    int toggleId;
};

// Titles are the tab texts, blanks included.
const PaneInfo kPanes[Korl_MainFrame::PaneCount] = {
    {"Project Browser", "ProjectBrowser", ID_VIEW_PROJECT_BROWSER},
    {"Design Browser", "DesignBrowser", ID_VIEW_DESIGN_BROWSER},
    {"Source Browser", "SourceBrowser", ID_VIEW_SOURCE_BROWSER},
    {" Compile ", "Compile", ID_VIEW_COMPILE},
    {"Virtual Console", "VirtualConsole", ID_VIEW_CONSOLE},
    {" Examine 1 ", "Examine1", ID_VIEW_EXAMINE1},
    {" Examine 2 ", "Examine2", ID_VIEW_EXAMINE2},
    {" Stack ", "Stack", ID_VIEW_STACK},
};

const std::initializer_list<int> kBuildCommands = {ID_ELABORATE,   ID_DEBUG_START,   ID_DEBUG_RUN,
                                                   ID_BUILD_BUILD, ID_BUILD_COMPILE, ID_BUILD_REBUILD_ALL};
const std::initializer_list<int> kSteppingCommands = {
    ID_DEBUG_STEP_INTO, ID_DEBUG_STEP_OVER, ID_DEBUG_STEP_OUT, ID_DEBUG_RUN_TO_CURSOR, ID_DEBUG_STOP};

} // namespace

Korl_MainFrame::Korl_MainFrame() : Korl_MainFrame(Options{}) {}

Korl_MainFrame::Korl_MainFrame(Options options, QWidget* parent) : QMainWindow(parent), options_(options) {
    setObjectName("MainFrame");
    setWindowTitle("Korl");
    QApplication::setWindowIcon(KorlIcon("korl"));
    setWindowIcon(KorlIcon("korl"));
    setAcceptDrops(true);
    setDockOptions(AnimatedDocks | AllowTabbedDocks | AllowNestedDocks);
    tools_ = CurrentToolLayout();
    project_.SetClosePrompt(MakeClosePrompt(this));

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("MdiArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setBackground(QColor(0x8A, 0x93, 0xA3));
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, [this] {
        RebuildMenuBar();
        UpdateCommandUI();
    });

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreatePanes();
    CreateEditors();

    // The initial command states.
    SetFrameState(
        {ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START, ID_DEBUG_STOP,
         ID_DEBUG_STEP_INTO, ID_DEBUG_STEP_OVER, ID_DEBUG_STEP_OUT, ID_DEBUG_RUN_TO_CURSOR, ID_BUILD_STOP},
        false);

    runner_ = std::make_unique<BuildRunner>(
        [this](const std::string& text) {
            compile_->Append(QString::fromUtf8(text.data(), int(text.size())));
        },
        [this](const BuildResult& r) { OnBuildEnded(r); });
    buildTimer_ = new QTimer(this);
    buildTimer_->setInterval(100);
    connect(buildTimer_, &QTimer::timeout, this, [this] {
        if (runner_->Running()) runner_->Process();
        if (!runner_->Running()) UnwatchBuild();
    });

    ApplyDefaultLayout();
    if (options_.restoreState) {
        QSettings settings;
        const QSize screen =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
        RestoreWindowState(*this, settings, screen);
    }

    // Menus and toolbar follow the state of the frame and the active child;
    // the timer stands in for an idle pass.
    idleTimer_ = new QTimer(this);
    idleTimer_->setInterval(150);
    connect(idleTimer_, &QTimer::timeout, this, [this] {
        UpdateCommandUI();
        UpdateTitle();
        TidyDockTabs();
    });
    idleTimer_->start();
    RebuildMenuBar();
    UpdateCommandUI();
}

Korl_MainFrame::~Korl_MainFrame() {
    // Children closing during destruction must not reach a half-destroyed frame.
    disconnect(mdi_, nullptr, this, nullptr);
    if (editors_) disconnect(editors_, nullptr, this, nullptr);
    idleTimer_->stop();
    UnwatchBuild();
    runner_.reset();
    // The tree listens to project_, which dies with the frame's members,
    // before QWidget's destructor would get to the tree.
    delete workspace_;
}

// ---------------------------------------------------------------------------
// Commands

void Korl_MainFrame::CreateActions() {
    for (const CommandInfo& c : CommandTable()) {
        auto* a = new QAction(QString::fromUtf8(c.text), this);
        a->setData(c.id);
        a->setObjectName(QString("cmd%1").arg(c.id));
        a->setShortcuts(c.keys);
        a->setShortcutContext(Qt::WindowShortcut);
        if (c.icon) a->setIcon(KorlIcon(c.icon));
        if (c.tip) a->setStatusTip(QString::fromUtf8(c.tip));
        a->setToolTip(PlainCommandName(c.id));
        a->setIconVisibleInMenu(true);
        const int id = c.id;
        connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
        addAction(a); // keys work whatever menu bar is shown
        actions_.insert(id, a);
    }
    for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_VIEW_PROJECT_BROWSER, ID_VIEW_DESIGN_BROWSER,
                   ID_VIEW_SOURCE_BROWSER, ID_VIEW_CONSOLE, ID_VIEW_COMPILE, ID_VIEW_EXAMINE1,
                   ID_VIEW_EXAMINE2, ID_VIEW_STACK, ID_EDIT_SHOW_WHITESPACE})
        actions_[id]->setCheckable(true);
}

void Korl_MainFrame::CreateMenus() {
    auto add = [this](QMenu* m, std::initializer_list<int> ids) {
        for (int id : ids) {
            if (id == 0)
                m->addSeparator();
            else
                m->addAction(actions_.value(id));
        }
    };
    // One File menu per kind of active child.
    for (int k = 0; k < 3; ++k) {
        fileMenu_[k] = new QMenu("&File", this);
        QMenu* m = fileMenu_[k];
        add(m, {ID_FILE_NEW, ID_FILE_OPEN});
        if (k > 0) add(m, {ID_FILE_CLOSE});
        add(m, {0, ID_PROJECT_NEW, ID_PROJECT_OPEN, ID_PROJECT_SAVE, ID_PROJECT_CLOSE, 0});
        if (k == 1) add(m, {ID_OPEN_CORRESPONDING});
        add(m, {ID_OPEN_VCD, 0});
        if (k > 0) add(m, {ID_FILE_SAVE, ID_FILE_SAVE_AS});
        add(m, {ID_FILE_SAVE_ALL, 0});
        if (k > 0) add(m, {ID_FILE_PRINT, ID_FILE_PRINT_SETUP, 0});
        add(m, {ID_APP_EXIT});
    }
    editMenu_ = new QMenu("&Edit", this);
    add(editMenu_,
        {ID_EDIT_UNDO, ID_EDIT_REDO, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_EDIT_CLEAR,
         ID_EDIT_CLEAR_ALL, ID_EDIT_SELECT_ALL, 0, ID_EDIT_FIND, ID_EDIT_FIND_NEXT, ID_EDIT_FIND_PREVIOUS,
         ID_EDIT_FIND_SELECTION, ID_EDIT_REPLACE, 0, ID_EDIT_GOTO_LINE, ID_EDIT_MATCH_BRACE, 0});
    QMenu* advanced = editMenu_->addMenu("Ad&vanced");
    add(advanced, {ID_EDIT_UPPERCASE, ID_EDIT_LOWERCASE, 0, ID_EDIT_TABIFY, ID_EDIT_UNTABIFY, 0,
                   ID_EDIT_SHOW_WHITESPACE});
    QMenu* bookmarks = editMenu_->addMenu("&Bookmarks");
    add(bookmarks,
        {ID_EDIT_TOGGLE_BOOKMARK, ID_EDIT_NEXT_BOOKMARK, ID_EDIT_PREV_BOOKMARK, ID_EDIT_CLEAR_BOOKMARKS});

    viewMenu_ = new QMenu("&View", this);
    add(viewMenu_, {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, 0, ID_VIEW_PROJECT_BROWSER, ID_VIEW_DESIGN_BROWSER,
                    ID_VIEW_SOURCE_BROWSER, ID_VIEW_CONSOLE, ID_VIEW_COMPILE, ID_VIEW_EXAMINE1,
                    ID_VIEW_EXAMINE2, ID_VIEW_STACK});
    projectMenu_ = new QMenu("&Project", this);
    add(projectMenu_, {ID_BUILD_COMPILE, ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_BUILD_STOP, 0, ID_ELABORATE,
                       0, ID_PROJECT_ADD_NEW, ID_PROJECT_ADD_EXISTING, 0, ID_PROJECT_OPTIONS});
    debugMenu_ = new QMenu("&Debug", this);
    add(debugMenu_, {ID_DEBUG_START, ID_DEBUG_RUN, ID_DEBUG_STOP, 0, ID_DEBUG_TOGGLE_BREAKPOINT, 0,
                     ID_DEBUG_STEP_INTO, ID_DEBUG_STEP_OVER, ID_DEBUG_STEP_OUT, ID_DEBUG_RUN_TO_CURSOR});
    waveMenu_ = new QMenu("&Wave", this);
    add(waveMenu_, {ID_WAVE_ZOOM_IN, ID_WAVE_ZOOM_OUT, ID_WAVE_ZOOM_FULL, ID_WAVE_ZOOM_AREA, 0,
                    ID_WAVE_ADD_CURSOR, ID_WAVE_REMOVE_CURSOR, 0});
    QMenu* setMarks = waveMenu_->addMenu("&Set Bookmark");
    QMenu* gotoMarks = waveMenu_->addMenu("&Goto Bookmark");
    for (int n = 0; n < 10; ++n) {
        setMarks->addAction(actions_.value(ID_WAVE_SET_BOOKMARK0 + n));
        gotoMarks->addAction(actions_.value(ID_WAVE_GOTO_BOOKMARK0 + n));
    }
    windowMenu_ = new QMenu("&Window", this);
    connect(windowMenu_, &QMenu::aboutToShow, this, &Korl_MainFrame::FillWindowMenu);
    FillWindowMenu();
    helpMenu_ = new QMenu("&Help", this);
    add(helpMenu_, {ID_APP_ABOUT});
}

void Korl_MainFrame::FillWindowMenu() {
    windowMenu_->clear();
    for (int id : {ID_WINDOW_CASCADE, ID_WINDOW_TILE_HORZ, ID_WINDOW_TILE_VERT, ID_WINDOW_ARRANGE})
        windowMenu_->addAction(actions_.value(id));
    const auto list = mdi_->subWindowList();
    if (!list.isEmpty()) windowMenu_->addSeparator();
    int n = 1;
    for (QMdiSubWindow* w : list) {
        QString text = w->windowTitle();
        if (n <= 9) text = QString("&%1 %2").arg(n).arg(text);
        ++n;
        QAction* a = windowMenu_->addAction(text);
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { mdi_->setActiveSubWindow(w); });
    }
}

void Korl_MainFrame::RebuildMenuBar() {
    const ChildKind kind = ActiveChildKind();
    if (kind == menuKind_) return;
    menuKind_ = kind;
    QMenuBar* bar = menuBar();
    bar->clear();
    const int k = kind == ChildKind::Editor ? 1 : kind == ChildKind::Wave ? 2 : 0;
    bar->addMenu(fileMenu_[k]);
    if (k == 1) bar->addMenu(editMenu_);
    bar->addMenu(viewMenu_);
    bar->addMenu(projectMenu_);
    bar->addMenu(debugMenu_);
    if (k == 2) bar->addMenu(waveMenu_);
    if (k > 0) bar->addMenu(windowMenu_);
    bar->addMenu(helpMenu_);
}

QStringList Korl_MainFrame::MenuTitles() const {
    QStringList titles;
    for (QAction* a : menuBar()->actions())
        if (a->menu()) titles << a->text();
    return titles;
}

void Korl_MainFrame::CreateToolBar() {
    toolbar_ = addToolBar("Toolbar");
    toolbar_->setObjectName("ToolBar");
    toolbar_->setIconSize(QSize(18, 18));
    toolbar_->setMovable(true);
    const std::initializer_list<int> ids = {ID_PROJECT_NEW,
                                            ID_PROJECT_OPEN,
                                            ID_PROJECT_ADD_NEW,
                                            ID_PROJECT_ADD_EXISTING,
                                            0,
                                            ID_FILE_NEW,
                                            ID_FILE_OPEN,
                                            ID_FILE_SAVE,
                                            ID_FILE_SAVE_ALL,
                                            0,
                                            ID_FILE_PRINT,
                                            0,
                                            ID_EDIT_CUT,
                                            ID_EDIT_COPY,
                                            ID_EDIT_PASTE,
                                            ID_EDIT_CLEAR,
                                            0,
                                            ID_EDIT_UNDO,
                                            ID_EDIT_REDO,
                                            0,
                                            ID_BUILD_COMPILE,
                                            ID_BUILD_BUILD,
                                            ID_BUILD_STOP,
                                            ID_ELABORATE,
                                            0,
                                            ID_DEBUG_START,
                                            ID_DEBUG_STOP,
                                            ID_DEBUG_TOGGLE_BREAKPOINT,
                                            ID_DEBUG_STEP_INTO,
                                            ID_DEBUG_STEP_OVER,
                                            ID_DEBUG_STEP_OUT,
                                            ID_DEBUG_RUN_TO_CURSOR,
                                            0,
                                            ID_WAVE_ZOOM_IN,
                                            ID_WAVE_ZOOM_OUT,
                                            ID_WAVE_ZOOM_FULL,
                                            ID_WAVE_ZOOM_AREA,
                                            ID_WAVE_ADD_CURSOR,
                                            ID_WAVE_REMOVE_CURSOR,
                                            0,
                                            ID_APP_ABOUT};
    for (int id : ids) {
        if (id == 0)
            toolbar_->addSeparator();
        else
            toolbar_->addAction(actions_.value(id));
    }
}

void Korl_MainFrame::CreateStatusBar() {
    QStatusBar* bar = statusBar();
    bar->setObjectName("StatusBar");
    positionPane_ = new QLabel(bar);
    positionPane_->setObjectName("PositionPane");
    positionPane_->setMinimumWidth(positionPane_->fontMetrics().horizontalAdvance("Ln: 999, Col: 999") + 12);
    overtypePane_ = new QLabel(bar);
    overtypePane_->setObjectName("OvertypePane");
    overtypePane_->setMinimumWidth(overtypePane_->fontMetrics().horizontalAdvance("OVR") + 12);
    readOnlyPane_ = new QLabel(bar);
    readOnlyPane_->setObjectName("ReadOnlyPane");
    readOnlyPane_->setMinimumWidth(readOnlyPane_->fontMetrics().horizontalAdvance("READ") + 12);
    for (QLabel* l : {positionPane_, overtypePane_, readOnlyPane_}) {
        l->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(l);
    }
    bar->showMessage("Ready");
    connect(bar, &QStatusBar::messageChanged, this, [bar](const QString& m) {
        if (m.isEmpty()) bar->showMessage("Ready");
    });
}

void Korl_MainFrame::CreatePanes() {
    for (int i = 0; i < PaneCount; ++i) {
        auto* dock = new QDockWidget(kPanes[i].title, this);
        dock->setObjectName(kPanes[i].objectName);
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                          QDockWidget::DockWidgetFloatable);
        docks_[i] = dock;
    }
    workspace_ = new Korl_WorkspaceWindow(project_, docks_[ProjectBrowserPane]);
    docks_[ProjectBrowserPane]->setWidget(workspace_);
    connect(workspace_, &Korl_WorkspaceWindow::openRequested, this,
            [this](const QString& path, const QString& title) { OpenDocument(path, title); });
    connect(workspace_, &Korl_WorkspaceWindow::compileRequested, this,
            [this](const QString& path, const QString& title) {
                if (OpenDocument(path, title)) OnCommand(ID_BUILD_COMPILE);
            });
    connect(workspace_, &Korl_WorkspaceWindow::itemRemoved, this, &Korl_MainFrame::CloseChildByIdentity);

    docks_[DesignBrowserPane]->setWidget(
        new Korl_PlaceholderTree("Elaborate the project to see its modules.", {}, docks_[DesignBrowserPane]));
    docks_[SourceBrowserPane]->setWidget(
        new Korl_PlaceholderTree("Elaborate the project to see its sources.", {}, docks_[SourceBrowserPane]));
    compile_ = new Korl_CompileWindow(docks_[CompilePane]);
    docks_[CompilePane]->setWidget(compile_);
    connect(compile_, &Korl_CompileWindow::jumpRequested, this, &Korl_MainFrame::JumpToLine);
    console_ = new Korl_OutputWindow(docks_[ConsolePane]);
    docks_[ConsolePane]->setWidget(console_);
    for (Pane p : {Examine1Pane, Examine2Pane})
        docks_[p]->setWidget(new Korl_PlaceholderTree({}, {"Name", "Value"}, docks_[p]));
    docks_[StackPane]->setWidget(new Korl_PlaceholderTree({}, {"Function", "Location"}, docks_[StackPane]));
    for (int i = 0; i < PaneCount; ++i)
        docks_[i]->widget()->setObjectName(docks_[i]->widget()->objectName().isEmpty()
                                               ? QString(kPanes[i].objectName) + "Window"
                                               : docks_[i]->widget()->objectName());
}

void Korl_MainFrame::ApplyDefaultLayout() {
    setCorner(Qt::BottomLeftCorner, Qt::LeftDockWidgetArea);
    setCorner(Qt::TopLeftCorner, Qt::LeftDockWidgetArea);
    for (QDockWidget* d : docks_) {
        d->setFloating(false);
        d->show();
    }
    addDockWidget(Qt::LeftDockWidgetArea, docks_[ProjectBrowserPane]);
    tabifyDockWidget(docks_[ProjectBrowserPane], docks_[DesignBrowserPane]);
    tabifyDockWidget(docks_[DesignBrowserPane], docks_[SourceBrowserPane]);
    addDockWidget(Qt::BottomDockWidgetArea, docks_[CompilePane]);
    tabifyDockWidget(docks_[CompilePane], docks_[ConsolePane]);
    tabifyDockWidget(docks_[ConsolePane], docks_[Examine1Pane]);
    tabifyDockWidget(docks_[Examine1Pane], docks_[Examine2Pane]);
    tabifyDockWidget(docks_[Examine2Pane], docks_[StackPane]);
    docks_[ProjectBrowserPane]->raise();
    docks_[CompilePane]->raise();
    toolbar_->show();
    statusBar()->show();
    // A first start fills most of the screen.
    QSize size(1280, 860);
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        size = QSize(std::max(1024, avail.width() * 9 / 10), std::max(700, avail.height() * 9 / 10))
                   .boundedTo(avail.size());
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size, avail));
    } else {
        resize(size);
    }
    resizeDocks({docks_[ProjectBrowserPane]}, {370}, Qt::Horizontal);
    resizeDocks({docks_[CompilePane]}, {210}, Qt::Vertical);
}

QString Korl_MainFrame::PaneTitle(Pane pane) { return kPanes[pane].title; }

void Korl_MainFrame::SetPaneWidget(Pane pane, QWidget* widget) {
    QWidget* old = docks_[pane]->widget();
    docks_[pane]->setWidget(widget);
    if (old && old != widget && old != compile_ && old != console_ && old != workspace_) old->deleteLater();
}

void Korl_MainFrame::SetFrameState(std::initializer_list<int> ids, bool enabled) {
    for (int id : ids) frameState_[id] = enabled;
}

void Korl_MainFrame::SetCommandHandler(int id, std::function<void()> handler) {
    handlers_[id] = std::move(handler);
}

void Korl_MainFrame::SetCommandStateHandler(int id, std::function<bool()> enabled) {
    stateHandlers_[id] = std::move(enabled);
}

bool Korl_MainFrame::IsCommandEnabled(int id) {
    if (auto it = stateHandlers_.find(id); it != stateHandlers_.end() && *it) return (*it)();
    if (!IsFrameCommand(id)) {
        bool handled = false;
        const int state = ChildCommandState(id, &handled);
        return handled && (state & 1);
    }
    if (!frameState_.value(id, true)) return false;
    switch (id) {
        case ID_PROJECT_SAVE:
        case ID_PROJECT_CLOSE:
        case ID_PROJECT_ADD_NEW:
        case ID_PROJECT_ADD_EXISTING:
        case ID_PROJECT_OPTIONS:
            return projectOpen_;
        case ID_BUILD_BUILD:
        case ID_BUILD_REBUILD_ALL:
        case ID_ELABORATE:
        case ID_DEBUG_START:
            return projectOpen_ && !BuildRunning();
        case ID_BUILD_COMPILE:
            return !BuildRunning();
        case ID_BUILD_STOP:
            return BuildRunning();
        case ID_FILE_CLOSE:
        case ID_WINDOW_CASCADE:
        case ID_WINDOW_TILE_HORZ:
        case ID_WINDOW_TILE_VERT:
        case ID_WINDOW_ARRANGE:
            return mdi_->activeSubWindow() != nullptr;
        default:
            return true;
    }
}

void Korl_MainFrame::UpdateCommandUI() {
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        const int id = it.key();
        QAction* a = it.value();
        const bool on = IsCommandEnabled(id);
        if (a->isEnabled() != on) a->setEnabled(on);
        if (IsWaveCommand(id)) {
            // A wave window's mode command (Zoom Area) carries the check mark
            // the window reports.
            bool handled = false;
            const bool checked = (ChildCommandState(id, &handled) & 2) != 0 && handled;
            if (checked && !a->isCheckable()) a->setCheckable(true);
            if (a->isCheckable() && a->isChecked() != checked) a->setChecked(checked);
            continue;
        }
        if (!a->isCheckable()) continue;
        bool checked = a->isChecked();
        switch (id) {
            case ID_VIEW_TOOLBAR:
                checked = !toolbar_->isHidden();
                break;
            case ID_VIEW_STATUS_BAR:
                checked = !statusBar()->isHidden();
                break;
            case ID_EDIT_SHOW_WHITESPACE: {
                bool handled = false;
                checked = (ChildCommandState(id, &handled) & 2) != 0;
                break;
            }
            default:
                for (int p = 0; p < PaneCount; ++p)
                    if (kPanes[p].toggleId == id) checked = !docks_[p]->isHidden();
        }
        if (a->isChecked() != checked) a->setChecked(checked);
    }
    emit commandStatesChanged();
}

QString Korl_MainFrame::NotAvailableText(int id) {
    return QString("%1 is not available in this version of Korl.").arg(PlainCommandName(id));
}

void Korl_MainFrame::OnCommand(int id) {
    UpdateCommandUI();
    if (!IsCommandEnabled(id)) return;
    if (auto it = handlers_.find(id); it != handlers_.end() && *it) {
        (*it)();
        UpdateCommandUI();
        return;
    }
    switch (id) {
        case ID_FILE_NEW:
            NewDocument();
            break;
        case ID_FILE_OPEN:
            OnOpenFiles();
            break;
        case ID_FILE_CLOSE:
            if (QMdiSubWindow* w = mdi_->activeSubWindow()) w->close();
            break;
        case ID_PROJECT_NEW:
            OnNewProject();
            break;
        case ID_PROJECT_OPEN:
            OnOpenProject();
            break;
        case ID_PROJECT_SAVE:
            if (!project_.Save())
                ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
            break;
        case ID_PROJECT_CLOSE:
            OnCloseProject();
            break;
        case ID_OPEN_VCD:
            OnOpenVcd();
            break;
        case ID_FILE_SAVE_ALL:
            OnSaveAll();
            break;
        case ID_APP_EXIT:
            close();
            break;
        case ID_VIEW_TOOLBAR:
            toolbar_->setVisible(toolbar_->isHidden());
            break;
        case ID_VIEW_STATUS_BAR:
            statusBar()->setVisible(statusBar()->isHidden());
            break;
        case ID_NEXT_PANE:
            CyclePane(1);
            break;
        case ID_PREV_PANE:
            CyclePane(-1);
            break;
        case ID_BUILD_COMPILE:
            StartBuild(BuildKind::Compile);
            break;
        case ID_BUILD_BUILD:
            StartBuild(BuildKind::Build);
            break;
        case ID_BUILD_REBUILD_ALL:
            StartBuild(BuildKind::RebuildAll);
            break;
        case ID_BUILD_STOP:
            OnStopBuild();
            break;
        case ID_ELABORATE:
            StartBuild(BuildKind::Elaborate);
            break;
        case ID_DEBUG_START:
            StartBuild(BuildKind::Debug);
            break;
        case ID_PROJECT_ADD_NEW:
            OnAddNewFile();
            break;
        case ID_PROJECT_ADD_EXISTING:
            OnAddExistingFile();
            break;
        case ID_PROJECT_OPTIONS:
            OnOptions();
            break;
        case ID_DEBUG_STOP:
        case ID_DEBUG_STEP_INTO:
        case ID_DEBUG_STEP_OVER:
        case ID_DEBUG_STEP_OUT:
        case ID_DEBUG_RUN_TO_CURSOR:
            statusBar()->showMessage(NotAvailableText(id), 5000);
            break;
        case ID_WINDOW_CASCADE:
            mdi_->cascadeSubWindows();
            break;
        case ID_WINDOW_TILE_HORZ:
            TileChildren(true);
            break;
        case ID_WINDOW_TILE_VERT:
            TileChildren(false);
            break;
        case ID_WINDOW_ARRANGE:
            mdi_->tileSubWindows();
            break;
        case ID_APP_ABOUT:
            QMessageBox::about(this, "About",
                               "<b>Korl</b><p>An IDE for SystemC hardware models: projects, editing, "
                               "building, debugging, design browsing and waveforms.</p>");
            break;
        default:
            for (int p = 0; p < PaneCount; ++p)
                if (kPanes[p].toggleId == id) TogglePane(Pane(p));
            if (!IsFrameCommand(id)) RouteToChild(id);
            break;
    }
    UpdateCommandUI();
}

void Korl_MainFrame::TogglePane(Pane pane) {
    QDockWidget* d = docks_[pane];
    if (d->isHidden()) {
        d->show();
        d->raise();
    } else if (BehindAnotherTab(d)) {
        d->raise(); // bring it forward rather than hide what the user cannot see
    } else {
        d->hide();
    }
}

void Korl_MainFrame::TileChildren(bool stacked) {
    // Horizontal tiles lie one above the other, vertical ones side by side.
    QList<QMdiSubWindow*> list;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (!w->isMinimized() && !w->isHidden()) list << w;
    const QRect area = mdi_->viewport()->rect();
    const int n = int(list.size());
    for (int i = 0; i < n; ++i) {
        if (list[i]->isMaximized()) list[i]->showNormal();
        const QRect r = stacked ? QRect(0, area.height() * i / n, area.width(),
                                        area.height() * (i + 1) / n - area.height() * i / n)
                                : QRect(area.width() * i / n, 0,
                                        area.width() * (i + 1) / n - area.width() * i / n, area.height());
        list[i]->setGeometry(r);
    }
}

bool Korl_MainFrame::BehindAnotherTab(QDockWidget* d) const {
    if (d->isFloating() || tabifiedDockWidgets(d).isEmpty()) return false;
    for (QTabBar* bar : findChildren<QTabBar*>(Qt::FindDirectChildrenOnly)) {
        for (int i = 0; i < bar->count(); ++i) {
            if (bar->tabData(i).value<quintptr>() == quintptr(d) || bar->tabText(i) == d->windowTitle())
                return bar->currentIndex() != i;
        }
    }
    return false;
}

void Korl_MainFrame::TidyDockTabs() {
    // Pane names are short: show them whole rather than elided.
    for (QTabBar* bar : findChildren<QTabBar*>(Qt::FindDirectChildrenOnly)) {
        if (bar->elideMode() != Qt::ElideNone) {
            bar->setElideMode(Qt::ElideNone);
            bar->setUsesScrollButtons(true);
        }
    }
}

void Korl_MainFrame::CyclePane(int step) {
    // The MDI area counts as one stop between the panes.
    QList<QWidget*> stops;
    if (QMdiSubWindow* w = mdi_->activeSubWindow()) stops << w->widget();
    for (QDockWidget* d : docks_)
        if (d->isVisible() && !d->visibleRegion().isEmpty()) stops << d->widget();
    if (stops.isEmpty()) return;
    int at = -1;
    for (int i = 0; i < stops.size(); ++i)
        if (stops[i]->isAncestorOf(QApplication::focusWidget()) || stops[i] == QApplication::focusWidget())
            at = i;
    const int next = ((at + step) % int(stops.size()) + int(stops.size())) % int(stops.size());
    stops[next]->setFocus(Qt::ShortcutFocusReason);
}

// ---------------------------------------------------------------------------
// Panes and console

void Korl_MainFrame::ResetPanes() {
    mdi_->closeAllSubWindows();
    compile_->Clear();
    for (Pane p : {DesignBrowserPane, SourceBrowserPane, Examine1Pane, Examine2Pane, StackPane})
        if (auto* tree = qobject_cast<QTreeWidget*>(docks_[p]->widget())) tree->clear();
    console_->ClearConsole();
    breakpoints_.clear();
    if (panesReset_) panesReset_();
}

void Korl_MainFrame::AppendConsole(const QString& text) { console_->AppendConsole(text); }
void Korl_MainFrame::AppendConsoleLine(const QString& text) { console_->AppendConsoleLine(text); }
void Korl_MainFrame::ClearConsole() { console_->ClearConsole(); }
void Korl_MainFrame::SetConsoleInput(std::function<void(const std::string&)> sink) {
    console_->SetInputSink(std::move(sink));
}

void Korl_MainFrame::OnProcessEnded(bool normalEnd) {
    SetConsoleInput({});
    SetFrameState(kBuildCommands, true);
    SetFrameState({ID_BUILD_STOP}, false);
    SetFrameState(kSteppingCommands, false);
    if (!normalEnd) {
        AppendConsoleLine("\r\nKorl: Execution Aborted!");
    } else {
        AppendConsoleLine("\r\nKorl: Execution Done!");
        const std::string vcd = project_.Directory() + project_.VcdFileName() + ".vcd";
        if (FileExists(vcd)) OpenVcdFile(Q(vcd));
    }
    UpdateCommandUI();
}

void Korl_MainFrame::AddBreakpoint(const QString& file, int line) {
    const std::string path = S(file);
    for (const auto& b : breakpoints_)
        if (b.path == path && b.line == line) return;
    breakpoints_.push_back({path, line, 0});
}

void Korl_MainFrame::RemoveBreakpoint(const QString& file, int line) {
    const std::string path = S(file);
    std::erase_if(breakpoints_, [&](const BreakpointRecord& b) { return b.path == path && b.line == line; });
}

QList<int> Korl_MainFrame::BreakpointLines(const QString& file) const {
    const std::string path = S(file);
    QList<int> lines;
    for (const auto& b : breakpoints_)
        if (b.path == path) lines << b.line;
    return lines;
}

// ---------------------------------------------------------------------------
// Project commands

void Korl_MainFrame::AfterProjectOpened() {
    ResetPanes();
    projectOpen_ = project_.IsOpen();
    SetFrameState({ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START}, projectOpen_);
    docks_[ProjectBrowserPane]->show();
    docks_[ProjectBrowserPane]->raise();
    UpdateCommandUI();
}

void Korl_MainFrame::LoadProject(const QString& path) {
    project_.Load(S(QFileInfo(path).absoluteFilePath()));
    AfterProjectOpened();
}

void Korl_MainFrame::OnNewProject() {
    if (NewProjectDialog(this, project_)) AfterProjectOpened();
}

void Korl_MainFrame::OnOpenProject() {
    if (OpenProjectDialog(this, project_)) AfterProjectOpened();
}

void Korl_MainFrame::OnCloseProject() {
    if (!project_.Close(PromptButtons::YesNoCancel)) return;
    ResetPanes();
    projectOpen_ = false;
    SetFrameState({ID_BUILD_BUILD, ID_BUILD_REBUILD_ALL, ID_ELABORATE, ID_DEBUG_START}, false);
    UpdateCommandUI();
}

void Korl_MainFrame::OnOptions() {
    Korl_ProjectPropertySheet sheet(project_,
                                    QApplication::activeWindow() ? QApplication::activeWindow() : this);
    sheet.exec();
    UpdateCommandUI();
}

void Korl_MainFrame::OnAddNewFile() {
    auto result = AddNewFileDialog(this, project_);
    if (!result) return;
    OpenDocument(Q(result->path),
                 Q(result->displayTitle.empty() ? FileNameOf(result->path) : result->displayTitle));
}

void Korl_MainFrame::OnAddExistingFile() { AddExistingFilesDialog(this, project_); }

void Korl_MainFrame::OnSaveAll() {
    if (!project_.Save()) ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
    // The active child first, then the others in window order.
    QList<QMdiSubWindow*> order = mdi_->subWindowList(QMdiArea::StackingOrder);
    std::reverse(order.begin(), order.end());
    for (QMdiSubWindow* w : order) SendToChild(w, ID_FILE_SAVE);
}

void Korl_MainFrame::OnOpenFiles() {
    FileDialogRequest r;
    r.kind = FileDialogRequest::OpenMany;
    r.caption = "Open";
    r.filters = SourceFileFilters();
    FileDialogResult res = RunFileDialog(this, r);
    if (!res.accepted) return;
    for (const QString& f : res.files) OpenDocument(f, QFileInfo(f).fileName());
}

void Korl_MainFrame::OnOpenVcd() {
    FileDialogRequest r;
    r.kind = FileDialogRequest::OpenOne;
    r.caption = "Open VCD File";
    r.filters = VcdFileFilters();
    FileDialogResult res = RunFileDialog(this, r);
    if (res.accepted && !res.files.isEmpty()) OpenVcdFile(res.files.first());
}

void Korl_MainFrame::OpenVcdFile(const QString& path) {
    if (vcdOpener_) {
        vcdOpener_(path);
        return;
    }
    statusBar()->showMessage(QString("%1: the waveform viewer is not available in this version of Korl.")
                                 .arg(QFileInfo(path).fileName()),
                             8000);
}

void Korl_MainFrame::OpenPath(const QString& path) {
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf('.');
    const QString ext = dot >= 0 ? name.mid(dot + 1) : QString();
    const QString full = QFileInfo(path).absoluteFilePath();
    if (ext == "k1")
        LoadProject(full);
    else if (ext == "vcd")
        OpenVcdFile(full);
    else
        OpenDocument(full, name);
}

void Korl_MainFrame::DropFiles(const QStringList& paths) {
    for (const QString& p : paths) OpenPath(p);
}

void Korl_MainFrame::dragEnterEvent(QDragEnterEvent* e) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void Korl_MainFrame::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& u : e->mimeData()->urls())
        if (u.isLocalFile()) paths << u.toLocalFile();
    if (paths.isEmpty()) return;
    e->acceptProposedAction();
    DropFiles(paths);
}

bool Korl_MainFrame::eventFilter(QObject* watched, QEvent* e) { return QMainWindow::eventFilter(watched, e); }

void Korl_MainFrame::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    closing_ = true;
    project_.Close(PromptButtons::YesNo);
    projectOpen_ = false;
    if (runner_->Running()) runner_->Stop();
    ResetPanes();
    if (options_.saveState) {
        QSettings settings;
        const QSize screen =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
        SaveWindowState(*this, settings, screen);
    }
    idleTimer_->stop();
    e->accept();
}

// ---------------------------------------------------------------------------
// Builds

void Korl_MainFrame::SaveOpenProjectFiles() {
    for (Korl_EditorChildFrame* child : EditorChildren())
        if (project_.IsProjectFile(S(ChildPath(child)))) SendToChild(child, ID_FILE_SAVE);
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
        SendToChild(child, ID_FILE_SAVE);
        source = S(path);
    } else {
        SaveOpenProjectFiles();
    }
    compile_->Clear();
    docks_[CompilePane]->show();
    docks_[CompilePane]->raise();
    std::string error;
    if (!runner_->Start(kind, project_, tools_, source, &error)) {
        ShowMessage(this, Q(error), QMessageBox::Ok, QMessageBox::Critical);
        UpdateCommandUI();
        return;
    }
    SetFrameState(kBuildCommands, false);
    SetFrameState({ID_BUILD_STOP}, true);
    WatchBuild();
    statusBar()->showMessage("Building...", 2000);
    UpdateCommandUI();
    emit buildStarted();
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
    SetFrameState(kBuildCommands, true);
    SetFrameState({ID_BUILD_STOP}, false);
    if (result.errors == 0 && result.executableExists && !result.stopped) {
        if (result.kind == BuildKind::Debug) {
            if (debugStarter_)
                debugStarter_(result);
            else
                statusBar()->showMessage(NotAvailableText(ID_DEBUG_START), 8000);
        } else if (result.kind == BuildKind::Elaborate) {
            if (elaborator_)
                elaborator_(result);
            else
                statusBar()->showMessage(NotAvailableText(ID_ELABORATE), 8000);
        }
    }
    UpdateCommandUI();
    emit buildEnded(result);
}

void Korl_MainFrame::OnStopBuild() {
    if (BuildRunning()) runner_->Stop();
}

void Korl_MainFrame::JumpToLine(const QString& lineText) {
    auto target = ParseJumpLine(S(lineText));
    if (!target) return;
    std::string dir = project_.Directory();
    if (dir.empty()) dir = S(QDir::currentPath()) + "/";
    const QString full = Q(ResolveJumpFile(target->file, dir));
    // Titles follow the tree's rule, so a file opened from the tree is found again.
    const QFileInfo fi(full);
    const QString title = Q(DirectoryOf(S(full))) == Q(project_.Directory()) ? fi.fileName() : full;
    OpenDocument(full, title, target->line - 1);
}

// ---------------------------------------------------------------------------
// Title and status panes

void Korl_MainFrame::UpdateTitle() {
    QString title = "Korl";
    if (ActiveChildKind() == ChildKind::Editor) {
        title = editors_->FrameCaption();
    } else if (QMdiSubWindow* w = mdi_->activeSubWindow(); w && !w->isMaximized()) {
        title = "Korl - " + w->windowTitle();
    }
    // While a child is maximised its caption shows beside the frame's.
    if (QMdiSubWindow* w = mdi_->activeSubWindow(); w && w->isMaximized()) return;
    if (windowTitle() != title) setWindowTitle(title);
}

void Korl_MainFrame::SetStatusPanes(const QString& position, const QString& overtype,
                                    const QString& readOnly) {
    positionPane_->setText(position);
    overtypePane_->setText(overtype);
    readOnlyPane_->setText(readOnly);
}
