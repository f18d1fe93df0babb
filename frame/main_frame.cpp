#include "frame/main_frame.h"

#include <QApplication>
#include <QChildEvent>
#include <QCloseEvent>
#include <QDockWidget>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTabBar>
#include <QToolBar>

#include "base/qt/strings.h"
#include "base/command_ids.h"
#include "frame/command_table.h"
#include "frame/icons.h"
#include "frame/panes.h"
#include "frame/window_state.h"
#include "project/qt/dialogs.h"
#include "project/qt/tool_settings.h"
#include "project/qt/workspace.h"

using namespace korl;

Korl_MainFrame::Korl_MainFrame() : Korl_MainFrame(Options{}) {}

Korl_MainFrame::Korl_MainFrame(Options options, QWidget* parent) : QMainWindow(parent), options_(options) {
    setObjectName("MainFrame");
    setWindowTitle("Korl");
    QApplication::setWindowIcon(KorlIcon("korl"));
    setWindowIcon(KorlIcon("korl"));
    setAcceptDrops(true);
    setDockOptions(AnimatedDocks | AllowTabbedDocks | AllowNestedDocks);
    tools_ = ToolLayoutFromSettings();
    closePrompt_ = MakeClosePrompt(this);
    // A question answered before the children closed is not asked again.
    project_.SetClosePrompt([this](const std::string& text, PromptButtons buttons) {
        if (projectDiscardAnswered_) {
            projectDiscardAnswered_ = false;
            return PromptAnswer::No;
        }
        return closePrompt_(text, buttons);
    });
    commands_ = new Korl_CommandRegistry(this);
    events_ = new Korl_FrameEvents(this);

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("MdiArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setBackground(QColor(0x8A, 0x93, 0xA3));
    setCentralWidget(mdi_);
    connect(mdi_, &QMdiArea::subWindowActivated, this, &Korl_MainFrame::OnActiveChildChanged);

    CreateActions();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreatePanes();
    CreateEditors();
    CreateBuildRunner();
    RegisterFrameCommands();
    RegisterEditorCommands();
    // Menus and toolbar follow the registry: every event that changes a
    // command's state says so there.
    connect(commands_, &Korl_CommandRegistry::statesChanged, this, &Korl_MainFrame::UpdateCommandUI);
    // gdb may put a breakpoint on a later line than asked: the marks follow.
    breakpoints_.SetMovedCallback([this](const std::string& file, int oldLine, int newLine) {
        if (editors_) editors_->MoveBreakpointMark(Q(file), oldLine, newLine);
    });

    ApplyDefaultLayout();
    if (options_.restoreState) {
        QSettings settings;
        const QSize screen =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
        RestoreWindowState(*this, settings, screen);
    }
    RebuildMenuBar();
    UpdateCommandUI();
}

Korl_MainFrame::~Korl_MainFrame() {
    // Parts owned as child objects outlive the members below.
    Q_EMIT events_->frameDestroying();
    // Children closing during destruction must not reach a half-destroyed frame.
    disconnect(mdi_, nullptr, this, nullptr);
    disconnect(commands_, nullptr, this, nullptr);
    if (editors_) disconnect(editors_, nullptr, this, nullptr);
    UnwatchBuild();
    runner_.reset();
    // The tree listens to project_, which dies with the frame's members,
    // before QWidget's destructor would get to the tree.
    delete workspace_;
}

void Korl_MainFrame::OnActiveChildChanged() {
    if (QMdiSubWindow* w = mdi_->activeSubWindow()) {
        // Wave windows rename themselves ("*" while modified): the title follows.
        connect(w, &QWidget::windowTitleChanged, this, &Korl_MainFrame::UpdateTitle, Qt::UniqueConnection);
        connect(w, &QMdiSubWindow::windowStateChanged, this, &Korl_MainFrame::UpdateTitle,
                Qt::UniqueConnection);
    }
    commands_->SetActiveChild(mdi_->activeSubWindow());
    RebuildMenuBar();
    UpdateTitle();
    commands_->NotifyStatesChanged();
}

// ---------------------------------------------------------------------------
// Actions, menus, toolbar

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
                   ID_VIEW_EXAMINE2, ID_VIEW_STACK, ID_VIEW_PROBLEMS, ID_EDIT_SHOW_WHITESPACE})
        actions_[id]->setCheckable(true);
}

QAction* Korl_MainFrame::Action(int id) const { return actions_.value(id); }

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
        if (k == 0) {
            recentFilesMenu_ = new QMenu("Recent &Files", this);
            recentFilesMenu_->setObjectName("RecentFilesMenu");
            recentProjectsMenu_ = new QMenu("Recent Pro&jects", this);
            recentProjectsMenu_->setObjectName("RecentProjectsMenu");
            connect(recentFilesMenu_, &QMenu::aboutToShow, this,
                    [this] { FillRecentMenu(recentFilesMenu_, false); });
            connect(recentProjectsMenu_, &QMenu::aboutToShow, this,
                    [this] { FillRecentMenu(recentProjectsMenu_, true); });
        }
        m->addMenu(recentFilesMenu_);
        m->addMenu(recentProjectsMenu_);
        m->addSeparator();
        add(m, {ID_APP_EXIT});
    }
    FillRecentMenu(recentFilesMenu_, false);
    FillRecentMenu(recentProjectsMenu_, true);
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
                    ID_VIEW_SOURCE_BROWSER, ID_VIEW_CONSOLE, ID_VIEW_COMPILE, ID_VIEW_PROBLEMS,
                    ID_VIEW_EXAMINE1, ID_VIEW_EXAMINE2, ID_VIEW_STACK});
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

void Korl_MainFrame::FillRecentMenu(QMenu* menu, bool projects) {
    menu->clear();
    const QStringList entries = (projects ? recentProjects_ : recentFiles_).Entries();
    int n = 1;
    for (const QString& path : entries) {
        QAction* a = menu->addAction(QString("&%1 %2").arg(n++).arg(path));
        connect(a, &QAction::triggered, this, [this, path, projects] { OpenRecent(path, projects); });
    }
    menu->setEnabled(!entries.isEmpty());
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
    connect(toolbar_, &QToolBar::visibilityChanged, commands_, &Korl_CommandRegistry::NotifyStatesChanged);
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
    bar->showMessage(baseStatus_);
    // Between messages the bar shows "Ready" or the project's last word.
    connect(bar, &QStatusBar::messageChanged, this, [this, bar](const QString& m) {
        if (m.isEmpty()) bar->showMessage(baseStatus_);
    });
}

void Korl_MainFrame::ShowStatusMessage(const QString& text, int timeoutMs) {
    if (timeoutMs <= 0) baseStatus_ = text.isEmpty() ? QString("Ready") : text;
    statusBar()->showMessage(text, timeoutMs);
}

QString Korl_MainFrame::StatusText() const { return statusBar()->currentMessage(); }

void Korl_MainFrame::ClearProjectStatus() {
    baseStatus_ = "Ready";
    statusBar()->clearMessage();
}

bool Korl_MainFrame::event(QEvent* e) {
    // Hover texts of menus and buttons are transient: they go when the
    // pointer leaves, and after a while in any case.
    if (e->type() == QEvent::StatusTip) {
        const QString tip = static_cast<QStatusTipEvent*>(e)->tip();
        if (!tip.isEmpty()) {
            lastTip_ = tip;
            statusBar()->showMessage(tip, 4000);
        } else if (!lastTip_.isEmpty() && statusBar()->currentMessage() == lastTip_) {
            lastTip_.clear();
            statusBar()->clearMessage();
        }
        return true;
    }
    return QMainWindow::event(e);
}

void Korl_MainFrame::AddStatusWidget(QWidget* widget) { statusBar()->addPermanentWidget(widget); }

QWidget* Korl_MainFrame::PromptParent() {
    QWidget* active = QApplication::activeWindow();
    return active ? active : this;
}

// ---------------------------------------------------------------------------
// Title, status panes, window events

void Korl_MainFrame::UpdateTitle() {
    // "Korl - PROJECT - FILE". A maximised child's caption is added by the
    // MDI area itself (" - [FILE]"), which takes the frame's text set here as
    // the part before it.
    QString title = "Korl";
    if (projectOpen_ && project_.IsOpen()) title += " - " + Q(project_.Title());
    QMdiSubWindow* w = mdi_->activeSubWindow();
    if (!w) w = mdi_->currentSubWindow();
    if (w && !w->isMaximized()) {
        const QString child = ChildTitle(w);
        if (!child.isEmpty()) title += " - " + child;
    }
    if (w && w->isMaximized()) {
        const QString shown = title + " - [" + w->windowTitle() + "]";
        if (windowTitle() == shown) return;
    }
    if (windowTitle() != title) setWindowTitle(title);
}

void Korl_MainFrame::SetStatusPanes(const QString& position, const QString& overtype,
                                    const QString& readOnly) {
    positionPane_->setText(position);
    overtypePane_->setText(overtype);
    readOnlyPane_->setText(readOnly);
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

void Korl_MainFrame::childEvent(QChildEvent* e) {
    QMainWindow::childEvent(e);
    // The dock tab bars are created by the layout as panes get tabbed.
    if (e->polished() && qobject_cast<QTabBar*>(e->child())) TidyDockTabs();
}

void Korl_MainFrame::closeEvent(QCloseEvent* e) {
    if (closing_) {
        e->accept();
        return;
    }
    // Every question first; Cancel on any keeps Korl open with all its work.
    if (!CloseAllChildren(true)) {
        e->ignore();
        return;
    }
    closing_ = true;
    project_.Close(PromptButtons::YesNo); // answered above
    projectDiscardAnswered_ = false;
    projectOpen_ = false;
    if (runner_->Running()) runner_->Stop();
    ResetPanes();
    if (options_.saveState) {
        QSettings settings;
        const QSize screen =
            QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->size() : QSize();
        SaveWindowState(*this, settings, screen);
    }
    e->accept();
}
