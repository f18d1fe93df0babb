#include "frame/command_table.h"

#include <QHash>

#include "base/command_ids.h"

namespace korl {
namespace {

QKeySequence K(int key) { return QKeySequence(key); }

QList<CommandInfo> BuildTable() {
    QList<CommandInfo> t = {
        {ID_FILE_NEW, "&New\tCtrl+N", {K(Qt::CTRL | Qt::Key_N)}, "new", "Create a new document"},
        {ID_FILE_OPEN, "&Open...\tCtrl+O", {K(Qt::CTRL | Qt::Key_O)}, "open", "Open an existing document"},
        {ID_FILE_CLOSE, "&Close", {}, nullptr, "Close the active document"},
        {ID_PROJECT_NEW,
         "Ne&w Project...\tCtrl+Shift+N",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_N)},
         "newproject",
         "Create a new project"},
        {ID_PROJECT_OPEN,
         "Op&en Project...\tCtrl+Shift+O",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_O)},
         "openproject",
         "Open an existing project"},
        {ID_PROJECT_SAVE, "Sa&ve Project", {}, nullptr, "Save the project file"},
        {ID_PROJECT_CLOSE, "Close Projec&t", {}, nullptr, "Close the project"},
        {ID_OPEN_CORRESPONDING,
         "Open Correspondin&g .h or .cpp \tAlt+O",
         {K(Qt::ALT | Qt::Key_O)},
         nullptr,
         "Open the header or source of the same name"},
        {ID_OPEN_VCD, "Open &VCD File...", {}, nullptr, "Open a value change dump in a wave window"},
        {ID_FILE_SAVE, "&Save\tCtrl+S", {K(Qt::CTRL | Qt::Key_S)}, "save", "Save the active document"},
        {ID_FILE_SAVE_AS, "Save &As...", {}, nullptr, "Save the active document with a new name"},
        {ID_FILE_SAVE_ALL,
         "Save A&ll\tCtrl+Shift+S",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_S)},
         "saveall",
         "Save the project and all open documents"},
        {ID_FILE_PRINT, "&Print...\tCtrl+P", {K(Qt::CTRL | Qt::Key_P)}, "print", "Print the active document"},
        {ID_FILE_PRINT_SETUP, "P&rint Setup...", {}, nullptr, "Change the printer and printing options"},
        {ID_APP_EXIT, "E&xit", {}, nullptr, "Quit Korl"},

        {ID_VIEW_TOOLBAR, "&Toolbar", {}, nullptr, "Show or hide the toolbar"},
        {ID_VIEW_STATUS_BAR, "&Status Bar", {}, nullptr, "Show or hide the status bar"},
        {ID_VIEW_PROJECT_BROWSER, "&Project Browser", {}, nullptr, "Show or hide the Project Browser"},
        {ID_VIEW_DESIGN_BROWSER, "&Design Browser", {}, nullptr, "Show or hide the Design Browser"},
        {ID_VIEW_SOURCE_BROWSER, "&Source Browser", {}, nullptr, "Show or hide the Source Browser"},
        {ID_VIEW_CONSOLE, "&Virtual Consol", {}, nullptr, "Show or hide the Virtual Console"},
        {ID_VIEW_COMPILE, "&Compile", {}, nullptr, "Show or hide the Compile pane"},
        {ID_VIEW_EXAMINE1, "Examine &1", {}, nullptr, "Show or hide Examine 1"},
        {ID_VIEW_EXAMINE2, "Examine &2", {}, nullptr, "Show or hide Examine 2"},
        {ID_VIEW_STACK, "S&tack", {}, nullptr, "Show or hide the call stack"},
        {ID_VIEW_PROBLEMS, "P&roblems", {}, nullptr, "Show or hide the build's errors and warnings"},
        {ID_NEXT_PANE, "Next Pane", {K(Qt::Key_F6)}, nullptr, "Move to the next pane"},
        {ID_PREV_PANE, "Previous Pane", {K(Qt::SHIFT | Qt::Key_F6)}, nullptr, "Move to the previous pane"},

        {ID_BUILD_COMPILE,
         "&Compile\tCtrl+F7",
         {K(Qt::CTRL | Qt::Key_F7)},
         "compile",
         "Compile the source in the active editor"},
        {ID_BUILD_BUILD,
         "&Build\tF7",
         {K(Qt::Key_F7), K(Qt::CTRL | Qt::SHIFT | Qt::Key_B)},
         "build",
         "Build the project"},
        {ID_BUILD_REBUILD_ALL, "Rebuild &All", {}, nullptr, "Build every file of the project again"},
        {ID_BUILD_STOP,
         "Stop Build\tCtrl+Break",
         {K(Qt::CTRL | Qt::Key_Pause), K(Qt::CTRL | Qt::Key_Cancel)},
         "stopbuild",
         "Stop the running build"},
        {ID_ELABORATE, "&Elaborate\tCtrl+F5", {K(Qt::CTRL | Qt::Key_F5)}, "elaborate", "Start Elaboration"},
        {ID_PROJECT_ADD_NEW, "Add &New File...", {}, "addnew", "Create a file and add it to the project"},
        {ID_PROJECT_ADD_EXISTING, "&Add Existing File...", {}, "addexisting", "Add files to the project"},
        {ID_PROJECT_OPTIONS, "&Options...", {}, nullptr, "Edit the project options"},

        {ID_DEBUG_START,
         "&Start Debugging\tF5",
         {K(Qt::Key_F5)},
         "debug",
         "Build and run under the debugger"},
        {ID_DEBUG_STOP,
         "Stop &Debugging\tShift+F5",
         {K(Qt::SHIFT | Qt::Key_F5)},
         "stopdebug",
         "End the debugged run"},
        {ID_DEBUG_TOGGLE_BREAKPOINT,
         "&Toggle Breakpoint\tF9",
         {K(Qt::Key_F9)},
         "breakpoint",
         "Set or clear a breakpoint on the caret line"},
        {ID_DEBUG_STEP_INTO, "Step &Into\tF11", {K(Qt::Key_F11)}, "stepinto", "Step into the next call"},
        {ID_DEBUG_STEP_OVER, "Step &Over\tF10", {K(Qt::Key_F10)}, "stepover", "Step over the next line"},
        {ID_DEBUG_STEP_OUT,
         "Step O&ut\tShift+F11",
         {K(Qt::SHIFT | Qt::Key_F11)},
         "stepout",
         "Run to the end of the current function"},
        {ID_DEBUG_RUN,
         "R&un\tCtrl+Shift+F5",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_F5)},
         nullptr,
         "Build and run the simulation without the debugger"},
        {ID_DEBUG_RUN_TO_CURSOR,
         "&Run to Cursor\tCtrl+F10",
         {K(Qt::CTRL | Qt::Key_F10)},
         "runtocursor",
         "Run to the caret line"},

        {ID_WINDOW_CASCADE, "&Cascade", {}, nullptr, "Arrange the windows overlapping"},
        {ID_WINDOW_TILE_HORZ, "Tile &Horizentally", {}, nullptr, "Arrange the windows as tiles"},
        {ID_WINDOW_TILE_VERT, "&Tile Vertically", {}, nullptr, "Arrange the windows side by side"},
        {ID_WINDOW_ARRANGE, "Arrange &Icons", {}, nullptr, "Arrange minimised windows"},
        {ID_APP_ABOUT, "&About Korl...", {}, "about", "Show the program information"},

        // The editor handles these; Del has no frame key so that trees and
        // lists keep their own Delete.
        {ID_EDIT_UNDO,
         "&Undo\tCtrl+Z",
         {K(Qt::CTRL | Qt::Key_Z), K(Qt::ALT | Qt::Key_Backspace)},
         "undo",
         "Undo the last action"},
        {ID_EDIT_REDO, "&Redo\tCtrl+Y", {K(Qt::CTRL | Qt::Key_Y)}, "redo", "Redo the undone action"},
        {ID_EDIT_CUT,
         "Cu&t\tCtrl+X",
         {K(Qt::CTRL | Qt::Key_X), K(Qt::SHIFT | Qt::Key_Delete)},
         "cut",
         "Cut the selection"},
        {ID_EDIT_COPY,
         "&Copy\tCtrl+C",
         {K(Qt::CTRL | Qt::Key_C), K(Qt::CTRL | Qt::Key_Insert)},
         "copy",
         "Copy the selection"},
        {ID_EDIT_PASTE,
         "&Paste\tCtrl+V",
         {K(Qt::CTRL | Qt::Key_V), K(Qt::SHIFT | Qt::Key_Insert)},
         "paste",
         "Insert the clipboard"},
        {ID_EDIT_CLEAR, "&Delete\tDel", {}, "delete", "Delete the selection"},
        {ID_EDIT_CLEAR_ALL, "Erase A&ll", {}, nullptr, "Delete the whole text"},
        {ID_EDIT_SELECT_ALL,
         "Select &All\tCtrl+A",
         {K(Qt::CTRL | Qt::Key_A)},
         nullptr,
         "Select the whole text"},
        {ID_EDIT_FIND, "&Find...\tCtrl+F", {K(Qt::CTRL | Qt::Key_F)}, nullptr, "Find text"},
        {ID_EDIT_FIND_NEXT, "Find &Next\tF3", {K(Qt::Key_F3)}, nullptr, "Find the next occurrence"},
        {ID_EDIT_FIND_PREVIOUS,
         "Find Pre&vious\tShift+F3",
         {K(Qt::SHIFT | Qt::Key_F3)},
         nullptr,
         "Find the previous occurrence"},
        {ID_EDIT_FIND_SELECTION,
         "Find S&election\tCtrl+F3",
         {K(Qt::CTRL | Qt::Key_F3)},
         nullptr,
         "Find the selected text"},
        {ID_EDIT_REPLACE, "R&eplace...\tCtrl+H", {K(Qt::CTRL | Qt::Key_H)}, nullptr, "Replace text"},
        {ID_EDIT_GOTO_LINE, "&Goto Line...\tCtrl+G", {K(Qt::CTRL | Qt::Key_G)}, nullptr, "Move to a line"},
        {ID_EDIT_MATCH_BRACE,
         "&Match Brace\tCtrl+]",
         {K(Qt::CTRL | Qt::Key_BracketRight)},
         nullptr,
         "Move to the matching brace"},
        {ID_EDIT_UPPERCASE,
         "&Upper case\tCtrl+U",
         {K(Qt::CTRL | Qt::Key_U)},
         nullptr,
         "Make the selection upper case"},
        {ID_EDIT_LOWERCASE,
         "&Lower case\tCtrl+Shift+U",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_U)},
         nullptr,
         "Make the selection lower case"},
        {ID_EDIT_TABIFY, "&Tabify Selection", {}, nullptr, "Turn leading blanks into tabs"},
        {ID_EDIT_UNTABIFY, "U&ntabify Selection", {}, nullptr, "Turn tabs into blanks"},
        {ID_EDIT_SHOW_WHITESPACE, "Show &Whitespace", {}, nullptr, "Show blanks and tabs"},
        {ID_EDIT_TOGGLE_BOOKMARK,
         "&Toggle Bookmark\tCtrl+F2",
         {K(Qt::CTRL | Qt::Key_F2)},
         nullptr,
         "Set or clear a bookmark"},
        {ID_EDIT_NEXT_BOOKMARK, "&Next Bookmark\tF2", {K(Qt::Key_F2)}, nullptr, "Move to the next bookmark"},
        {ID_EDIT_PREV_BOOKMARK,
         "&Previous bookmark\tShift+F2",
         {K(Qt::SHIFT | Qt::Key_F2)},
         nullptr,
         "Move to the previous bookmark"},
        {ID_EDIT_CLEAR_BOOKMARKS,
         "&Clear All Bookmarks\tCtrl+Shift+F2",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_F2)},
         nullptr,
         "Remove every bookmark"},

        {ID_WAVE_ZOOM_IN, "Zoom &In\tCtrl+I", {K(Qt::CTRL | Qt::Key_I)}, "zoomin", "Zoom in"},
        {ID_WAVE_ZOOM_OUT, "Zoom &Out\tCtrl+J", {K(Qt::CTRL | Qt::Key_J)}, "zoomout", "Zoom out"},
        {ID_WAVE_ZOOM_FULL,
         "Zoom &Full\tCtrl+U",
         {K(Qt::CTRL | Qt::Key_U)},
         "zoomfull",
         "Show the whole dump"},
        {ID_WAVE_ZOOM_AREA,
         "Zoom &Area\tCtrl+T",
         {K(Qt::CTRL | Qt::Key_T)},
         "zoomarea",
         "Zoom to a dragged area"},
        {ID_WAVE_ADD_CURSOR,
         "&Add Cursor\tCtrl+R",
         {K(Qt::CTRL | Qt::Key_R)},
         "addcursor",
         "Add a time cursor"},
        {ID_WAVE_REMOVE_CURSOR,
         "&Remove Cursor\tCtrl+Shift+R",
         {K(Qt::CTRL | Qt::SHIFT | Qt::Key_R)},
         "removecursor",
         "Remove the active time cursor"},
    };
    static const char* const kBookmarkText[10][2] = {
        {"Bookmark 0\tCtrl+Shift+0", "Bookmark 0\tCtrl+0"},
        {"Bookmark 1\tCtrl+Shift+1", "Bookmark 1\tCtrl+1"},
        {"Bookmark 2\tCtrl+Shift+2", "Bookmark 2\tCtrl+2"},
        {"Bookmark 3\tCtrl+Shift+3", "Bookmark 3\tCtrl+3"},
        {"Bookmark 4\tCtrl+Shift+4", "Bookmark 4\tCtrl+4"},
        {"Bookmark 5\tCtrl+Shift+5", "Bookmark 5\tCtrl+5"},
        {"Bookmark 6\tCtrl+Shift+6", "Bookmark 6\tCtrl+6"},
        {"Bookmark 7\tCtrl+Shift+7", "Bookmark 7\tCtrl+7"},
        {"Bookmark 8\tCtrl+Shift+8", "Bookmark 8\tCtrl+8"},
        {"Bookmark 9\tCtrl+Shift+9", "Bookmark 9\tCtrl+9"},
    };
    for (int n = 0; n < 10; ++n) {
        // Ctrl+Shift+digit arrives with the shifted character on most layouts,
        // so the bare digit form is listed as well.
        t.append({ID_WAVE_SET_BOOKMARK0 + n,
                  kBookmarkText[n][0],
                  {K(Qt::CTRL | Qt::SHIFT | (Qt::Key_0 + n))},
                  nullptr,
                  "Remember the visible time window"});
        t.append({ID_WAVE_GOTO_BOOKMARK0 + n,
                  kBookmarkText[n][1],
                  {K(Qt::CTRL | (Qt::Key_0 + n))},
                  nullptr,
                  "Go back to a remembered time window"});
    }
    return t;
}

} // namespace

const QList<CommandInfo>& CommandTable() {
    static const QList<CommandInfo> table = BuildTable();
    return table;
}

const CommandInfo* FindCommand(int id) {
    static const QHash<int, int> index = [] {
        QHash<int, int> h;
        const auto& t = CommandTable();
        for (int i = 0; i < t.size(); ++i) h.insert(t[i].id, i);
        return h;
    }();
    auto it = index.find(id);
    return it == index.end() ? nullptr : &CommandTable()[*it];
}

QString PlainCommandName(int id) {
    const CommandInfo* c = FindCommand(id);
    if (!c) return QString::number(id);
    QString s = QString::fromUtf8(c->text);
    int tab = s.indexOf('\t');
    if (tab >= 0) s.truncate(tab);
    s.remove('&');
    if (s.endsWith("...")) s.chop(3);
    return s.trimmed();
}

bool IsEditCommand(int id) {
    return (id >= ID_EDIT_CLEAR && id <= ID_EDIT_REDO) ||
           (id >= ID_EDIT_GOTO_LINE && id <= ID_EDIT_UPPERCASE);
}

bool IsWaveCommand(int id) {
    return (id >= ID_WAVE_ZOOM_IN && id <= ID_WAVE_REMOVE_CURSOR) ||
           (id >= ID_WAVE_SET_BOOKMARK0 && id <= ID_WAVE_GOTO_BOOKMARK0 + 9);
}

bool IsDocumentCommand(int id) {
    switch (id) {
        case ID_FILE_SAVE:
        case ID_FILE_SAVE_AS:
        case ID_FILE_PRINT:
        case ID_FILE_PRINT_SETUP:
        case ID_FILE_PAGE_SETUP:
        case ID_OPEN_CORRESPONDING:
        case ID_DEBUG_TOGGLE_BREAKPOINT:
            return true;
        default:
            return false;
    }
}

bool IsFrameCommand(int id) { return !IsDocumentCommand(id) && !IsEditCommand(id) && !IsWaveCommand(id); }

} // namespace korl
