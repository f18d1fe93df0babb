// The panes: their docks and default layout, toggling and cycling, and the
// reset when a project closes.
#include <QApplication>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QTreeWidget>

#include "base/command_ids.h"
#include "frame/main_frame.h"
#include "frame/panes.h"
#include "frame/problems_pane.h"
#include "project/qt/workspace.h"

using namespace korl;

namespace {

struct PaneInfo {
    const char* title;
    const char* objectName;
};

// Titles are the tab texts, blanks included.
const PaneInfo kPanes[kKorlPaneCount] = {
    {"Project Browser", "ProjectBrowser"},
    {"Design Browser", "DesignBrowser"},
    {"Source Browser", "SourceBrowser"},
    {" Compile ", "Compile"},
    {"Virtual Console", "VirtualConsole"},
    {" Examine 1 ", "Examine1"},
    {" Examine 2 ", "Examine2"},
    {" Stack ", "Stack"},
    {" Problems ", "Problems"},
};

} // namespace

void Korl_MainFrame::CreatePanes() {
    for (int i = 0; i < kKorlPaneCount; ++i) {
        auto* dock = new QDockWidget(kPanes[i].title, this);
        dock->setObjectName(kPanes[i].objectName);
        dock->setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                          QDockWidget::DockWidgetFloatable);
        docks_[i] = dock;
        // The View menu's check marks follow the panes.
        connect(dock, &QDockWidget::visibilityChanged, commands_, &Korl_CommandRegistry::NotifyStatesChanged);
    }
    QDockWidget* projectDock = PaneDock(Korl_Pane::ProjectBrowser);
    workspace_ = new Korl_WorkspaceWindow(project_, projectDock);
    projectDock->setWidget(workspace_);
    connect(workspace_, &Korl_WorkspaceWindow::openRequested, this,
            [this](const QString& path, const QString& title) { OpenDocument(path, title); });
    connect(workspace_, &Korl_WorkspaceWindow::compileRequested, this,
            [this](const QString& path, const QString& title) {
                if (OpenDocument(path, title)) OnCommand(korl::ID_BUILD_COMPILE);
            });
    connect(workspace_, &Korl_WorkspaceWindow::itemRemoved, this, &Korl_MainFrame::CloseChildByIdentity);

    PaneDock(Korl_Pane::DesignBrowser)
        ->setWidget(new Korl_PlaceholderTree("Elaborate the project to see its modules.", {},
                                             PaneDock(Korl_Pane::DesignBrowser)));
    PaneDock(Korl_Pane::SourceBrowser)
        ->setWidget(new Korl_PlaceholderTree("Elaborate the project to see its sources.", {},
                                             PaneDock(Korl_Pane::SourceBrowser)));
    compile_ = new Korl_CompileWindow(PaneDock(Korl_Pane::Compile));
    PaneDock(Korl_Pane::Compile)->setWidget(compile_);
    connect(compile_, &Korl_CompileWindow::jumpRequested, this, &Korl_MainFrame::JumpToLine);
    problems_ = new Korl_ProblemsWindow(PaneDock(Korl_Pane::Problems));
    PaneDock(Korl_Pane::Problems)->setWidget(problems_);
    connect(problems_, &Korl_ProblemsWindow::jumpRequested, this, &Korl_MainFrame::JumpToProblem);
    console_ = new Korl_OutputWindow(PaneDock(Korl_Pane::Console));
    PaneDock(Korl_Pane::Console)->setWidget(console_);
    for (Korl_Pane p : {Korl_Pane::Examine1, Korl_Pane::Examine2})
        PaneDock(p)->setWidget(new Korl_PlaceholderTree({}, {"Name", "Value"}, PaneDock(p)));
    PaneDock(Korl_Pane::Stack)
        ->setWidget(new Korl_PlaceholderTree({}, {"Function", "Location"}, PaneDock(Korl_Pane::Stack)));
    for (int i = 0; i < kKorlPaneCount; ++i)
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
    auto dock = [this](Korl_Pane p) { return PaneDock(p); };
    addDockWidget(Qt::LeftDockWidgetArea, dock(Korl_Pane::ProjectBrowser));
    tabifyDockWidget(dock(Korl_Pane::ProjectBrowser), dock(Korl_Pane::DesignBrowser));
    tabifyDockWidget(dock(Korl_Pane::DesignBrowser), dock(Korl_Pane::SourceBrowser));
    addDockWidget(Qt::BottomDockWidgetArea, dock(Korl_Pane::Compile));
    tabifyDockWidget(dock(Korl_Pane::Compile), dock(Korl_Pane::Problems));
    tabifyDockWidget(dock(Korl_Pane::Problems), dock(Korl_Pane::Console));
    tabifyDockWidget(dock(Korl_Pane::Console), dock(Korl_Pane::Examine1));
    tabifyDockWidget(dock(Korl_Pane::Examine1), dock(Korl_Pane::Examine2));
    tabifyDockWidget(dock(Korl_Pane::Examine2), dock(Korl_Pane::Stack));
    dock(Korl_Pane::ProjectBrowser)->raise();
    dock(Korl_Pane::Compile)->raise();
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
    resizeDocks({dock(Korl_Pane::ProjectBrowser)}, {370}, Qt::Horizontal);
    resizeDocks({dock(Korl_Pane::Compile)}, {210}, Qt::Vertical);
    TidyDockTabs();
}

QString Korl_MainFrame::PaneTitle(Korl_Pane pane) { return kPanes[int(pane)].title; }

void Korl_MainFrame::SetPaneWidget(Korl_Pane pane, QWidget* widget) {
    QDockWidget* dock = PaneDock(pane);
    QWidget* old = dock->widget();
    dock->setWidget(widget);
    if (old && old != widget && old != compile_ && old != console_ && old != workspace_ && old != problems_)
        old->deleteLater();
}

QWidget* Korl_MainFrame::PaneContainer(Korl_Pane pane) const { return PaneDock(pane); }

void Korl_MainFrame::ShowPane(Korl_Pane pane) {
    PaneDock(pane)->show();
    PaneDock(pane)->raise();
}

bool Korl_MainFrame::PaneOnScreen(Korl_Pane pane) const { return PaneDock(pane)->isVisible(); }

void Korl_MainFrame::TogglePane(Korl_Pane pane) {
    QDockWidget* d = PaneDock(pane);
    if (d->isHidden()) {
        d->show();
        d->raise();
    } else if (BehindAnotherTab(d)) {
        d->raise(); // bring it forward rather than hide what the user cannot see
    } else {
        d->hide();
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

void Korl_MainFrame::ResetPanes() {
    mdi_->closeAllSubWindows();
    compile_->Clear();
    ShowProblems({});
    ClearProjectStatus();
    for (Korl_Pane p : {Korl_Pane::DesignBrowser, Korl_Pane::SourceBrowser, Korl_Pane::Examine1,
                        Korl_Pane::Examine2, Korl_Pane::Stack})
        if (auto* tree = qobject_cast<QTreeWidget*>(PaneDock(p)->widget())) tree->clear();
    console_->ClearConsole();
    breakpoints_.Clear();
    Q_EMIT events_->projectClosed();
}

void Korl_MainFrame::AppendConsole(const QString& text) { console_->AppendConsole(text); }
void Korl_MainFrame::AppendConsoleLine(const QString& text) { console_->AppendConsoleLine(text); }
void Korl_MainFrame::ClearConsole() { console_->ClearConsole(); }
void Korl_MainFrame::SetConsoleInput(std::function<void(const std::string&)> sink) {
    console_->SetInputSink(std::move(sink));
}
