// The frame's side of the MDI children: editor documents through the editor
// manager, wave windows through their invokable command interface.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStatusBar>

#include "app/commandids.h"
#include "app/commandtable.h"
#include "app/mainframe.h"
#include "app/panes.h"
#include "project/qt/workspace.h"

using namespace korl;

void Korl_MainFrame::CreateEditors() {
    editors_ = new Korl_EditorManager(mdi_, this);
    editors_->SetBreakpointHost(this);
    connect(editors_, &Korl_EditorManager::statusTextsChanged, this, &Korl_MainFrame::SetStatusPanes);
    connect(editors_, &Korl_EditorManager::commandStatesChanged, this, &Korl_MainFrame::UpdateCommandUI);
    connect(editors_, &Korl_EditorManager::titlesChanged, this, &Korl_MainFrame::UpdateTitle);
    connect(editors_, &Korl_EditorManager::filesDropped, this, &Korl_MainFrame::DropFiles);
}

QMdiSubWindow* Korl_MainFrame::ActiveChild() const { return mdi_->activeSubWindow(); }

Korl_MainFrame::ChildKind Korl_MainFrame::ActiveChildKind() const {
    QMdiSubWindow* w = mdi_->activeSubWindow();
    if (!w) return ChildKind::None;
    if (qobject_cast<Korl_EditorChildFrame*>(w)) return ChildKind::Editor;
    if (w->inherits("Waview_ChildFrame") || (w->widget() && w->widget()->inherits("Waview_ChildFrame")) ||
        w->property("korlChildKind").toString() == "wave")
        return ChildKind::Wave;
    return ChildKind::Other;
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
    UpdateCommandUI();
    return child;
}

Korl_EditorChildFrame* Korl_MainFrame::NewDocument() {
    const bool maximize = !mdi_->activeSubWindow() || mdi_->activeSubWindow()->isMaximized();
    Korl_EditorChildFrame* child = editors_->NewDocument();
    if (child) child->setWindowIcon(Korl_WorkspaceIcon(kImageSource));
    if (child && maximize) child->showMaximized();
    UpdateCommandUI();
    return child;
}

void Korl_MainFrame::CloseChildByIdentity(const QString& path, const QString& title) {
    if (Korl_EditorChildFrame* child = editors_->FindDocument(path, title)) child->close();
}

bool Korl_MainFrame::SendToChild(QMdiSubWindow* child, int id) {
    if (!child) return false;
    if (auto* editor = qobject_cast<Korl_EditorChildFrame*>(child)) {
        if (!editor->View()) return false;
        // Saving goes through the document's own save (it skips unchanged files).
        return editor->View()->OnCommand(id);
    }
    // Wave windows and other children: a command they do not know is ignored.
    for (QObject* target : {static_cast<QObject*>(child), static_cast<QObject*>(child->widget())}) {
        if (!target || target->metaObject()->indexOfMethod("OnCommand(int)") < 0) continue;
        bool done = false;
        QMetaObject::invokeMethod(target, "OnCommand", Qt::DirectConnection, Q_RETURN_ARG(bool, done),
                                  Q_ARG(int, id));
        return done;
    }
    return false;
}

bool Korl_MainFrame::RouteToChild(int id) { return SendToChild(mdi_->activeSubWindow(), id); }

int Korl_MainFrame::ChildCommandState(int id, bool* handled) {
    *handled = false;
    QMdiSubWindow* child = mdi_->activeSubWindow();
    if (!child) return 0;
    if (auto* editor = qobject_cast<Korl_EditorChildFrame*>(child)) {
        if (IsWaveCommand(id) || !editor->View()) return 0;
        bool enabled = false, checked = false;
        if (!editor->View()->CommandState(id, &enabled, &checked)) return 0;
        *handled = true;
        return (enabled ? 1 : 0) | (checked ? 2 : 0);
    }
    for (QObject* target : {static_cast<QObject*>(child), static_cast<QObject*>(child->widget())}) {
        if (!target || target->metaObject()->indexOfMethod("CommandFlags(int)") < 0) continue;
        int flags = -1;
        QMetaObject::invokeMethod(target, "CommandFlags", Qt::DirectConnection, Q_RETURN_ARG(int, flags),
                                  Q_ARG(int, id));
        if (flags < 0) return 0;
        *handled = true;
        return flags;
    }
    return 0;
}
