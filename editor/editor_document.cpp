#include "editor/editor_document.h"

#include "base/qt/strings.h"
#include "base/short_name.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QTimer>
#include <QToolTip>
#include <QVBoxLayout>
#include <unistd.h>

#include "editor/qsci.h"

#include "editor/editor_prompts.h"
#include "editor/file_io.h"

namespace {

QString ErrorText(int err) { return QString::fromStdString(korl_editor::SystemErrorText(err)); }

std::int64_t WriteTimeOf(const QString& path) {
    return korl_editor::FileWriteTime(QFile::encodeName(path).toStdString());
}

QsciPrinter& SharedPrinter() {
    static QsciPrinter printer(QPrinter::HighResolution);
    return printer;
}

} // namespace

// --- Korl_EditorView ------------------------------------------------------------

Korl_EditorView::Korl_EditorView(Korl_EditorChildFrame* frame, Korl_EditorManager* manager)
    : QWidget(frame), control_(new Korl_EditControl(this)), frame_(frame), manager_(manager) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(control_);
    setFocusProxy(control_);

    connect(control_, &QsciScintilla::modificationChanged, this, [this](bool) {
        RefreshTitle();
        PostCommandStates();
    });
    connect(control_, &Korl_EditControl::statusChanged, this, [this] {
        EmitStatus();
        PostCommandStates();
    });
    connect(control_, &QsciScintilla::textChanged, this, &Korl_EditorView::PostCommandStates);
    connect(control_, &Korl_EditControl::searchWrapped, this, &Korl_EditorView::OnSearchWrapped);
    connect(control_, &Korl_EditControl::searchFailed, this, [this](const QString& text) {
        Korl_GetEditorPrompts().inform(this, QStringLiteral("Cannot find '%1'").arg(text));
    });
    connect(control_, &Korl_EditControl::styledLineDeleted, this, &Korl_EditorView::OnStyledLineDeleted);
    connect(control_, &QsciScintillaBase::SCN_MODIFIED, this,
            [this](int, int type, const char*, int, int linesAdded, int, int, int, int, int) {
                if (linesAdded != 0 &&
                    (type & (QsciScintillaBase::SC_MOD_INSERTTEXT | QsciScintillaBase::SC_MOD_DELETETEXT)))
                    OnLinesShifted();
            });
    connect(control_, &Korl_EditControl::markMarginClicked, this, &Korl_EditorView::ToggleBreakpointAt);
    // Values on hover, when a provider (the debugger) is installed.
    control_->SendScintilla(QsciScintillaBase::SCI_SETMOUSEDWELLTIME, 500);
    connect(control_, &QsciScintillaBase::SCN_DWELLSTART, this, [this](int position, int x, int y) {
        if (!manager_ || !manager_->Hover() || position < 0) return;
        QString expression;
        int from = int(control_->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONSTART));
        int to = int(control_->SendScintilla(QsciScintillaBase::SCI_GETSELECTIONEND));
        if (from < to && position >= from && position < to) {
            expression = control_->selectedText().simplified();
        } else {
            int line = 0, index = 0;
            control_->lineIndexFromPosition(position, &line, &index);
            expression = control_->wordAtLineIndex(line, index);
        }
        if (expression.isEmpty() || expression.size() > 255) return;
        QPointer<Korl_EditControl> control(control_);
        const QPoint at(x, y);
        manager_->Hover()(expression, [control, at, expression](const QString& value) {
            if (!control || value.isEmpty()) return;
            QToolTip::showText(control->viewport()->mapToGlobal(at), expression + " = " + value, control);
        });
    });
    connect(control_, &QsciScintillaBase::SCN_DWELLEND, this, [] { QToolTip::hideText(); });
    connect(control_, &Korl_EditControl::filesDropped, this, [this](const QStringList& paths) {
        if (manager_) Q_EMIT manager_->filesDropped(paths);
    });
    control_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control_, &QWidget::customContextMenuRequested, this, &Korl_EditorView::ShowContextMenu);
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        connect(clipboard, &QClipboard::dataChanged, this, &Korl_EditorView::PostCommandStates);
    }
    RefreshTitle();
}

Korl_EditorView::~Korl_EditorView() = default;

QString Korl_EditorView::DocumentTitle() const {
    QString title = fullPath_.isEmpty() ? QStringLiteral("Untitled") : shortName_;
    if (IsModified()) title += QLatin1Char('*');
    return title;
}

bool Korl_EditorView::IsModified() const { return control_->IsModified(); }

void Korl_EditorView::RefreshTitle() {
    const QString title = DocumentTitle();
    if (title == title_) return;
    title_ = title;
    if (frame_ && frame_->windowTitle() != title) frame_->setWindowTitle(title);
    Q_EMIT titleChanged(title);
}

bool Korl_EditorView::LoadDocument(const QString& fullPath, const QString& shortName) {
    int err = 0;
    if (!control_->LoadFile(fullPath, &err)) {
        Korl_GetEditorPrompts().warn(this,
                                     QStringLiteral("Failed to load: %1\n\n").arg(fullPath) + ErrorText(err));
        return false;
    }
    fullPath_ = fullPath;
    shortName_ = shortName;
    writeTime_ = WriteTimeOf(fullPath);
    SyncMarks();
    // Files we may not write (installed library sources) open read-only.
    control_->setReadOnly(::access(QFile::encodeName(fullPath).constData(), W_OK) != 0);
    RefreshTitle();
    EmitStatus();
    return true;
}

bool Korl_EditorView::WriteTo(const QString& path) {
    int err = 0;
    if (!control_->SaveFile(path, &err)) {
        Korl_GetEditorPrompts().warn(
            this, QStringLiteral("Error: Failed to save: %1\n\n").arg(path) + ErrorText(err));
        return false;
    }
    writeTime_ = WriteTimeOf(path);
    return true;
}

bool Korl_EditorView::SaveDocument() {
    if (fullPath_.isEmpty()) return SaveDocumentAs();
    if (!control_->IsModified() && WriteTimeOf(fullPath_) == writeTime_) return true;
    const bool ok = WriteTo(fullPath_);
    RefreshTitle();
    return ok;
}

bool Korl_EditorView::SaveDocumentAs() {
    const QString chosen = Korl_GetEditorPrompts().saveFileName(this, fullPath_);
    if (chosen.isEmpty()) return false;
    return SaveDocumentTo(chosen);
}

bool Korl_EditorView::SaveDocumentTo(const QString& path) {
    if (path.isEmpty() || !WriteTo(path)) return false;
    fullPath_ = path;
    shortName_ = Korl_EditorManager::FileNameRule(path);
    control_->setReadOnly(false);
    RefreshTitle();
    EmitStatus();
    if (manager_) Q_EMIT manager_->titlesChanged();
    return true;
}

bool Korl_EditorView::OnCommand(int id) {
    using namespace korl_cmd;
    Korl_EditControl* c = control_;
    switch (id) {
        case FileSave:
            SaveDocument();
            return true;
        case FileSaveAs:
            SaveDocumentAs();
            return true;
        case FilePrint:
            Print();
            return true;
        case FilePrintSetup:
            PrintSetup();
            return true;
        case korl_cmd::OpenCorresponding:
            this->OpenCorresponding();
            return true;
        case EditUndo:
            c->undo();
            return true;
        case EditRedo:
            c->redo();
            return true;
        case EditCut:
            c->cut();
            return true;
        case EditCopy:
            c->copy();
            return true;
        case EditPaste:
            c->paste();
            return true;
        case EditDelete:
            c->RunCommand(Korl_EditControl::CmdDelete);
            return true;
        case EditEraseAll:
            c->RunCommand(Korl_EditControl::CmdSelectAll);
            c->RunCommand(Korl_EditControl::CmdDelete);
            return true;
        case EditSelectAll:
            c->RunCommand(Korl_EditControl::CmdSelectAll);
            return true;
        case EditFind:
            c->RunCommand(Korl_EditControl::CmdFind);
            return true;
        case EditReplace:
            c->RunCommand(Korl_EditControl::CmdReplace);
            return true;
        case EditFindNext:
            c->RunCommand(Korl_EditControl::CmdFindNext);
            return true;
        case EditFindPrevious:
            c->RunCommand(Korl_EditControl::CmdFindPrevious);
            return true;
        case EditFindSelection:
            c->RunCommand(Korl_EditControl::CmdFindSelection);
            return true;
        case EditGotoLine:
            c->RunCommand(Korl_EditControl::CmdGotoLine, -1);
            return true;
        case EditMatchBrace:
            c->RunCommand(Korl_EditControl::CmdMatchBrace);
            return true;
        case EditUpperCase:
            c->RunCommand(Korl_EditControl::CmdUpperCase);
            return true;
        case EditLowerCase:
            c->RunCommand(Korl_EditControl::CmdLowerCase);
            return true;
        case EditTabify:
            c->RunCommand(Korl_EditControl::CmdTabify);
            return true;
        case EditUntabify:
            c->RunCommand(Korl_EditControl::CmdUntabify);
            return true;
        case EditShowWhitespace:
            c->RunCommand(Korl_EditControl::CmdShowWhitespace);
            return true;
        case BookmarkToggle:
            c->RunCommand(Korl_EditControl::CmdBookmarkToggle);
            return true;
        case BookmarkNext:
            c->RunCommand(Korl_EditControl::CmdBookmarkNext);
            return true;
        case BookmarkPrevious:
            c->RunCommand(Korl_EditControl::CmdBookmarkPrevious);
            return true;
        case BookmarkClearAll:
            c->RunCommand(Korl_EditControl::CmdBookmarkClearAll);
            return true;
        case korl_cmd::ToggleBreakpoint:
            this->ToggleBreakpoint();
            return true;
        default:
            return false;
    }
}

bool Korl_EditorView::CommandState(int id, bool* enabled, bool* checked) const {
    using namespace korl_cmd;
    const Korl_EditControl* c = control_;
    bool on = true;
    bool check = false;
    switch (id) {
        case FileSave:
            on = c->IsModified();
            break;
        case FileSaveAs:
        case FilePrint:
        case FilePrintSetup:
        case korl_cmd::OpenCorresponding:
        case EditSelectAll:
        case EditFind:
        case EditFindNext:
        case EditFindPrevious:
        case EditGotoLine:
        case EditMatchBrace:
        case BookmarkToggle:
            break;
        case EditReplace:
        case EditEraseAll:
            on = !c->isReadOnly();
            break;
        case korl_cmd::ToggleBreakpoint:
            on = !fullPath_.isEmpty();
            break;
        case EditUndo:
            on = c->CanUndo();
            break;
        case EditRedo:
            on = c->CanRedo();
            break;
        case EditCut:
            on = c->CanCut();
            break;
        case EditCopy:
            on = c->CanCopy();
            break;
        case EditPaste:
            on = c->CanPaste();
            break;
        case EditDelete:
            on = c->CanDelete();
            break;
        case EditFindSelection:
            on = c->HasSelectionText();
            break;
        case EditUpperCase:
        case EditLowerCase:
        case EditTabify:
        case EditUntabify:
            on = c->HasSelectionText() && !c->isReadOnly();
            break;
        case EditShowWhitespace:
            check = c->ShowsWhitespace();
            break;
        case BookmarkNext:
        case BookmarkPrevious:
        case BookmarkClearAll:
            on = c->BookmarkCount() > 0;
            break;
        default:
            return false;
    }
    if (enabled) *enabled = on;
    if (checked) *checked = check;
    return true;
}

QString Korl_EditorView::PositionText() const {
    // Columns count from 1 for the user, as lines do.
    return QStringLiteral("Ln %1, Col %2").arg(control_->CaretLine() + 1).arg(control_->CaretColumn() + 1);
}

QString Korl_EditorView::OvertypeText() const {
    return control_->IsOvertype() ? QStringLiteral("OVR") : QString();
}

QString Korl_EditorView::ReadOnlyText() const {
    return control_->isReadOnly() ? QStringLiteral("READ") : QString();
}

void Korl_EditorView::PostCommandStates() {
    // Many changes arrive per keystroke; the frame hears about them once.
    if (statesPosted_) return;
    statesPosted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            statesPosted_ = false;
            Q_EMIT commandStatesChanged();
        },
        Qt::QueuedConnection);
}

void Korl_EditorView::EmitStatus() {
    Q_EMIT statusTextsChanged(PositionText(), OvertypeText(), ReadOnlyText());
}

void Korl_EditorView::CheckForOutsideChange() {
    if (!checkAllowed_ || fullPath_.isEmpty()) return;
    const std::int64_t now = WriteTimeOf(fullPath_);
    if (now == 0 || now <= writeTime_) return;
    checkAllowed_ = false;
    QPointer<Korl_EditorView> self(this);
    const bool reload = Korl_GetEditorPrompts().askYesNo(
        this,
        QStringLiteral(
            "%1\n\nThis file has been modified outside of\nthis application.  Do you want to reload it?")
            .arg(shortName_));
    if (!self) return;
    if (reload) {
        const int line = control_->CaretLine();
        int err = 0;
        if (control_->LoadFile(fullPath_, &err)) {
            SyncMarks();
            control_->GotoLine(line);
        } else {
            Korl_GetEditorPrompts().warn(
                this, QStringLiteral("Failed to load: %1\n\n").arg(fullPath_) + ErrorText(err));
        }
        if (!self) return;
    }
    // Asked once per change: whatever the answer, this time is now known.
    const std::int64_t after = WriteTimeOf(fullPath_);
    writeTime_ = after != 0 ? after : now;
    checkAllowed_ = true;
    RefreshTitle();
}

void Korl_EditorView::ToggleBreakpoint() { ToggleBreakpointAt(control_->CaretLine()); }

void Korl_EditorView::ToggleBreakpointAt(int line0) {
    // An unsaved document has no path for a breakpoint record.
    if (fullPath_.isEmpty() || line0 < 0 || line0 >= control_->LineCount()) return;
    const bool marked = HasBreakpointMark(line0);
    Korl_BreakpointHost* host = manager_ ? manager_->BreakpointHost() : nullptr;
    if (host) {
        if (marked) {
            host->RemoveBreakpoint(fullPath_, line0 + 1);
        } else {
            host->AddBreakpoint(fullPath_, line0 + 1);
        }
    }
    // Other documents of the same file (opened under another short name) show it too.
    if (manager_) {
        manager_->SetBreakpointMark(fullPath_, line0 + 1, !marked);
    } else {
        SetBreakpointMark(line0, !marked);
    }
}

void Korl_EditorView::SetBreakpointMark(int line0, bool on) {
    const int style = control_->LineStyle(line0);
    control_->SetLineStyle(
        line0, on ? style | Korl_EditControl::kBreakpointStyle : style & ~Korl_EditControl::kBreakpointStyle);
    SyncMarks();
}

bool Korl_EditorView::HasBreakpointMark(int line0) const {
    return (control_->LineStyle(line0) & Korl_EditControl::kBreakpointStyle) != 0;
}

QList<int> Korl_EditorView::BreakpointMarkLines() const {
    return control_->LinesWithStyle(Korl_EditControl::kBreakpointStyle);
}

void Korl_EditorView::SyncMarks() { marks_ = BreakpointMarkLines(); }

void Korl_EditorView::OnLinesShifted() {
    // Marks keep their order when lines come and go, so old and new pair up.
    const QList<int> now = BreakpointMarkLines();
    Korl_BreakpointHost* host = manager_ ? manager_->BreakpointHost() : nullptr;
    if (host && !fullPath_.isEmpty() && now.size() == marks_.size()) {
        for (qsizetype i = 0; i < now.size(); ++i) {
            if (now[i] != marks_[i]) host->MoveBreakpoint(fullPath_, marks_[i] + 1, now[i] + 1);
        }
    }
    marks_ = now;
}

void Korl_EditorView::OnStyledLineDeleted(int line, int style) {
    if (style & Korl_EditControl::kBreakpointStyle) marks_.removeOne(line);
    if (!(style & Korl_EditControl::kBreakpointStyle) || fullPath_.isEmpty()) return;
    if (Korl_BreakpointHost* host = manager_ ? manager_->BreakpointHost() : nullptr) {
        host->RemoveBreakpoint(fullPath_, line + 1);
    }
    if (manager_) {
        for (Korl_EditorChildFrame* other : manager_->DocumentsOfPath(fullPath_)) {
            if (other->View() != this) other->View()->SetBreakpointMark(line, false);
        }
    }
}

void Korl_EditorView::GoToLine(int line0) {
    // -1 is the go-to-line command's "ask the user"; other negatives mean no line.
    if (line0 >= -1) control_->RunCommand(Korl_EditControl::CmdGotoLine, line0);
}

void Korl_EditorView::SetHighlightedLine(int line0) { control_->SetHighlightedLine(line0); }

int Korl_EditorView::HighlightedLine() const { return control_->HighlightedLine(); }

int Korl_EditorView::CaretLineQuery() const { return control_->CaretLine() + 1; }

void Korl_EditorView::OnSearchWrapped(bool passedEnd, const QString& text) {
    Korl_GetEditorPrompts().inform(
        this, QStringLiteral("Passed %1 of file searching for '%2'")
                  .arg(passedEnd ? QStringLiteral("end") : QStringLiteral("beginning"), text));
}

QStringList Korl_EditorView::CorrespondingCandidates(const QString& path) {
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return {};
    const QString stem = path.left(dot + 1);
    const QString ext = path.mid(dot + 1);
    if (ext == QLatin1String("cpp") || ext == QLatin1String("cc")) return {stem + QStringLiteral("h")};
    if (ext == QLatin1String("h")) return {stem + QStringLiteral("cpp"), stem + QStringLiteral("cc")};
    return {};
}

void Korl_EditorView::OpenCorresponding() {
    if (!manager_) return;
    for (const QString& candidate : CorrespondingCandidates(fullPath_)) {
        if (QFileInfo(candidate).isFile()) {
            manager_->OpenDocument(candidate, Korl_EditorManager::FileNameRule(candidate));
            return;
        }
    }
}

void Korl_EditorView::ShowContextMenu(const QPoint& at) {
    // The control's own menu (undo, clipboard, select all) plus the commands
    // that act on the line under the caret.
    QMenu* menu = control_->createStandardContextMenu();
    if (!menu) menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addSeparator();
    auto add = [this, menu](const QString& text, const QKeySequence& keys, int id) {
        QAction* a = menu->addAction(text, this, [this, id] { OnCommand(id); });
        a->setShortcut(keys);
        a->setShortcutVisibleInContextMenu(true);
        bool enabled = true;
        CommandState(id, &enabled, nullptr);
        a->setEnabled(enabled);
    };
    add(QStringLiteral("Toggle &Breakpoint"), QKeySequence(Qt::Key_F9), korl_cmd::ToggleBreakpoint);
    add(QStringLiteral("Toggle Boo&kmark"), QKeySequence(Qt::CTRL | Qt::Key_F2), korl_cmd::BookmarkToggle);
    add(QStringLiteral("&Goto Line..."), QKeySequence(Qt::CTRL | Qt::Key_G), korl_cmd::EditGotoLine);
    add(QStringLiteral("Open Correspondin&g .h or .cpp"), QKeySequence(Qt::ALT | Qt::Key_O),
        korl_cmd::OpenCorresponding);
    menu->popup(control_->mapToGlobal(at));
}

void Korl_EditorView::Print() {
    QsciPrinter& printer = SharedPrinter();
    printer.setDocName(DocumentTitle());
    QPrintDialog dialog(&printer, this);
    if (control_->HasSelectionText()) dialog.setOption(QAbstractPrintDialog::PrintSelection);
    if (dialog.exec() != QDialog::Accepted) return;
    int from = -1;
    int to = -1;
    if (printer.QPrinter::printRange() == QPrinter::Selection) {
        int c1 = 0, c2 = 0;
        control_->getSelection(&from, &c1, &to, &c2);
    }
    printer.printRange(control_, from, to);
}

void Korl_EditorView::PrintSetup() {
    QPageSetupDialog dialog(&SharedPrinter(), this);
    dialog.exec();
}

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
