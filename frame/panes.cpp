#include "frame/panes.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

// The preferred face when the system has it, else the first fixed-pitch face found.
QFont FixedFont(int pointSize, const QString& preferred) {
    const QStringList families = QFontDatabase::families();
    QFont f = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (const QString& name : {preferred, QString("DejaVu Sans Mono"), QString("Liberation Mono"),
                                QString("Noto Mono"), QString("Monospace")}) {
        if (families.contains(name) && QFontDatabase::isFixedPitch(name)) {
            f = QFont(name);
            break;
        }
    }
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
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

Korl_CompileWindow::Korl_CompileWindow(QWidget* parent) : Korl_OutputControl(parent) {
    setObjectName("CompileWindow");
    SetLanguage("CompileOut");
    setFrameShape(QFrame::NoFrame);
    connect(this, &Korl_OutputControl::lineActivated, this,
            [this](int line) { Q_EMIT jumpRequested(LineText(line)); });
}

void Korl_CompileWindow::Append(const QString& text) {
    // Very long builds are cut from the top so the pane stays bounded.
    constexpr int kMaxLines = 200000;
    AppendText(ToPaneText(text));
    if (LineCount() > kMaxLines) {
        const bool ro = isReadOnly();
        setReadOnly(false);
        setSelection(0, 0, LineCount() - kMaxLines, 0);
        removeSelectedText();
        setReadOnly(ro);
        const int last = std::max(0, LineCount() - 1);
        setCursorPosition(last, 0);
    }
}

void Korl_CompileWindow::Clear() { ClearText(); }

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
    setFrameShape(QFrame::NoFrame);
}

void Korl_OutputWindow::AppendConsole(const QString& text) {
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    // A "\r\n" may arrive split over two calls; drop every CR.
    QString t = text;
    t.remove('\r');
    c.insertText(t);
    if (document()->blockCount() - (dropped_ > 0 ? 1 : 0) > lineLimit_ + 1) DropOldest();
    setTextCursor(c);
    ensureCursorVisible();
}

void Korl_OutputWindow::DropOldest() {
    // A tenth more than needed, so that a long run does not pay for every line.
    const bool hadNote = dropped_ > 0;
    const int lines = document()->blockCount() - (hadNote ? 1 : 0);
    const int excess = lines - lineLimit_ + lineLimit_ / 10;
    QTextCursor c(document());
    c.movePosition(QTextCursor::Start);
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, excess + (hadNote ? 1 : 0));
    c.removeSelectedText();
    dropped_ += excess;
    c.movePosition(QTextCursor::Start);
    c.insertText(QString("[Korl: %1 earlier lines are not shown]\n").arg(dropped_));
}

void Korl_OutputWindow::AppendConsoleLine(const QString& text) {
    AppendConsole(text);
    AppendConsole("\r\n");
}

void Korl_OutputWindow::ClearConsole() {
    clear();
    dropped_ = 0;
}

namespace {
// What a terminal sends for Ctrl+letter, Ctrl+[ \\ ] ^ _ and Esc; empty otherwise.
std::string ControlBytes(const QKeyEvent* e) {
    const Qt::KeyboardModifiers mods =
        e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    const int key = e->key();
    if (key == Qt::Key_Escape && !(mods & Qt::ControlModifier)) return "\x1b";
    if (mods == Qt::ControlModifier || mods == (Qt::ControlModifier | Qt::ShiftModifier)) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z) return std::string(1, char(key - Qt::Key_A + 1));
        if (key >= Qt::Key_BracketLeft && key <= Qt::Key_Underscore) return std::string(1, char(key - 0x40));
    }
    if (mods & Qt::AltModifier && !(mods & Qt::ControlModifier)) {
        // Alt+key: ESC and the key, as terminals send it.
        const QString t = e->text();
        if (!t.isEmpty() && t.at(0).isPrint()) return "\x1b" + t.toStdString();
    }
    return {};
}
} // namespace

bool Korl_OutputWindow::event(QEvent* e) {
    // While the program takes input, Ctrl and Alt keys and Esc are the
    // program's (Ctrl+D ends its input, Ctrl+C interrupts it), not the menus'.
    if (e->type() == QEvent::ShortcutOverride && sink_ && !ControlBytes(static_cast<QKeyEvent*>(e)).empty()) {
        e->accept();
        return true;
    }
    return QPlainTextEdit::event(e);
}

void Korl_OutputWindow::keyPressEvent(QKeyEvent* e) {
    if (sink_) {
        const std::string bytes = ControlBytes(e);
        if (!bytes.empty()) {
            pending_ = bytes;
            sink_(pending_);
            return;
        }
    }
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
