#pragma once
// Editor documents: MDI children that edit one source file each.
//
// API overview (for the main frame)
// ---------------------------------
// Korl_EditorManager  one per main frame, on the frame's QMdiArea. Owns the
//                     list of editor children in creation order.
//   NewDocument()                          -> child titled "Untitled"
//   OpenDocument(path, shortName)          -> finds by identity (exact path and
//                                             short name) and activates, else
//                                             loads; nullptr when loading fails
//   OpenDocumentAtLine(path, short, line0) -> as OpenDocument, caret to line
//                                             (-1 asks the user for the line)
//   ShowPosition(path, short, line0)       -> as OpenDocumentAtLine, and the
//                                             line becomes the highlighted stop line
//   ClearPosition(path, short)             -> that document loses its stop line
//   FindDocument / Documents / ActiveView / ActiveChild
//   SaveAllDocuments(), CloseAllDocuments()
//   SetBreakpointMark(path, line, on), MoveBreakpointMark(path, from, to):
//                                          marks in every document of that path
//   FileNameRule(path), ProjectRule(path, projectDir): the two short names
//   SetBreakpointHost(host)                -> see Korl_BreakpointHost
//   FrameCaption()                         -> "Korl - title" or "Korl"
//   signals: statusTextsChanged(position, overtype, readOnly) of the active
//            editor (all empty without one); commandStatesChanged();
//            activeViewChanged(view); titlesChanged(); filesDropped(paths)
//
// Korl_EditorView     the widget inside a child; wraps one Korl_EditControl.
//   OnCommand(id)                      carries out a File/Edit command id
//                                      (editor/editor_commands.h); false when
//                                      the id is not an editor command
//   CommandState(id, &enabled, &checked) enabling of those commands
//   SaveDocument(), SaveDocumentAs(), LoadDocument(path, shortName)
//   FullPath(), ShortName(), DocumentTitle(), IsModified()
//   CaretLineQuery() (caret line + 1, for Run to Cursor), FullPath()
//   SetBreakpointMark(line0, on), HasBreakpointMark(line0), BreakpointMarkLines()
//   CheckForOutsideChange()            asks once per outside change
//   Control()                          the editing control itself
//
// Korl_EditorChildFrame  the QMdiSubWindow; asks "Save Changes to file?" when
//                        a modified document closes; deleted on close.
//
// Breakpoints: the frame owns the breakpoint table and implements
// Korl_BreakpointHost. Toggle Breakpoint (F9, or a click in the mark margin)
// calls AddBreakpoint or RemoveBreakpoint with the 1-based line and flips the
// mark; deleting a marked line calls RemoveBreakpoint. Opening a document sets
// the marks of BreakpointLines(path). When lines are inserted or deleted above
// a mark, the mark moves with its text and the view reports it through
// MoveBreakpoint; a host that leaves that empty keeps its records where they
// were (they then drift from the marks). When gdb moves a breakpoint, the
// frame moves the mark with Korl_EditorManager::MoveBreakpointMark.
//
// Questions and notices go through Korl_GetEditorPrompts() (editor_prompts.h),
// which tests replace. The outside-change check runs by itself on a timer
// while Korl is active; tests that drive it call SetAutoChangeCheck(false).
//
// Typical wiring in the frame:
//   editors_ = new Korl_EditorManager(mdiArea, this);
//   editors_->SetBreakpointHost(&breakpointHost_);
//   connect(editors_, &Korl_EditorManager::statusTextsChanged, ...panes...);
//   connect(editors_, &Korl_EditorManager::commandStatesChanged, ...update actions...);
//   // an action with id that the frame does not handle:
//   if (Korl_EditorView* v = editors_->ActiveView()) v->OnCommand(id);
//   // its enabling:
//   bool on, check; if (v && v->CommandState(id, &on, &check)) { action->setEnabled(on); ... }
// The Compile pane is a Korl_OutputControl (output_control.h): AppendText,
// ClearText, LineText, lineActivated(line).

#include <QList>
#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "editor/edit_control.h"
#include "editor/editor_commands.h"

class QMdiArea;
class QTimer;
class Korl_EditorChildFrame;
class Korl_EditorManager;

class Korl_BreakpointHost {
public:
    virtual ~Korl_BreakpointHost() = default;
    // Lines are 1-based; file is the document's full path.
    virtual void AddBreakpoint(const QString& file, int line) = 0;
    virtual void RemoveBreakpoint(const QString& file, int line) = 0;
    // 1-based lines of the records whose file equals this path exactly.
    virtual QList<int> BreakpointLines(const QString& file) const = 0;
    // An edit moved a marked line (1-based, old and new line). By default the
    // records stay where they are; a table that follows the text moves them.
    virtual void MoveBreakpoint(const QString& file, int fromLine, int toLine) {}
};

class Korl_EditorView : public QWidget {
    Q_OBJECT
public:
    Korl_EditorView(Korl_EditorChildFrame* frame, Korl_EditorManager* manager);
    ~Korl_EditorView() override;

    Korl_EditControl* Control() const { return control_; }
    Korl_EditorChildFrame* ChildFrame() const { return frame_; }
    Korl_EditorManager* Manager() const { return manager_; }

    QString FullPath() const { return fullPath_; }
    QString ShortName() const { return shortName_; }
    // Short name (or "Untitled") followed by "*" while modified.
    QString DocumentTitle() const;
    bool IsModified() const;
    // Last-write time (ns) of the file as last loaded, saved or checked; 0 = none.
    std::int64_t StoredWriteTime() const { return writeTime_; }

    bool LoadDocument(const QString& fullPath, const QString& shortName);
    bool SaveDocument();
    bool SaveDocumentAs();
    // Save As without the dialog.
    bool SaveDocumentTo(const QString& path);

    bool OnCommand(int id);
    bool CommandState(int id, bool* enabled, bool* checked) const;

    // Status-bar pane texts.
    QString PositionText() const; // "Ln %d, Col %d"
    QString OvertypeText() const; // "OVR" or empty
    QString ReadOnlyText() const; // "READ" or empty

    void CheckForOutsideChange();

    void ToggleBreakpoint(); // at the caret line
    void ToggleBreakpointAt(int line0);
    void SetBreakpointMark(int line0, bool on);
    bool HasBreakpointMark(int line0) const;
    QList<int> BreakpointMarkLines() const; // 0-based

    void GoToLine(int line0);           // -1 asks for the line
    void SetHighlightedLine(int line0); // -1 = none
    int HighlightedLine() const;
    int CaretLineQuery() const; // caret line + 1

    void OpenCorresponding();
    // Candidates in order of preference for a path; empty for other extensions.
    static QStringList CorrespondingCandidates(const QString& path);

Q_SIGNALS:
    void statusTextsChanged(const QString& position, const QString& overtype, const QString& readOnly);
    void titleChanged(const QString& title);
    void commandStatesChanged();

private:
    void RefreshTitle();
    void EmitStatus();
    void PostCommandStates();
    void OnSearchWrapped(bool passedEnd, const QString& text);
    void OnStyledLineDeleted(int line, int style);
    void OnLinesShifted();
    void SyncMarks();
    bool WriteTo(const QString& path);
    void Print();
    void PrintSetup();
    void ShowContextMenu(const QPoint& at);

    Korl_EditControl* control_;
    Korl_EditorChildFrame* frame_;
    QPointer<Korl_EditorManager> manager_;
    QString fullPath_;
    QString shortName_;
    std::int64_t writeTime_ = 0;
    bool checkAllowed_ = true;
    bool statesPosted_ = false;
    QString title_;
    QList<int> marks_; // breakpoint mark lines as last known, to report moves
};

class Korl_EditorChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    explicit Korl_EditorChildFrame(Korl_EditorManager* manager);
    Korl_EditorView* View() const { return view_; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    Korl_EditorView* view_;
};

class Korl_EditorManager : public QObject {
    Q_OBJECT
public:
    explicit Korl_EditorManager(QMdiArea* area, QObject* parent = nullptr);
    ~Korl_EditorManager() override;

    QMdiArea* Area() const { return area_; }
    void SetBreakpointHost(Korl_BreakpointHost* host) { host_ = host; }
    Korl_BreakpointHost* BreakpointHost() const { return host_; }
    // Values on hover: resting the mouse on an identifier (or inside the
    // selection) asks the provider, which answers through `show` (or never);
    // the answer appears as a tool-tip while the mouse has not moved on.
    using HoverProvider =
        std::function<void(const QString& expression, std::function<void(const QString&)> show)>;
    void SetHoverProvider(HoverProvider provider) { hover_ = std::move(provider); }
    const HoverProvider& Hover() const { return hover_; }

    Korl_EditorChildFrame* NewDocument();
    Korl_EditorChildFrame* OpenDocument(const QString& fullPath, const QString& shortName);
    Korl_EditorChildFrame* OpenDocumentAtLine(const QString& fullPath, const QString& shortName, int line0);
    Korl_EditorChildFrame* ShowPosition(const QString& fullPath, const QString& shortName, int line0);
    void ClearPosition(const QString& fullPath, const QString& shortName);

    Korl_EditorChildFrame* FindDocument(const QString& fullPath, const QString& shortName) const;
    QList<Korl_EditorChildFrame*> Documents() const;
    Korl_EditorChildFrame* ActiveChild() const;
    Korl_EditorView* ActiveView() const;
    // Breakpoint marks in every document of this full path (whatever its short
    // name); lines are 1-based as in the table. For gdb moving a breakpoint:
    // MoveBreakpointMark(path, requested line, line gdb chose).
    void SetBreakpointMark(const QString& fullPath, int line, bool on);
    void MoveBreakpointMark(const QString& fullPath, int fromLine, int toLine);
    QList<Korl_EditorChildFrame*> DocumentsOfPath(const QString& fullPath) const;

    // Saves every editor document, the active one first; false when one failed.
    bool SaveAllDocuments();
    // Asks every child to close (the usual "Save Changes" question each).
    void CloseAllDocuments();

    // The short-name rules: the file name with its extension; or that when the
    // file lies directly in the project directory, else the full path.
    static QString FileNameRule(const QString& fullPath);
    static QString ProjectRule(const QString& fullPath, const QString& projectDir);

    // "Korl - <document title>", or "Korl" without an active editor or while it is maximised.
    QString FrameCaption() const;

    // The outside-change check of the active editor runs on a timer and when
    // the application becomes active; off for callers that drive it themselves.
    void SetAutoChangeCheck(bool on);

Q_SIGNALS:
    void statusTextsChanged(const QString& position, const QString& overtype, const QString& readOnly);
    void commandStatesChanged();
    void activeViewChanged(Korl_EditorView* view);
    void titlesChanged();
    void filesDropped(const QStringList& paths);

private:
    friend class Korl_EditorView;
    friend class Korl_EditorChildFrame;
    Korl_EditorChildFrame* CreateChild();
    void Place(Korl_EditorChildFrame* child);
    void Activate(Korl_EditorChildFrame* child);
    void Forget(QObject* child);
    void OnSubWindowActivated(QMdiSubWindow* window);
    void CheckActive();

    QMdiArea* area_;
    Korl_BreakpointHost* host_ = nullptr;
    HoverProvider hover_;
    // The key is the child as a plain object, taken while it was whole: the
    // destroyed signal arrives when it is a frame no more.
    struct Entry {
        QObject* key;
        QPointer<Korl_EditorChildFrame> child;
    };
    QList<Entry> children_;
    QPointer<Korl_EditorView> active_;
    QTimer* checkTimer_;
};
