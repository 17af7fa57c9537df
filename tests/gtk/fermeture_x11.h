// Closing a window as an X window manager does, for the tests that drive the real binary
// (Xlib's macros stay out of the test files).
#pragma once

#include <string>

namespace ovrel::essais {

// Sends WM_DELETE_WINDOW to the window with this X identifier (decimal or 0x…); false when the
// display could not be opened or the message not sent.
bool fermerCommeLeGestionnaire(const std::string& fenetre);

}  // namespace ovrel::essais
