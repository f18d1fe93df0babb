// The editor children and their manager on the frame's MDI area.
#include "editor/editor_document.h"

#include "base/qt/strings.h"
#include "base/short_name.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QTimer>

#include "editor/editor_prompts.h"

// --- Korl_EditorChildFrame --------------------------------------------------------

Korl_EditorChildFrame::Korl_EditorChildFrame(Korl_EditorManager* manager) : QMdiSubWindow(nullptr) {
    setAttribute(Qt::WA_DeleteOnClose);
    view_ = new Korl_EditorView(this, manager);
    setWidget(view_);
    setWindowTitle(view_->DocumentTitle());
}

void Korl_EditorChildFrame::closeEvent(QCloseEvent* e) {
    // The child closes whatever the answer and whether the save worked.
    if (view_->IsModified() &&
        Korl_GetEditorPrompts().askYesNo(this, QStringLiteral("Save Changes to file?"))) {
        view_->SaveDocument();
    }
    QMdiSubWindow::closeEvent(e);
}

// --- Korl_EditorManager ------------------------------------------------------------

Korl_EditorManager::Korl_EditorManager(QMdiArea* area, QObject* parent)
    : QObject(parent), area_(area), checkTimer_(new QTimer(this)) {
    connect(area_, &QMdiArea::subWindowActivated, this, &Korl_EditorManager::OnSubWindowActivated);
    checkTimer_->setInterval(1500);
    connect(checkTimer_, &QTimer::timeout, this, &Korl_EditorManager::CheckActive);
    checkTimer_->start();
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive && checkTimer_->isActive())
            QTimer::singleShot(0, this, &Korl_EditorManager::CheckActive);
    });
}

Korl_EditorManager::~Korl_EditorManager() = default;

void Korl_EditorManager::SetAutoChangeCheck(bool on) {
    if (on) {
        checkTimer_->start();
    } else {
        checkTimer_->stop();
    }
}

void Korl_EditorManager::CheckActive() {
    // Not over another dialog, and not while the user works in another program:
    // the check runs again when Korl becomes active.
    if (QApplication::activeModalWidget() || QGuiApplication::applicationState() != Qt::ApplicationActive)
        return;
    if (Korl_EditorView* view = ActiveView()) view->CheckForOutsideChange();
}

Korl_EditorChildFrame* Korl_EditorManager::CreateChild() {
    auto* child = new Korl_EditorChildFrame(this);
    children_.append({static_cast<QObject*>(child), child});
    connect(child, &QObject::destroyed, this, &Korl_EditorManager::Forget);
    Korl_EditorView* view = child->View();
    connect(view, &Korl_EditorView::statusTextsChanged, this,
            [this, view](const QString& p, const QString& o, const QString& r) {
                if (view == active_) Q_EMIT statusTextsChanged(p, o, r);
            });
    connect(view, &Korl_EditorView::commandStatesChanged, this, [this, view] {
        if (view == active_) Q_EMIT commandStatesChanged();
    });
    connect(view, &Korl_EditorView::titleChanged, this, &Korl_EditorManager::titlesChanged);
    return child;
}

void Korl_EditorManager::Forget(QObject* child) {
    for (qsizetype i = children_.size() - 1; i >= 0; --i) {
        if (children_[i].key == child || children_[i].child.isNull()) children_.removeAt(i);
    }
    // The frame learns about the new active child through subWindowActivated;
    // without one left, the status panes empty.
    if (children_.isEmpty()) {
        active_ = nullptr;
        Q_EMIT activeViewChanged(nullptr);
        Q_EMIT statusTextsChanged(QString(), QString(), QString());
        Q_EMIT commandStatesChanged();
        Q_EMIT titlesChanged();
    }
}

void Korl_EditorManager::Activate(Korl_EditorChildFrame* child) {
    area_->setActiveSubWindow(child);
    if (child->isMinimized()) child->showNormal();
    child->View()->Control()->setFocus();
    OnSubWindowActivated(child);
}

void Korl_EditorManager::OnSubWindowActivated(QMdiSubWindow* window) {
    // The area reports "no window" while Korl itself is inactive; the current
    // child stays the one commands go to.
    if (!window) window = area_->currentSubWindow();
    auto* child = qobject_cast<Korl_EditorChildFrame*>(window);
    Korl_EditorView* view = child ? child->View() : nullptr;
    if (view == active_ && window) return;
    active_ = view;
    Q_EMIT activeViewChanged(view);
    if (view) {
        Q_EMIT statusTextsChanged(view->PositionText(), view->OvertypeText(), view->ReadOnlyText());
    } else {
        Q_EMIT statusTextsChanged(QString(), QString(), QString());
    }
    Q_EMIT commandStatesChanged();
    Q_EMIT titlesChanged();
    if (view && checkTimer_->isActive()) QTimer::singleShot(0, this, &Korl_EditorManager::CheckActive);
}

void Korl_EditorManager::Place(Korl_EditorChildFrame* child) {
    // Follow a maximised active child; otherwise take most of the area.
    const bool maximized = area_->currentSubWindow() && area_->currentSubWindow()->isMaximized();
    area_->addSubWindow(child);
    if (maximized) {
        child->showMaximized();
    } else {
        const QSize room = area_->viewport()->size();
        child->resize(std::max(420, room.width() * 3 / 4), std::max(300, room.height() * 3 / 4));
        child->show();
    }
    Activate(child);
}

Korl_EditorChildFrame* Korl_EditorManager::NewDocument() {
    Korl_EditorChildFrame* child = CreateChild();
    Place(child);
    return child;
}

Korl_EditorChildFrame* Korl_EditorManager::FindDocument(const QString& fullPath,
                                                        const QString& shortName) const {
    if (fullPath.isEmpty()) return nullptr;
    for (Korl_EditorChildFrame* child : Documents()) {
        const Korl_EditorView* view = child->View();
        if (view->FullPath() == fullPath && view->ShortName() == shortName) return child;
    }
    return nullptr;
}

Korl_EditorChildFrame* Korl_EditorManager::OpenDocument(const QString& fullPath, const QString& shortName) {
    if (Korl_EditorChildFrame* found = FindDocument(fullPath, shortName)) {
        Activate(found);
        return found;
    }
    Korl_EditorChildFrame* child = CreateChild();
    if (!child->View()->LoadDocument(fullPath, shortName)) {
        delete child;
        return nullptr;
    }
    if (host_) {
        for (int line : host_->BreakpointLines(fullPath)) child->View()->SetBreakpointMark(line - 1, true);
    }
    Place(child);
    return child;
}

Korl_EditorChildFrame* Korl_EditorManager::OpenDocumentAtLine(const QString& fullPath,
                                                              const QString& shortName, int line0) {
    Korl_EditorChildFrame* child = OpenDocument(fullPath, shortName);
    if (child) child->View()->GoToLine(line0);
    return child;
}

Korl_EditorChildFrame* Korl_EditorManager::ShowPosition(const QString& fullPath, const QString& shortName,
                                                        int line0) {
    Korl_EditorChildFrame* child = OpenDocument(fullPath, shortName);
    if (child && line0 >= 0) {
        child->View()->GoToLine(line0);
        child->View()->SetHighlightedLine(line0);
    }
    return child;
}

void Korl_EditorManager::ClearPosition(const QString& fullPath, const QString& shortName) {
    if (Korl_EditorChildFrame* child = FindDocument(fullPath, shortName))
        child->View()->SetHighlightedLine(-1);
}

QList<Korl_EditorChildFrame*> Korl_EditorManager::Documents() const {
    QList<Korl_EditorChildFrame*> out;
    for (const Entry& e : children_) {
        if (e.child) out << e.child.data();
    }
    return out;
}

Korl_EditorChildFrame* Korl_EditorManager::ActiveChild() const {
    return qobject_cast<Korl_EditorChildFrame*>(area_->currentSubWindow());
}

Korl_EditorView* Korl_EditorManager::ActiveView() const {
    Korl_EditorChildFrame* child = ActiveChild();
    return child ? child->View() : nullptr;
}

QList<Korl_EditorChildFrame*> Korl_EditorManager::DocumentsOfPath(const QString& fullPath) const {
    QList<Korl_EditorChildFrame*> out;
    if (fullPath.isEmpty()) return out;
    for (Korl_EditorChildFrame* child : Documents()) {
        if (child->View()->FullPath() == fullPath) out << child;
    }
    return out;
}

void Korl_EditorManager::SetBreakpointMark(const QString& fullPath, int line, bool on) {
    for (Korl_EditorChildFrame* child : DocumentsOfPath(fullPath))
        child->View()->SetBreakpointMark(line - 1, on);
}

void Korl_EditorManager::MoveBreakpointMark(const QString& fullPath, int fromLine, int toLine) {
    if (fromLine == toLine) return;
    for (Korl_EditorChildFrame* child : DocumentsOfPath(fullPath)) {
        child->View()->SetBreakpointMark(fromLine - 1, false);
        child->View()->SetBreakpointMark(toLine - 1, true);
    }
}

bool Korl_EditorManager::SaveAllDocuments() {
    // The active document first, then the others in window order.
    QList<Korl_EditorChildFrame*> order;
    if (Korl_EditorChildFrame* active = ActiveChild()) order << active;
    for (QMdiSubWindow* window : area_->subWindowList(QMdiArea::CreationOrder)) {
        auto* child = qobject_cast<Korl_EditorChildFrame*>(window);
        if (child && !order.contains(child)) order << child;
    }
    bool ok = true;
    for (Korl_EditorChildFrame* child : order) ok = child->View()->SaveDocument() && ok;
    return ok;
}

void Korl_EditorManager::CloseAllDocuments() {
    for (Korl_EditorChildFrame* child : Documents()) child->close();
}

QString Korl_EditorManager::FileNameRule(const QString& fullPath) {
    const int slash = fullPath.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? fullPath : fullPath.mid(slash + 1);
}

QString Korl_EditorManager::ProjectRule(const QString& fullPath, const QString& projectDir) {
    return korl::Q(korl::ProjectShortName(korl::S(fullPath), korl::S(projectDir)));
}

QString Korl_EditorManager::FrameCaption() const {
    Korl_EditorChildFrame* child = ActiveChild();
    if (!child || child->isMaximized()) return QStringLiteral("Korl");
    return QStringLiteral("Korl - ") + child->View()->DocumentTitle();
}
