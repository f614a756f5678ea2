#pragma once
// A read-only rich-edit pane that shows coloured stretches and keeps its last line in
// view (the debug log and the chat logs).

#include <windows.h>

#include <vector>

#include "platform/Ui.h"

namespace khub::win32 {

// Loads the rich-edit library once; false when it is missing.
bool LoadRichEdit();

// Appends the stretches at the end of the pane and scrolls to the last line.
void AppendColored(HWND pane, const std::vector<ColorStretch>& stretches);
// Replaces the pane's whole text.
void SetPaneText(HWND pane, const std::string& text);
// The font size of a pane, in points.
void SetPaneFontSize(HWND pane, int points);

// A flood from the server must not grow memory without bound: the oldest lines go.
inline constexpr int kMaxPaneLines = 5000;

}  // namespace khub::win32
