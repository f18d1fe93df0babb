#include "app/panes.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <Qsci/qscilexer.h>

namespace {

QFont FixedFont(int pointSize, const QString& preferred) {
    QFont f(preferred);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (!QFontInfo(f).fixedPitch()) f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (pointSize > 0) f.setPointSize(pointSize);
    return f;
}

QString ToPaneText(QString s) {
    s.replace("\r\n", "\n");
    s.remove('\r');
    return s;
}

} // namespace

// ---------------------------------------------------------------------------

Korl_CompileWindow::Korl_CompileWindow(QWidget* parent) : QsciScintilla(parent) {
    setObjectName("CompileWindow");
    setUtf8(true);
    setEolMode(EolUnix);
    setFont(FixedFont(10, "Courier New"));
    setMarginWidth(0, 0);
    setMarginWidth(1, 0);
    setWrapMode(WrapNone);
    setCaretLineVisible(true);
    setCaretLineBackgroundColor(QColor(0xE8, 0xF0, 0xFE));
    setReadOnly(true);
    setFrameShape(QFrame::NoFrame);
}

void Korl_CompileWindow::SetOutputLexer(QsciLexer* lexer) {
    setLexer(lexer);
    if (lexer) lexer->setFont(font());
}

void Korl_CompileWindow::Append(const QString& text) {
    constexpr int kMaxLines = 200000;
    const QString t = ToPaneText(text);
    // The document refuses every change while read-only, ours included.
    setReadOnly(false);
    append(t);
    if (lines() > kMaxLines) {
        setSelection(0, 0, lines() - kMaxLines, 0);
        removeSelectedText();
    }
    setReadOnly(true);
    const int last = std::max(0, lines() - 1);
    setCursorPosition(last, 0);
    ensureLineVisible(last);
}

void Korl_CompileWindow::Clear() {
    setReadOnly(false);
    clear();
    setReadOnly(true);
}

QString Korl_CompileWindow::LineText(int line) const {
    QString s = text(line);
    while (s.endsWith('\n') || s.endsWith('\r')) s.chop(1);
    return s;
}

void Korl_CompileWindow::RequestJump() {
    int line = 0, index = 0;
    getCursorPosition(&line, &index);
    emit jumpRequested(LineText(line));
}

void Korl_CompileWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        RequestJump();
        return;
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
    case Qt::Key_Left: case Qt::Key_Right: case Qt::Key_Up: case Qt::Key_Down:
        QsciScintilla::keyPressEvent(e);
        return;
    default:
        // Copying out of the pane changes nothing, so it is allowed.
        if (e->matches(QKeySequence::Copy) || e->matches(QKeySequence::SelectAll)) {
            QsciScintilla::keyPressEvent(e);
            return;
        }
        e->accept();
    }
}

void Korl_CompileWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    QsciScintilla::mouseDoubleClickEvent(e);
    RequestJump();
}

// ---------------------------------------------------------------------------

Korl_OutputWindow::Korl_OutputWindow(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("ConsoleWindow");
    QFont f = FixedFont(0, "Terminal");
    f.setPixelSize(13);
    setFont(f);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::Text, QColor(0xC0, 0xC0, 0xC0));
    pal.setColor(QPalette::Highlight, QColor(0xC0, 0xC0, 0xC0));
    pal.setColor(QPalette::HighlightedText, Qt::black);
    setPalette(pal);
    setAutoFillBackground(true);
    setLineWrapMode(NoWrap);
    setUndoRedoEnabled(false);
    setMaximumBlockCount(100000);
    setFrameShape(QFrame::NoFrame);
}

void Korl_OutputWindow::AppendConsole(const QString& text) {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    // A "\r\n" may arrive split over two calls; drop every CR.
    QString t = text;
    t.remove('\r');
    c.insertText(t);
    setTextCursor(c);
    ensureCursorVisible();
}

void Korl_OutputWindow::AppendConsoleLine(const QString& text) {
    AppendConsole(text);
    AppendConsole("\r\n");
}

void Korl_OutputWindow::ClearConsole() { clear(); }

void Korl_OutputWindow::keyPressEvent(QKeyEvent* e) {
    QString t = e->text();
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) t = "\n";
    if (!t.isEmpty() && !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const QChar ch = t.at(0);
        if (ch == '\n' || ch == '\b' || ch == '\t' || ch.isPrint()) {
            pending_ = QString(ch).toStdString();
            if (sink_) sink_(pending_);
        }
    }
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        // Typed input always goes at the end, like a terminal.
        moveCursor(QTextCursor::End);
    } else if (!t.isEmpty() && t.at(0).isPrint()) {
        moveCursor(QTextCursor::End);
    }
    QPlainTextEdit::keyPressEvent(e);
}

// ---------------------------------------------------------------------------

Korl_PlaceholderTree::Korl_PlaceholderTree(const QString& hint, const QStringList& columns, QWidget* parent)
    : QTreeWidget(parent), hint_(hint) {
    setColumnCount(std::max<qsizetype>(1, columns.size()));
    if (columns.size() > 1) {
        setHeaderLabels(columns);
    } else {
        setHeaderHidden(true);
    }
    setFrameShape(QFrame::NoFrame);
    setRootIsDecorated(true);
}

void Korl_PlaceholderTree::paintEvent(QPaintEvent* e) {
    QTreeWidget::paintEvent(e);
    if (topLevelItemCount() > 0 || hint_.isEmpty()) return;
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Disabled, QPalette::Text));
    p.drawText(viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
               hint_);
}
