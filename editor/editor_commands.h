#pragma once
// Command ids of the File and Edit commands an editor document carries out.
// The main frame's actions carry the same ids and pass them on to the active
// editor (Korl_EditorView::OnCommand / CommandState).

namespace korl_cmd {

enum EditorCommand : int {
    FileSave = 57603,
    FileSaveAs = 57604,
    FilePrint = 57607,
    FilePrintSetup = 57606,
    OpenCorresponding = 32855,
    EditUndo = 57643,
    EditRedo = 57644,
    EditCut = 57635,
    EditCopy = 57634,
    EditPaste = 57637,
    EditDelete = 57632,
    EditEraseAll = 32710,
    EditSelectAll = 57642,
    EditFind = 57636,
    EditReplace = 57641,
    EditFindNext = 32707,
    EditFindPrevious = 32708,
    EditFindSelection = 32709,
    EditGotoLine = 32704,
    EditMatchBrace = 32705,
    EditShowWhitespace = 32706,
    EditTabify = 32718,
    EditUntabify = 32719,
    EditLowerCase = 32720,
    EditUpperCase = 32721,
    BookmarkToggle = 32713,
    BookmarkNext = 32714,
    BookmarkPrevious = 32715,
    BookmarkClearAll = 32716,
    ToggleBreakpoint = 32832,
};

} // namespace korl_cmd
