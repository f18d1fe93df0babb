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
