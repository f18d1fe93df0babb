#pragma once
// The edit control's Scintilla marker numbers, shared by its source files.
#include "editor/edit_control.h"

namespace korl_edit_marks {

// The breakpoint marker's mask bit is the breakpoint style value.
constexpr int kMarkBreakpoint = 1;
constexpr int kMarkBookmark = 2;
constexpr int kMarkStopArrow = 3;
constexpr int kMarkStopLine = 4;
constexpr int kMarkError = 5;
constexpr int kMarkWarning = 6;
static_assert((1 << kMarkBreakpoint) == Korl_EditControl::kBreakpointStyle);

} // namespace korl_edit_marks
