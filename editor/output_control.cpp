#include "editor/output_control.h"

#include <QKeyEvent>

#include "editor/language.h"
#include "editor/qsci.h"

namespace {

bool IsNavigationKey(int key) {
    switch (key) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down:
            return true;
        default:
            return false;
    }
}

} // namespace

Korl_OutputControl::Korl_OutputControl(QWidget* parent) : Korl_EditControl(parent) {
    ConfigureAsOutputPane();
    connect(this, &QsciScintillaBase::SCN_DOUBLECLICK, this,
            [this](int, int line, int) { Q_EMIT lineActivated(line); });
}

void Korl_OutputControl::ConfigureAsOutputPane() {
    outputPane_ = true;
    SetLanguage(Korl_CompileOutLanguage().name);
    setMarginWidth(kMarginNumbers, 0);
    setMarginWidth(kMarginMarks, 0);
    setFolding(NoFoldStyle, kMarginFold);
    setMarginWidth(kMarginFold, 0);
    setIndentationGuides(false);
    setEolMode(EolWindows);
    SendScintilla(SCI_SETMARGINLEFT, 0, 4L);
    setCaretLineVisible(true);
    setCaretLineBackgroundColor(QColor(0xe8, 0xee, 0xf7));
    SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    setReadOnly(true);
}

void Korl_OutputControl::keyPressEvent(QKeyEvent* e) {
    // Read-only pane: navigation keys move, Enter jumps, the rest is swallowed.
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
        Q_EMIT lineActivated(CaretLine());
        e->accept();
        return;
    }
    if (IsNavigationKey(e->key())) {
        QsciScintilla::keyPressEvent(e);
        return;
    }
    e->accept();
}
