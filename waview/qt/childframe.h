#pragma once
// The wave window: an MDI child showing one wave-view document in four views
// (name tree, value column, shape view with its scroll bar, extra view).
#include <array>
#include <functional>
#include <unordered_map>
#include <vector>

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QMdiSubWindow>
#include <QTreeWidget>

#include "base/command_ids.h"
#include "waview/model.h"
#include "waview/qt/navigation.h"

class QPrinter;
class QScrollBar;
class QSplitter;
class QMenu;
class Waview_ChildFrame;

// The wave window's names for the commands it serves (base/command_ids.h).
enum Waview_Command : int {
    kWaveSave = korl::ID_FILE_SAVE,
    kWaveSaveAs = korl::ID_FILE_SAVE_AS,
    kWavePageSetup = korl::ID_FILE_PAGE_SETUP,
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

class Waview_NameView : public QTreeWidget {
    Q_OBJECT
public:
    explicit Waview_NameView(Waview_ChildFrame* frame);
    Waview_Hierarchy* RowOf(QTreeWidgetItem* item) const;
    Waview_Hierarchy* RowAtY(int y) const; // y in viewport coordinates

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override; // the Signals dialog
    void dragMoveEvent(QDragMoveEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    Waview_ChildFrame* frame_;
};

class Waview_ValueView : public QWidget {
    Q_OBJECT
public:
    explicit Waview_ValueView(Waview_ChildFrame* frame);
    void PaintTo(QPainter& p);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    bool event(QEvent* e) override;

private:
    Waview_ChildFrame* frame_;
    QFont font_;
};

class Waview_ShapeView : public QWidget {
    Q_OBJECT
public:
    explicit Waview_ShapeView(Waview_ChildFrame* frame);
    Waview_ViewState view;
    // Paints the whole view; the same code serves the widget, images and tests.
    void PaintTo(QPainter& p);
    QImage Render();
    void UpdateScrollBar();
    QScrollBar* scrollBar = nullptr;
    bool bandActive = false;
    int bandX0 = 0, bandX1 = 0;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    bool event(QEvent* e) override;

private:
    void OnScroll(int action);
    Waview_ChildFrame* frame_;
    QFont font_;
    bool dragging_ = false;
    double sbUnit_ = 1; // grid steps per scroll-bar unit (large dumps)
};

class Waview_ExtraView : public QWidget {
    Q_OBJECT
public:
    explicit Waview_ExtraView(Waview_ChildFrame* frame);
    void PaintTo(QPainter& p);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    Waview_ChildFrame* frame_;
    QFont font_;
};

class Waview_SignalsDlg : public QDialog {
    Q_OBJECT
public:
    Waview_SignalsDlg(Waview_FileManager& doc, QWidget* parent);
    // Flips the visible flag of every row whose check box differs; returns
    // whether any row changed.
    bool Apply();
    QTreeWidget* tree = nullptr;

private:
    void Insert(QTreeWidgetItem* parent, int32_t row, int depth);
    Waview_FileManager& doc_;
};

class Waview_ChildFrame : public QMdiSubWindow {
    Q_OBJECT
public:
    Waview_ChildFrame(const QString& wavePath, const QString& dumpPath, QWidget* parent = nullptr);
    ~Waview_ChildFrame() override;

    // Reads the wave file, fills the tree and zooms full. False (and an
    // empty window) when the file cannot be read.
    bool Load(QWidget* messageParent = nullptr);
    // Shows a document imported in memory (a dump opened without a file).
    void TakeDocument(Waview_FileManager& from);
    // Shows what `doc` holds now: tree, end time, zoom full (after Load).
    void ShowDocument();
    // Converts the dump again and reloads; false when conversion failed (the
    // caller closes the window).
    bool Reload(QWidget* messageParent);
    bool HandleCommand(int id);
    // Whether a command applies now, and whether its menu item is checked.
    bool CommandState(int id, bool* checked = nullptr) const;
    static bool IsWindowCommand(int id);

    // Navigation.
    bool SetWindow(int64_t a, int64_t b);
    void AddCursor();
    void RemoveCursor();
    void MoveNearestCursor(int64_t t);
    void NextTransition(Waview_Hierarchy* row);
    void PreviousTransition(Waview_Hierarchy* row);
    void SetBookmark(int n);
    void GotoBookmark(int n);
    void ToggleDigital(Waview_Hierarchy* row);
    void SetRadix(Waview_Hierarchy* row, int radix);
    void RenameRow(Waview_Hierarchy* row, const QString& name);
    bool Save();
    bool SaveAs(const QString& path);
    void ShowSignalsDialog();
    void Print();
    void PageSetup();
    void RebuildTree();
    void Refresh(); // repaints the three drawing views
    void RefreshCursorViews();
    void RelayoutExtra();
    void ShowShapePopup(const QPoint& globalPos, Waview_Hierarchy* row);
    void ShowValuePopup(const QPoint& globalPos, Waview_Hierarchy* row);
    void SetModified(bool m);
    void UpdateTitle();
    // The client area as the screen shows it (printing, snapshots).
    QImage GrabClient();

    QString wavePath;
    QString dumpPath;
    Waview_FileManager doc;
    int64_t endTime = -1;
    int32_t timescaleExponent = 0;
    bool modified = false;
    Waview_Cursors cursors;
    struct Bookmark {
        bool set = false;
        int64_t start = 0, end = 0;
    };
    std::array<Bookmark, 10> bookmarks{};
    bool zoomArea = false;
    Waview_Hierarchy* shapePopupRow = nullptr;
    Waview_Hierarchy* valuePopupRow = nullptr;
    // Merged change times of composite rows, built on first paint.
    const std::vector<int64_t>* BusTimes(Waview_Hierarchy& row);

    Waview_NameView* nameView = nullptr;
    Waview_ValueView* valueView = nullptr;
    Waview_ShapeView* shapeView = nullptr;
    Waview_ExtraView* extraView = nullptr;
    QSplitter* mainSplit = nullptr;
    QSplitter* leftSplit = nullptr;
    QSplitter* topSplit = nullptr;

    // Tests answer the close prompt here instead of a message box
    // (QMessageBox::Yes, No or Cancel).
    static std::function<int(const QString& text)> closePromptHook;
    // Tests choose the Save As path here instead of the file dialog.
    static std::function<QString()> saveAsHook;

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    void ResetState();
    void InsertRow(QTreeWidgetItem* parent, int32_t row, int depth);
    QMenu* BuildShapeMenu();
    bool layoutDone_ = false;
    std::unordered_map<int32_t, std::vector<int64_t>> busTimes_;
    static constexpr size_t kBusTimesBudget = 16000000; // entries, 128 MB
    size_t busBudget_ = kBusTimesBudget;
};

// The four 16-pixel row images (state, integer, real, composite) and the ten
// 12-pixel bookmark images, drawn once.
const QPixmap& RowImage(int n);
const QPixmap& BookmarkImage(int n);
