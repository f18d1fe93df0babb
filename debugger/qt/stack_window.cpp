#include "debugger/qt/stack_window.h"

#include <QFont>
#include <QKeyEvent>
#include <QTextBlock>

Korl_StackWindow::Korl_StackWindow(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName("StackWindow");
    QFont font("Courier");
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(13);
    setFont(font);
    setReadOnly(true);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    // Read-only, but with a caret the arrow keys move.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

void Korl_StackWindow::SetFrames(const std::vector<korl::StackFrame>& frames, const std::string& projectDir) {
    frames_ = frames;
    const std::string text = korl::StackText(frames, projectDir);
    QString shown = QString::fromUtf8(text.data(), int(text.size()));
    shown.replace("\r\n", "\n");
    if (shown.endsWith('\n')) shown.chop(1);
    setPlainText(shown);
}

void Korl_StackWindow::GoToSource() {
    const int row = textCursor().blockNumber();
    if (row < 0 || row >= int(frames_.size()) || frames_[std::size_t(row)].file.empty()) return;
    if (goToSource_) goToSource_(frames_[std::size_t(row)]);
}

void Korl_StackWindow::keyPressEvent(QKeyEvent* e) {
    switch (e->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            GoToSource();
            return;
        case Qt::Key_Home:
        case Qt::Key_End:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            QPlainTextEdit::keyPressEvent(e);
            return;
        default:
            if (e->matches(QKeySequence::Copy)) QPlainTextEdit::keyPressEvent(e);
            return; // the listing cannot be edited
    }
}

void Korl_StackWindow::mouseDoubleClickEvent(QMouseEvent* e) {
    QPlainTextEdit::mouseDoubleClickEvent(e);
    GoToSource();
}
