// "Start with Windows": the value "Lintora" under the user's Run key, whose
// data is this executable's full path in double quotes. No installer and no
// administrator rights; nothing else in the registry is touched.
#pragma once

// True when the value names this executable (a value left by a copy
// elsewhere does not count).
bool isStartingWithWindows();
// Writes the value for this executable, or deletes it.
void setStartingWithWindows(bool start);
