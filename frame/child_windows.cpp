// The frame's side of the MDI children: editor documents through the editor
// manager, and the editor command context. Other kinds of children (wave
// windows) register their own context and claim their windows.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QStatusBar>

#include "base/command_ids.h"
#include "base/qt/strings.h"
#include "frame/command_table.h"
#include "frame/main_frame.h"
#include "frame/panes.h"
#include "project/qt/dialogs.h"
#include "project/qt/workspace.h"

using namespace korl;

namespace {

// Commands an editor document carries out itself.
bool IsEditorCommand(int id) { return IsDocumentCommand(id) || IsEditCommand(id); }

} // namespace

void Korl_MainFrame::CreateEditors() {
    editors_ = new Korl_EditorManager(mdi_, this);
    editors_->SetBreakpointHost(this);
    connect(editors_, &Korl_EditorManager::statusTextsChanged, this, &Korl_MainFrame::SetStatusPanes);
    connect(editors_, &Korl_EditorManager::commandStatesChanged, commands_,
            &Korl_CommandRegistry::NotifyStatesChanged);
    connect(editors_, &Korl_EditorManager::titlesChanged, this, &Korl_MainFrame::UpdateTitle);
    connect(editors_, &Korl_EditorManager::filesDropped, this, &Korl_MainFrame::DropFiles);
}

void Korl_MainFrame::RegisterEditorCommands() {
    commands_->SetChildClaim(Korl_CommandContext::Editor, [](QMdiSubWindow* w) {
        return qobject_cast<Korl_EditorChildFrame*>(w) != nullptr;
    });
    for (const CommandInfo& c : CommandTable()) {
        if (!IsEditorCommand(c.id)) continue;
        const int id = c.id;
        commands_->Register(
            Korl_CommandContext::Editor, id,
            [this, id] {
                if (Korl_EditorView* view = editors_->ActiveView()) view->OnCommand(id);
            },
            [this, id] {
                Korl_CommandState s;
                Korl_EditorView* view = editors_->ActiveView();
                if (!view || !view->CommandState(id, &s.enabled, &s.checked)) return Korl_CommandState{};
                return s;
            });
    }
}

QMdiSubWindow* Korl_MainFrame::ActiveChild() const { return mdi_->activeSubWindow(); }

Korl_MainFrame::ChildKind Korl_MainFrame::ActiveChildKind() const {
    QMdiSubWindow* w = mdi_->activeSubWindow();
    if (!w) return ChildKind::None;
    switch (commands_->ContextOf(w)) {
        case Korl_CommandContext::Editor:
            return ChildKind::Editor;
        case Korl_CommandContext::Wave:
            return ChildKind::Wave;
        default:
            return ChildKind::Other;
    }
}

QList<Korl_EditorChildFrame*> Korl_MainFrame::EditorChildren() const { return editors_->Documents(); }

QString Korl_MainFrame::ChildPath(QMdiSubWindow* child) {
    auto* editor = qobject_cast<Korl_EditorChildFrame*>(child);
    return editor && editor->View() ? editor->View()->FullPath() : QString();
}

QString Korl_MainFrame::ChildTitle(QMdiSubWindow* child) {
    auto* editor = qobject_cast<Korl_EditorChildFrame*>(child);
    if (editor && editor->View()) return editor->View()->DocumentTitle();
    return child ? child->windowTitle() : QString();
}

Korl_EditorChildFrame* Korl_MainFrame::OpenDocument(const QString& fullPath, const QString& title, int line) {
    const bool maximize = !mdi_->activeSubWindow() || mdi_->activeSubWindow()->isMaximized();
    Korl_EditorChildFrame* child = line >= 0 ? editors_->OpenDocumentAtLine(fullPath, title, line)
                                             : editors_->OpenDocument(fullPath, title);
    if (child) {
        const bool header = fullPath.endsWith(".h") || fullPath.endsWith(".hpp") || fullPath.endsWith(".hxx");
        child->setWindowIcon(Korl_WorkspaceIcon(header ? kImageHeader : kImageSource));
        if (maximize && !child->isMaximized()) child->showMaximized();
    }
    commands_->NotifyStatesChanged();
    return child;
}

Korl_EditorChildFrame* Korl_MainFrame::NewDocument() {
    const bool maximize = !mdi_->activeSubWindow() || mdi_->activeSubWindow()->isMaximized();
    Korl_EditorChildFrame* child = editors_->NewDocument();
    if (child) child->setWindowIcon(Korl_WorkspaceIcon(kImageSource));
    if (child && maximize) child->showMaximized();
    commands_->NotifyStatesChanged();
    return child;
}

bool Korl_MainFrame::CloseAllChildren(bool withProject) {
    if (!editors_->QueryCloseAll()) return false;
    if (withProject && project_.IsModified()) {
        switch (closePrompt_(project_.ClosePromptText(), PromptButtons::YesNoCancel)) {
            case PromptAnswer::Yes:
                if (!project_.Save()) {
                    ShowMessage(this, Q(project_.LastError()), QMessageBox::Ok, QMessageBox::Warning);
                    editors_->ForgetCloseAnswers();
                    return false;
                }
                break;
            case PromptAnswer::No:
                projectDiscardAnswered_ = true;
                break;
            case PromptAnswer::Cancel:
                editors_->ForgetCloseAnswers();
                return false;
        }
    }
    // Other children (wave windows) ask their own question as they close;
    // one that stays open stops the whole close.
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (qobject_cast<Korl_EditorChildFrame*>(w)) continue;
        if (!w->close()) {
            editors_->ForgetCloseAnswers();
            projectDiscardAnswered_ = false;
            return false;
        }
    }
    for (Korl_EditorChildFrame* child : editors_->Documents()) child->close();
    return true;
}

void Korl_MainFrame::CloseChildByIdentity(const QString& path, const QString& title) {
    if (Korl_EditorChildFrame* child = editors_->FindDocument(path, title)) child->close();
}

bool Korl_MainFrame::SaveChild(QMdiSubWindow* child) {
    // Editors save through the document's own save (it skips unchanged
    // files); other children through their context's Save, made active for it.
    if (auto* editor = qobject_cast<Korl_EditorChildFrame*>(child))
        return editor->View() && editor->View()->OnCommand(ID_FILE_SAVE);
    if (!child || commands_->ContextOf(child) == Korl_CommandContext::Frame) return false;
    QMdiSubWindow* active = mdi_->activeSubWindow();
    commands_->SetActiveChild(child);
    const bool done = commands_->Dispatch(ID_FILE_SAVE);
    commands_->SetActiveChild(active);
    return done;
}

// ---------------------------------------------------------------------------
// Breakpoints: the one table, shared with each debug session

void Korl_MainFrame::AddBreakpoint(const QString& file, int line) {
    if (breakpoints_.Has(S(file), line)) return;
    breakpoints_.AddBreakpoint(S(file), line);
    Q_EMIT events_->breakpointsChanged();
}

void Korl_MainFrame::RemoveBreakpoint(const QString& file, int line) {
    if (!breakpoints_.Has(S(file), line)) return;
    breakpoints_.RemoveBreakpoint(S(file), line);
    Q_EMIT events_->breakpointsChanged();
}

QList<int> Korl_MainFrame::BreakpointLines(const QString& file) const {
    QList<int> lines;
    for (int line : breakpoints_.LinesOf(S(file))) lines << line;
    return lines;
}
