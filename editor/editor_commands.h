#pragma once
// The editor's names for the File and Edit commands a document carries out
// (Korl_EditorView::OnCommand / CommandState); the ids are the one list in
// base/command_ids.h.
#include "base/command_ids.h"

namespace korl_cmd {

enum EditorCommand : int {
    FileSave = korl::ID_FILE_SAVE,
    FileSaveAs = korl::ID_FILE_SAVE_AS,
    FilePrint = korl::ID_FILE_PRINT,
    FilePrintSetup = korl::ID_FILE_PRINT_SETUP,
    OpenCorresponding = korl::ID_OPEN_CORRESPONDING,
    EditUndo = korl::ID_EDIT_UNDO,
    EditRedo = korl::ID_EDIT_REDO,
    EditCut = korl::ID_EDIT_CUT,
    EditCopy = korl::ID_EDIT_COPY,
    EditPaste = korl::ID_EDIT_PASTE,
    EditDelete = korl::ID_EDIT_CLEAR,
    EditEraseAll = korl::ID_EDIT_CLEAR_ALL,
    EditSelectAll = korl::ID_EDIT_SELECT_ALL,
    EditFind = korl::ID_EDIT_FIND,
    EditReplace = korl::ID_EDIT_REPLACE,
    EditFindNext = korl::ID_EDIT_FIND_NEXT,
    EditFindPrevious = korl::ID_EDIT_FIND_PREVIOUS,
    EditFindSelection = korl::ID_EDIT_FIND_SELECTION,
    EditGotoLine = korl::ID_EDIT_GOTO_LINE,
    EditMatchBrace = korl::ID_EDIT_MATCH_BRACE,
    EditShowWhitespace = korl::ID_EDIT_SHOW_WHITESPACE,
    EditTabify = korl::ID_EDIT_TABIFY,
    EditUntabify = korl::ID_EDIT_UNTABIFY,
    EditLowerCase = korl::ID_EDIT_LOWERCASE,
    EditUpperCase = korl::ID_EDIT_UPPERCASE,
    BookmarkToggle = korl::ID_EDIT_TOGGLE_BOOKMARK,
    BookmarkNext = korl::ID_EDIT_NEXT_BOOKMARK,
    BookmarkPrevious = korl::ID_EDIT_PREV_BOOKMARK,
    BookmarkClearAll = korl::ID_EDIT_CLEAR_BOOKMARKS,
    ToggleBreakpoint = korl::ID_DEBUG_TOGGLE_BREAKPOINT,
};

} // namespace korl_cmd
