#pragma once
// Korl_EditControl: the editing control of editor documents (and the base of
// the Compile pane's Korl_OutputControl). A QsciScintilla with the operations Korl relies on: a language by
// name, line styles (value 2 = breakpoint mark), one highlighted line (the
// debugger's stop line), bookmarks, find/replace with a wrap notice, go to
// line, byte-exact load and save, the undo/clipboard state questions and the
// numbered command table. Lines are 0-based here.

#include <QByteArray>
#include <QPointer>
#include <QString>

#include "editor/qsci.h"

class Korl_FindDialog;

class Korl_EditControl : public QsciScintilla {
    Q_OBJECT
public:
    // The command table (RunCommand).
    enum Command {
        CmdUpperCase = 125,
        CmdUntabify = 126,
        CmdTabify = 130,
        CmdSelectAll = 137,
        CmdLowerCase = 147,
        CmdMatchBrace = 166,
        CmdGotoLine = 168, // argument: 0-based line; -1 asks for it
        CmdReplace = 169,
        CmdFindPrevious = 174,
        CmdFindSelection = 175,
        CmdFindNext = 176,
        CmdFind = 178,
        CmdShowWhitespace = 185,
        CmdDelete = 195,
        CmdBookmarkToggle = 204,
        CmdBookmarkNext = 205,
        CmdBookmarkPrevious = 206,
        CmdBookmarkClearAll = 207,
    };

    // Line style values.
    static constexpr int kBreakpointStyle = 2;

    explicit Korl_EditControl(QWidget* parent = nullptr);
    ~Korl_EditControl() override;

    // Selects "SystemC" or "CompileOut"; false for an unknown name.
    bool SetLanguage(const QString& name);
    QString LanguageName() const { return languageName_; }

    // The Compile pane's control (Korl_OutputControl) has no margins.
    bool IsOutputPane() const { return outputPane_; }

    // --- text and files -----------------------------------------------------
    // Loads the file's bytes unchanged (any encoding, NUL bytes included).
    // On failure returns false with an errno value in *err; the text is kept.
    bool LoadFile(const QString& path, int* err);
    // Writes the text beside the file and renames it over the old one; marks
    // the text unmodified on success.
    bool SaveFile(const QString& path, int* err);
    QByteArray Bytes() const;
    void SetBytes(const QByteArray& bytes); // replaces the text, clears undo, unmodified
    bool IsModified() const;
    void SetUnmodified();
    int LineCount() const;
    // Text of one line without its line end, cut at 1,023 bytes.
    QString LineText(int line) const;
    // Appends at the end (also when read-only) and moves the caret to the last line.
    void AppendText(const QByteArray& utf8);
    void AppendText(const QString& text) { AppendText(text.toUtf8()); }
    void ClearText();

    // --- state questions ----------------------------------------------------
    int CaretLine() const;
    int CaretColumn() const; // 0-based column, tabs expanded
    bool IsOvertype() const;
    bool ShowsWhitespace() const;
    bool CanUndo() const;
    bool CanRedo() const;
    bool CanCut() const;
    bool CanCopy() const;
    bool CanPaste() const;
    bool CanDelete() const;
    bool HasSelectionText() const;

    // --- commands -----------------------------------------------------------
    // Runs one command of the table; false when the number is unknown.
    bool RunCommand(int command, int argument = -1);
    void GotoLine(int line); // 0-based; clamps; the caret goes to the line's start

    // --- line marks ---------------------------------------------------------
    int LineStyle(int line) const;
    void SetLineStyle(int line, int style);
    QList<int> LinesWithStyle(int style) const;
    int HighlightedLine() const;       // -1 when none
    void SetHighlightedLine(int line); // -1 removes the highlight
    int BookmarkCount() const;
    bool HasBookmark(int line) const;

    // --- find and replace ---------------------------------------------------
    struct SearchOptions {
        bool matchCase = false;
        bool wholeWord = false;
    };
    // Searches from the selection (forward from its end, backward from its
    // start), wrapping once; selects the match. A wrap emits searchWrapped,
    // no match emits searchFailed.
    bool Find(const QString& text, bool forward, const SearchOptions& options);
    bool Find(const QString& text, bool forward = true) { return Find(text, forward, lastOptions_); }
    // Replaces the selection when it is a match of text, then finds the next.
    bool ReplaceSelection(const QString& text, const QString& replacement, const SearchOptions& options);
    int ReplaceAll(const QString& text, const QString& replacement, const SearchOptions& options);
    QString LastSearchText() const { return lastSearch_; }
    SearchOptions LastSearchOptions() const { return lastOptions_; }

Q_SIGNALS:
    // A search passed the end (passedEnd) or the beginning of the text.
    void searchWrapped(bool passedEnd, const QString& text);
    void searchFailed(const QString& text);
    // A line carrying a style is being deleted; its style goes with it.
    void styledLineDeleted(int line, int style);
    // Caret, selection, overtype or modification changed.
    void statusChanged();
    // A click in the mark margin.
    void markMarginClicked(int line);
    // Files dropped on the text.
    void filesDropped(const QStringList& paths);

protected:
    void keyPressEvent(QKeyEvent* e) override;

    static constexpr int kMarginNumbers = 0;
    static constexpr int kMarginMarks = 1;
    static constexpr int kMarginFold = 2;

    bool outputPane_ = false;

private:
    void SetUpLook();
    void ApplyMarginLook();
    void OnModified(int position, int type, const char* text, int length, int linesAdded, int line, int, int,
                    int, int);
    void UpdateLineNumberWidth();
    void ShowFindDialog(bool replace);
    void ConvertSelectedLines(bool tabify);
    int SearchFlags(const SearchOptions& options) const;
    long SearchRange(const QByteArray& needle, int flags, long from, long to, long* matchEnd) const;

    QString languageName_;
    QString lastSearch_;
    SearchOptions lastOptions_;
    int numberDigits_ = 0;
    QPointer<Korl_FindDialog> findDialog_;
};
