// The menu's Help: the user guide.
#pragma once

#include <windows.h>

#include "core/app_state.h"

// Writes the guide stored in the program to "Lintora user guide.html" in the
// user's temporary folder, replacing an older copy; its path, or false when
// it cannot be written.
bool writeUserGuide(wchar_t (&path)[kTextBufferSize]);

// Opens the guide in the browser: the page the build names (LINTORA_GUIDE_HOST),
// else the one stored in the program, written out first. A guide that cannot
// be written is said so in a message box.
void openUserGuide();
