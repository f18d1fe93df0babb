#include "editor/edit_control.h"

#include <QApplication>
#include <QFile>
#include <algorithm>
#include <QKeyEvent>
#include <QHelpEvent>
#include <QMimeData>
#include <QPainter>
#include <QToolTip>
#include <QUrl>

#include "editor/qsci.h"

#include "editor/editor_prompts.h"
#include "editor/file_io.h"
#include "editor/edit_marks.h"
#include "editor/language.h"

using namespace korl_edit_marks;

namespace {

constexpr int kLineTextLimit = 1023;

} // namespace

Korl_EditControl::Korl_EditControl(QWidget* parent) : QsciScintilla(parent) {
    setUtf8(true);
    SetUpLook();
    SetLanguage(QStringLiteral("SystemC"));

    connect(this, &QsciScintillaBase::SCN_MODIFIED, this, &Korl_EditControl::OnModified);
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int updated) {
        if (updated & (SC_UPDATE_CONTENT | SC_UPDATE_SELECTION)) Q_EMIT statusChanged();
    });
    connect(this, &QsciScintilla::modificationChanged, this, [this](bool) { Q_EMIT statusChanged(); });
    connect(this, &QsciScintilla::marginClicked, this, [this](int margin, int line, Qt::KeyboardModifiers) {
        if (margin == kMarginMarks) Q_EMIT markMarginClicked(line);
    });
    connect(this, &QsciScintillaBase::SCN_URIDROPPED, this, [this](const QUrl& url) {
        if (url.isLocalFile()) Q_EMIT filesDropped({url.toLocalFile()});
    });
    connect(this, &QsciScintillaBase::SCN_ZOOM, this, [this] {
        numberDigits_ = 0; // same digits, new pixel width
        UpdateLineNumberWidth();
    });
}

Korl_EditControl::~Korl_EditControl() = default;

void Korl_EditControl::SetUpLook() {
    setFont(Korl_EditorFont());
    setTabWidth(4);
    setIndentationsUseTabs(true);
    setAutoIndent(true);
    setBackspaceUnindents(true);
    setIndentationGuides(true);
    setIndentationGuidesForegroundColor(QColor(0xe0, 0xe0, 0xe0));
    setWrapMode(WrapNone);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETENDATLASTLINE, 0);
    // Keep line layouts of the visible page: re-measuring a very long line on
    // every paint is what makes such files slow.
    SendScintilla(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    setCaretWidth(2);
    setCaretForegroundColor(QColor(0x10, 0x10, 0x10));
    setCaretLineVisible(true);
    // Translucent, so that a line mark's colour (the debugger's stop line)
    // shows through when the caret stands on it; over white it reads eef3fb.
    setCaretLineBackgroundColor(QColor(0xbb, 0xcf, 0xef, 0x40));
    // The current line stays visible while the focus is in a pane.
    SendScintilla(SCI_SETCARETLINEVISIBLEALWAYS, 1);
    setSelectionBackgroundColor(QColor(0xad, 0xd6, 0xff));
    setSelectionForegroundColor(QColor(0x10, 0x10, 0x10));
    SendScintilla(SCI_SETSELFORE, 0, 0L); // keep the syntax colours inside a selection
    setBraceMatching(SloppyBraceMatch);
    setMatchedBraceBackgroundColor(QColor(0xd8, 0xe8, 0xd0));
    setMatchedBraceForegroundColor(QColor(0x00, 0x00, 0x00));
    setUnmatchedBraceForegroundColor(QColor(0xd0, 0x00, 0x00));
    setUnmatchedBraceBackgroundColor(QColor(0xff, 0xff, 0xff));
    setWhitespaceForegroundColor(QColor(0xb0, 0xb0, 0xb0));
    setWhitespaceSize(2);

    // Margins: line numbers, marks (breakpoints, bookmarks, stop arrow), folding.
    setMarginType(kMarginNumbers, NumberMargin);
    setMarginLineNumbers(kMarginNumbers, true);
    setMarginMarkerMask(kMarginNumbers, 0);
    setMarginSensitivity(kMarginNumbers, false); // a click there selects the line
    setMarginType(kMarginMarks, SymbolMargin);
    setMarginWidth(kMarginMarks, 18);
    setMarginMarkerMask(kMarginMarks, (1 << kMarkBreakpoint) | (1 << kMarkBookmark) | (1 << kMarkStopArrow) |
                                          (1 << kMarkError) | (1 << kMarkWarning));
    setMarginSensitivity(kMarginMarks, true);
    ApplyMarginLook();

    markerDefine(Circle, kMarkBreakpoint);
    setMarkerBackgroundColor(QColor(0xd1, 0x2f, 0x2f), kMarkBreakpoint);
    setMarkerForegroundColor(QColor(0x9a, 0x1c, 0x1c), kMarkBreakpoint);
    markerDefine(QsciScintilla::Bookmark, kMarkBookmark);
    setMarkerBackgroundColor(QColor(0x2f, 0x6f, 0xd1), kMarkBookmark);
    setMarkerForegroundColor(QColor(0x1f, 0x4f, 0x9a), kMarkBookmark);
    markerDefine(RightArrow, kMarkStopArrow);
    setMarkerBackgroundColor(QColor(0xf5, 0xc5, 0x18), kMarkStopArrow);
    setMarkerForegroundColor(QColor(0x80, 0x60, 0x00), kMarkStopArrow);
    markerDefine(Background, kMarkStopLine);
    setMarkerBackgroundColor(QColor(0xff, 0xf0, 0x9c), kMarkStopLine);
    markerDefine(ProblemIcon(true).pixmap(14, 14), kMarkError);
    markerDefine(ProblemIcon(false).pixmap(14, 14), kMarkWarning);

    // Ctrl+U upper case, Ctrl+Shift+U lower case; Ctrl+[ and Ctrl+] belong to
    // Match Brace, not to paragraph movement.
    auto keyOf = [](QKeyCombination k) { return k.toCombined(); };
    const int unbind[] = {keyOf(Qt::CTRL | Qt::Key_BracketRight),
                          keyOf(Qt::CTRL | Qt::Key_BracketLeft),
                          keyOf(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketRight),
                          keyOf(Qt::CTRL | Qt::SHIFT | Qt::Key_BracketLeft),
                          keyOf(Qt::CTRL | Qt::Key_U),
                          keyOf(Qt::CTRL | Qt::SHIFT | Qt::Key_U)};
    QsciCommandSet* commands = standardCommands();
    for (QsciCommand* c : commands->commands()) {
        for (int k : unbind) {
            if (c->key() == k) c->setKey(0);
            if (c->alternateKey() == k) c->setAlternateKey(0);
        }
    }
    if (QsciCommand* c = commands->find(QsciCommand::SelectionUpperCase))
        c->setKey(keyOf(Qt::CTRL | Qt::Key_U));
    if (QsciCommand* c = commands->find(QsciCommand::SelectionLowerCase)) {
        c->setKey(keyOf(Qt::CTRL | Qt::SHIFT | Qt::Key_U));
    }

    UpdateLineNumberWidth();
}

bool Korl_EditControl::SetLanguage(const QString& name) {
    QsciLexer* lexer = nullptr;
    if (name == Korl_SystemCLanguage().name) {
        lexer = new Korl_SystemCLexer(this);
    } else if (name == Korl_CompileOutLanguage().name) {
        lexer = new Korl_CompileOutLexer(this);
    } else {
        return false;
    }
    QsciLexer* old = this->lexer();
    setLexer(lexer);
    delete old;
    languageName_ = name;
    // The lexer resets the shared styles: put the margin and brace looks back.
    if (!outputPane_) ApplyMarginLook();
    setMatchedBraceBackgroundColor(QColor(0xd8, 0xe8, 0xd0));
    setMatchedBraceForegroundColor(QColor(0x00, 0x00, 0x00));
    setUnmatchedBraceForegroundColor(QColor(0xd0, 0x00, 0x00));
    setUnmatchedBraceBackgroundColor(QColor(0xff, 0xff, 0xff));
    UpdateLineNumberWidth();
    return true;
}

void Korl_EditControl::ApplyMarginLook() {
    setFolding(BoxedTreeFoldStyle, kMarginFold);
    setFoldMarginColors(QColor(0xf7, 0xf7, 0xf7), QColor(0xf7, 0xf7, 0xf7));
    for (int m = static_cast<int>(SC_MARKNUM_FOLDEREND); m <= static_cast<int>(SC_MARKNUM_FOLDEROPEN); ++m) {
        // Not markers of ours, so set directly (the wrapper skips them).
        SendScintilla(SCI_MARKERSETFORE, m, QColor(0xff, 0xff, 0xff));
        SendScintilla(SCI_MARKERSETBACK, m, QColor(0xa8, 0xa8, 0xa8));
    }
    setMarginsBackgroundColor(QColor(0xf7, 0xf7, 0xf7));
    setMarginsForegroundColor(QColor(0x8a, 0x8a, 0x8a));
    setMarginsFont(Korl_EditorFont());
}

// --- text and files ---------------------------------------------------------

bool Korl_EditControl::LoadFile(const QString& path, int* err) {
    std::string bytes;
    int e = 0;
    if (!korl_editor::ReadWholeFile(QFile::encodeName(path).toStdString(), &bytes, &e)) {
        if (err) *err = e;
        return false;
    }
    SetBytes(QByteArray::fromStdString(bytes));
    if (!outputPane_) SetIndentation(DetectIndentation(QByteArray::fromStdString(bytes)));
    const auto lf = bytes.find('\n');
    setEolMode(lf != std::string::npos && lf > 0 && bytes[lf - 1] == '\r' ? EolWindows : EolUnix);
    return true;
}

bool Korl_EditControl::SaveFile(const QString& path, int* err) {
    const QByteArray bytes = Bytes();
    int e = 0;
    if (!korl_editor::WriteFileBeside(QFile::encodeName(path).toStdString(),
                                      std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                                      &e)) {
        if (err) *err = e;
        return false;
    }
    SetUnmodified();
    return true;
}

QByteArray Korl_EditControl::Bytes() const {
    const long len = SendScintilla(SCI_GETLENGTH);
    const char* data = static_cast<const char*>(SendScintillaPtrResult(SCI_GETCHARACTERPOINTER));
    if (!data || len <= 0) return QByteArray();
    return QByteArray(data, static_cast<qsizetype>(len));
}

void Korl_EditControl::SetBytes(const QByteArray& bytes) {
    // Marks stay on their line numbers across a reload; lines that no longer
    // exist lose theirs as if deleted.
    const QList<int> breakpoints = LinesWithStyle(kBreakpointStyle);
    QList<int> bookmarks;
    for (int l = static_cast<int>(SendScintilla(SCI_MARKERNEXT, 0, 1 << kMarkBookmark)); l >= 0;
         l = static_cast<int>(SendScintilla(SCI_MARKERNEXT, l + 1, 1 << kMarkBookmark))) {
        bookmarks << l;
    }
    const int highlighted = HighlightedLine();

    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_MARKERDELETEALL, -1);
    const bool undo = SendScintilla(SCI_GETUNDOCOLLECTION) != 0;
    SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    SendScintilla(SCI_CLEARALL);
    if (!bytes.isEmpty())
        SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(bytes.size()), bytes.constData());
    SendScintilla(SCI_SETUNDOCOLLECTION, undo ? 1 : 0);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    setReadOnly(wasReadOnly);

    const int count = LineCount();
    for (int l : breakpoints) {
        if (l < count) {
            markerAdd(l, kMarkBreakpoint);
        } else {
            Q_EMIT styledLineDeleted(l, kBreakpointStyle);
        }
    }
    for (int l : bookmarks) {
        if (l < count) markerAdd(l, kMarkBookmark);
    }
    if (highlighted >= 0) SetHighlightedLine(highlighted);
    UpdateLineNumberWidth();
}

bool Korl_EditControl::IsModified() const { return SendScintilla(SCI_GETMODIFY) != 0; }

void Korl_EditControl::SetUnmodified() { SendScintilla(SCI_SETSAVEPOINT); }

int Korl_EditControl::LineCount() const { return static_cast<int>(SendScintilla(SCI_GETLINECOUNT)); }

QString Korl_EditControl::LineText(int line) const {
    if (line < 0 || line >= LineCount()) return QString();
    const long from = SendScintilla(SCI_POSITIONFROMLINE, line);
    long to = SendScintilla(SCI_GETLINEENDPOSITION, line);
    if (to - from > kLineTextLimit) to = from + kLineTextLimit;
    QByteArray buf(static_cast<qsizetype>(to - from) + 1, '\0');
    if (to > from) SendScintilla(SCI_GETTEXTRANGE, from, to, buf.data());
    buf.resize(static_cast<qsizetype>(to - from));
    return QString::fromUtf8(buf);
}

void Korl_EditControl::AppendText(const QByteArray& utf8) {
    if (utf8.isEmpty()) return;
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_APPENDTEXT, static_cast<unsigned long>(utf8.size()), utf8.constData());
    setReadOnly(wasReadOnly);
    const long end = SendScintilla(SCI_GETLENGTH);
    SendScintilla(SCI_GOTOPOS, end);
    SendScintilla(SCI_SCROLLCARET);
}

void Korl_EditControl::ClearText() {
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_CLEARALL);
    setReadOnly(wasReadOnly);
    UpdateLineNumberWidth();
}

// --- state questions ----------------------------------------------------------

int Korl_EditControl::CaretLine() const {
    return static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, SendScintilla(SCI_GETCURRENTPOS)));
}

int Korl_EditControl::CaretColumn() const {
    return static_cast<int>(SendScintilla(SCI_GETCOLUMN, SendScintilla(SCI_GETCURRENTPOS)));
}

bool Korl_EditControl::IsOvertype() const { return SendScintilla(SCI_GETOVERTYPE) != 0; }
bool Korl_EditControl::ShowsWhitespace() const { return SendScintilla(SCI_GETVIEWWS) != SCWS_INVISIBLE; }
bool Korl_EditControl::CanUndo() const { return SendScintilla(SCI_CANUNDO) != 0; }
bool Korl_EditControl::CanRedo() const { return SendScintilla(SCI_CANREDO) != 0; }
bool Korl_EditControl::HasSelectionText() const {
    return SendScintilla(SCI_GETSELECTIONSTART) != SendScintilla(SCI_GETSELECTIONEND);
}
bool Korl_EditControl::CanCut() const { return !isReadOnly() && HasSelectionText(); }
bool Korl_EditControl::CanCopy() const { return HasSelectionText(); }
bool Korl_EditControl::CanPaste() const { return SendScintilla(SCI_CANPASTE) != 0; }
bool Korl_EditControl::CanDelete() const {
    return !isReadOnly() &&
           (HasSelectionText() || SendScintilla(SCI_GETCURRENTPOS) < SendScintilla(SCI_GETLENGTH));
}

// --- commands -----------------------------------------------------------------

bool Korl_EditControl::RunCommand(int command, int argument) {
    switch (command) {
        case CmdUpperCase:
            SendScintilla(SCI_UPPERCASE);
            return true;
        case CmdLowerCase:
            SendScintilla(SCI_LOWERCASE);
            return true;
        case CmdTabify:
            ConvertSelectedLines(true);
            return true;
        case CmdUntabify:
            ConvertSelectedLines(false);
            return true;
        case CmdSelectAll:
            SendScintilla(SCI_SELECTALL);
            return true;
        case CmdMatchBrace: {
            const long pos = SendScintilla(SCI_GETCURRENTPOS);
            long match = pos > 0 ? SendScintilla(SCI_BRACEMATCH, pos - 1, 0L) : -1;
            if (match < 0) match = SendScintilla(SCI_BRACEMATCH, pos, 0L);
            if (match >= 0) {
                // Land after the closing brace and before the opening one, so a
                // second Match Brace comes back.
                const char ch = static_cast<char>(SendScintilla(SCI_GETCHARAT, match));
                const bool closing = ch == ')' || ch == ']' || ch == '}' || ch == '>';
                SendScintilla(SCI_GOTOPOS, closing ? match + 1 : match);
            }
            return true;
        }
        case CmdGotoLine:
            if (argument < 0) {
                const int line = Korl_GetEditorPrompts().askLine(this, CaretLine() + 1, LineCount());
                if (line > 0) GotoLine(line - 1);
            } else {
                GotoLine(argument);
            }
            return true;
        case CmdFind:
        case CmdReplace:
            ShowFindDialog(command == CmdReplace);
            return true;
        case CmdFindNext:
        case CmdFindPrevious:
            if (lastSearch_.isEmpty()) {
                ShowFindDialog(false);
            } else {
                Find(lastSearch_, command == CmdFindNext, lastOptions_);
            }
            return true;
        case CmdFindSelection: {
            QString text;
            if (HasSelectionText()) {
                text = selectedText();
                if (text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))) text.clear();
            } else {
                const long pos = SendScintilla(SCI_GETCURRENTPOS);
                const long from = SendScintilla(SCI_WORDSTARTPOSITION, pos, 1L);
                const long to = SendScintilla(SCI_WORDENDPOSITION, pos, 1L);
                if (to > from) {
                    QByteArray buf(static_cast<qsizetype>(to - from) + 1, '\0');
                    SendScintilla(SCI_GETTEXTRANGE, from, to, buf.data());
                    buf.resize(static_cast<qsizetype>(to - from));
                    text = QString::fromUtf8(buf);
                }
            }
            if (!text.isEmpty()) Find(text, true, lastOptions_);
            return true;
        }
        case CmdShowWhitespace:
            SendScintilla(SCI_SETVIEWWS, ShowsWhitespace() ? SCWS_INVISIBLE : SCWS_VISIBLEALWAYS);
            Q_EMIT statusChanged();
            return true;
        case CmdDelete:
            SendScintilla(SCI_CLEAR);
            return true;
        case CmdBookmarkToggle: {
            const int line = CaretLine();
            if (HasBookmark(line)) {
                markerDelete(line, kMarkBookmark);
            } else {
                markerAdd(line, kMarkBookmark);
            }
            Q_EMIT statusChanged();
            return true;
        }
        case CmdBookmarkNext:
        case CmdBookmarkPrevious: {
            const int line = CaretLine();
            const int mask = 1 << kMarkBookmark;
            long target;
            if (command == CmdBookmarkNext) {
                target = SendScintilla(SCI_MARKERNEXT, line + 1, mask);
                if (target < 0) target = SendScintilla(SCI_MARKERNEXT, 0, mask);
            } else {
                target = line > 0 ? SendScintilla(SCI_MARKERPREVIOUS, line - 1, mask) : -1;
                if (target < 0) target = SendScintilla(SCI_MARKERPREVIOUS, LineCount() - 1, mask);
            }
            if (target >= 0) GotoLine(static_cast<int>(target));
            return true;
        }
        case CmdBookmarkClearAll:
            markerDeleteAll(kMarkBookmark);
            Q_EMIT statusChanged();
            return true;
        default:
            return false;
    }
}

void Korl_EditControl::GotoLine(int line) {
    const int count = LineCount();
    if (line >= count) line = count - 1;
    if (line < 0) line = 0;
    // Judged before the move: the caret's own scrolling would put a far
    // target on the last visible line.
    SendScintilla(SCI_ENSUREVISIBLE, line);
    const int visible = static_cast<int>(SendScintilla(SCI_VISIBLEFROMDOCLINE, line));
    const int first = static_cast<int>(SendScintilla(SCI_GETFIRSTVISIBLELINE));
    const int onScreen = static_cast<int>(SendScintilla(SCI_LINESONSCREEN));
    if (!isVisible() || onScreen <= 2) {
        // No page to centre on yet: centred once the control is shown at its size.
        SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, line);
        SendScintilla(SCI_GOTOLINE, line);
        centreLine_ = line;
        return;
    }
    const bool inView = visible > first && visible < first + onScreen - 1;
    SendScintilla(SCI_GOTOLINE, line);
    if (!inView) CentreLine(line);
}

void Korl_EditControl::CentreLine(int line) {
    const int visible = static_cast<int>(SendScintilla(SCI_VISIBLEFROMDOCLINE, line));
    const int onScreen = static_cast<int>(SendScintilla(SCI_LINESONSCREEN));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, std::max(0, visible - onScreen / 2));
    centreLine_ = line;
}

void Korl_EditControl::mousePressEvent(QMouseEvent* e) {
    centreLine_ = -1;
    QsciScintilla::mousePressEvent(e);
}

void Korl_EditControl::resizeEvent(QResizeEvent* e) {
    QsciScintilla::resizeEvent(e);
    // A window opened for a jump gets its final size after the jump.
    // Only on screen: a picture taken of a hidden control must not scroll it.
    if (centreLine_ >= 0 && window()->isVisible() && isVisible() && CaretLine() == centreLine_)
        CentreLine(centreLine_);
}

// --- line marks ---------------------------------------------------------------

int Korl_EditControl::LineStyle(int line) const {
    if (line < 0 || line >= LineCount()) return 0;
    return static_cast<int>(SendScintilla(SCI_MARKERGET, line)) & kBreakpointStyle;
}

void Korl_EditControl::SetLineStyle(int line, int style) {
    if (line < 0 || line >= LineCount()) return;
    const bool has = (SendScintilla(SCI_MARKERGET, line) & kBreakpointStyle) != 0;
    const bool want = (style & kBreakpointStyle) != 0;
    if (want && !has) markerAdd(line, kMarkBreakpoint);
    if (!want && has) markerDelete(line, kMarkBreakpoint);
}

QList<int> Korl_EditControl::LinesWithStyle(int style) const {
    QList<int> lines;
    if (!(style & kBreakpointStyle)) return lines;
    for (long l = SendScintilla(SCI_MARKERNEXT, 0, 1 << kMarkBreakpoint); l >= 0;
         l = SendScintilla(SCI_MARKERNEXT, l + 1, 1 << kMarkBreakpoint)) {
        lines << static_cast<int>(l);
    }
    return lines;
}

int Korl_EditControl::HighlightedLine() const {
    return static_cast<int>(SendScintilla(SCI_MARKERNEXT, 0, 1 << kMarkStopLine));
}

void Korl_EditControl::SetHighlightedLine(int line) {
    markerDeleteAll(kMarkStopArrow);
    markerDeleteAll(kMarkStopLine);
    if (line < 0 || line >= LineCount()) return;
    markerAdd(line, kMarkStopArrow);
    markerAdd(line, kMarkStopLine);
}

int Korl_EditControl::BookmarkCount() const {
    int n = 0;
    for (long l = SendScintilla(SCI_MARKERNEXT, 0, 1 << kMarkBookmark); l >= 0;
         l = SendScintilla(SCI_MARKERNEXT, l + 1, 1 << kMarkBookmark)) {
        ++n;
    }
    return n;
}

bool Korl_EditControl::HasBookmark(int line) const {
    return line >= 0 && line < LineCount() &&
           (SendScintilla(SCI_MARKERGET, line) & (1 << kMarkBookmark)) != 0;
}

void Korl_EditControl::OnModified(int position, int type, const char*, int length, int, int, int, int, int,
                                  int) {
    if (!(type & SC_MOD_BEFOREDELETE) || length <= 0) return;
    const long end = position + static_cast<long>(length);
    const int l1 = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, position));
    const int l2 = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, end));
    if (l1 == l2) return;
    // Which lines lose their identity: the first one when nothing before the
    // deletion stays on it, the last one when it is joined onto the first or
    // emptied; every line in between.
    const bool head = position > SendScintilla(SCI_POSITIONFROMLINE, l1);
    const long l2Start = SendScintilla(SCI_POSITIONFROMLINE, l2);
    const bool tail = end < SendScintilla(SCI_GETLINEENDPOSITION, l2);
    const int from = head ? l1 + 1 : l1;
    const int to = (head || (!tail && end > l2Start)) ? l2 : l2 - 1;
    const int mask = (1 << kMarkBreakpoint) | (1 << kMarkBookmark);
    for (long l = SendScintilla(SCI_MARKERNEXT, from, mask); l >= 0 && l <= to;
         l = SendScintilla(SCI_MARKERNEXT, l + 1, mask)) {
        const int line = static_cast<int>(l);
        const bool breakpoint = (SendScintilla(SCI_MARKERGET, line) & kBreakpointStyle) != 0;
        markerDelete(line, kMarkBreakpoint);
        markerDelete(line, kMarkBookmark);
        if (breakpoint) Q_EMIT styledLineDeleted(line, kBreakpointStyle);
    }
}

void Korl_EditControl::UpdateLineNumberWidth() {
    if (outputPane_) return;
    int digits = 1;
    for (int n = LineCount(); n >= 10; n /= 10) ++digits;
    digits = std::max(digits, 3);
    if (digits == numberDigits_) return;
    numberDigits_ = digits;
    setMarginWidth(kMarginNumbers, QString(digits + 1, QLatin1Char('9')));
}

// --- keys ---------------------------------------------------------------------

void Korl_EditControl::keyPressEvent(QKeyEvent* e) {
    centreLine_ = -1;
    QsciScintilla::keyPressEvent(e);
    if (e->key() == Qt::Key_Insert && e->modifiers() == Qt::NoModifier) Q_EMIT statusChanged();
}
