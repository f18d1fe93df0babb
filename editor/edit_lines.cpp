// The edit control's build-problem marks and its indentation rules.
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

// --- build problems -----------------------------------------------------------

QIcon Korl_EditControl::ProblemIcon(bool error) {
    QIcon icon;
    for (int size : {14, 16, 28, 32}) {
        QPixmap pm(size, size);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
        if (error) {
            p.setPen(QPen(QColor(0x9a, 0x1c, 0x1c), 1));
            p.setBrush(QColor(0xd9, 0x30, 0x25));
            p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
            p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
        } else {
            p.setPen(QPen(QColor(0x9a, 0x6a, 0x00), 1));
            p.setBrush(QColor(0xf5, 0xb7, 0x1a));
            p.drawPolygon(QPolygonF({QPointF(8, 1.5), QPointF(15, 14.5), QPointF(1, 14.5)}));
            p.setPen(QPen(QColor(0x30, 0x20, 0x00), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(8, 6), QPointF(8, 9.5));
            p.drawPoint(QPointF(8, 12.3));
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

void Korl_EditControl::SetProblemMarks(const QList<LineProblem>& problems) {
    markerDeleteAll(kMarkError);
    markerDeleteAll(kMarkWarning);
    problemMarks_.clear();
    const int count = LineCount();
    for (const LineProblem& p : problems) {
        if (p.line < 0 || p.line >= count) continue;
        const int handle = markerAdd(p.line, p.error ? kMarkError : kMarkWarning);
        if (handle >= 0) problemMarks_.append({handle, p.message});
    }
}

QList<int> Korl_EditControl::ProblemMarkLines() const {
    QList<int> lines;
    for (const ProblemMark& m : problemMarks_) {
        const int line = static_cast<int>(SendScintilla(SCI_MARKERLINEFROMHANDLE, m.handle));
        if (line >= 0 && !lines.contains(line)) lines << line;
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

QString Korl_EditControl::ProblemTip(int line) const {
    QStringList messages;
    for (const ProblemMark& m : problemMarks_) {
        if (SendScintilla(SCI_MARKERLINEFROMHANDLE, m.handle) == line) messages << m.message;
    }
    return messages.join(QLatin1Char('\n'));
}

bool Korl_EditControl::viewportEvent(QEvent* e) {
    if (e->type() == QEvent::ToolTip && !problemMarks_.isEmpty()) {
        auto* help = static_cast<QHelpEvent*>(e);
        int margins = 0;
        for (int m = 0; m < 3; ++m) margins += marginWidth(m);
        if (help->pos().x() < margins) {
            const long pos = SendScintilla(SCI_POSITIONFROMPOINT, margins, help->pos().y());
            const int line = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, pos));
            const QString tip = ProblemTip(line);
            if (!tip.isEmpty()) {
                QToolTip::showText(help->globalPos(), tip, viewport());
                return true;
            }
        }
        QToolTip::hideText();
    }
    return QsciScintilla::viewportEvent(e);
}

// --- indentation ----------------------------------------------------------------

Korl_EditControl::Indentation Korl_EditControl::DetectIndentation(const QByteArray& text,
                                                                  Indentation fallback) {
    // Lines opened by a tab against lines opened by blanks; the blank step is
    // the most frequent rise in indentation from one line to the next.
    int tabLines = 0, spaceLines = 0;
    int steps[9] = {};
    int previous = 0;
    qsizetype at = 0;
    const qsizetype n = text.size();
    while (at < n) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0) end = n;
        int blanks = 0;
        qsizetype i = at;
        while (i < end && text[i] == ' ') ++i, ++blanks;
        const bool tab = i < end && text[i] == '\t';
        const bool blankLine = i >= end || text[i] == '\r';
        // " * text" continues a block comment: not an indentation level.
        const bool commentBody = !tab && i < end && text[i] == '*' && blanks > 0;
        if (!blankLine && !commentBody) {
            if (tab && blanks == 0) {
                ++tabLines;
            } else if (blanks > 0 && !tab) {
                ++spaceLines;
                const int rise = blanks - previous;
                if (rise >= 2 && rise <= 8) ++steps[rise];
            }
            if (!tab) previous = blanks;
        }
        at = end + 1;
    }
    if (tabLines == 0 && spaceLines == 0) return fallback;
    Indentation result = fallback;
    result.tabs = tabLines >= spaceLines;
    if (!result.tabs) {
        int best = 0;
        for (int w : {4, 2, 8, 3, 5, 6, 7}) {
            if (steps[w] > steps[best]) best = w;
        }
        result.width = best > 0 ? best : 4;
    }
    return result;
}

Korl_EditControl::Indentation Korl_EditControl::DetectIndentation(const QByteArray& text) {
    return DetectIndentation(text, Indentation{});
}

void Korl_EditControl::SetIndentation(const Indentation& indentation) {
    setIndentationsUseTabs(indentation.tabs);
    setIndentationWidth(indentation.tabs ? 0 : indentation.width);
}

Korl_EditControl::Indentation Korl_EditControl::CurrentIndentation() const {
    Indentation i;
    i.tabs = indentationsUseTabs();
    i.width = indentationWidth() > 0 ? indentationWidth() : tabWidth();
    return i;
}

void Korl_EditControl::ConvertSelectedLines(bool tabify) {
    const long selStart = SendScintilla(SCI_GETSELECTIONSTART);
    const long selEnd = SendScintilla(SCI_GETSELECTIONEND);
    if (selStart == selEnd || isReadOnly()) return;
    const int first = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, selStart));
    int last = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, selEnd));
    if (last > first && SendScintilla(SCI_POSITIONFROMLINE, last) == selEnd) --last;
    const int tab = std::max(1, tabWidth());
    SendScintilla(SCI_BEGINUNDOACTION);
    for (int line = first; line <= last; ++line) {
        const long from = SendScintilla(SCI_POSITIONFROMLINE, line);
        const long to = SendScintilla(SCI_GETLINEENDPOSITION, line);
        QByteArray text(static_cast<qsizetype>(to - from) + 1, '\0');
        if (to > from) SendScintilla(SCI_GETTEXTRANGE, from, to, text.data());
        text.resize(static_cast<qsizetype>(to - from));
        QByteArray out;
        out.reserve(text.size());
        if (tabify) {
            // Leading blanks become tabs (and the remainder spaces).
            int width = 0;
            qsizetype i = 0;
            for (; i < text.size() && (text[i] == ' ' || text[i] == '\t'); ++i) {
                width = text[i] == '\t' ? (width / tab + 1) * tab : width + 1;
            }
            out.append(QByteArray(width / tab, '\t'));
            out.append(QByteArray(width % tab, ' '));
            out.append(text.mid(i));
        } else {
            // Every tab becomes the spaces up to the next tab stop.
            int column = 0;
            for (char c : text) {
                if (c == '\t') {
                    const int n = tab - column % tab;
                    out.append(QByteArray(n, ' '));
                    column += n;
                } else {
                    out.append(c);
                    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++column;
                }
            }
        }
        if (out != text) {
            SendScintilla(SCI_SETTARGETSTART, from);
            SendScintilla(SCI_SETTARGETEND, to);
            SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(out.size()), out.constData());
        }
    }
    SendScintilla(SCI_ENDUNDOACTION);
    const long newStart = SendScintilla(SCI_POSITIONFROMLINE, first);
    const long newEnd = SendScintilla(SCI_GETLINEENDPOSITION, last);
    SendScintilla(SCI_SETSEL, newStart, newEnd);
}
