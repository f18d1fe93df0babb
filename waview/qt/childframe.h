#pragma once
// The wave window: an MDI child showing one wave session in four views
// (name tree, value column, shape view with its scroll bar, extra view).
// The session holds the state; the window lays out the views, turns
// commands and popups into session calls and owns the file dialogs.
#include <functional>
#include <memory>

#include <QImage>
#include <QMdiSubWindow>

#include "base/command_ids.h"
#include "waview/wave_session.h"

class QMenu;
class QPrinter;
class QSplitter;
class Waview_ExtraView;
class Waview_NameView;
class Waview_ShapeView;
class Waview_ValueView;

// The wave window's names for the commands it serves (base/command_ids.h).
enum Waview_Command : int {
    kWaveSave = korl::ID_FILE_SAVE,
    kWaveSaveAs = korl::ID_FILE_SAVE_AS,
    kWavePageSetup = korl::ID_FILE_PAGE_SETUP,
    kWavePrintSetup = korl::ID_FILE_PRINT_SETUP,
    kWavePrint = korl::ID_FILE_PRINT,
    kWaveZoomIn = korl::ID_WAVE_ZOOM_IN,
    kWaveZoomOut = korl::ID_WAVE_ZOOM_OUT,
    kWaveZoomFull = korl::ID_WAVE_ZOOM_FULL,
    kWaveZoomArea = korl::ID_WAVE_ZOOM_AREA,
    kWaveAddCursor = korl::ID_WAVE_ADD_CURSOR,
    kWaveRemoveCursor = korl::ID_WAVE_REMOVE_CURSOR,
    kWaveRadixBinary = korl::ID_WAVE_RADIX_BINARY, // .. +3: binary, hex, unsigned, signed
    kWavePrevTransition = korl::ID_WAVE_PREV_TRANSITION,
    kWaveNextTransition = korl::ID_WAVE_NEXT_TRANSITION,
    kWaveSetBookmark0 = korl::ID_WAVE_SET_BOOKMARK0,   // .. +9
    kWaveGotoBookmark0 = korl::ID_WAVE_GOTO_BOOKMARK0, // .. +9
    kWaveSignalsDialog = korl::ID_WAVE_SIGNALS_DIALOG,
    kWaveToggleDigital = korl::ID_WAVE_TOGGLE_DIGITAL,
    kWaveReload = korl::ID_WAVE_RELOAD,
};

class Waview_ChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    Waview_ChildFrame(const QString& wavePath, const QString& dumpPath, QWidget* parent = nullptr);
    ~Waview_ChildFrame() override;

    Waview_WaveSession& Session() { return session_; }
    const Waview_WaveSession& Session() const { return session_; }
    const QString& DumpPath() const { return dumpPath_; }
    QString WavePath() const { return QString::fromStdString(session_.WavePath()); }

    // Reads the wave file, fills the tree and zooms full. False (and an
    // empty window) when the file cannot be read.
    bool Load(QWidget* messageParent = nullptr);
    // Shows a document imported in memory (a dump opened without a file).
    void TakeDocument(Waview_FileManager& from);
    // Converts the dump again and reloads; false when conversion failed (the
    // caller closes the window).
    bool Reload(QWidget* messageParent);
    bool HandleCommand(int id);
    // Whether a command applies now, and whether its menu item is checked.
    bool CommandState(int id, bool* checked = nullptr) const;
    static bool IsWindowCommand(int id);
    // The row the popup commands act on (transitions, digital/analog, radix).
    void SetPopupRow(Waview_Hierarchy* row);

    bool Save();
    bool SaveAs(const QString& path);
    void ShowSignalsDialog();
    // The print dialog, then the waves drawn onto the printer's page.
    void Print();
    // Draws the waves onto one page of the printer; false when it cannot be
    // drawn on.
    bool PrintTo(QPrinter& printer);
    void PageSetup();
    // The client area as the screen shows it (snapshots).
    QImage GrabClient();
    // Keeps the extra view's cursor rows level with the shape view's.
    void RelayoutExtra();

    Waview_NameView* NameView() const { return nameView_; }
    Waview_ValueView* ValueView() const { return valueView_; }
    Waview_ShapeView* ShapeView() const { return shapeView_; }
    Waview_ExtraView* ExtraView() const { return extraView_; }

    // Tests answer the close prompt here instead of a message box
    // (QMessageBox::Yes, No or Cancel).
    static std::function<int(const QString& text)> closePromptHook;
    // Tests choose the Save As path here instead of the file dialog.
    static std::function<QString()> saveAsHook;
    // Tests see (and answer) the dialogs here instead of running them:
    // the return value is the dialog's result.
    static std::function<int(QDialog&)> dialogHook;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void OnSessionChanged(unsigned changes);
    void UpdateTitle();
    int RunDialog(QDialog& d);
    void ShowShapePopup(const QPoint& globalPos, Waview_Hierarchy* row);
    void ShowValuePopup(const QPoint& globalPos, Waview_Hierarchy* row);
    QMenu* BuildShapeMenu();
    QPrinter& Printer();

    Waview_WaveSession session_;
    QString dumpPath_;
    Waview_Hierarchy* shapePopupRow_ = nullptr;
    Waview_Hierarchy* valuePopupRow_ = nullptr;
    Waview_NameView* nameView_ = nullptr;
    Waview_ValueView* valueView_ = nullptr;
    Waview_ShapeView* shapeView_ = nullptr;
    Waview_ExtraView* extraView_ = nullptr;
    QSplitter* mainSplit_ = nullptr;
    QSplitter* leftSplit_ = nullptr;
    QSplitter* topSplit_ = nullptr;
    bool layoutDone_ = false;
    int laidOutCursors_ = -1;
    std::unique_ptr<QPrinter> printer_; // page and printer choices, kept between prints
};
