// The frame context's commands: registered once with their state rules, so
// menus, toolbar and keys all ask the registry.
#include <QApplication>
#include <QDockWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStatusBar>
#include <QToolBar>

#include "base/qt/strings.h"
#include "base/command_ids.h"
#include "frame/about.h"
#include "frame/arrange.h"
#include "frame/command_table.h"
#include "frame/main_frame.h"
#include "project/qt/dialogs.h"

using namespace korl;

namespace {

// The View menu's pane toggles, in pane order.
const int kPaneToggles[kKorlPaneCount] = {
    ID_VIEW_PROJECT_BROWSER, ID_VIEW_DESIGN_BROWSER, ID_VIEW_SOURCE_BROWSER, ID_VIEW_COMPILE, ID_VIEW_CONSOLE,
    ID_VIEW_EXAMINE1,        ID_VIEW_EXAMINE2,       ID_VIEW_STACK,          ID_VIEW_PROBLEMS};

} // namespace

void Korl_MainFrame::RegisterCommand(int id, std::function<void()> run, std::function<bool()> enabled) {
    Korl_CommandRegistry::StateFn state;
    if (enabled) state = [enabled] { return Korl_CommandState{enabled(), false}; };
    commands_->Register(Korl_CommandContext::Frame, id, std::move(run), std::move(state));
}

void Korl_MainFrame::RegisterFrameCommands() {
    auto hasChild = [this] { return mdi_->activeSubWindow() != nullptr; };
    auto projectOpen = [this] { return projectOpen_; };
    auto canBuildProject = [this] { return projectOpen_ && !BuildRunning(); };

    RegisterCommand(ID_FILE_NEW, [this] { NewDocument(); });
    RegisterCommand(ID_FILE_OPEN, [this] { OnOpenFiles(); });
    RegisterCommand(
        ID_FILE_CLOSE,
        [this] {
            if (QMdiSubWindow* w = mdi_->activeSubWindow()) w->close();
        },
        hasChild);
    RegisterCommand(ID_PROJECT_NEW, [this] { OnNewProject(); });
    RegisterCommand(ID_PROJECT_OPEN, [this] { OnOpenProject(); });
    RegisterCommand(
        ID_PROJECT_SAVE,
        [this] {
            if (!project_.Save())
                ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
        },
        projectOpen);
    RegisterCommand(
        ID_PROJECT_CLOSE, [this] { OnCloseProject(); }, projectOpen);
    RegisterCommand(ID_OPEN_VCD, [this] { OnOpenVcd(); });
    RegisterCommand(ID_FILE_SAVE_ALL, [this] { OnSaveAll(); });
    RegisterCommand(ID_APP_EXIT, [this] { close(); });
    RegisterCommand(ID_APP_ABOUT, [this] { ShowAbout(); });

    commands_->Register(
        Korl_CommandContext::Frame, ID_VIEW_TOOLBAR, [this] { toolbar_->setVisible(toolbar_->isHidden()); },
        [this] {
            return Korl_CommandState{true, !toolbar_->isHidden()};
        });
    commands_->Register(
        Korl_CommandContext::Frame, ID_VIEW_STATUS_BAR,
        [this] { statusBar()->setVisible(statusBar()->isHidden()); },
        [this] {
            return Korl_CommandState{true, !statusBar()->isHidden()};
        });
    for (int p = 0; p < kKorlPaneCount; ++p) {
        commands_->Register(
            Korl_CommandContext::Frame, kPaneToggles[p], [this, p] { TogglePane(Korl_Pane(p)); },
            [this, p] {
                return Korl_CommandState{true, !docks_[p]->isHidden()};
            });
    }
    RegisterCommand(ID_NEXT_PANE, [this] { CyclePane(1); });
    RegisterCommand(ID_PREV_PANE, [this] { CyclePane(-1); });

    RegisterCommand(
        ID_BUILD_COMPILE, [this] { StartBuild(BuildKind::Compile); }, [this] { return !BuildRunning(); });
    RegisterCommand(
        ID_BUILD_BUILD, [this] { StartBuild(BuildKind::Build); }, canBuildProject);
    RegisterCommand(
        ID_BUILD_REBUILD_ALL, [this] { StartBuild(BuildKind::RebuildAll); }, canBuildProject);
    RegisterCommand(
        ID_BUILD_STOP, [this] { OnStopBuild(); }, [this] { return BuildRunning(); });
    RegisterCommand(
        ID_ELABORATE, [this] { StartBuild(BuildKind::Elaborate); }, canBuildProject);
    RegisterCommand(
        ID_DEBUG_START, [this] { StartBuild(BuildKind::Debug); }, canBuildProject);
    RegisterCommand(
        ID_PROJECT_ADD_NEW, [this] { OnAddNewFile(); }, projectOpen);
    RegisterCommand(
        ID_PROJECT_ADD_EXISTING, [this] { OnAddExistingFile(); }, projectOpen);
    RegisterCommand(
        ID_PROJECT_OPTIONS, [this] { OnOptions(); }, projectOpen);

    RegisterCommand(
        ID_WINDOW_CASCADE, [this] { mdi_->cascadeSubWindows(); }, hasChild);
    RegisterCommand(
        ID_WINDOW_TILE_HORZ, [this] { TileChildren(true); }, hasChild);
    RegisterCommand(
        ID_WINDOW_TILE_VERT, [this] { TileChildren(false); }, hasChild);
    RegisterCommand(
        ID_WINDOW_ARRANGE, [this] { Korl_ArrangeMinimizedChildren(mdi_); }, hasChild);
}

void Korl_MainFrame::StartDebugBuild() { StartBuild(BuildKind::Debug); }

bool Korl_MainFrame::IsCommandEnabled(int id) { return commands_->State(id).enabled; }

void Korl_MainFrame::OnCommand(int id) { commands_->Dispatch(id); }

void Korl_MainFrame::UpdateCommandUI() {
    for (auto it = actions_.begin(); it != actions_.end(); ++it) {
        QAction* a = it.value();
        const Korl_CommandState state = commands_->State(it.key());
        if (a->isEnabled() != state.enabled) a->setEnabled(state.enabled);
        // A mode command (Zoom Area) becomes checkable once it reports a check mark.
        if (state.checked && !a->isCheckable()) a->setCheckable(true);
        if (a->isCheckable() && a->isChecked() != state.checked) a->setChecked(state.checked);
    }
    Q_EMIT commandStatesChanged();
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

QString Korl_MainFrame::AboutText() const { return Korl_AboutText(tools_); }

void Korl_MainFrame::ShowAbout() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const QString text = AboutText();
    QApplication::restoreOverrideCursor();
    ShowMessage(this, text, QMessageBox::Ok, QMessageBox::Information, "About");
}
