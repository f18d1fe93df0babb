// Project commands (new, open, close, options, adding files) and opening
// files by path, dialog or drop.
#include <QApplication>
#include <QDockWidget>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>

#include "base/qt/strings.h"
#include "base/command_ids.h"
#include "frame/main_frame.h"
#include "project/paths.h"
#include "project/qt/dialogs.h"
#include "project/qt/propertysheet.h"
#include "project/qt/workspace.h"

using namespace korl;

void Korl_MainFrame::AfterProjectOpened() {
    ResetPanes();
    projectOpen_ = project_.IsOpen();
    if (projectOpen_) NoteRecent(Q(project_.FilePath()), true);
    ShowPane(Korl_Pane::ProjectBrowser);
    UpdateTitle();
    commands_->NotifyStatesChanged();
}

bool Korl_MainFrame::LoadProject(const QString& path) {
    if (!CloseAllChildren(true)) return false;
    const bool loaded = project_.Load(S(QFileInfo(path).absoluteFilePath()));
    projectDiscardAnswered_ = false;
    if (!loaded) {
        ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
        return false;
    }
    AfterProjectOpened();
    return true;
}

void Korl_MainFrame::OnNewProject() {
    const QString path = ChooseNewProjectFile(this);
    if (path.isEmpty() || !CloseAllChildren(true)) return;
    const bool written = project_.NewProject(S(path));
    projectDiscardAnswered_ = false;
    if (!written && !project_.LastError().empty())
        ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
    AfterProjectOpened();
}

void Korl_MainFrame::OnOpenProject() {
    const QString path = ChooseProjectFileToOpen(this);
    if (!path.isEmpty()) LoadProject(path);
}

void Korl_MainFrame::OnCloseProject() {
    if (!CloseAllChildren(true)) return;
    project_.Close(PromptButtons::YesNoCancel); // answered above
    projectDiscardAnswered_ = false;
    ResetPanes();
    projectOpen_ = false;
    UpdateTitle();
    commands_->NotifyStatesChanged();
}

void Korl_MainFrame::NoteRecent(const QString& path, bool project) {
    (project ? recentProjects_ : recentFiles_).Add(path);
    // An empty list's menu is disabled and never asks to be filled: fill it now.
    FillRecentMenu(project ? recentProjectsMenu_ : recentFilesMenu_, project);
}

void Korl_MainFrame::OpenRecent(const QString& path, bool project) {
    if (!QFileInfo::exists(path)) {
        (project ? recentProjects_ : recentFiles_).Remove(path);
        FillRecentMenu(project ? recentProjectsMenu_ : recentFilesMenu_, project);
        ShowMessage(this, QString("%1 no longer exists; it has been removed from the list.").arg(path),
                    QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    if (project) {
        LoadProject(path);
    } else {
        OpenPath(path);
    }
}

void Korl_MainFrame::OnOptions() {
    Korl_ProjectPropertySheet sheet(project_, PromptParent());
    sheet.exec();
}

void Korl_MainFrame::OnAddNewFile() {
    auto result = AddNewFileDialog(this, project_);
    if (!result) return;
    if (OpenDocument(Q(result->path),
                     Q(result->displayTitle.empty() ? FileNameOf(result->path) : result->displayTitle)))
        NoteRecent(Q(result->path), false);
}

void Korl_MainFrame::OnAddExistingFile() { AddExistingFilesDialog(this, project_); }

void Korl_MainFrame::OnSaveAll() {
    if (!project_.Save()) ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
    // The active child first, then the others in window order.
    QList<QMdiSubWindow*> order = mdi_->subWindowList(QMdiArea::StackingOrder);
    std::reverse(order.begin(), order.end());
    for (QMdiSubWindow* w : order) SaveChild(w);
}

void Korl_MainFrame::OnOpenFiles() {
    FileDialogRequest r;
    r.kind = FileDialogRequest::OpenMany;
    r.caption = "Open";
    r.filters = SourceFileFilters();
    FileDialogResult res = RunFileDialog(this, r);
    if (!res.accepted) return;
    for (const QString& f : res.files)
        if (OpenDocument(f, QFileInfo(f).fileName())) NoteRecent(QFileInfo(f).absoluteFilePath(), false);
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
    if (vcdOpener_) vcdOpener_(path);
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
    else if (OpenDocument(full, name))
        NoteRecent(full, false);
}

void Korl_MainFrame::DropFiles(const QStringList& paths) {
    for (const QString& p : paths) OpenPath(p);
}

void Korl_MainFrame::ProcessEnded(bool normalEnd) {
    SetConsoleInput({});
    if (!normalEnd) {
        AppendConsoleLine("\r\nKorl: Execution Aborted!");
    } else {
        AppendConsoleLine("\r\nKorl: Execution Done!");
        const std::string vcd = project_.Directory() + project_.VcdFileName() + ".vcd";
        if (FileExists(vcd)) OpenVcdFile(Q(vcd));
    }
    commands_->NotifyStatesChanged();
}
