#pragma once
// The GUI thread owns every widget. A view method called from another thread is a bug
// in the caller; it ends the program with a message that names the method.

namespace khub::gui {

bool InGuiThread();
void AssertGuiThread(const char* where);

}  // namespace khub::gui
