// Find and replace of Korl_EditControl: searches run on the control's bytes
// through the target range; the dialog is created on first use.
#include "editor/edit_control.h"
#include "editor/find_dialog.h"
#include "editor/qsci.h"

// --- find and replace ---------------------------------------------------------

int Korl_EditControl::SearchFlags(const SearchOptions& options) const {
    int flags = 0;
    if (options.matchCase) flags |= SCFIND_MATCHCASE;
    if (options.wholeWord) flags |= SCFIND_WHOLEWORD;
    return flags;
}

long Korl_EditControl::SearchRange(const QByteArray& needle, int flags, long from, long to,
                                   long* matchEnd) const {
    SendScintilla(SCI_SETSEARCHFLAGS, flags);
    SendScintilla(SCI_SETTARGETSTART, from);
    SendScintilla(SCI_SETTARGETEND, to);
    const long found =
        SendScintilla(SCI_SEARCHINTARGET, static_cast<unsigned long>(needle.size()), needle.constData());
    if (found >= 0 && matchEnd) *matchEnd = SendScintilla(SCI_GETTARGETEND);
    return found;
}

bool Korl_EditControl::Find(const QString& text, bool forward, const SearchOptions& options) {
    if (text.isEmpty()) return false;
    lastSearch_ = text;
    lastOptions_ = options;
    const QByteArray needle = text.toUtf8();
    const int flags = SearchFlags(options);
    const long selStart = SendScintilla(SCI_GETSELECTIONSTART);
    const long selEnd = SendScintilla(SCI_GETSELECTIONEND);
    const long length = SendScintilla(SCI_GETLENGTH);
    long matchEnd = -1;
    bool wrapped = false;
    long found;
    if (forward) {
        found = SearchRange(needle, flags, selEnd, length, &matchEnd);
        if (found < 0) {
            wrapped = true;
            found = SearchRange(needle, flags, 0, selEnd, &matchEnd);
        }
    } else {
        // A target whose start lies after its end searches backwards.
        found = SearchRange(needle, flags, selStart, 0, &matchEnd);
        if (found < 0) {
            wrapped = true;
            found = SearchRange(needle, flags, length, selStart, &matchEnd);
        }
    }
    if (found < 0) {
        Q_EMIT searchFailed(text);
        return false;
    }
    const int line = static_cast<int>(SendScintilla(SCI_LINEFROMPOSITION, found));
    SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, line);
    SendScintilla(SCI_SETSEL, forward ? found : matchEnd, forward ? matchEnd : found);
    SendScintilla(SCI_SCROLLCARET);
    if (wrapped) Q_EMIT searchWrapped(forward, text);
    return true;
}

bool Korl_EditControl::ReplaceSelection(const QString& text, const QString& replacement,
                                        const SearchOptions& options) {
    if (text.isEmpty() || isReadOnly()) return false;
    const long selStart = SendScintilla(SCI_GETSELECTIONSTART);
    const long selEnd = SendScintilla(SCI_GETSELECTIONEND);
    long matchEnd = -1;
    if (selStart != selEnd &&
        SearchRange(text.toUtf8(), SearchFlags(options), selStart, selEnd, &matchEnd) == selStart &&
        matchEnd == selEnd) {
        const QByteArray with = replacement.toUtf8();
        SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(with.size()), with.constData());
        SendScintilla(SCI_SETSEL, selStart + with.size(), selStart + with.size());
    }
    return Find(text, true, options);
}

int Korl_EditControl::ReplaceAll(const QString& text, const QString& replacement,
                                 const SearchOptions& options) {
    if (text.isEmpty() || isReadOnly()) return 0;
    lastSearch_ = text;
    lastOptions_ = options;
    const QByteArray needle = text.toUtf8();
    const QByteArray with = replacement.toUtf8();
    const int flags = SearchFlags(options);
    int count = 0;
    long from = 0;
    SendScintilla(SCI_BEGINUNDOACTION);
    for (;;) {
        long matchEnd = -1;
        const long found = SearchRange(needle, flags, from, SendScintilla(SCI_GETLENGTH), &matchEnd);
        if (found < 0) break;
        SendScintilla(SCI_REPLACETARGET, static_cast<unsigned long>(with.size()), with.constData());
        from = found + with.size();
        ++count;
    }
    SendScintilla(SCI_ENDUNDOACTION);
    if (count == 0) Q_EMIT searchFailed(text);
    return count;
}

void Korl_EditControl::ShowFindDialog(bool replace) {
    if (!findDialog_) findDialog_ = new Korl_FindDialog(this, replace);
    findDialog_->SetReplaceMode(replace);
    QString seed = lastSearch_;
    if (HasSelectionText()) {
        const QString sel = selectedText();
        if (!sel.contains(QLatin1Char('\n'))) seed = sel;
    }
    findDialog_->SetFindText(seed);
    findDialog_->show();
    findDialog_->raise();
    findDialog_->activateWindow();
}
